// The backplate environment as a host drives it: the branch each ray takes, the backplate modes,
// the screen-aligned image test and the camera window direction; expected values by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "shadinglib/vector_math.h"
#include "tests/support/test_support.h"

namespace tarvo::test {
namespace {

using pvx::mat3;
using pvx::mat4;

const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float3 kBackground(0.0f, 0.5f, 0.7f);
const float3 kEnvironmentTexel(0.1f, 0.2f, 0.3f);
const float3 kPlateTexel(0.4f, 0.5f, 0.6f);
const float3 kCubeTexel(0.7f, 0.8f, 0.9f);
const float kGains = 8.0f;  // globalIBLGainValue 2 times backplateGainValue 4

// A 128 x 64 render whose uv_scale maps pixels onto [0, 1]^2, with constant images bound and
// gains 2 and 4 (powers of two, so products are exact).
struct Backplate {
  host::BoundShader env = makeShader("quarra_Env_Backplate");
  host::RecordingTexture2D environmentImage, plate;
  host::RecordingTextureCube cube;

  Backplate() {
    environmentImage.value = float4(kEnvironmentTexel, 1.0f);
    plate.value = float4(kPlateTexel, 1.0f);
    cube.value = float4(kCubeTexel, 1.0f);
    env.set("environmentSourceImage", static_cast<pvx::ITexture2D*>(&environmentImage));
    env.set("custom2DBackground", static_cast<pvx::ITexture2D*>(&plate));
    env.set("customCubeBackground", static_cast<pvx::ITextureCube*>(&cube));
    env.set("globalIBLGainValue", 2.0f);
    env.set("backplateGainValue", 4.0f);
    env.set("uv_scale", float2(1.0f / 128.0f, 1.0f / 64.0f));
    env.set("render_size", float2(128.0f, 64.0f));
  }

  float4 shade(int32_t kind, const float2& pixel, uint8_t viewThrough = 0,
               const float3& I = float3(1.0f, 0.0f, 0.0f), int32_t width = 128,
               int32_t height = 64) {
    pvx::ShadingState s = cameraHit();
    s.rayKind = kind;
    s.viewThrough = viewThrough;
    s.I = I;
    s.rasterInfo = {pixel.x, pixel.y, width, height};
    s.Ci = float4(-7.0f);
    host::RecordingHost host;
    env.environment()->shade(&host, &s);
    EXPECT_TRUE(host.calls().empty()) << "the environment asks the host for nothing";
    return s.Ci;
  }

