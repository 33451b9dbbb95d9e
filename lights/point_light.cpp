// qvPointLight: light from a point, with a hard range, a distance falloff shaped by
// `attenuationFactors` (only the first two are used) and optional shadows traced by the host.
// One parameter group of its own; the host binds by name, so the order below is the host's.
#include "frame/shader_class.h"
#include "shadinglib/light_falloff.h"

namespace pvx {

#define TARVO_POINT_LIGHT_PARAMETERS(PARAM, VARYING)                                               \
  PARAM(Color, color, float3(1.0f, 0.5f, 0.1f), "colour and intensity of the light", "[0, inf)")   \
  PARAM(Bool, castShadows, true, "ask the host for the shadow transmission towards the light")     \
  PARAM(Float, range, 10000.0f, "distance beyond which the light gives nothing", "[0, inf)",       \
        "scene units")                                                                             \
  PARAM(Color, attenuationFactors, float3(1.0f, 0.0f, 0.0f),                                       \
        "distance falloff (a, b, unused): 1 - (d / a)^b limited to [0, 1]; the default (1, 0, 0) " \
        "gives black")
TARVO_PARAMETER_BLOCK(PointLightParameters, TARVO_POINT_LIGHT_PARAMETERS);

class qvPointLight final : public ShaderClass<qvPointLight, LightShader, PointLightParameters> {
 public:
  static constexpr const char* kClassName = "qvPointLight";

  // Beyond the range nothing is written: the host keeps whatever it put into the outputs.
  void shade(IHostContext* host, ShadingState* state) const override {
    if (range < state->lightDist) return;
    state->lightT = lightTransmission(host, *state, castShadows);
    state->lightColor = color * distanceAttenuation(state->lightDist, attenuationFactors);
  }
};

TARVO_SHADER_FACTORY(qvPointLight)

}  // namespace pvx
