// The host's noise and cell-random services: gradient (Perlin) noise of 2, 3 and 4 coordinates over
// a fixed gradient set mapped to [0, 1], random values per cell identifier, lattice values and cell
// vectors. Pure functions of their arguments (and a fixed table), so every thread and every run
// agree.
#ifndef TARVO_HOST_RENDER_NOISE_H
#define TARVO_HOST_RENDER_NOISE_H

#include <cstdint>

#include "shadinglib/hash.h"
#include "tarvo/types.h"

namespace tarvo::render {

// Smooth noise in [0, 1], 0.5 at every integer lattice point.
float noise2(float x, float y);
float noise3(float x, float y, float z);
float noise4(float x, float y, float z, float w);

// A value in [0, 1] for a cell identifier (the float's bits are hashed, so -0 and 0 differ).
float cellRandom(float identifier);
// A value in [-1, 1] for the integer lattice point floor(p).
float latticeValue(const pvx::float3& p);
// A vector with components in [-1, 1] for the integer lattice cell floor(p).
pvx::float3 cellVector(const pvx::float3& p);

// The library's integer hash (inline: the noise hashes once per lattice corner, lattice values
// once per coordinate).
using pvx::hash32;

}  // namespace tarvo::render

#endif  // TARVO_HOST_RENDER_NOISE_H
