// quarra_Mtl_AmbientOnly: white unless the occlusion display is on and an occlusion source is
// chosen; then the darkest channel of the ambient-occlusion term as a grey level.
#include <gtest/gtest.h>

#include "shadinglib/vector_math.h"
#include "tests/support/test_support.h"

namespace tarvo::test {
namespace {

TEST(AmbientOnly, ShowsTheDarkestOcclusionChannelOnlyWhenASourceIsChosen) {
  struct Case {
    const char* name;
    bool show, precalc, raytraced;
    int32_t mode;
    float factor;
    float3 occludedColor;
    float3 expected;
    int hostQueries;
    size_t textureSamples;
  };
  // Host occlusion (0.5, 0.3, 0.9); vertex red 0.25; texture red 0.6 at uv1.
  const Case cases[] = {
      {"display off", false, true, true, 1, 1.0f, float3(0.0f), float3(1.0f), 0, 0},
      // o = 0.75: black 0.75 + 0.25.
      {"vertex colour", true, true, false, 2, 1.0f, float3(0.0f), float3(0.25f), 0, 0},
      // o = 0.4 0.5 = 0.2: (0.5, 0.2, 0.1) 0.2 + 0.8 = (0.9, 0.84, 0.82); min 0.82.
      {"texture", true, true, false, 1, 0.5f, float3(0.5f, 0.2f, 0.1f), float3(0.82f), 0, 1},
      // Host path, f = 1: the term is q itself; min 0.3.
      {"raytraced", true, false, true, 0, 1.0f, float3(0.0f), float3(0.3f), 1, 0},
      // Queried, then dropped: no source chosen.
      {"precalc with mode 0", true, true, false, 0, 1.0f, float3(0.0f), float3(1.0f), 1, 0},
      {"negative mode is no source", true, true, false, -3, 1.0f, float3(0.0f), float3(1.0f), 1, 0},
      // Mode 5 counts as chosen (> 0) but is no precomputed source: host term, min 0.3.
      {"unknown positive mode", true, true, false, 5, 1.0f, float3(0.0f), float3(0.3f), 1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    host::BoundShader shader = makeShader("quarra_Mtl_AmbientOnly");
    host::RecordingTexture2D texture;
    texture.value = float4(0.6f, 0.0f, 0.0f, 1.0f);
    shader.set("ambientOcclusionTexture", static_cast<pvx::ITexture2D*>(&texture));
    shader.set("showAmbientOnly", c.show);
    shader.set("usePrecalcAO", c.precalc);
    shader.set("usingRaytracedAO", c.raytraced);
    shader.set("ambientOcclusionMode", c.mode);
    shader.set("ambientOcclusionFactor", c.factor);
    shader.set("ambientOcclusionColor", c.occludedColor);
    host::RecordingHost host;
    host.occlusionAnswer = float3(0.5f, 0.3f, 0.9f);
    pvx::ShadingState state = cameraHit();
    state.P = float3(1.0f, 2.0f, 3.0f);
    state.Ci = float4(0.0f);
    writeVarying(&state, 0, float2(0.125f, 0.75f));
    writeVarying(&state, 8, float4(0.25f, 1.0f, 1.0f, 1.0f));

    shader.material()->shade(&host, &state);
    EXPECT_TRUE(nearFloat4(state.Ci, float4(c.expected, 1.0f), 1e-6f));
    EXPECT_EQ(host.calls().size(), size_t(c.hostQueries));
    if (c.hostQueries == 1) {
      const host::HostCall& call = host.calls()[0];
      EXPECT_EQ(call.slot, slot::kOcclusion);
      EXPECT_EQ(call.vector(0), state.P);
      EXPECT_EQ(call.vector(1), state.N);  // the camera ray faces N already
      EXPECT_EQ(call.scalars[0], 1.0f);    // k w f = 1
    }
    ASSERT_EQ(texture.sampleCount(), c.textureSamples);
    if (c.textureSamples) {
      EXPECT_EQ(texture.coordinates()[0], float2(0.125f, 0.75f));
    }
  }
}

TEST(AmbientOnly, MaskingParametersAreStoredButNeverCutTheSurface) {
  host::BoundShader shader = makeShader("quarra_Mtl_AmbientOnly");
  host::RecordingTexture2D mask;
  mask.value = float4(1.0f);
  shader.set("maskingColor", float3(1.0f));  // would discard every hit in a masked material
  shader.set("maskingTexture", static_cast<pvx::ITexture2D*>(&mask));
  host::RecordingHost host;
  for (int32_t mode = -1; mode <= 4; ++mode) {
    shader.set("maskingMode", mode);
    pvx::ShadingState state = cameraHit();
    shader.material()->shade(&host, &state);
    EXPECT_EQ(state.ignoreHit, 0);
    EXPECT_EQ(state.Ci, float4(1.0f));
  }
  EXPECT_EQ(mask.sampleCount(), 0u);
  EXPECT_TRUE(host.calls().empty());
}

}  // namespace
}  // namespace tarvo::test
