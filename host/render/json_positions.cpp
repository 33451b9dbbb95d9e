#include "host/render/json_positions.h"

#include <algorithm>

#include "host/render/limits.h"

namespace tarvo::render {

TextPosition positionOf(std::string_view text, size_t offset) {
  TextPosition p{1, 1};
  for (size_t i = 0; i < offset && i < text.size(); ++i) {
    if (text[i] == '\n') {
      ++p.line;
      p.column = 1;
    } else if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
      ++p.column;  // count characters, not UTF-8 continuation bytes
    }
  }
  return p;
}

size_t JsonCeilings::offset() const {
  const size_t at = static_cast<size_t>(*cursor_ - text_.data());
  return at > 0 ? at - 1 : 0;
}

void JsonCeilings::value() {
  if (++values_ > maxValues_) {
    throw ParseRefusal{offset(), whole_ + " holds more JSON values than the ceiling of " +
                                     ceilingText(maxValues_, "json-values")};
  }
}

void JsonCeilings::open() {
  value();
  if (++depth_ > maxNesting_) {
    throw ParseRefusal{offset(), "arrays and objects nest deeper here than the ceiling of " +
                                     ceilingText(maxNesting_, "nesting")};
  }
}

std::string childPointer(const std::string& parent, std::string_view key) {
  std::string result = parent + "/";
  for (char c : key) {
    if (c == '~') {
      result += "~0";
    } else if (c == '/') {
      result += "~1";
    } else {
      result += c;
    }
  }
  return result;
}

std::string childPointer(const std::string& parent, size_t index) {
  return parent + "/" + std::to_string(index);
}

size_t JsonPositions::skipSpace(size_t at) const {
  while (at < text_.size() &&
         (text_[at] == ' ' || text_[at] == '\t' || text_[at] == '\n' || text_[at] == '\r')) {
    ++at;
  }
  return at;
}

std::string JsonPositions::readString(size_t* at) const {
  std::string result;
  ++*at;  // opening quote
  while (*at < text_.size() && text_[*at] != '"') {
    if (text_[*at] == '\\' && *at + 1 < text_.size()) {
      const char e = text_[*at + 1];
      *at += 2;
      switch (e) {
        case 'n':
          result += '\n';
          break;
        case 't':
          result += '\t';
          break;
        case 'u':
          // Keys with \u escapes are rare in scene files; keep the escape as written.
          result += "\\u";
          break;
        default:
          result += e;
      }
      continue;
    }
    result += text_[(*at)++];
  }
  ++*at;  // closing quote
  return result;
}

// Past the value at `at`: brackets are counted, not followed, so any nesting costs no stack.
size_t JsonPositions::skipValue(size_t at) const {
  size_t open = 0;
  while (at < text_.size()) {
    const char c = text_[at];
    if (c == '"') {
      readString(&at);
      if (open == 0) return at;
      continue;
    }
    if (c == '{' || c == '[') {
      ++open;
    } else if (c == '}' || c == ']') {
      if (open == 0) return at;
      if (--open == 0) return at + 1;
    } else if (open == 0 && (c == ',' || c == ' ' || c == '\n' || c == '\r' || c == '\t')) {
      return at;
    }
    ++at;
  }
  return at;
}

void JsonPositions::locate(const std::string& pointer, size_t* valueAt, size_t* keyAt) const {
  size_t at = skipSpace(0);
  *valueAt = at;
  *keyAt = std::string::npos;
  size_t from = 1;  // past the leading '/'
  while (from <= pointer.size() && !pointer.empty()) {
    const size_t slash = std::min(pointer.find('/', from), pointer.size());
    std::string token;
    for (size_t i = from; i < slash; ++i) {
      if (pointer[i] == '~' && i + 1 < slash) {
        token += pointer[i + 1] == '1' ? '/' : '~';
        ++i;
      } else {
        token += pointer[i];
      }
    }
    from = slash + 1;
    // A member that is not there leaves the enclosing value and no key.
    *keyAt = std::string::npos;
    bool found = false;
    if (at < text_.size() && text_[at] == '{') {
      at = skipSpace(at + 1);
      while (at < text_.size() && text_[at] == '"') {
        const size_t keyStart = at;
        const std::string key = readString(&at);
        at = skipSpace(skipSpace(at) + 1);  // the colon
        if (key == token) {
          *keyAt = keyStart;
          found = true;
          break;
        }
        at = skipSpace(skipValue(at));
        if (at < text_.size() && text_[at] == ',') at = skipSpace(at + 1);
      }
    } else if (at < text_.size() && text_[at] == '[') {
      size_t index = 0;
      for (char c : token) {
        if (c < '0' || c > '9') index = std::string::npos;
        if (index == std::string::npos) break;
        index = index * 10 + static_cast<size_t>(c - '0');
      }
      at = skipSpace(at + 1);
      for (size_t i = 0; at < text_.size() && text_[at] != ']'; ++i) {
        if (i == index) {
          found = true;
          break;
        }
        at = skipSpace(skipValue(at));
        if (at < text_.size() && text_[at] == ',') at = skipSpace(at + 1);
      }
    }
    if (!found) return;
    *valueAt = at;
  }
}

TextPosition JsonPositions::value(const std::string& pointer) const {
  size_t valueAt = 0, keyAt = 0;
  locate(pointer, &valueAt, &keyAt);
  return positionOf(text_, valueAt);
}

TextPosition JsonPositions::key(const std::string& pointer) const {
  size_t valueAt = 0, keyAt = 0;
  locate(pointer, &valueAt, &keyAt);
  return positionOf(text_, keyAt != std::string::npos ? keyAt : valueAt);
}

}  // namespace tarvo::render
