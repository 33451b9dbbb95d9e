// The Ward entry points are templates over the parameter block: a block laid out like the
// network variants' (varyings first at other offsets, the ambient-occlusion group last, no
// clipping, decal or tint) shades exactly like quarra_Mtl_Ward with those features off.
#include <gtest/gtest.h>

#include <cstring>

#include "frame/shader_class.h"
#include "shadinglib/ward_material.h"
#include "tests/support/test_support.h"

namespace pvx {

#define TARVO_TEST_VARIANT_PARAMETERS(PARAM, VARYING) \
  VARYING(Float3, bitangent, 0)                       \
  VARYING(Float3, tangent, 12)                        \
  VARYING(Float2, uv, 24)                             \
  PARAM(Bool, CaldrinAODisable, false)                \
  TARVO_WARD_SURFACE_PARAMETERS(PARAM, VARYING)       \
  TARVO_AO_MASKING_PARAMETERS_AT(PARAM, VARYING, 32, 40)
TARVO_PARAMETER_BLOCK(VariantLayoutParameters, TARVO_TEST_VARIANT_PARAMETERS);

namespace {

using namespace tarvo::test;  // the recording host, the states and the comparisons
using Variant = WardMaterial<VariantLayoutParameters>;

TEST(WardVariantLayout, ShadesEvaluatesAndScattersLikeTheWardClass) {
  tarvo::host::BoundShader ward = tarvo::test::makeShader("quarra_Mtl_Ward");
  VariantLayoutParameters variant;
  const auto setBoth = [&](const char* name, auto value, auto VariantLayoutParameters::*member) {
    ward.set(name, value);
    variant.*member = value;
  };
  setBoth("u_diffuseColor", float3(0.6f, 0.4f, 0.2f), &VariantLayoutParameters::u_diffuseColor);
  setBoth("u_brdfCurvePower", 5.0f, &VariantLayoutParameters::u_brdfCurvePower);
  setBoth("u_roughValue", 0.2f, &VariantLayoutParameters::u_roughValue);
  setBoth("u_anisotropyValue", 2.0f, &VariantLayoutParameters::u_anisotropyValue);
  setBoth("u_anisoRotationValue", 0.3f, &VariantLayoutParameters::u_anisoRotationValue);

  // The same hit in both varying layouts.
  const float3 tangent = normalize(float3(1.0f, 0.2f, 0.0f));
  ShadingState wardState = tarvo::test::cameraHit();
  wardState.I = normalize(float3(0.3f, -0.2f, -1.0f));
  ShadingState variantState = wardState;
  writeVarying(&wardState, 36, tangent);
  writeVarying(&wardState, 48, float2(0.25f, 0.75f));
  writeVarying(&variantState, 12, tangent);
  writeVarying(&variantState, 24, float2(0.25f, 0.75f));

  RecordingHost host;
  host.lights = {makeLight(normalize(float3(-0.4f, 0.3f, 1.0f)), float3(1.0f, 0.9f, 0.8f)),
                 makeLight(normalize(float3(0.5f, 0.1f, 0.6f)), float3(0.3f))};
  host.ambientAnswer = float3(0.1f);
  host.traceReflectionAnswer = float3(0.4f);

  ShadingState a = wardState, b = variantState;
  ward.material()->shade(&host, &a);
  Variant::shade(variant, &host, &b);
  EXPECT_EQ(std::memcmp(&a.Ci, &b.Ci, sizeof a.Ci), 0);

  a = wardState;
  b = variantState;
  a.scatterDir = b.scatterDir = normalize(float3(-0.2f, 0.4f, 0.9f));
  ward.material()->evaluate(&host, &a);
  Variant::evaluate(variant, &host, &b);
  EXPECT_EQ(a.scatterWeight, b.scatterWeight);
  EXPECT_EQ(a.scatterCos, b.scatterCos);

  // Two hosts with the same random sequence, so both draw the same numbers.
  RecordingHost hostA, hostB;
  hostA.randomSequence = hostB.randomSequence = {0.3f, 0.7f, 0.2f, 0.9f, 0.6f};
  int drawn = 0;
  for (int n = 0; n < 4; ++n) {
    a = wardState;
    b = variantState;
    ward.material()->scatter(&hostA, &a);
    Variant::scatter(variant, &hostB, &b);
    EXPECT_EQ(a.scatterKind, b.scatterKind);
    EXPECT_EQ(a.scatterDir, b.scatterDir);
    EXPECT_EQ(a.scatterWeight, b.scatterWeight);
    drawn += a.scatterKind != kRayNone;
  }
  EXPECT_GT(drawn, 0);
}

}  // namespace
}  // namespace pvx
