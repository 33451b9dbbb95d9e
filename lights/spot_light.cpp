// qvSpotLight: the point light's range, falloff and shadows, restricted to a cone around
// `lightAxis` whose edge rises smoothly from `cosPenumbra` to `cosUmbra` and whose inside is
// shaped by pow(cosine, e) with e the third attenuation factor. One parameter group of its own,
// declared in the host's order for this class (which differs from the point light's).
#include "frame/shader_class.h"
#include "shadinglib/light_falloff.h"

namespace pvx {

#define TARVO_SPOT_LIGHT_PARAMETERS(PARAM, VARYING)          \
  PARAM(Color, color, float3(0.1f, 1.0f, 0.5f))              \
  PARAM(Float, range, 10000.0f)                              \
  PARAM(Color, attenuationFactors, float3(1.0f, 0.0f, 0.0f)) \
  PARAM(Bool, castShadows, true)                             \
  PARAM(Float, cosPenumbra, 0.9f)                            \
  PARAM(Float, cosUmbra, 0.95f)
TARVO_PARAMETER_BLOCK(SpotLightParameters, TARVO_SPOT_LIGHT_PARAMETERS);

class qvSpotLight final : public ShaderClass<qvSpotLight, LightShader, SpotLightParameters> {
 public:
  static constexpr const char* kClassName = "qvSpotLight";

  // Out of range or outside the cone nothing is written; on the penumbra itself the edge is 0
  // but the shadow transmission is still delivered.
  void shade(IHostContext* host, ShadingState* state) const override {
    if (range < state->lightDist) return;
    const float cosine = coneCosine(state->lightAxis, state->lightL);
    if (cosine < cosPenumbra) return;
    state->lightT = lightTransmission(host, *state, castShadows);
    const float edge = coneEdge(cosine, cosPenumbra, cosUmbra);
    const float falloff = pow(cosine, attenuationFactors.z);
    state->lightColor =
        color * edge * falloff * distanceAttenuation(state->lightDist, attenuationFactors);
  }
};

TARVO_SHADER_FACTORY(qvSpotLight)

}  // namespace pvx
