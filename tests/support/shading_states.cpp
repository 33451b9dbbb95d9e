#include "tests/support/shading_states.h"

#include <cmath>
#include <cstring>

#include "host/recording_host.h"

namespace tarvo::test {

pvx::ShadingState cameraHit() {
  pvx::ShadingState s = host::planeHit(pvx::float3(0.0f, 0.0f, -1.0f), pvx::kRayCamera);
  s.rasterInfo = {0.5f, 0.5f, 64, 48};
  return s;
}

pvx::ShadingState cameraHitAt(float degrees) {
  pvx::ShadingState s = cameraHit();
  const float t = degrees * 3.14159265f / 180.0f;
  s.I = pvx::float3(std::sin(t), 0.0f, -std::cos(t));
  return s;
}

pvx::ShadingState framedHit(float degrees, const pvx::float2& uv) {
  pvx::ShadingState s = cameraHitAt(degrees);
  const pvx::float3 tangent(1.0f, 0.0f, 0.0f);
  std::memcpy(s.varying + 36, &tangent, sizeof tangent);
  std::memcpy(s.varying + 48, &uv, sizeof uv);
  return s;
}

pvx::float3 incomingAt(double thetaDegrees, double phiDegrees) {
  const double radians = 3.14159265358979323846 / 180.0;
  const double t = thetaDegrees * radians, p = phiDegrees * radians;
  return pvx::float3(float(-std::sin(t) * std::cos(p)), float(-std::sin(t) * std::sin(p)),
                     float(-std::cos(t)));
}

void fillPattern(pvx::ShadingState* state, unsigned seed) {
  auto* bytes = reinterpret_cast<unsigned char*>(state);
  unsigned x = seed * 2654435761u + 1u;
  for (size_t i = 0; i < sizeof(pvx::ShadingState); ++i) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    bytes[i] = static_cast<unsigned char>(x);
  }
}

#define TARVO_FIELD(name, direction)                                                     \
  StateField {                                                                           \
#name, offsetof(pvx::ShadingState, name), sizeof(pvx::ShadingState::name), direction \
  }

const StateField kStateFields[] = {
    TARVO_FIELD(rayOrigin, FieldDirection::In),
    TARVO_FIELD(I, FieldDirection::In),
    TARVO_FIELD(P, FieldDirection::In),
    TARVO_FIELD(N, FieldDirection::In),
    TARVO_FIELD(Ng, FieldDirection::In),
    TARVO_FIELD(Po, FieldDirection::In),
    TARVO_FIELD(No, FieldDirection::In),
    TARVO_FIELD(reserved84, FieldDirection::Reserved),
    TARVO_FIELD(rasterInfo, FieldDirection::In),
    TARVO_FIELD(outsideIor, FieldDirection::In),
    TARVO_FIELD(mediumIor, FieldDirection::InOut),
    TARVO_FIELD(worldToObject, FieldDirection::In),
    TARVO_FIELD(objectToWorld, FieldDirection::In),
    TARVO_FIELD(reserved248, FieldDirection::Reserved),
    TARVO_FIELD(rayKind, FieldDirection::In),
    TARVO_FIELD(reserved324, FieldDirection::Reserved),
    TARVO_FIELD(frontFacing, FieldDirection::In),
    TARVO_FIELD(reserved337, FieldDirection::Reserved),
    TARVO_FIELD(Ci, FieldDirection::Out),
    TARVO_FIELD(shadowT, FieldDirection::Out),
    TARVO_FIELD(scatterDir, FieldDirection::Out),
    TARVO_FIELD(scatterWeight, FieldDirection::Out),
    TARVO_FIELD(scatterCos, FieldDirection::Out),
    TARVO_FIELD(scatterInvPdf, FieldDirection::Out),
    TARVO_FIELD(scatterKind, FieldDirection::Out),
    TARVO_FIELD(allowScatter, FieldDirection::In),
    TARVO_FIELD(reserved410, FieldDirection::Reserved),
    TARVO_FIELD(lightP, FieldDirection::In),
    TARVO_FIELD(lightL, FieldDirection::In),
    TARVO_FIELD(lightAxis, FieldDirection::In),
    TARVO_FIELD(lightDist, FieldDirection::In),
    TARVO_FIELD(lightColor, FieldDirection::Out),
    TARVO_FIELD(lightT, FieldDirection::Out),
    TARVO_FIELD(viewThrough, FieldDirection::In),
    TARVO_FIELD(ignoreHit, FieldDirection::Out),
    TARVO_FIELD(reserved482, FieldDirection::Reserved),
    TARVO_FIELD(varying, FieldDirection::In),
};
#undef TARVO_FIELD

const size_t kStateFieldCount = sizeof(kStateFields) / sizeof(kStateFields[0]);

}  // namespace tarvo::test
