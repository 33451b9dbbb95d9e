// "Did you mean" suggestions for unknown class and parameter names.
#ifndef TARVO_HOST_NEAREST_NAMES_H
#define TARVO_HOST_NEAREST_NAMES_H

#include <string>
#include <string_view>
#include <vector>

namespace tarvo::host {

// Case-insensitive edit distance.
int editDistance(std::string_view a, std::string_view b);

// Up to `count` candidates closest to `name`, nearest first; candidates that contain the name
// (or are contained in it) rank as close. A name longer than any sensible one (over
// kMessageQuote bytes) gets none: it is no misspelling, and comparing it would cost its length
// times every candidate's.
std::vector<std::string> nearestNames(std::string_view name,
                                      const std::vector<std::string>& candidates, int count = 3);

// How much of a name or value a message quotes.
constexpr size_t kMessageQuote = 100;

// The text as a message quotes it: whole up to kMessageQuote bytes, else its start (cut at a
// character's boundary) with "..." and its length, so a message never echoes megabytes.
std::string clipped(std::string_view text);

// "'a', 'b' or 'c'" for messages.
std::string quoteList(const std::vector<std::string>& names);

}  // namespace tarvo::host

#endif  // TARVO_HOST_NEAREST_NAMES_H
