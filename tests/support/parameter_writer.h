// Writes a value into every parameter an instance declared, at the offsets it declared, as a
// host does. What to write is a chooser's business: the fuzzer decodes hostile values from its
// input, the scene sampler draws values a scene would use. A chooser has
//   bool boolean(const ParameterRecord&, bool current);
//   int32_t integer(const ParameterRecord&, int32_t current);
//   void floats(const ParameterRecord&, float* values, int count);   // in place
//   void texture(const ParameterRecord&, pvx::Texture1D* handle);    // and Texture2D, TextureCube
// where `current` and the values passed in hold what the member held (the default for a new
// instance).
#ifndef TARVO_TESTS_PARAMETER_WRITER_H
#define TARVO_TESTS_PARAMETER_WRITER_H

#include <cstring>

#include "host/parameter_table.h"
#include "tarvo/tarvo.h"

namespace tarvo::test {

namespace detail {
template <class T, class Change>
void rewrite(unsigned char* member, Change change) {
  T value;
  std::memcpy(&value, member, sizeof value);
  change(&value);
  std::memcpy(member, &value, sizeof value);
}
}  // namespace detail

template <class Chooser>
void writeParameters(pvx::IShaderBase* shader, const host::ParameterTable& table, Chooser& choose) {
  using host::ParamType;
  auto* object = reinterpret_cast<unsigned char*>(shader);
  for (const host::ParameterRecord& p : table.parameters()) {
    unsigned char* member = object + p.offset;
    switch (p.type) {
      case ParamType::Bool:
        detail::rewrite<bool>(member, [&](bool* v) { *v = choose.boolean(p, *v); });
        break;
      case ParamType::Int:
        detail::rewrite<int32_t>(member, [&](int32_t* v) { *v = choose.integer(p, *v); });
        break;
      case ParamType::Float:
      case ParamType::Float2:
      case ParamType::Color:
      case ParamType::ColorAlpha:
      case ParamType::Mat3:
      case ParamType::Mat4: {
        float values[16];
        const int count = host::floatCount(p.type);
        std::memcpy(values, member, sizeof(float) * size_t(count));
        choose.floats(p, values, count);
        std::memcpy(member, values, sizeof(float) * size_t(count));
        break;
      }
      case ParamType::Texture1D:
        detail::rewrite<pvx::Texture1D>(member, [&](pvx::Texture1D* h) { choose.texture(p, h); });
        break;
      case ParamType::Texture2D:
        detail::rewrite<pvx::Texture2D>(member, [&](pvx::Texture2D* h) { choose.texture(p, h); });
        break;
      case ParamType::TextureCube:
        detail::rewrite<pvx::TextureCube>(member,
                                          [&](pvx::TextureCube* h) { choose.texture(p, h); });
        break;
    }
  }
}

}  // namespace tarvo::test

#endif  // TARVO_TESTS_PARAMETER_WRITER_H
