// Shading states to start from and the field map of the record: which bytes the host fills and
// which a shader may write. Shared by the GoogleTest suites and the fuzzer (no GoogleTest here).
#ifndef TARVO_TESTS_SHADING_STATES_H
#define TARVO_TESTS_SHADING_STATES_H

#include <cstddef>

#include "tarvo/tarvo.h"

namespace tarvo::test {

// A camera ray along -z hitting the plane z = 0 at the origin from above: N = Ng = (0, 0, 1),
// entering (frontFacing set), indices 1 and 1, identity matrices, every scatter allowed.
pvx::ShadingState cameraHit();

// cameraHit with the ray arriving at `degrees` from the normal, in the x-z plane from -x:
// I = (sin, 0, -cos), in single precision.
pvx::ShadingState cameraHitAt(float degrees);

// cameraHitAt(degrees) on a surface whose frame is the world's axes: the tangent (1, 0, 0) at
// offset 36 and the uv at 48 of the varyings, where the PBR materials declare them.
pvx::ShadingState framedHit(float degrees = 0.0f, const pvx::float2& uv = pvx::float2(0.5f, 0.5f));

// The incoming ray at polar angle theta from the normal and azimuth phi (degrees), worked out
// in double precision: I = (-sin theta cos phi, -sin theta sin phi, -cos theta).
pvx::float3 incomingAt(double thetaDegrees, double phiDegrees);

// Fills every byte of a state with a pattern that no shader writes by accident.
void fillPattern(pvx::ShadingState* state, unsigned seed);

enum class FieldDirection {
  In,        // filled by the host, never written by a shader
  Out,       // written by the entry points
  InOut,     // mediumIor: read by every refracting entry, written by refracting scatter only
  Reserved,  // bytes no shader touches
};

struct StateField {
  const char* name;
  size_t offset;
  size_t size;
  FieldDirection direction;
};

// Every byte of the record, field by field in address order.
extern const StateField kStateFields[];
extern const size_t kStateFieldCount;

}  // namespace tarvo::test

#endif  // TARVO_TESTS_SHADING_STATES_H
