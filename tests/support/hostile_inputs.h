// Turns fuzzer bytes into what a careless or hostile host hands a shader: parameter values,
// a shading state, the answers of its services and the texels of its textures.
//
// Every decoder starts from the value a sane scene holds (a parameter's default, a camera hit,
// plain answers) and keeps it when its selector byte is below kKeepBelow, so an empty or short
// input shades a sane scene and the fuzzer mutates from there. Otherwise it picks from the
// values that break shading code: 0, -0, +-1, NaN, +-inf, denormals, FLT_MAX, 1e9, 2^24 (where
// a float counter stops counting), mode values just outside their tables, INT_MIN/INT_MAX, raw
// bits; for vectors also zero, non-unit and partly NaN vectors; unbound and bound textures.
// Bools stay 0 or 1: the binder defines a bool member as one byte holding 0 or 1.
#ifndef TARVO_TESTS_HOSTILE_INPUTS_H
#define TARVO_TESTS_HOSTILE_INPUTS_H

#include <cstddef>
#include <cstdint>

#include "host/parameter_table.h"
#include "host/recording_host.h"
#include "tarvo/tarvo.h"

namespace tarvo::test {

// Reads an input front to back; past its end every byte reads as 0 (keep the sane value).
class ByteReader {
 public:
  ByteReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  uint8_t byte() { return position_ < size_ ? data_[position_++] : 0; }
  uint32_t word();

 private:
  const uint8_t* data_;
  size_t size_;
  size_t position_ = 0;
};

constexpr uint8_t kKeepBelow = 112;

float hostileFloat(ByteReader& in, float sane);
int32_t hostileInt(ByteReader& in, int32_t sane);
// `count` floats in place (a vector, colour or matrix), decoded as a whole.
void hostileFloats(ByteReader& in, float* values, int count);

// Every parameter the instance declared; textures are bound to `textures` or left unbound.
void writeHostileParameters(ByteReader& in, pvx::IShaderBase* shader,
                            const host::ParameterTable& table, host::TextureSet* textures);

// A state around a camera hit, its varyings laid out as the instance declared them.
pvx::ShadingState hostileState(ByteReader& in, const host::ParameterTable& table);

// Service answers (long light lists, NaN colours, zero-length light directions, ...; random
// numbers stay in [0, 1) as hosts promise) and the texels of both texture scripts.
void hostileAnswers(ByteReader& in, host::HostAnswers* answers, host::TextureSet* textures);

}  // namespace tarvo::test

#endif  // TARVO_TESTS_HOSTILE_INPUTS_H
