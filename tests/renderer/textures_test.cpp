// Texture objects: coordinate conventions, the clipping-plane list, cube lookups, colour
// spaces of files, and unreadable files.
#include <gtest/gtest.h>

#include <OpenImageIO/imagebuf.h>
#include <OpenImageIO/imagebufalgo.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "host/render/noise.h"
#include "host/render/textures.h"

namespace tarvo::render {
namespace {

// Records the coordinate of each lookup and answers a fixed colour.
class RecordingTexture final : public pvx::ITexture2D {
 public:
  void sample(pvx::float4* result, const pvx::float2* st) override {
    last = *st;
    ++calls;
    *result = answer;
  }
  pvx::float2 last{-1.0f, -1.0f};
  int calls = 0;
  pvx::float4 answer{0.25f, 0.5f, 0.75f, 1.0f};
};

// The list answers its plane count at 0 and plane i at (i + 0.5) / (n + 1), the coordinates
// the clipping test reads.
TEST(Textures, ClippingPlaneListAnswersCountThenPlanes) {
  const std::vector<pvx::float4> planes = {{1, 0, 0, 0}, {0, 1, 0, -2}, {0, 0, -1, 5}};
  DataTexture1D texture(clippingPlaneTexels(planes));
  pvx::float4 texel(0.0f);
  texture.sample(&texel, 0.0f);
  EXPECT_EQ(texel.x, 3.0f);
  const float n = 3.0f;
  for (int i = 1; i <= 3; ++i) {
    SCOPED_TRACE(i);
    texture.sample(&texel, (static_cast<float>(i) + 0.5f) / (n + 1.0f));
    const pvx::float4& plane = planes[static_cast<size_t>(i - 1)];
    EXPECT_EQ(texel.x, plane.x);
    EXPECT_EQ(texel.y, plane.y);
    EXPECT_EQ(texel.z, plane.z);
    EXPECT_EQ(texel.w, plane.w);
  }
  // An empty list answers a count of 0; coordinates past either end clamp to the end texels.
  DataTexture1D none(clippingPlaneTexels({}));
  none.sample(&texel, 0.0f);
  EXPECT_EQ(texel.x, 0.0f);
  texture.sample(&texel, 7.0f);
  EXPECT_EQ(texel.w, 5.0f);
  texture.sample(&texel, std::nanf(""));
  EXPECT_EQ(texel.x, 3.0f);
}

// The environments' mapping: +x at u = 1/4, -y at u = 1/2, straight up at v = 1.
TEST(Textures, LatLongCoordinatesOfTheAxes) {
  struct Case {
    pvx::float3 d;
    float u, v;
  };
  const Case cases[] = {{{1, 0, 0}, 0.25f, 0.5f},
                        {{0, -1, 0}, 0.5f, 0.5f},
                        {{0, 1, 0}, 0.0f, 0.5f},
                        {{0, 0, 1}, 0.25f, 1.0f},
                        {{0, 0, -1}, 0.25f, 0.0f}};
  for (const Case& c : cases) {
    const pvx::float2 st = latLongCoordinates(c.d);
    EXPECT_NEAR(st.x, c.u, 1e-6f) << c.d.x << " " << c.d.y << " " << c.d.z;
    EXPECT_NEAR(st.y, c.v, 1e-6f) << c.d.x << " " << c.d.y << " " << c.d.z;
  }
}

// Shaders pass (d.x, d.z, -d.y) for a world direction d; a cube made from a lat-long image must
// look up the same place as the lat-long lookup of d.
TEST(Textures, LatLongCubeAgreesWithTheLatLongLookup) {
  RecordingTexture image;
  LatLongCube cube(&image);
  for (const pvx::float3 d : {pvx::float3(1, 0, 0), pvx::float3(0.6f, -0.8f, 0),
                              pvx::float3(0, 0.6f, 0.8f), pvx::float3(-0.48f, 0.6f, -0.64f)}) {
    const pvx::float3 vector(d.x, d.z, -d.y);
    pvx::float4 texel(0.0f);
    cube.sample(&texel, &vector);
    const pvx::float2 expected = latLongCoordinates(d);
    EXPECT_NEAR(image.last.x, expected.x, 1e-5f);
    EXPECT_NEAR(image.last.y, expected.y, 1e-5f);
    EXPECT_EQ(texel.y, 0.5f);
  }
}

// A cube made from a lat-long file, or from an image the host made, is served by OpenImageIO's
// environment lookups and answers what the lat-long lookup of d answers in that image.
TEST(Textures, EnvironmentCubesAgreeWithTheLatLongLookup) {
  Image gradient;  // red grows to the right, green downward: every texel differs
  gradient.width = 64;
  gradient.height = 32;
  for (int y = 0; y < gradient.height; ++y) {
    for (int x = 0; x < gradient.width; ++x)
      gradient.pixels.emplace_back((x + 0.5f) / 64.0f, (y + 0.5f) / 32.0f, 0.5f, 1.0f);
  }
  const std::string path = ::testing::TempDir() + "/gradient_latlong.exr";
  OIIO::ImageBuf file(OIIO::ImageSpec(64, 32, 4, OIIO::TypeDesc::FLOAT), gradient.pixels.data());
  ASSERT_TRUE(file.write(path)) << file.geterror();

  TextureLibrary library;
  pvx::ITexture2D* const images[] = {library.file2D(path, TextureOptions{}),
                                     library.image2D(gradient, Wrap::Periodic)};
  for (pvx::ITexture2D* image : images) {
    pvx::ITextureCube* cube = library.cubeFromLatLong(image);
    // Away from the image's seam (u = 0 at +y), where wrapping blends both edges.
    for (const pvx::float3 d :
         {pvx::float3(1, 0, 0), pvx::float3(0.6f, -0.8f, 0), pvx::float3(0.36f, -0.48f, 0.8f),
          pvx::float3(-0.48f, -0.6f, -0.64f)}) {
      SCOPED_TRACE(std::to_string(d.x) + " " + std::to_string(d.y) + " " + std::to_string(d.z));
      const pvx::float3 vector(d.x, d.z, -d.y);
      pvx::float4 texel(0.0f), expected(0.0f);
      cube->sample(&texel, &vector);
      const pvx::float2 st = latLongCoordinates(d);
      image->sample(&expected, &st);
      EXPECT_NEAR(texel.x, expected.x, 0.02f);
      EXPECT_NEAR(texel.y, expected.y, 0.02f);
      EXPECT_NEAR(texel.z, 0.5f, 1e-4f);
    }
  }
}

// Face choice and face coordinates of a six-image cube (y-up frame, faces +x, -x, +y, -y, +z,
// -z): a vector along an axis looks up the centre of its face.
TEST(Textures, FaceCubePicksTheFaceOfTheMajorAxis) {
  std::array<RecordingTexture, 6> faces;
  std::array<pvx::ITexture2D*, 6> pointers{};
  for (size_t i = 0; i < 6; ++i)
    pointers[i] = &faces[i];
  FaceCube cube(pointers);
  const pvx::float3 axes[6] = {{2, 0, 0}, {-2, 0, 0}, {0, 2, 0}, {0, -2, 0}, {0, 0, 2}, {0, 0, -2}};
  for (size_t i = 0; i < 6; ++i) {
    pvx::float4 texel(0.0f);
    cube.sample(&texel, &axes[i]);
    EXPECT_EQ(faces[i].calls, 1) << "face " << i;
    EXPECT_NEAR(faces[i].last.x, 0.5f, 1e-6f);
    EXPECT_NEAR(faces[i].last.y, 0.5f, 1e-6f);
  }
  // On the +z face, +x lies to the right (s grows) and +y upward (t grows).
  const pvx::float3 upRight(0.5f, 0.5f, 1.0f);
  pvx::float4 texel(0.0f);
  cube.sample(&texel, &upRight);
  EXPECT_NEAR(faces[4].last.x, 0.75f, 1e-6f);
  EXPECT_NEAR(faces[4].last.y, 0.75f, 1e-6f);
}

// t runs upward: the top row of an image is read near t = 1.
TEST(Textures, ImageRowsRunDownwardAndCoordinatesUpward) {
  Image image;
  image.width = 1;
  image.height = 2;
  image.pixels = {{1, 0, 0, 1}, {0, 0, 1, 1}};  // top red, bottom blue
  ImageTexture2D texture(image, Wrap::Periodic);
  pvx::float4 texel(0.0f);
  const pvx::float2 top(0.5f, 0.9f), bottom(0.5f, 0.1f), middle(0.5f, 0.5f);
  texture.sample(&texel, &top);
  EXPECT_EQ(texel.x, 1.0f);
  texture.sample(&texel, &bottom);
  EXPECT_EQ(texel.z, 1.0f);
  // Halfway between the two row centres: an even blend.
  texture.sample(&texel, &middle);
  EXPECT_NEAR(texel.x, 0.5f, 1e-6f);
  EXPECT_NEAR(texel.z, 0.5f, 1e-6f);
}

std::string writeImageFile(const std::string& name, OIIO::TypeDesc format, float value) {
  const std::string path = ::testing::TempDir() + "/" + name;
  OIIO::ImageSpec header(4, 4, 3, OIIO::TypeDesc::FLOAT);
  OIIO::ImageBuf buffer(header);
  const float pixel[3] = {value, value, value};
  OIIO::ImageBufAlgo::fill(buffer, pixel);
  EXPECT_TRUE(buffer.write(path, format)) << buffer.geterror();
  return path;
}

// 8-bit files hold sRGB code values and are decoded; float files are linear; a scene may say
// otherwise per file.
TEST(Textures, FilesAreDecodedByTheirColourSpace) {
  TextureLibrary library;
  // Code value 188/255 = 0.737255 decodes to ((0.737255 + 0.055) / 1.055)^2.4 = 0.502886.
  const std::string png = writeImageFile("tarvo_srgb.png", OIIO::TypeDesc::UINT8, 188.0f / 255.0f);
  const std::string exr = writeImageFile("tarvo_linear.exr", OIIO::TypeDesc::FLOAT, 0.5f);
  struct Case {
    std::string path;
    ColorSpace colorSpace;
    float expected;
  };
  const Case cases[] = {{png, ColorSpace::Auto, 0.502886f},
                        {png, ColorSpace::Linear, 188.0f / 255.0f},
                        {exr, ColorSpace::Auto, 0.5f},
                        {exr, ColorSpace::SRGB, 0.214041f}};  // ((0.5 + 0.055) / 1.055)^2.4
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    TextureOptions options;
    options.colorSpace = c.colorSpace;
    pvx::ITexture2D* texture = library.file2D(c.path, options);
    pvx::float4 texel(0.0f, 0.0f, 0.0f, 1.0f);
    const pvx::float2 st(0.5f, 0.5f);
    texture->sample(&texel, &st);
    EXPECT_NEAR(texel.x, c.expected, 2e-4f);
    EXPECT_EQ(texel.w, 1.0f);  // three channels read with alpha 1
  }
  std::remove(png.c_str());
  std::remove(exr.c_str());
}

TEST(Textures, MissingAndCorruptFilesNameTheFile) {
  const std::string missing = ::testing::TempDir() + "/tarvo_missing.png";
  const std::string whole = writeImageFile("tarvo_whole.png", OIIO::TypeDesc::UINT8, 0.5f);
  // Keep the PNG signature and header but cut the image data short.
  const std::string truncated = ::testing::TempDir() + "/tarvo_truncated.png";
  {
    std::ifstream in(whole, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::ofstream(truncated, std::ios::binary) << bytes.substr(0, 40);
  }
  const std::string garbage = ::testing::TempDir() + "/tarvo_garbage.exr";
  std::ofstream(garbage) << "this is not an image";
  TextureLibrary library;
  for (const std::string& path : {missing, truncated, garbage}) {
    SCOPED_TRACE(path);
    try {
      library.file2D(path, {});
      ADD_FAILURE() << "no error";
    } catch (const TextureError& e) {
      EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
    }
  }
  for (const std::string& path : {whole, truncated, garbage})
    std::remove(path.c_str());
}

// A file cut short after it was read, while the cache (smaller than the image) must read it
// again: the lookups give the pre-fill, and the library names the file for a warning.
TEST(Textures, FilesCutShortDuringARenderAreReported) {
  const std::string path = ::testing::TempDir() + "/tarvo_cut_short.png";
  OIIO::ImageBuf big(OIIO::ImageSpec(4096, 4096, 4, OIIO::TypeDesc::UINT8));  // 64 MB
  const float grey[4] = {0.5f, 0.5f, 0.5f, 1.0f};
  OIIO::ImageBufAlgo::fill(big, grey);
  ASSERT_TRUE(big.write(path));
  Limits limits;
  limits.textureMemoryMB = 32;
  TextureLibrary library;
  library.setLimits(limits);
  pvx::ITexture2D* texture = library.file2D(path, {});
  EXPECT_TRUE(library.unreadable().empty());
  std::filesystem::resize_file(path, std::filesystem::file_size(path) / 2);
  const QuietStandardError quiet;  // libpng's complaints, as a render holds them back
  for (int i = 0; i < 64; ++i) {
    const pvx::float2 st((static_cast<float>(i % 8) + 0.5f) / 8.0f,
                         (static_cast<float>(i / 8) + 0.5f) / 8.0f);
    pvx::float4 texel(0.0f);
    texture->sample(&texel, &st);
  }
  EXPECT_EQ(library.unreadable(), std::vector<std::string>{path});
  std::remove(path.c_str());
}

// Noise stays in [0, 1], is 0.5 on the lattice and changes little over a small step; cell
// values repeat for one cell and stay in range.
TEST(Noise, RangesLatticeValuesAndSmoothness) {
  float lowest = 1.0f, highest = 0.0f, largestStep = 0.0f;
  for (int i = 0; i < 2000; ++i) {
    const float x = static_cast<float>(i) * 0.173f - 50.0f, y = static_cast<float>(i) * 0.071f;
    const float values[3] = {noise2(x, y), noise3(x, y, 0.3f * x), noise4(x, y, -x, 0.5f * y)};
    for (float v : values) {
      lowest = std::min(lowest, v);
      highest = std::max(highest, v);
    }
    largestStep = std::max(largestStep, std::fabs(noise3(x + 0.001f, y, 0.3f * x) - values[1]));
  }
  EXPECT_GE(lowest, 0.0f);
  EXPECT_LE(highest, 1.0f);
  EXPECT_LT(lowest, 0.3f);  // the range is used, not a constant
  EXPECT_GT(highest, 0.7f);
  EXPECT_LT(largestStep, 0.01f);
  EXPECT_EQ(noise2(3.0f, -7.0f), 0.5f);
  EXPECT_EQ(noise3(1.0f, 2.0f, 3.0f), 0.5f);
  EXPECT_EQ(noise4(0.0f, 0.0f, 0.0f, 9.0f), 0.5f);

  // The corners beyond the last axis's lattice plane are left out only on that plane: a phase
  // just off it blends them in by a weight of about 1e-17 (the quintic fade of 1e-6).
  for (float x : {0.3f, -7.61f, 123.456f}) {
    EXPECT_NEAR(noise4(x, 0.5f * x, -x, 1e-6f), noise4(x, 0.5f * x, -x, 0.0f), 1e-6f) << x;
  }
  // Far-away and non-finite points stay defined (no overflowing casts): in range or NaN.
  for (float far : {3.0e9f, -1.0e20f, INFINITY, NAN}) {
    const float v = noise3(far, 1.5f, -far);
    EXPECT_TRUE(std::isnan(v) || (v >= 0.0f && v <= 1.0f)) << far;
  }

  EXPECT_EQ(cellRandom(42.0f), cellRandom(42.0f));
  EXPECT_NE(cellRandom(42.0f), cellRandom(43.0f));
  EXPECT_EQ(latticeValue({2.2f, 3.9f, -1.5f}), latticeValue({2.7f, 3.1f, -1.01f}));
  const pvx::float3 a = cellVector({0.1f, 0.2f, 0.3f}), b = cellVector({0.9f, 0.8f, 0.7f});
  EXPECT_EQ(a.x, b.x);
  EXPECT_EQ(a.z, b.z);
  for (int i = 0; i < 200; ++i) {
    const float f = static_cast<float>(i) * 1.37f;
    EXPECT_GE(cellRandom(f), 0.0f);
    EXPECT_LE(cellRandom(f), 1.0f);
    EXPECT_LE(std::fabs(latticeValue({f, -f, 0.5f * f})), 1.0f);
  }
}

}  // namespace
}  // namespace tarvo::render
