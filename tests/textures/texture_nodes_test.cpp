// The texture nodes: the noise value and threshold ramp of Noise, the placement of points and
// coordinates, the bitmap lookup, and Tile's wrapping, per-brick variation and brick layout
// (with a small picture of the layout, so a change to it shows).
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>
#include <string>

#include "shadinglib/texture_nodes.h"
#include "tests/support/test_support.h"

namespace pvx {
namespace {

using tarvo::host::RecordingHost;
using tarvo::host::RecordingTexture2D;
using tarvo::test::nearFloat4;
namespace slot = host_slot;

const float4 kColor1(0.1f, 0.2f, 0.3f, 0.4f);
const float4 kColor2(0.9f, 0.8f, 0.7f, 0.6f);

TEST(NoiseNode, NoiseValueAndThresholdGiveTheBlend) {
  struct Case {
    const char* name;
    int32_t type;
    float levels, low, high, answer;
    float t;  // expected blend factor
    int octaves;
  };
  const Case cases[] = {
      {"regular: v is the host noise", 0, 3.0f, 0.0f, 1.0f, 0.3f, 0.3f, 1},
      {"type 3: v = 0, so color1", 3, 3.0f, 0.0f, 1.0f, 0.9f, 0.0f, 0},
      // (S + 1) / 2 with S = 0.
      {"fractal, levels 0", 1, 0.0f, 0.0f, 1.0f, 0.9f, 0.5f, 0},
      {"turbulence, levels 0", 2, 0.0f, 0.0f, 1.0f, 0.9f, 0.0f, 0},
      // Terms (2 x 0.75 - 1) / f at f = 1, 2, 4, the last at full weight: 0.875; v = 0.9375.
      {"fractal, levels 2.5", 1, 2.5f, 0.0f, 1.0f, 0.75f, 0.9375f, 3},
      // |2 x 0.25 - 1| / f: 0.5 + 0.25 + 0.125.
      {"turbulence, levels 2.5", 2, 2.5f, 0.0f, 1.0f, 0.25f, 0.875f, 3},
      // A fraction below 1 is one octave: (0.5 + 1) / 2.
      {"fractal, levels 0.4", 1, 0.4f, 0.0f, 1.0f, 0.75f, 0.75f, 1},
      {"equal thresholds, below", 0, 1.0f, 0.5f, 0.5f, 0.4f, 0.0f, 1},
      {"equal thresholds, above", 0, 1.0f, 0.5f, 0.5f, 0.6f, 1.0f, 1},
      {"equal thresholds, at the step", 0, 1.0f, 0.5f, 0.5f, 0.5f, 0.5f, 1},
      // (0.5 - 0.2) / (0.6 - 0.2).
      {"linear ramp", 0, 1.0f, 0.2f, 0.6f, 0.5f, 0.75f, 1},
      // Huge levels stop at the octave ceiling.
      {"levels 1e9", 1, 1.0e9f, 0.0f, 1.0f, 0.5f, 0.5f, kMaxNoiseOctaves},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RecordingHost host;
    host.noiseAnswer = c.answer;
    const NoiseNode node{identity4, c.type, 1.0f, c.low, c.high, c.levels, 0.0f};
    const float4 result =
        evaluateNoise(node, NodeInputs{&host, float3(0.3f), float2(0.0f)}, kColor1, kColor2);
    EXPECT_TRUE(nearFloat4(result, kColor1 * (1.0f - c.t) + kColor2 * c.t));
    EXPECT_EQ(host.count(slot::kNoise4), c.octaves);
  }
}

TEST(NoiseNode, PlacesPoAndDividesBySizeBeforeEachOctave) {
  // Column-major: x' = 2x + 0.5y + 1, y' = 3y + 2, z' = 4z + 3; at Po = (1, 1, 1) that is
  // (3.5, 5, 7), divided by size 2: (1.75, 2.5, 3.5); octaves at twice and four times that.
  const mat4 xform = {{2, 0, 0, 9, 0.5f, 3, 0, 9, 0, 0, 4, 9, 1, 2, 3, 9}};
  RecordingHost host;
  const NoiseNode node{xform, kNoiseFractal, 2.0f, 0.0f, 1.0f, 3.0f, 0.7f};
  evaluateNoise(node, NodeInputs{&host, float3(1.0f), float2(0.5f)}, kColor1, kColor2);
  ASSERT_EQ(host.count(slot::kNoise4), 3);
  const float4 p(1.75f, 2.5f, 3.5f, 0.7f);
  EXPECT_EQ(host.calls()[0].vectors[0], p);
  EXPECT_EQ(host.calls()[1].vectors[0], float4(3.5f, 5.0f, 7.0f, 0.7f));
  EXPECT_EQ(host.calls()[2].vectors[0], float4(7.0f, 10.0f, 14.0f, 0.7f));
}

TEST(NoiseNode, NoiseTheHostCannotComputeCountsAsZero) {
  RecordingHost host;
  host.noiseAnswer = std::numeric_limits<float>::quiet_NaN();
  const NoiseNode node{identity4, kNoiseRegular, 0.0f, 0.0f, 1.0f, 1.0f, 0.0f};
  const float4 result =
      evaluateNoise(node, NodeInputs{&host, float3(1.0f), float2(0.0f)}, kColor1, kColor2);
  EXPECT_EQ(result, kColor1);
}

TEST(BitmapNode, ScalesTheTexelAtItsPlacedCoordinate) {
  // s' = 2s + t + 0.25 + 0.5 = 1.15 and t' = 3t + 0.125 - 1 = -0.275 at (0.1, 0.2): the third
  // column and the translation are both added.
  const mat4 xform = {{2, 0, 9, 9, 1, 3, 9, 9, 0.25f, 0.125f, 9, 9, 0.5f, -1, 9, 9}};
  RecordingTexture2D texture;
  texture.value = float4(0.2f, 0.4f, 0.6f, 0.5f);
  const Texture2D bound{&texture, -1};
  RecordingHost host;
  const NodeInputs in{&host, float3(0.0f), float2(0.1f, 0.2f)};
  EXPECT_TRUE(nearFloat4(evaluateBitmap(BitmapNode{xform, bound, 2.0f}, in),
                         float4(0.4f, 0.8f, 1.2f, 0.5f)));
  ASSERT_EQ(texture.coordinates().size(), 1u);
  EXPECT_NEAR(texture.coordinates()[0].x, 1.15f, 1e-6f);
  EXPECT_NEAR(texture.coordinates()[0].y, -0.275f, 1e-6f);
  // No texture: black with alpha 1, whatever the amount.
  EXPECT_EQ(evaluateBitmap(BitmapNode{xform, Texture2D{}, 3.0f}, in), float4(0, 0, 0, 1));
}

BrickLayout wall() {
  // 4 bricks across, 8 rows, 5 % joints, half bond.
  return BrickLayout{8, 4, 0.05f, 0.05f, 0, 0, 0.5f, 0, 1, 2, false, false, 1, 2, 0, 1, 1};
}

const float4 kBrick(0.8f, 0.3f, 0.2f, 1.0f);
const float4 kMortar(0.5f, 0.5f, 0.5f, 1.0f);

TEST(TileNode, OutsideTheTileIsTransparentBlackUnlessItRepeats) {
  RecordingHost host;
  const TileNode once{identity4, 0, 0, false, false, wall()};
  const TileNode repeating{identity4, 0, 0, true, true, wall()};
  const auto at = [&](const TileNode& n, float s, float t) {
    return evaluateTile(n, NodeInputs{&host, float3(0.0f), float2(s, t)}, kBrick, kMortar);
  };
  EXPECT_EQ(at(once, 1.2f, 0.5f), float4(0.0f));
  EXPECT_EQ(at(once, 0.5f, -0.3f), float4(0.0f));
  EXPECT_EQ(at(repeating, std::numeric_limits<float>::infinity(), 0.5f), float4(0.0f));
  EXPECT_EQ(host.count(slot::kCellRandom), 0) << "nothing is evaluated outside";
  EXPECT_EQ(at(repeating, 1.2f, 0.5f), at(repeating, 0.2f, 0.5f));
  EXPECT_EQ(at(repeating, 0.6f, -0.3f), at(repeating, 0.6f, 0.7f));
}

TEST(TileNode, BricksVaryByTheHostCellRandomAndMortarFillsTheJoints) {
  RecordingHost host;
  host.cellRandomAnswer = 0.75f;
  // Centre of the first brick of row 0 (row 0 is not shifted) and a joint between two bricks.
  const float2 centre(0.125f, 0.0625f), joint(0.25f, 0.0625f);
  struct Case {
    float colorVariance, fadeVariance;
    float factor;
  };
  const Case cases[] = {
      {0.0f, 0.0f, 1.0f},
      // c = 1 + 0.5 x 0.4 = 1.2, g = 1 + 0.5 x 0.2 = 1.1.
      {0.4f, 0.2f, 1.32f},
      // c = 1 + 0.5 x -3 < 0, raised to 0.
      {-3.0f, 0.0f, 0.0f},
  };
  for (const Case& c : cases) {
    const TileNode node{identity4, c.colorVariance, c.fadeVariance, true, true, wall()};
    host.clearLog();
    const float4 inside =
        evaluateTile(node, NodeInputs{&host, float3(0.0f), centre}, kBrick, kMortar);
    EXPECT_TRUE(nearFloat4(inside, kBrick * c.factor, 1e-5f)) << c.colorVariance;
    ASSERT_EQ(host.count(slot::kCellRandom), 2);
    EXPECT_EQ(host.calls()[0].scalars[0], host.calls()[1].scalars[0]) << "one brick identifier";
    EXPECT_EQ(evaluateTile(node, NodeInputs{&host, float3(0.0f), joint}, kBrick, kMortar), kMortar);
  }
}

TEST(BrickLayout, IdentifierIsStableOverABrickAndMaskStaysInTheUnitInterval) {
  const BrickLayout l = wall();
  // Points well inside the first brick of row 1 (shifted by half a brick: u in [0.125, 0.375]).
  const float id = brickAt(l, 0.2f, 0.15f).identifier;
  EXPECT_EQ(brickAt(l, 0.3f, 0.24f).identifier, id);
  EXPECT_EQ(brickAt(l, 0.14f, 0.13f).identifier, id);
  EXPECT_NE(brickAt(l, 0.4f, 0.15f).identifier, id) << "the next brick";
  EXPECT_NE(brickAt(l, 0.2f, 0.3f).identifier, id) << "the row above";
  EXPECT_EQ(brickAt(l, 0.25f, 0.19f).mask, 1.0f);

  // The soft edge: 0 in the joint, rising across a band of 4 % of the 0.125 row height. Half
  // of the 5 % joint lies below row 1's bricks, so they start at 0.125 + 0.003125.
  const float edge = 0.128125f;
  EXPECT_EQ(brickAt(l, 0.25f, edge - 0.001f).mask, 0.0f);
  const float mid = brickAt(l, 0.25f, edge + 0.0025f).mask;
  EXPECT_GT(mid, 0.0f);
  EXPECT_LT(mid, 1.0f);
  EXPECT_EQ(brickAt(l, 0.25f, edge + 0.0051f).mask, 1.0f);
}

TEST(BrickLayout, EditsHolesAndHostileSettingsStayBounded) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  struct Case {
    const char* name;
    BrickLayout layout;
    bool allMortar;
  };
  BrickLayout holes = wall();
  holes.holes = INT_MAX;
  BrickLayout noRowBricks = wall();
  noRowBricks.useRowEdit = true;
  noRowBricks.perRow = 1;
  noRowBricks.changeRow = 0.0f;
  BrickLayout flatColumns = wall();
  flatColumns.useColumnEdit = true;
  flatColumns.perColumn = 1;
  flatColumns.changeColumn = -2.0f;
  const Case cases[] = {
      {"holes beyond the brick count", holes, true},
      {"every row edited to no bricks", noRowBricks, true},
      {"every column edited to no height", flatColumns, true},
      {"zero and negative periods",
       {8, 4, 0.05f, 0.05f, 0, 0, 0.5f, 0, 0, 0, true, true, 0, INT_MIN, 0, 1, 1},
       false},
      {"huge counts",
       {1e30f, 1e30f, 0.05f, 0.05f, 0, INT_MIN, 0.5f, 0, 1, 2, false, false, 1, 2, 0, 1, 1},
       false},
      {"not-a-number everywhere",
       {nan, nan, nan, nan, nan, 7, nan, nan, nan, 3, true, true, nan, 3, -5, nan, nan},
       false},
      {"infinities",
       {inf, -inf, inf, -inf, inf, 1, inf, -inf, inf, 2, true, true, inf, 2, 0, inf, -inf},
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (int i = 0; i <= 40; ++i) {
      for (int j = 0; j <= 40; ++j) {
        const BrickSample b = brickAt(c.layout, i / 40.0f, j / 40.0f);
        ASSERT_TRUE(b.mask >= 0.0f && b.mask <= 1.0f) << i << " " << j;
        ASSERT_TRUE(std::isfinite(b.identifier));
        if (c.allMortar) {
          ASSERT_EQ(b.mask, 0.0f) << i << " " << j;
        }
      }
    }
  }
}

// The layout drawn at 72 x 24: ' ' mortar, '+' the soft edge, a letter per brick (its
// identifier modulo 26), '|' the end of a line. Bricks in half bond with a random part, every
// third row of half-width bricks, every fourth brick of a row two thirds as tall, rough edges
// and holes.
std::string layoutPicture() {
  const BrickLayout l{6, 4,    0.06f, 0.1f,  0.25f, 7, 0.5f, 0.2f, 0.5f,
                      3, true, true,  0.66f, 4,     2, 1,    1};
  std::string picture;
  for (int row = 23; row >= 0; --row) {
    for (int column = 0; column < 72; ++column) {
      const BrickSample b = brickAt(l, (column + 0.5f) / 72.0f, (row + 0.5f) / 24.0f);
      char c = ' ';
      if (b.mask >= 0.95f) {
        c = static_cast<char>('a' + static_cast<int>(std::fmod(b.identifier, 26.0f)));
      } else if (b.mask > 0.05f) {
        c = '+';
      }
      picture += c;
    }
    picture += "|\n";  // a visible line end, so no editor trims the spaces before it
  }
  return picture;
}

TEST(BrickLayout, PictureMatchesTheReference) {
  const char* const reference =
      R"(tt+ wwwwwww+ lllllll+          eeeeeee+ kkkkkkk+ ooooooo+          qqqqq|
tt+ wwwwwww+ lllllll+ +  +  +  eeeeeee+ kkkkkkk+ ooooooo+          qqqqq|
tt+ wwwwwww+ lllllll+ iiiiiii+ eeeeeee+ kkkkkkk+ ooooooo+          qqqqq|
tt+ wwwwwww+ lllllll+ iiiiiii+ eeeeeee+ kkkkkkk+ ooooooo+          qqqqq|
+iii+++iii+++ii+  +++bb++++bb++++b  dd+++ddd+++ddd++                    |
iiiiiiiiiiiiiii+  bbbbbbbbbbbbbbb+  +ddddddddddddddd  ++   +++   +++    |
iiiiiiiiiiiiiii+  +bbbbbbbbbbbbbbb  ddddddddddddddd+  +zzzzzzzzzzzzzzz  |
i+++iii+++iii+++  bb++++bb++++bb++  ++ddd+++ddd+++dd  zz++++zz++++zz++  |
n++++nn  ++++hh++++hh++++                                      +cc++++cc|
nnnnnn+  +hhhhhhhhhhhhhhh                      +++   +++   ++  +cccccccc|
nnnnnnn  +hhhhhhhhhhhhhhh                    ccccccccccccccc+  ccccccccc|
++nn+++  +hh++++hh++++hh+                    ++cc++++cc++++cc  ++++cc+++|
+wwwwwww +yyyyyyy xxxxxxxx          +yyyyyyy iiiiiiii vvvvvvvv          |
wwwwwwww +yyyyyyy +xxxxxxx ++ ++ ++ +yyyyyyy +iiiiiii +vvvvvvv ++ ++ ++ |
+wwwwwww +yyyyyyy xxxxxxxx +lllllll +yyyyyyy iiiiiiii vvvvvvvv +zzzzzzz |
wwwwwwww +yyyyyyy +xxxxxxx llllllll +yyyyyyy +iiiiiii +vvvvvvv +zzzzzzz |
         ++++dd++++dd++++  ++bb++++bb++++bb                    +++ss++++|
         ddddddddddddddd+  bbbbbbbbbbbbbbb+     +++   +++   +  sssssssss|
         ddddddddddddddd+  +bbbbbbbbbbbbbbb  ddddddddddddddd+  sssssssss|
         +dd++++dd++++dd+  b++++bb++++bb+++  +++ddd+++ddd++++  ss++++ss+|
l++++ll++++ll+  ++++qqq+++qqq++++ ++++ppp+++ppp++++                   ++|
llllllllllllll+ +qqqqqqqqqqqqqqq  +ppppppppppppppp   +++   +++   +++  +e|
llllllllllllll  +qqqqqqqqqqqqqqq+ +ppppppppppppppp+ +ooooooooooooooo+ +e|
++ll++++ll+++++ +qqq+++qqq+++qqq  +ppp+++ppp+++ppp  +oo++++oo++++oo+  +e|
)";
  const std::string picture = layoutPicture();
  EXPECT_EQ(picture, reference) << "The brick layout changed; if that is intended, this is the "
                                   "new picture:\n"
                                << picture;
}

}  // namespace
}  // namespace pvx
