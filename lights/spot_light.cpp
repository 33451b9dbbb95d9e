// qvSpotLight: the point light's range, falloff and shadows, restricted to a cone around
// `lightAxis` whose edge rises smoothly from `cosPenumbra` to `cosUmbra` and whose inside is
// shaped by pow(cosine, e) with e the third attenuation factor. One parameter group of its own,
// declared in the host's order for this class (which differs from the point light's).
#include "frame/shader_class.h"
#include "shadinglib/light_falloff.h"

namespace pvx {

#define TARVO_SPOT_LIGHT_PARAMETERS(PARAM, VARYING)                                               \
  PARAM(Color, color, float3(0.1f, 1.0f, 0.5f), "colour and intensity of the light", "[0, inf)")  \
  PARAM(Float, range, 10000.0f, "distance beyond which the light gives nothing", "[0, inf)",      \
        "scene units")                                                                            \
  PARAM(Color, attenuationFactors, float3(1.0f, 0.0f, 0.0f),                                      \
        "distance falloff and focus (a, b, e): 1 - (d / a)^b limited to [0, 1], times cos^e off " \
        "the axis; the default (1, 0, 0) gives black")                                            \
  PARAM(Bool, castShadows, true, "ask the host for the shadow transmission towards the light")    \
  PARAM(Float, cosPenumbra, 0.9f, "cosine of the outer cone angle; nothing outside it", "[0, 1]") \
  PARAM(Float, cosUmbra, 0.95f,                                                                   \
        "cosine of the inner cone angle; full light inside it (at least cosPenumbra)", "[0, 1]")
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