  void clearLogs() {
    environmentImage.clearLog();
    plate.clearLog();
    cube.clearLog();
  }
};

const float2 kCentre(64.0f, 32.0f);

// Kind 32 is black with alpha 1 only under a light representation; kind 2 and unviewed kind 4
// see the environment times the global gain; camera rays and viewed kind 4 see the backplate
// (mode 5 here: yellow times both gains); everything else the flat colour. Alpha 0 but for the
// black.
TEST(BackplateEnvironment, RayKindChoosesBetweenEnvironmentBackplateAndFlatColour) {
  enum Answer { kFlat, kEnvironment, kPlate, kBlack };
  struct Case {
    int32_t kind;
    uint8_t viewThrough;
    bool lightRepresentation;
    Answer answer;
  };
  const Case cases[] = {
      {1, 0, false, kPlate},       {1, 1, false, kPlate},       {2, 0, false, kEnvironment},
      {2, 1, false, kEnvironment}, {4, 0, false, kEnvironment}, {4, 1, false, kPlate},
      {16, 0, false, kFlat},       {32, 0, false, kFlat},       {0, 0, false, kFlat},
      {32, 0, true, kBlack},       {32, 1, true, kBlack},       {1, 0, true, kPlate},
      {2, 0, true, kEnvironment},  {4, 1, true, kPlate},        {16, 0, true, kFlat},
  };
  const float4 expected[] = {float4(kBackground, 0.0f), float4(kEnvironmentTexel * 2.0f, 0.0f),
                             float4(kGains, kGains, 0.0f, 0.0f), float4(0.0f, 0.0f, 0.0f, 1.0f)};
  Backplate b;
  b.env.set("backgroundMode", int32_t(5));
  for (const Case& c : cases) {
    SCOPED_TRACE("kind " + std::to_string(c.kind) + " viewThrough " +
                 std::to_string(c.viewThrough) + " light representation " +
                 std::to_string(c.lightRepresentation));
    b.env.set("u_hasLightRepresentation", c.lightRepresentation);
    EXPECT_TRUE(nearFloat4(b.shade(c.kind, kCentre, c.viewThrough), expected[c.answer]));
  }
}

// At the window centre: mode 0 is the flat colour without gains, modes 1 to 4 the image each
// names times both gains, any other mode yellow times both gains.
TEST(BackplateEnvironment, ModesPickTheirImage) {
  struct Case {
    int32_t mode;
    float3 colour;
    size_t environmentSamples, plateSamples, cubeSamples;
  };
  const Case cases[] = {
      {0, kBackground, 0, 0, 0},
      {1, kEnvironmentTexel * kGains, 1, 0, 0},
      {2, kPlateTexel * kGains, 0, 1, 0},
      {3, kCubeTexel * kGains, 0, 0, 1},
      {4, kPlateTexel * kGains, 0, 1, 0},
      {5, float3(kGains, kGains, 0.0f), 0, 0, 0},
      {-3, float3(kGains, kGains, 0.0f), 0, 0, 0},
  };
  Backplate b;
  for (const Case& c : cases) {
    SCOPED_TRACE("mode " + std::to_string(c.mode));
    b.env.set("backgroundMode", c.mode);
    b.clearLogs();
    EXPECT_TRUE(nearFloat4(b.shade(pvx::kRayCamera, kCentre), float4(c.colour, 0.0f)));
    EXPECT_EQ(b.environmentImage.sampleCount(), c.environmentSamples);
    EXPECT_EQ(b.plate.sampleCount(), c.plateSamples);
    EXPECT_EQ(b.cube.sampleCount(), c.cubeSamples);
  }
}

// Mode 2: p rescaled by viewport / raster size when a viewport is set; u = sx p.x + ox,
// v = (H - p.y) sy + oy with H the render height, or the viewport's when that is negative;
// inside [0, 1]^2 (ends included) the plate's texel, else the flat colour, both times the gains.
TEST(BackplateEnvironment, ScreenAlignedImageCoversTheUnitSquare) {
  struct Case {
    const char* what;
    float2 pixel;
    int32_t width, height;
    float2 renderSize, viewportSize, uvScale, uvOffset;
    bool onImage;
    float2 uv;
  };
  const float2 none(-1.0f, -1.0f);
  const float2 unit(1.0f / 128.0f, 1.0f / 64.0f);
  const float2 half(1.0f / 256.0f, 1.0f / 128.0f);
  const Case cases[] = {
      {"inside", float2(64, 16), 128, 64, float2(128, 64), none, unit, float2(0, 0), true,
       float2(0.5f, 0.75f)},
      {"top right corner", float2(128, 0), 128, 64, float2(128, 64), none, unit, float2(0, 0), true,
       float2(1, 1)},
      {"bottom left corner", float2(0, 64), 128, 64, float2(128, 64), none, unit, float2(0, 0),
       true, float2(0, 0)},
      {"right of it", float2(129, 0), 128, 64, float2(128, 64), none, unit, float2(0, 0), false,
       float2()},
      {"above it", float2(64, -1), 128, 64, float2(128, 64), none, unit, float2(0, 0), false,
       float2()},
      {"offset", float2(64, 16), 128, 64, float2(128, 64), none, unit, float2(-0.5f, 0), true,
       float2(0.0f, 0.75f)},
      // p = (128, 32) in viewport pixels; H = 128 from the viewport.
      {"viewport rescale and height", float2(64, 16), 128, 64, none, float2(256, 128), half,
       float2(0, 0), true, float2(0.5f, 0.75f)},
      // No raster size to rescale by: p stays (64, 16); v = (128 - 16) / 128.
      {"zero raster size", float2(64, 16), 0, 0, none, float2(256, 128), half, float2(0, 0), true,
       float2(0.25f, 0.875f)},
      {"NaN pixel", float2(kNaN, 16), 128, 64, float2(128, 64), none, unit, float2(0, 0), false,
       float2()},
  };
  Backplate b;
  b.env.set("backgroundMode", int32_t(2));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    b.env.set("render_size", c.renderSize);
    b.env.set("viewport_size", c.viewportSize);
    b.env.set("uv_scale", c.uvScale);
    b.env.set("uv_offset", c.uvOffset);
    b.clearLogs();
    const float4 ci = b.shade(pvx::kRayCamera, c.pixel, 0, float3(1, 0, 0), c.width, c.height);
    EXPECT_TRUE(nearFloat4(ci, float4((c.onImage ? kPlateTexel : kBackground) * kGains, 0.0f)));
    ASSERT_EQ(b.plate.sampleCount(), c.onImage ? 1u : 0u);
    if (c.onImage) {
      EXPECT_EQ(b.plate.coordinates()[0], c.uv);
    }
  }
}

// x = a w.x (2 sx - 1) / 2, y = a w.y (2 (1 - sy) - 1) / 2 + horizon with a = 1 / closeUp and
// (sx, sy) = uv_scale p + uv_offset; q = first three rows of T on (x, y, 1, 0), made unit;
// d = R q by columns; the cube is sampled at (d.x, d.z, -d.y).
TEST(BackplateEnvironment, CameraWindowDirectionReachesTheCube) {
  const float k = 0.4082483f;  // 1 / sqrt(6): (-0.5, 0.5, 1) / sqrt(1.5) = (-k, k, 2k)
  const mat4 rowsSwapXZ = {{0, 0, 1, 5, 0, 1, 0, 6, 1, 0, 0, 7, 9, 9, 9, 9}};  // q = (1, y, x)
  const mat3 turnZ = {{0, 1, 0, -1, 0, 0, 0, 0, 1}};  // by columns: d = (-q.y, q.x, q.z)
  struct Case {
    const char* what;
    float2 pixel;
    float closeUp;
    float2 window;
    float horizon;
    mat4 transform;
    mat3 rotation;
    float3 cubeVector;
  };
  const mat4 i4 = pvx::identity4;
  const mat3 i3 = pvx::identity3;
  const Case cases[] = {
      {"centre", kCentre, 1, float2(1, 1), 0, i4, i3, float3(0, 1, 0)},
      {"top left corner", float2(0, 0), 1, float2(1, 1), 0, i4, i3, float3(-k, 2 * k, -k)},
      {"bottom right corner", float2(128, 64), 1, float2(1, 1), 0, i4, i3, float3(k, 2 * k, k)},
      // a = 2: x = 2 2 (-0.5) = -2, y = 2 1 0.5 + 0.25 = 1.25; |(-2, 1.25, 1)| = 2.5617376.
      {"close-up, window and horizon", float2(0, 0), 0.5f, float2(2, 1), 0.25f, i4, i3,
       float3(-0.7807201f, 0.3903600f, -0.4879500f)},
      // q = (1, 0.5, -0.5) / sqrt(1.5); T3, T7, T11 and the fourth row are not used.
      {"transform by rows", float2(0, 0), 1, float2(1, 1), 0, rowsSwapXZ, i3,
       float3(2 * k, -k, -k)},
      {"cube rotation by columns", float2(0, 0), 1, float2(1, 1), 0, i4, turnZ,
       float3(-k, 2 * k, k)},
  };
  Backplate b;
  b.env.set("backgroundMode", int32_t(3));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    b.env.set("backplateCloseUp", c.closeUp);
    b.env.set("camerawindowsize", c.window);
    b.env.set("backplateHorizon", c.horizon);
    b.env.set("backplatetransform", c.transform);
    b.env.set("backplateCubeRotation", c.rotation);
    b.clearLogs();
    b.shade(pvx::kRayCamera, c.pixel);
    ASSERT_EQ(b.cube.coordinates().size(), 1u);
    EXPECT_TRUE(nearFloat3(b.cube.coordinates()[0], c.cubeVector, 1e-6f));
  }
}

