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
// (or are contained in it) rank as close.
std::vector<std::string> nearestNames(std::string_view name,
                                      const std::vector<std::string>& candidates, int count = 3);

// "'a', 'b' or 'c'" for messages.
std::string quoteList(const std::vector<std::string>& names);

}  // namespace tarvo::host

#endif  // TARVO_HOST_NEAREST_NAMES_H
