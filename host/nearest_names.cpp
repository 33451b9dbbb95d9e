#include "host/nearest_names.h"

#include <algorithm>
#include <cctype>

namespace tarvo::host {

namespace {
char lower(char c) {
  return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

std::string lowered(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    c = lower(c);
  return out;
}
}  // namespace

int editDistance(std::string_view a, std::string_view b) {
  std::vector<int> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j)
    row[j] = static_cast<int>(j);
  for (size_t i = 1; i <= a.size(); ++i) {
    int diagonal = row[0];
    row[0] = static_cast<int>(i);
    for (size_t j = 1; j <= b.size(); ++j) {
      const int above = row[j];
      const int substitution = diagonal + (lower(a[i - 1]) == lower(b[j - 1]) ? 0 : 1);
      row[j] = std::min({above + 1, row[j - 1] + 1, substitution});
      diagonal = above;
    }
  }
  return row[b.size()];
}

std::vector<std::string> nearestNames(std::string_view name,
                                      const std::vector<std::string>& candidates, int count) {
  if (name.size() > kMessageQuote) return {};
  const std::string key = lowered(name);
  std::vector<std::pair<int, std::string>> scored;
  for (const std::string& candidate : candidates) {
    const std::string c = lowered(candidate);
    int score = editDistance(key, c);
    if (!key.empty() && (c.find(key) != std::string::npos || key.find(c) != std::string::npos)) {
      score = std::min(score, 1 + static_cast<int>(c.size() > key.size() ? 0 : 1));
    }
    scored.emplace_back(score, candidate);
  }
  std::stable_sort(scored.begin(), scored.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<std::string> result;
  const int limit = std::max(3, static_cast<int>(key.size()) / 2 + 2);
  for (const auto& [score, candidate] : scored) {
    if (static_cast<int>(result.size()) >= count) break;
    if (score <= limit) result.push_back(candidate);
  }
  return result;
}

std::string clipped(std::string_view text) {
  if (text.size() <= kMessageQuote) return std::string(text);
  size_t end = kMessageQuote - 20;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
    --end;  // not inside a UTF-8 character
  return std::string(text.substr(0, end)) + "... (" + std::to_string(text.size()) + " bytes)";
}

std::string quoteList(const std::vector<std::string>& names) {
  std::string out;
  for (size_t i = 0; i < names.size(); ++i) {
    if (i > 0) out += (i + 1 == names.size()) ? " or " : ", ";
    out += "'" + names[i] + "'";
  }
  return out;
}

}  // namespace tarvo::host
