// The integer hash the procedural patterns draw their random values from, shared by the brick
// layout and the reference host's noise so that both stay pure functions of their arguments.
#ifndef TARVO_SHADINGLIB_HASH_H
#define TARVO_SHADINGLIB_HASH_H

#include <cstdint>

namespace pvx {

// A 32-bit integer finaliser with good avalanche (Chris Wellons' lowbias32).
inline uint32_t hash32(uint32_t x) {
  x ^= x >> 16;
  x *= 0x7feb352dU;
  x ^= x >> 15;
  x *= 0x846ca68bU;
  x ^= x >> 16;
  return x;
}

}  // namespace pvx

#endif  // TARVO_SHADINGLIB_HASH_H
