// The point and spot lights as a host drives them: range, distance falloff, cone
// edge and shadow transmission, each rule worked out by hand from its formula.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "shadinglib/vector_math.h"
#include "tests/support/test_support.h"

namespace tarvo::test {
namespace {

using Type = host::ParamType;

const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float3 kUntouched(-7.0f);  // what the host left in the outputs

// A light sample at distance `dist` straight above the shaded point at the origin, the light
// aimed down its axis, outputs pre-filled so that an unwritten output shows.
pvx::ShadingState lightQuery(float dist) {
  pvx::ShadingState s = cameraHit();
  s.lightP = float3(0.0f, 0.0f, dist);
  s.lightL = float3(0.0f, 0.0f, -1.0f);
  s.lightAxis = float3(0.0f, 0.0f, -1.0f);
  s.lightDist = dist;
  s.lightColor = kUntouched;
  s.lightT = kUntouched;
  return s;
}

void shade(const host::BoundShader& light, host::RecordingHost& host, pvx::ShadingState& s) {
  light.light()->shade(&host, &s);
}

// atten = saturate(1 - (d / a)^b); the range test is `range < d`, so d = range is still lit.
TEST(Lights, RangeAndDistanceAttenuation) {
  struct Case {
    float3 factors;
    float range, dist;
    bool lit;
    float atten;
  };
  const Case cases[] = {
      {{10.0f, 2.0f, 0.0f}, 10000.0f, 5.0f, true, 0.75f},   // 1 - 0.5^2
      {{10.0f, 2.0f, 0.0f}, 10000.0f, 10.0f, true, 0.0f},   // 1 - 1
      {{10.0f, 2.0f, 0.0f}, 10000.0f, 20.0f, true, 0.0f},   // 1 - 4 = -3, limited to 0
      {{10.0f, 2.0f, 0.0f}, 10000.0f, 0.0f, true, 1.0f},    // at the source
      {{10.0f, 1.0f, 0.0f}, 10000.0f, 2.5f, true, 0.75f},   // linear: 1 - 0.25
      {{10.0f, -1.0f, 0.0f}, 10000.0f, 20.0f, true, 0.5f},  // 1 - (2)^-1
      {{1.0f, 0.0f, 0.0f}, 10000.0f, 5.0f, true, 0.0f},     // defaults: 1 - 5^0 = 0, black
      {{0.0f, 1.0f, 0.0f}, 10000.0f, 0.0f, true, kNaN},     // 1 - 0/0: the NaN passes through
      {{20.0f, 1.0f, 0.0f}, 10.0f, 10.0f, true, 0.5f},      // on the range: lit
      {{20.0f, 1.0f, 0.0f}, 10.0f, 11.0f, false, 0.0f},     // one unit beyond: untouched
  };
  for (const char* className : {"qvPointLight", "qvSpotLight"}) {
    host::BoundShader light = makeShader(className);
    const float3 color = light.get<float3>("color", Type::Color);
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(className) + " at distance " + std::to_string(c.dist));
      light.set("attenuationFactors", c.factors);
      light.set("range", c.range);
      host::RecordingHost host;
      pvx::ShadingState s = lightQuery(c.dist);
      shade(light, host, s);
      // The spot is aimed straight at the point: edge 1 and pow(1, 0) = 1.
      EXPECT_TRUE(nearFloat3(s.lightColor, c.lit ? color * c.atten : kUntouched));
      EXPECT_EQ(s.lightT, c.lit ? float3(1.0f) : kUntouched);
      EXPECT_EQ(host.calls().size(), c.lit ? 1u : 0u);
    }
  }
}

TEST(Lights, ShadowTransmissionComesFromTheHostOnlyWhenCastingShadows) {
  for (const char* className : {"qvPointLight", "qvSpotLight"}) {
    for (const bool castShadows : {true, false}) {
      SCOPED_TRACE(std::string(className) + (castShadows ? " casting" : " not casting"));
      host::BoundShader light = makeShader(className);
      light.set("castShadows", castShadows);
      host::RecordingHost host;
      host.shadowTransmissionAnswer = float3(0.25f, 0.5f, 0.75f);
      pvx::ShadingState s = lightQuery(3.0f);
      s.P = float3(1.0f, 2.0f, 0.0f);
      shade(light, host, s);
      EXPECT_EQ(host.count(pvx::host_slot::kShadowTransmission), castShadows ? 1 : 0);
      EXPECT_EQ(host.calls().size(), castShadows ? 1u : 0u);
      EXPECT_EQ(s.lightT, castShadows ? float3(0.25f, 0.5f, 0.75f) : float3(1.0f));
      if (castShadows) {
        const host::HostCall& call = *host.first(pvx::host_slot::kShadowTransmission);
        EXPECT_EQ(call.vector(0), s.P);
        EXPECT_EQ(call.vector(1), s.lightP);
      }
    }
  }
}

