// How the Ward network variants shade: with every network off exactly like quarra_Mtl_Ward, and
// with a network on, its colour as the diffuse colour, its height field as the bump, its red
// channel as the cut-out opacity.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "shadinglib/vector_math.h"
#include "tests/support/scene_sampler.h"
#include "tests/support/shading_contract.h"
#include "tests/support/test_support.h"

namespace tarvo::test {
namespace {

const char* const kVariants[] = {
    "quarra_Mtl_Ward_120b7820", "quarra_Mtl_Ward_33632204", "quarra_Mtl_Ward_5592d496",
    "quarra_Mtl_Ward_5ba0bfff", "quarra_Mtl_Ward_82261344", "quarra_Mtl_Ward_aa598cb4",
    "quarra_Mtl_Ward_b9aac246", "quarra_Mtl_Ward_ccb3a2e6", "quarra_Mtl_Ward_f05db29e"};

size_t varyingSize(int32_t code) {
  return code == pvx::kVaryingFloat2 ? 8 : code == pvx::kVaryingFloat3 ? 12 : 16;
}

TEST(WardNetworkVariants, WithNetworksOffEveryEntryMatchesTheWardClassBitForBit) {
  const std::vector<ParameterRange> ranges = {{"u_procedureMapEnable", 0, 7},
                                              {"u_imageFadeEnable", 0, 4},
                                              {"u_anisotropyValue", 0, 4},
                                              {"u_brdfCurvePower", 0, 10},
                                              {"u_ior", 1, 3},
                                              {"ambientOcclusionMode", 0, 2},
                                              {"maskingMode", -1, 4}};
  constexpr int kScenes = 60;
  for (const char* className : kVariants) {
    SCOPED_TRACE(className);
    host::BoundShader ward = makeShader("quarra_Mtl_Ward");
    host::BoundShader variant = makeShader(className);
    int differing = 0;
    for (int scene = 0; scene < kScenes; ++scene) {
      Rng rng(7919u * uint64_t(scene + 1));
      host::TextureSet textures;
      host::HostAnswers answers;
      sampleAnswers(rng, &answers, &textures);
      // The network nodes get values too; the Ward values are copied over the shared names.
      sampleParameters(rng, variant.get(), variant.table(), {}, &textures);
      sampleParameters(rng, ward.get(), ward.table(), ranges, &textures);
      for (const char* off : {"u_globalClippingMapEnable", "u_isDecal", "u_commonTintEnable",
                              "u_diffuseMapEnable", "u_normal0MapEnable", "u_cutoutMapEnable"}) {
        ward.set(off, false);
      }
      for (const host::ParameterRecord& p : variant.table().parameters()) {
        if (ward.table().find(p.name) == nullptr) continue;
        std::memcpy(variant.address(p.name, p.type), ward.address(p.name),
                    host::storageSize(p.type));
      }
      const pvx::ShadingState wardState = sampleState(rng, ward.table());
      pvx::ShadingState variantState = wardState;
      for (const host::VaryingRecord& v : variant.table().varyings()) {
        std::memcpy(variantState.varying + v.offset,
                    wardState.varying + ward.table().findVarying(v.name)->offset,
                    varyingSize(v.typeCode));
      }

      for (Entry entry : {Entry::Shade, Entry::Shadow, Entry::Evaluate, Entry::Scatter}) {
        pvx::ShadingState a = wardState, b = variantState;
        host::RecordingHost hostA(host::HostPolicy::Cycling, answers),
            hostB(host::HostPolicy::Cycling, answers);
        callEntry(ward.get(), entry, &hostA, &a);
        callEntry(variant.get(), entry, &hostB, &b);
        // Only the varying blocks were laid out differently.
        std::memcpy(b.varying, a.varying, sizeof a.varying);
        if (std::memcmp(&a, &b, sizeof a) != 0 && differing++ < 3) {
          ADD_FAILURE() << entryName(entry) << " differs in scene " << scene;
        }
      }
    }
  }
}

// A camera hit with its tangent along (1, 1, 0) and uv (0.3, 0.6), in the variants' layout.
pvx::ShadingState variantHit() {
  pvx::ShadingState s = cameraHit();
  writeVarying(&s, 12, float3(1.0f, 1.0f, 0.0f));
  writeVarying(&s, 24, float2(0.3f, 0.6f));
  return s;
}

// The lighting normal `shade` hands to lightSamples (the frame with the first normal map).
float3 litNormal(const host::BoundShader& shader, RecordingHost& host) {
  pvx::ShadingState s = variantHit();
  shader.material()->shade(&host, &s);
  const host::HostCall* call = host.last(pvx::host_slot::kLightSamples);
  return call ? call->vector(1) : float3(0.0f);
}

TEST(WardNetworkVariants, BumpNetworkVaryingAlongSBendsTheNormalOnlyAlongT) {
  // Height = r + g + b = 3s: one step of 0.001 along s lowers dx by 0.003, dy is 0, so
  // N = normalize(N - 0.003 x 3.33 x T) with T = (1, 1, 0) / sqrt 2.
  RecordingTexture2D texture;
  texture.function = [](const float2& st) { return float4(st.x, st.x, st.x, 1.0f); };
  for (const char* className : {"quarra_Mtl_Ward_5592d496", "quarra_Mtl_Ward_f05db29e"}) {
    SCOPED_TRACE(className);
    host::BoundShader shader = makeShader(className);
    shader.set("u_normal0MapEnable", true);
    shader.set("u_normal0Amount", 1.0f);
    shader.set("_ward_normal0_map_UnifiedBitmap_texture", &texture);
    RecordingHost host;
    const float3 N = litNormal(shader, host);
    const float3 T = pvx::normalize(float3(1.0f, 1.0f, 0.0f));
    const float3 B = pvx::cross(float3(0.0f, 0.0f, 1.0f), T);
    const float k = -0.003f * 3.33f;
    EXPECT_NEAR(pvx::dot(N, B), 0.0f, 1e-7f);
    EXPECT_NEAR(pvx::dot(N, T), k / std::sqrt(1.0f + k * k), 2e-5f);
    EXPECT_GT(N.z, 0.99f);
  }
}

TEST(WardNetworkVariants, BumpNetworkOfConstantNoisesLeavesTheNormalUnchanged) {
  // Noises read Po only, the same for all three samples: no slope whatever the settings.
  host::BoundShader shader = makeShader("quarra_Mtl_Ward_5ba0bfff");
  shader.set("u_normal0MapEnable", true);
  shader.set("u_normal0Amount", 5.0f);
  shader.set("_ward_normal0_map_Noise_type", int32_t{1});
  shader.set("_ward_normal0_map_Noise_levels", 4.5f);
  shader.set("_ward_normal0_map_Noise_color2", float4(3.0f, 2.0f, 1.0f, 1.0f));
  RecordingHost host;
  host.noiseAnswer = 0.8f;
  EXPECT_EQ(litNormal(shader, host), float3(0.0f, 0.0f, 1.0f));
  EXPECT_EQ(host.count(pvx::host_slot::kNoise4), 3 * 5) << "three samples of five octaves";
}

TEST(WardNetworkVariants, DiffuseNetworkReplacesAmountTimesTexelAndFeedsTheImageFade) {
  // Noise 0.25 between the thresholds 0 and 1: colour 0.75 c1 + 0.25 c2 = (0.4, 0.55, 0.7),
  // alpha 0.75 x 0.2 + 0.25 = 0.4. Fade mode 1 with strength 0.5: f = 0.2, so
  // d = 0.2 x (0.4, 0.55, 0.7) + 0.8 x (1, 0, 0) = (0.88, 0.11, 0.14). The diffuse amount 5 is
  // not applied. Reflectivity 0 leaves evaluate's weight d / pi.
  struct Case {
    int32_t fadeMode;
    float3 diffuse;
  };
  const Case cases[] = {{0, float3(0.4f, 0.55f, 0.7f)}, {1, float3(0.88f, 0.11f, 0.14f)}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fadeMode);
    host::BoundShader shader = makeShader("quarra_Mtl_Ward_120b7820");
    shader.set("u_diffuseMapEnable", true);
    shader.set("u_diffuseAmount", 5.0f);
    shader.set("u_diffuseColor", float3(1.0f, 0.0f, 0.0f));
    shader.set("u_reflectivity", 0.0f);
    shader.set("u_imageFadeEnable", c.fadeMode);
    shader.set("u_imageFade", 0.5f);
    shader.set("_ward_diffuse_color_Noise_color1", float4(0.2f, 0.4f, 0.6f, 0.2f));
    shader.set("_ward_diffuse_color_Noise_color2", float4(1.0f));
    RecordingHost host;
    host.noiseAnswer = 0.25f;
    pvx::ShadingState s = variantHit();
    s.I = pvx::normalize(float3(0.3f, 0.1f, -1.0f));
    s.scatterDir = pvx::normalize(float3(0.2f, -0.4f, 1.0f));
    shader.material()->evaluate(&host, &s);
    EXPECT_TRUE(nearFloat3(s.scatterWeight, c.diffuse * 0.3183099f, 1e-6f));
  }
}

TEST(WardNetworkVariants, CutoutNetworkGivesTheOpacity) {
  // c = amount 2 x red 0.3 = 0.6 (the cut-out amount 5 is not applied): a shadow ray keeps 0.4.
  RecordingTexture2D texture;
  texture.value = float4(0.3f, 0.9f, 0.9f, 1.0f);
  host::BoundShader shader = makeShader("quarra_Mtl_Ward_82261344");
  shader.set("u_cutoutMapEnable", true);
  shader.set("u_cutoutAmount", 5.0f);
  shader.set("_ward_cutout_map_UnifiedBitmap_texture", &texture);
  shader.set("_ward_cutout_map_UnifiedBitmap_amount", 2.0f);
  RecordingHost host;
  pvx::ShadingState s = variantHit();
  shader.material()->shadow(&host, &s);
  EXPECT_TRUE(nearFloat3(s.shadowT, float3(0.4f), 1e-6f));
}

}  // namespace
}  // namespace tarvo::test
