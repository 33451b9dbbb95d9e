// Reading per-vertex data from the shading state's varying block at the offsets a class
// declared (offsets come from the class's parameter description via varyingOffset<Block>).
#ifndef TARVO_SHADINGLIB_VARYINGS_H
#define TARVO_SHADINGLIB_VARYINGS_H

#include <cstdint>
#include <cstring>

#include "tarvo/shading_state.h"

namespace pvx {

template <class T>
inline T readVarying(const ShadingState& state, int32_t offset) {
  static_assert(sizeof(T) <= kVaryingBlockSize);
  T value;
  std::memcpy(&value, state.varying + offset, sizeof(T));
  return value;
}

}  // namespace pvx

#endif  // TARVO_SHADINGLIB_VARYINGS_H
