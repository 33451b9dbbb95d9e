#include "host/render/json_positions.h"

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

JsonPositions::JsonPositions(std::string_view text) : text_(text) {
  skipSpace();
  if (at_ < text_.size()) walkValue("");
}

void JsonPositions::skipSpace() {
  while (at_ < text_.size() &&
         (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == '\n' || text_[at_] == '\r')) {
    ++at_;
  }
}

std::string JsonPositions::readString() {
  std::string result;
  ++at_;  // opening quote
  while (at_ < text_.size() && text_[at_] != '"') {
    if (text_[at_] == '\\' && at_ + 1 < text_.size()) {
      const char e = text_[at_ + 1];
      at_ += 2;
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
    result += text_[at_++];
  }
  ++at_;  // closing quote
  return result;
}

void JsonPositions::walkValue(const std::string& pointer) {
  values_.emplace(pointer, at_);
  if (at_ >= text_.size()) return;
  const char c = text_[at_];
  if (c == '{') {
    ++at_;
    skipSpace();
    while (at_ < text_.size() && text_[at_] != '}') {
      const size_t keyAt = at_;
      const std::string key = readString();
      const std::string child = childPointer(pointer, key);
      keys_.emplace(child, keyAt);
      skipSpace();
      ++at_;  // colon
      skipSpace();
      walkValue(child);
      skipSpace();
      if (at_ < text_.size() && text_[at_] == ',') ++at_;
      skipSpace();
    }
    ++at_;
  } else if (c == '[') {
    ++at_;
    skipSpace();
    size_t index = 0;
    while (at_ < text_.size() && text_[at_] != ']') {
      walkValue(childPointer(pointer, index++));
      skipSpace();
      if (at_ < text_.size() && text_[at_] == ',') ++at_;
      skipSpace();
    }
    ++at_;
  } else if (c == '"') {
    readString();
  } else {
    while (at_ < text_.size() && text_[at_] != ',' && text_[at_] != '}' && text_[at_] != ']' &&
           text_[at_] != ' ' && text_[at_] != '\n' && text_[at_] != '\r' && text_[at_] != '\t') {
      ++at_;
    }
  }
}

TextPosition JsonPositions::value(const std::string& pointer) const {
  std::string p = pointer;
  while (true) {
    if (auto found = values_.find(p); found != values_.end())
      return positionOf(text_, found->second);
    const size_t slash = p.find_last_of('/');
    if (slash == std::string::npos) return {};
    p = p.substr(0, slash);
  }
}

TextPosition JsonPositions::key(const std::string& pointer) const {
  if (auto found = keys_.find(pointer); found != keys_.end())
    return positionOf(text_, found->second);
  return value(pointer);
}

}  // namespace tarvo::render