// The window centre looks along +z: v = 1 in a latitude-longitude image (u = atan2(-0, 0) / 2pi
// + 1/4), for the environment image (mode 1) and the plate read as one (mode 4); reflected rays
// see the environment through globalIBLMatrix by rows.
TEST(BackplateEnvironment, LatitudeLongitudeLookups) {
  Backplate b;
  for (const int32_t mode : {1, 4}) {
    b.env.set("backgroundMode", mode);
    b.clearLogs();
    b.shade(pvx::kRayCamera, kCentre);
    const auto& logged = mode == 1 ? b.environmentImage.coordinates() : b.plate.coordinates();
    ASSERT_EQ(logged.size(), 1u) << "mode " << mode;
    EXPECT_NEAR(logged[0].x, 0.25f, 1e-6f);
    EXPECT_NEAR(logged[0].y, 1.0f, 1e-6f);
  }
  b.env.set("globalIBLMatrix", mat3{{0, 1, 0, -1, 0, 0, 0, 0, 1}});  // x' = y, y' = -x
  b.clearLogs();
  b.shade(pvx::kRayReflection, kCentre, 0, float3(1.0f, 0.0f, 0.0f));
  ASSERT_EQ(b.environmentImage.coordinates().size(), 1u);
  EXPECT_NEAR(b.environmentImage.coordinates()[0].x, 0.5f, 1e-6f);  // atan2(1, 0) / 2pi + 1/4
  EXPECT_NEAR(b.environmentImage.coordinates()[0].y, 0.5f, 1e-6f);
}

