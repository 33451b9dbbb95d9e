// quarra_Mtl_ShadowPlane: a shadow catcher. It shows what lies behind it, darkened towards
// `shadowColor` by the light it does not receive and by ambient occlusion, and disappears where
// nothing darkens it; rays that scatter off it continue straight through. Parameters:
// `shadowColor`, `shadowIntensity`, `receiveShadow` (exactly 0 switches it off),
// `draw_mere_shadow` (alpha marks the strongly shadowed points only).
#include "frame/shader_class.h"
#include "shadinglib/received_shadow.h"

namespace pvx {

#define TARVO_SHADOW_PLANE_PARAMETERS(PARAM, VARYING)                                           \
  PARAM(Color, shadowColor, float3(0.0f), "colour of full shadow and full occlusion", "[0, 1]") \
  PARAM(Float, shadowIntensity, 0.7f, "strength of the shadows cast by lights", "[0, 1]")       \
  PARAM(Float, receiveShadow, 1.0f,                                                             \
        "exactly 0 makes the surface invisible; any other value shows the shadows")             \
  PARAM(Bool, draw_mere_shadow, false,                                                          \
        "binary alpha: opaque only where the shadow is strong (at least 0.7)")
TARVO_PARAMETER_BLOCK(ShadowPlaneParameters, TARVO_SHADOW_PLANE_PARAMETERS);

class quarra_Mtl_ShadowPlane final
    : public ShaderClass<quarra_Mtl_ShadowPlane, MaterialShader, ShadowPlaneParameters> {
 public:
  static constexpr const char* kClassName = "quarra_Mtl_ShadowPlane";

  void shade(IHostContext* host, ShadingState* state) const override {
    if (receiveShadow == 0.0f) {
      state->ignoreHit = 1;
      return;
    }
    const LightTransmission lights = gatherLightTransmission(host, &state->P, &state->N);
    float3 accessibility;
    host->occlusion(&accessibility, &state->P, &state->N, 1.0f);
    if (receivesNoShadow(lights, accessibility)) {
      state->ignoreHit = 1;
      return;
    }
    const float3 darkening =
        receivedShadow(meanTransmission(lights), fullShadowTint(shadowColor, shadowIntensity),
                       accessibility, shadowColor);
    float3 behind;
    host->traceRay(&behind, continuedRayKind(state->rayKind), &state->P, &state->I, 1.0f);
    state->Ci = float4(behind * darkening, alpha(darkening));
  }

  // Only specular rays (kind 16) see the plane as a blocker.
  void shadow(IHostContext*, ShadingState* state) const override {
    state->shadowT = float3(state->rayKind == kRaySpecular ? 0.0f : 1.0f);
  }

  void scatter(IHostContext*, ShadingState* state) const override { scatterStraightOn(state); }

 private:
  // What lies behind is traced as the same kind of ray, camera rays continuing as kind 4.
  static int32_t continuedRayKind(int32_t rayKind) {
    return rayKind == kRayCamera ? kRayGlossy : rayKind;
  }

  // Binary alpha for compositing the shadow alone: opaque only where the shadow is strong.
  float alpha(const float3& darkening) const {
    if (!draw_mere_shadow) return 1.0f;
    return maxComponent(darkening) >= 0.7f ? 0.0f : 1.0f;
  }
};

TARVO_SHADER_FACTORY(quarra_Mtl_ShadowPlane)

}  // namespace pvx
