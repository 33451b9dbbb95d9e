// The path-tracing draws of a diffuse layer under a Ward lobe, written into the scatter outputs
// of the state: the glossy-only draw (only the glossy part asked for, ray kind 4) and the
// diffuse/glossy mixture (ray kind 2). The Ward family, the metal and the metallic paint draw
// with shadinglib/ward_lobe.h and report their draws through these.
#ifndef TARVO_SHADINGLIB_LOBE_SCATTER_H
#define TARVO_SHADINGLIB_LOBE_SCATTER_H

#include "shadinglib/shading_frame.h"
#include "shadinglib/vector_math.h"
#include "shadinglib/ward_lobe.h"
#include "tarvo/host_services.h"
#include "tarvo/shading_state.h"

namespace pvx {

// The cosine the host weights a direction with: its z in the (bumped) frame when the material
// asks for it, else its cosine with the unbumped shading normal.
inline float reportedCosine(bool cosineUsesBump, const ShadingState& s, const float3& local,
                            const float3& world) {
  return cosineUsesBump ? local.z : dot(world, s.N);
}

// Whether any reflection permission of `allowScatter` is set, and whether the diffuse or glossy
// one is (otherwise only the glossy lobe is drawn).
inline bool reflectionAllowed(const ShadingState& s) {
  return s.allowScatter[kAllowDiffuseReflection] || s.allowScatter[kAllowGlossyReflection] ||
         s.allowScatter[kAllowSpecularReflection];
}
inline bool mixtureAllowed(const ShadingState& s) {
  return s.allowScatter[kAllowDiffuseReflection] || s.allowScatter[kAllowGlossyReflection];
}

// What a reflection draw that cannot leave the surface (I arriving from below the lobe's normal)
// reports: no ray, after taking the numbers the draw would have taken, so that the host's
// sequence of numbers does not depend on where the draw ends.
TARVO_OUT_OF_LINE inline void drawNothing(IHostContext* host, ShadingState* state) {
  if (mixtureAllowed(*state)) host->random1();
  float2 u;
  host->random2(&u);
  state->scatterKind = kRayNone;
}

// A glossy-only draw: the weight leaves out the diffuse share dc / pi, which the host gathers by
// other means. `densityScale` multiplies the density (a layer chosen with some probability).
TARVO_ALWAYS_INLINE void writeGlossyDraw(ShadingState* state, const TangentFrame& frame,
                                         const LobeSample& sample, const float3& diffuse,
                                         bool cosineUsesBump, float densityScale = 1.0f) {
  const float density = sample.density * densityScale;
  if (!(density > 0.0f)) {
    state->scatterKind = kRayNone;
    return;
  }
  const float3 dir = localToFrame(frame, sample.o);
  state->scatterDir = dir;
  state->scatterCos = reportedCosine(cosineUsesBump, *state, sample.o, dir);
  state->scatterKind = kRayGlossy;
  state->scatterInvPdf = 1.0f / density;
  state->scatterWeight = sample.value - diffuse * kInvPi;
}

// A mixture draw: the whole lobe's value, the mixture's density; a direction below the
// reported horizon ends the path.
TARVO_ALWAYS_INLINE void writeMixtureDraw(ShadingState* state, const TangentFrame& frame,
                                          const LobeSample& sample, bool cosineUsesBump,
                                          float densityScale = 1.0f) {
  const float density = sample.density * densityScale;
  const float3 dir = localToFrame(frame, sample.o);
  const float cosine = reportedCosine(cosineUsesBump, *state, sample.o, dir);
  if (cosine < 0.0f || !(density > 0.0f)) {
    state->scatterKind = kRayNone;
    return;
  }
  state->scatterDir = dir;
  state->scatterCos = cosine;
  state->scatterKind = kRayReflection;
  state->scatterInvPdf = 1.0f / density;
  state->scatterWeight = sample.value;
}

}  // namespace pvx

#endif  // TARVO_SHADINGLIB_LOBE_SCATTER_H
