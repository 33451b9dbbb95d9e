// quarra_Env_Default: what a ray that leaves the scene sees. Either the flat `backgroundColor`
// (alpha 0, so the host can composite its own backdrop) or the latitude-longitude image
// `reflectionLatlong`, rotated by `globalIBLMatrix` and graded by the reflection IBL controls
// (contrast, gain mode and gain, saturation; alpha 1). Which of the two depends on the ray's kind
// and on whether background geometry draws the backdrop (`useBackgroundGeometry`). One
// parameter group of its own; `u_hasLightRepresentation` is carried for the host, not read.
#include "frame/shader_class.h"
#include "shadinglib/ibl_grading.h"
#include "shadinglib/latlong.h"
#include "shadinglib/ray_kinds.h"

namespace pvx {

#define TARVO_DEFAULT_ENVIRONMENT_PARAMETERS(PARAM, VARYING)                                       \
  PARAM(Color, IBLLuminanceFactors, kIBLLuminanceWeights,                                          \
        "weights of red, green and blue in the luminance of gain mode 2 and of the saturation")    \
  PARAM(Mat3, globalIBLMatrix, identity3, "rotation of the ray direction before the image lookup") \
  PARAM(Float2, reflectIBLContrast, float2(0.5f, 1.0f),                                            \
        "contrast of the image answer: (pivot, factor)")                                           \
  PARAM(Int, reflectIBLGainMode, 0, "colour handling before the gain",                             \
        "0 unchanged | 2 replaced by its luminance")                                               \
  PARAM(Color, reflectIBLGain, float3(1.0f), "multiplier of the image answer per channel",         \
        "[0, inf)")                                                                                \
  PARAM(Float, reflectIBLSaturation, 1.0f, "saturation of the image answer: 1 unchanged, 0 grey",  \
        "[0, inf)")                                                                                \
  PARAM(Color, backgroundColor, float3(0.0f, 0.5f, 0.7f),                                          \
        "flat colour of rays that do not see the image (camera rays among them, with alpha 0)",    \
        "[0, inf)")                                                                                \
  PARAM(Texture2D, reflectionLatlong, {}, "latitude-longitude environment image (z up)")           \
  PARAM(Bool, u_hasLightRepresentation, false,                                                     \
        "kept and copied for the host; the shading does not read it")                              \
  PARAM(Bool, useBackgroundGeometry, false,                                                        \
        "the background is drawn by background geometry: camera rays get the flat colour and "     \
        "every other ray the image, whatever viewThrough holds")
TARVO_PARAMETER_BLOCK(DefaultEnvironmentParameters, TARVO_DEFAULT_ENVIRONMENT_PARAMETERS);

class quarra_Env_Default final
    : public ShaderClass<quarra_Env_Default, EnvironmentShader, DefaultEnvironmentParameters> {
 public:
  static constexpr const char* kClassName = "quarra_Env_Default";

  // `reflectIBLGainMode` value that grades by luminance alone.
  static constexpr int32_t kGainModeLuminance = 2;

  void shade(IHostContext*, ShadingState* state) const override {
    if (state->rayKind == kRayTransmission) {
      state->Ci = float4(0.0f, 0.0f, 0.0f, 1.0f);
    } else if (seesImage(*state)) {
      state->Ci =
          float4(gradedLookup(sampleLatLong(reflectionLatlong, state->I * globalIBLMatrix)), 1.0f);
    } else {
      state->Ci = float4(backgroundColor, 0.0f);
    }
  }

 private:
  // With background geometry in the scene it draws what the camera sees, so only camera rays
  // keep the flat colour; without it the image is for reflections only.
  bool seesImage(const ShadingState& state) const {
    if (useBackgroundGeometry) return state.rayKind != kRayCamera;
    return isEnvironmentView(state);
  }

  // Contrast and saturation factors of exactly 1 skip their steps: there they would change
  // nothing but spread an infinite or NaN pivot or luminance into every channel.
  float3 gradedLookup(const float4& texel) const {
    float3 c = rgb(texel);
    const float contrast = reflectIBLContrast.y;
    if (contrast != 1.0f) c = contrastAboutPivot(c, contrast, float3(reflectIBLContrast.x));
    if (reflectIBLGainMode == kGainModeLuminance) {
      c = float3(weightedLuminance(c, IBLLuminanceFactors));
    }
    c = c * reflectIBLGain;
    if (reflectIBLSaturation != 1.0f) {
      c = saturationAboutLuminance(c, reflectIBLSaturation,
                                   weightedLuminance(c, IBLLuminanceFactors));
    }
    return c;
  }
};

TARVO_SHADER_FACTORY(quarra_Env_Default)

}  // namespace pvx
