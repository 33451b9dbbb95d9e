// Where each value and key of a JSON text sits (line and column, from 1), addressed by JSON
// pointer ("/objects/2/material"), so scene-file errors can point at the offending text. The
// JSON parser checks the syntax; this index only walks text that already parsed.
#ifndef TARVO_HOST_RENDER_JSON_POSITIONS_H
#define TARVO_HOST_RENDER_JSON_POSITIONS_H

#include <string>
#include <string_view>
#include <unordered_map>

namespace tarvo::render {

struct TextPosition {
  int line = 0;  // 0: unknown
  int column = 0;
};

// Line and column of a byte offset.
TextPosition positionOf(std::string_view text, size_t offset);

// "/a/b" for child "b" of "/a", with the pointer escapes (~0 for ~, ~1 for /).
std::string childPointer(const std::string& parent, std::string_view key);
std::string childPointer(const std::string& parent, size_t index);

class JsonPositions {
 public:
  JsonPositions() = default;
  explicit JsonPositions(std::string_view text);

  // The value at the pointer, or the nearest enclosing value that is known.
  TextPosition value(const std::string& pointer) const;
  // The key naming the member at the pointer (its value's position when it has no key).
  TextPosition key(const std::string& pointer) const;

 private:
  void walkValue(const std::string& pointer);
  std::string readString();
  void skipSpace();

  std::string_view text_;
  size_t at_ = 0;
  std::unordered_map<std::string, size_t> values_;
  std::unordered_map<std::string, size_t> keys_;
};

}  // namespace tarvo::render

#endif  // TARVO_HOST_RENDER_JSON_POSITIONS_H
