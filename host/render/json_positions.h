// Where each value and key of a JSON text sits (line and column, from 1), addressed by JSON
// pointer ("/objects/2/material"), so scene-file errors can point at the offending text. The
// JSON parser checks the syntax; this only walks text that already parsed, and only when asked:
// a lookup walks from the start along the pointer's path, skipping every other subtree without
// recursion, so a large or deeply nested text costs nothing until an error needs a position.
#ifndef TARVO_HOST_RENDER_JSON_POSITIONS_H
#define TARVO_HOST_RENDER_JSON_POSITIONS_H

#include <string>
#include <string_view>

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
  explicit JsonPositions(std::string_view text) : text_(text) {}

  // The value at the pointer, or the nearest enclosing value that is known.
  TextPosition value(const std::string& pointer) const;
  // The key naming the member at the pointer (its value's position when it has no key).
  TextPosition key(const std::string& pointer) const;

 private:
  // Offsets of the value at the pointer (or the nearest enclosing one) and of its key (npos
  // when it has none).
  void locate(const std::string& pointer, size_t* valueAt, size_t* keyAt) const;
  std::string readString(size_t* at) const;
  size_t skipSpace(size_t at) const;
  size_t skipValue(size_t at) const;

  std::string_view text_;
};

}  // namespace tarvo::render

#endif  // TARVO_HOST_RENDER_JSON_POSITIONS_H
