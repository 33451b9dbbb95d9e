// Where each value and key of a JSON text sits (line and column, from 1), addressed by JSON
// pointer ("/objects/2/material"), so scene-file errors can point at the offending text. The
// JSON parser checks the syntax; this only walks text that already parsed, and only when asked:
// a lookup walks from the start along the pointer's path, skipping every other subtree without
// recursion, so a large or deeply nested text costs nothing until an error needs a position.
#ifndef TARVO_HOST_RENDER_JSON_POSITIONS_H
#define TARVO_HOST_RENDER_JSON_POSITIONS_H

#include <cstddef>
#include <cstdint>
#include <iterator>
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

// A character pointer that leaves its place where the parse checks can read it: the JSON
// parser copies its iterators, and this is how a SAX event learns where in the text it happened.
class TrackedChar {
 public:
  using iterator_category = std::input_iterator_tag;
  using value_type = char;
  using difference_type = std::ptrdiff_t;
  using pointer = const char*;
  using reference = const char&;

  TrackedChar(const char* at, const char** cursor) : at_(at), cursor_(cursor) {}
  reference operator*() const { return *at_; }
  TrackedChar& operator++() {
    *cursor_ = ++at_;
    return *this;
  }
  TrackedChar operator++(int) {
    TrackedChar before = *this;
    ++*this;
    return before;
  }
  bool operator==(const TrackedChar& o) const { return at_ == o.at_; }
  bool operator!=(const TrackedChar& o) const { return at_ != o.at_; }

 private:
  const char* at_;
  const char** cursor_;
};

// A refusal found while parsing, at a byte offset of the text.
struct ParseRefusal {
  size_t offset;
  std::string message;
};

// The JSON ceilings a SAX parse is held to while it reads (the parser itself keeps no call
// stack per level, so only what is built from the events could run deep): a value beyond
// `maxValues`, or an array or object opened deeper than `maxNesting`, throws ParseRefusal at the
// byte just read, before any memory goes to it. `whole` names the text ("the scene").
class JsonCeilings {
 public:
  JsonCeilings(std::string_view text, const char** cursor, int64_t maxValues, int64_t maxNesting,
               std::string whole)
      : text_(text),
        cursor_(cursor),
        maxValues_(maxValues),
        maxNesting_(maxNesting),
        whole_(std::move(whole)) {}
  void value();
  void open();  // a value too
  void close() { --depth_; }
  // The byte the parser has just read.
  size_t offset() const;
  int64_t depth() const { return depth_; }

 private:
  std::string_view text_;
  const char** cursor_;
  int64_t maxValues_, maxNesting_;
  std::string whole_;
  int64_t values_ = 0;
  int64_t depth_ = 0;
};

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
