// quarra_Env_Backplate: a background picture behind the geometry, with lighting and reflections
// from an environment image. Reflected rays see `environmentSourceImage` (latitude-longitude,
// rotated by `globalIBLMatrix`); camera rays see the backplate chosen by `backgroundMode`: the
// flat colour, a screen-aligned `custom2DBackground`, or a direction through a virtual camera
// window (`backplateCloseUp`, `backplateHorizon`, `camerawindowsize`, `backplatetransform`,
// `backplateCubeRotation`) looked up in the environment image, `customCubeBackground` or
// `custom2DBackground` read as a latitude-longitude image. The pixel comes from the state's
// `rasterInfo`, rescaled to `viewport_size` and mapped by `uv_scale` and `uv_offset`. Every
// answer has alpha 0 except the black for transmitted rays under `u_hasLightRepresentation`.
// One parameter group of its own; `IBLLuminanceFactors` is carried for the host, not read.
#include "frame/shader_class.h"
#include "shadinglib/ibl_grading.h"
#include "shadinglib/latlong.h"
#include "shadinglib/ray_kinds.h"
#include "shadinglib/texture_sampling.h"

namespace pvx {

#define TARVO_BACKPLATE_ENVIRONMENT_PARAMETERS(PARAM, VARYING)                                     \
  PARAM(Color, IBLLuminanceFactors, kIBLLuminanceWeights,                                          \
        "kept and copied for the host; the shading does not read it")                              \
  PARAM(Mat3, globalIBLMatrix, identity3, "rotation of the ray direction before the image lookup") \
  PARAM(Float, globalIBLGainValue, 1.0f, "multiplier of every image answer", "[0, inf)")           \
  PARAM(Color, backgroundColor, float3(0.0f, 0.5f, 0.7f), "flat colour of background mode 0",      \
        "[0, inf)")                                                                                \
  PARAM(Texture2D, environmentSourceImage, {}, "latitude-longitude environment image (z up)")      \
  PARAM(Int, backgroundMode, 0,                                                                    \
        "what camera rays see: the camera direction looks into the image or cube of modes 1, 3 "   \
        "and 4",                                                                                   \
        "0 flat colour | 1 environmentSourceImage | 2 screen-aligned custom2DBackground | 3 "      \
        "customCubeBackground | 4 custom2DBackground as a latitude-longitude image")               \
  PARAM(Texture2D, custom2DBackground, {}, "backplate image of modes 2 and 4")                     \
  PARAM(TextureCube, customCubeBackground, {}, "backplate cube of mode 3")                         \
  PARAM(Float, backplateCloseUp, 1.0f,                                                             \
        "distance of the virtual camera window (divides the window coordinates)")                  \
  PARAM(Float, backplateHorizon, 0.0f, "vertical offset of the camera window")                     \
  PARAM(Float2, camerawindowsize, float2(1.0f, 1.0f),                                              \
        "width and height of the virtual camera window")                                           \
  PARAM(Mat4, backplatetransform, identity4,                                                       \
        "carries the window point into the environment frame")                                     \
  PARAM(Mat3, backplateCubeRotation, identity3, "final rotation of the camera direction")          \
  PARAM(Float, backplateGainValue, 1.0f, "multiplier of every camera-ray answer", "[0, inf)")      \
  PARAM(Float2, uv_scale, float2(1.0f, 1.0f), "pixel-to-screen scale")                             \
  PARAM(Float2, uv_offset, float2(0.0f, 0.0f), "pixel-to-screen offset")                           \
  PARAM(Float2, render_size, float2(-1.0f, -1.0f),                                                 \
        "render resolution; a negative height defers to viewport_size", nullptr, "pixels")         \
  PARAM(Float2, viewport_size, float2(-1.0f, -1.0f),                                               \
        "viewport resolution; when both are positive, pixel positions are rescaled to it",         \
        nullptr, "pixels")                                                                         \
  PARAM(Bool, u_hasLightRepresentation, false, "shadow rays see black with alpha 1")
TARVO_PARAMETER_BLOCK(BackplateEnvironmentParameters, TARVO_BACKPLATE_ENVIRONMENT_PARAMETERS);

class quarra_Env_Backplate final
    : public ShaderClass<quarra_Env_Backplate, EnvironmentShader, BackplateEnvironmentParameters> {
 public:
  static constexpr const char* kClassName = "quarra_Env_Backplate";

  enum BackgroundMode : int32_t {
    kFlatColour = 0,
    kCameraIntoEnvironment = 1,
    kScreenAlignedImage = 2,
    kCameraIntoCube = 3,
    kCameraIntoLatLongImage = 4,
  };

  void shade(IHostContext*, ShadingState* state) const override {
    if (u_hasLightRepresentation && state->rayKind == kRayTransmission) {
      state->Ci = float4(0.0f, 0.0f, 0.0f, 1.0f);
    } else if (isEnvironmentView(*state)) {
      const float3 seen = rgb(sampleLatLong(environmentSourceImage, state->I * globalIBLMatrix));
      state->Ci = float4(seen * globalIBLGainValue, 0.0f);
    } else if (isCameraView(*state)) {
      state->Ci = float4(backplateColour(state->rasterInfo), 0.0f);
    } else {
      state->Ci = float4(backgroundColor, 0.0f);
    }
  }

 private:
  // A mode this shader does not know shows as loud yellow rather than passing unnoticed.
  static constexpr float3 kUnknownModeColour = float3(1.0f, 1.0f, 0.0f);

  float3 backplateColour(const RasterInfo& raster) const {
    if (backgroundMode == kFlatColour) return backgroundColor;
    const float2 pixel = viewportPixel(raster);
    if (backgroundMode == kScreenAlignedImage) {
      return screenAlignedImage(pixel) * globalIBLGainValue * backplateGainValue;
    }
    float3 colour = kUnknownModeColour;
    if (backgroundMode == kCameraIntoEnvironment) {
      colour = rgb(sampleLatLong(environmentSourceImage, cameraDirection(pixel)));
    } else if (backgroundMode == kCameraIntoCube) {
      const float3 d = cameraDirection(pixel);
      colour = rgb(sampleCube(customCubeBackground, float3(d.x, d.z, -d.y)));
    } else if (backgroundMode == kCameraIntoLatLongImage) {
      colour = rgb(sampleLatLong(custom2DBackground, cameraDirection(pixel)));
    }
    return colour * backplateGainValue * globalIBLGainValue;
  }

  // The raster position in viewport pixels when a viewport is set. A raster without a size
  // (width or height not positive) gives no ratio to rescale by and is used as it stands.
  float2 viewportPixel(const RasterInfo& raster) const {
    float2 p(raster.x, raster.y);
    if (viewport_size.x > 0.0f && viewport_size.y > 0.0f && raster.width > 0 && raster.height > 0) {
      p.x = p.x * viewport_size.x / static_cast<float>(raster.width);
      p.y = p.y * viewport_size.y / static_cast<float>(raster.height);
    }
    return p;
  }

  // The raster's y grows downward, the image's v upward from the bottom row; u = 1 and v = 1
  // still lie on the image. A negative render height defers to the viewport's.
  float3 screenAlignedImage(const float2& p) const {
    const float height = render_size.y < 0.0f ? viewport_size.y : render_size.y;
    const float2 uv(uv_scale.x * p.x + uv_offset.x, (height - p.y) * uv_scale.y + uv_offset.y);
    const bool onImage = uv.x >= 0.0f && uv.x <= 1.0f && uv.y >= 0.0f && uv.y <= 1.0f;
    return onImage ? rgb(sample2D(custom2DBackground, uv)) : backgroundColor;
  }

  // The pixel's point on a virtual camera window at distance `backplateCloseUp` (x to the
  // right, y up, centred on the screen point (0.5, 0.5)), carried into the environment's frame
  // by the first three rows of `backplatetransform` as the direction (x, y, 1), made unit length
  // and turned by `backplateCubeRotation`.
  float3 cameraDirection(const float2& p) const {
    const float a = 1.0f / backplateCloseUp;
    const float sx = uv_scale.x * p.x + uv_offset.x;
    const float sy = uv_scale.y * p.y + uv_offset.y;
    const float x = a * camerawindowsize.x * ((2.0f * sx - 1.0f) * 0.5f);
    const float y =
        a * camerawindowsize.y * ((2.0f * (1.0f - sy) - 1.0f) * 0.5f) + backplateHorizon;
    const float* t = backplatetransform.m;
    const float3 q(t[0] * x + t[1] * y + t[2], t[4] * x + t[5] * y + t[6],
                   t[8] * x + t[9] * y + t[10]);
    return backplateCubeRotation * normalize(q);
  }
};

TARVO_SHADER_FACTORY(quarra_Env_Backplate)

}  // namespace pvx