// A zero close-up, a raster without size, a NaN pixel or a NaN direction must not crash, and
// with constant images every answer stays finite; modes 0 and 2 do not depend on the close-up.
TEST(BackplateEnvironment, DegenerateInputsStayFiniteWithConstantImages) {
  Backplate b;
  b.env.set("viewport_size", float2(256.0f, 128.0f));
  for (const float closeUp : {0.0f, -0.0f, 1.0f}) {
    b.env.set("backplateCloseUp", closeUp);
    for (int32_t mode = 0; mode <= 5; ++mode) {
      b.env.set("backgroundMode", mode);
      const float4 answers[] = {
          b.shade(pvx::kRayCamera, kCentre),
          b.shade(pvx::kRayCamera, float2(0.0f, 0.0f)),
          b.shade(pvx::kRayCamera, kCentre, 0, float3(1, 0, 0), 0, 0),
          b.shade(pvx::kRayGlossy, float2(kNaN, kNaN), 1),
          b.shade(pvx::kRayReflection, kCentre, 0, float3(kNaN)),
      };
      for (const float4& ci : answers) {
        EXPECT_TRUE(std::isfinite(ci.x) && std::isfinite(ci.y) && std::isfinite(ci.z) &&
                    ci.w == 0.0f)
            << "mode " << mode << " close-up " << closeUp;
      }
    }
  }
  b.env.set("backplateCloseUp", 0.0f);
  b.env.set("backgroundMode", int32_t(0));
  EXPECT_EQ(b.shade(pvx::kRayCamera, kCentre), float4(kBackground, 0.0f));
  b.env.set("backgroundMode", int32_t(2));
  EXPECT_TRUE(nearFloat4(b.shade(pvx::kRayCamera, kCentre), float4(kPlateTexel * kGains, 0.0f)));
}

}  // namespace
}  // namespace tarvo::test