// c = dot(axis, L) limited to [0, 1]; outside the cone when c < cosPenumbra; edge 1 from
// cosUmbra on, else t = (c - 0.9) / 0.05 and t^2 (3 - 2t); colour = color s c^e atten with
// atten = 1 - 5/10 = 0.5 here.
TEST(SpotLight, ConeEdgeAndCosinePower) {
  struct Case {
    const char* what;
    float3 lightL;
    float exponent;
    bool lit;
    float factor;  // s c^e atten
  };
  const float inf = std::numeric_limits<float>::infinity();
  const Case cases[] = {
      {"on the axis", {0.0f, 0.0f, -1.0f}, 0.0f, true, 0.5f},
      {"exactly cosUmbra", {0.3122f, 0.0f, -0.95f}, 0.0f, true, 0.5f},
      {"halfway", {0.38f, 0.0f, -0.925f}, 0.0f, true, 0.25f},  // t = 0.5: s = 0.5
      {"exactly cosPenumbra", {0.4359f, 0.0f, -0.9f}, 0.0f, true, 0.0f},
      {"just outside", {0.4560f, 0.0f, -0.89f}, 0.0f, false, 0.0f},
      {"behind the light", {0.0f, 0.0f, 1.0f}, 0.0f, false, 0.0f},      // c = -1 limited to 0
      {"cosine power", {0.3122f, 0.0f, -0.95f}, 2.0f, true, 0.45125f},  // 0.95^2 * 0.5
      {"longer than unit", {0.0f, 0.0f, -1.5f}, 3.0f, true, 0.5f},      // c limited to 1
      {"NaN direction", {kNaN, 0.0f, -1.0f}, 0.0f, false, 0.0f},        // clamp: c = 0
      {"infinite direction", {0.0f, 0.0f, -inf}, 0.0f, true, 0.5f},     // c limited to 1
  };
  host::BoundShader spot = makeShader("qvSpotLight");
  const float3 color = spot.get<float3>("color", Type::Color);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    spot.set("attenuationFactors", float3(10.0f, 1.0f, c.exponent));
    host::RecordingHost host;
    host.shadowTransmissionAnswer = float3(0.5f);
    pvx::ShadingState s = lightQuery(5.0f);
    s.lightL = c.lightL;
    shade(spot, host, s);
    EXPECT_TRUE(nearFloat3(s.lightColor, c.lit ? color * c.factor : kUntouched, 1e-5f));
    EXPECT_EQ(s.lightT, c.lit ? float3(0.5f) : kUntouched);
  }
}

// Physical shape: moving away from the light or off the spot's axis never brightens the point,
// and the light never exceeds its colour. The sweep crosses the falloff's end (d = 10) and the
// cone's umbra and penumbra with a cosine power at work.
TEST(Lights, LightFadesMonotonicallyWithDistanceAndAngleAndStaysWithinItsColour) {
  host::BoundShader spot = makeShader("qvSpotLight");
  spot.set("attenuationFactors", float3(10.0f, 1.5f, 4.0f));
  const float3 color = spot.get<float3>("color", Type::Color);
  host::RecordingHost host;
  float previous = std::numeric_limits<float>::infinity();
  for (int i = 0; i <= 120; ++i) {  // distance 0 to 12 on the axis
    pvx::ShadingState s = lightQuery(0.1f * static_cast<float>(i));
    shade(spot, host, s);
    EXPECT_LE(s.lightColor.y, previous) << "distance " << s.lightDist;
    EXPECT_GE(s.lightColor.y, 0.0f);
    EXPECT_LE(s.lightColor.y, color.y);
    previous = s.lightColor.y;
  }
  previous = std::numeric_limits<float>::infinity();
  for (int i = 0; i <= 100; ++i) {  // cosine 1 down to 0.88 at distance 4
    const float cosine = 1.0f - 0.0012f * static_cast<float>(i);
    pvx::ShadingState s = lightQuery(4.0f);
    s.lightL = float3(std::sqrt(1.0f - cosine * cosine), 0.0f, -cosine);
    s.lightColor = float3(0.0f);  // outside the cone nothing is written: reads as dark
    shade(spot, host, s);
    EXPECT_LE(s.lightColor.y, previous) << "cosine " << cosine;
    EXPECT_LE(s.lightColor.y, color.y);
    previous = s.lightColor.y;
  }
}

}  // namespace
}  // namespace tarvo::test
