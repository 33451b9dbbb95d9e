// Small renders of the scenes in tests/renderer/scenes compared with the reference images
// beside them, and the tarvo-render program as a user runs it: a scene with a missing or
// corrupt file gives a clear error and writes nothing.
#include <gtest/gtest.h>

#include <OpenImageIO/imagebuf.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "host/render/renderer.h"
#include "host/render/scene_file.h"
#include "test_shaders.h"

namespace tarvo::render {
namespace {

const std::string kData = TARVO_RENDERER_TEST_DATA;

// Root mean square difference over all four channels, and the count of pixels off by more than
// 0.1 in some channel (a shifted edge rather than noise).
struct Difference {
  double rms = 0.0;
  int badPixels = 0;
};

Difference compare(const Film& film, const OIIO::ImageBuf& reference) {
  Difference d;
  double sum = 0.0;
  for (int y = 0; y < film.height; ++y) {
    for (int x = 0; x < film.width; ++x) {
      float expected[4] = {0, 0, 0, 0};
      reference.getpixel(x, y, expected, 4);
      const pvx::float4 c = film.at(x, y);
      const float actual[4] = {c.x, c.y, c.z, std::clamp(c.w, 0.0f, 1.0f)};
      bool bad = false;
      for (int k = 0; k < 4; ++k) {
        const double e = static_cast<double>(actual[k]) - static_cast<double>(expected[k]);
        sum += e * e;
        bad = bad || std::fabs(e) > 0.1;
      }
      d.badPixels += bad ? 1 : 0;
    }
  }
  d.rms = std::sqrt(sum / (4.0 * film.width * film.height));
  return d;
}

TEST(References, SmallRendersMatchTheStoredImages) {
  int scenes = 0;
  for (const auto& entry : std::filesystem::directory_iterator(kData + "/scenes")) {
    if (entry.path().extension() != ".json") continue;
    ++scenes;
    const std::string name = entry.path().stem().string();
    SCOPED_TRACE(name);
    auto scene = loadScene(entry.path().string(), test::sharedLibrary());
    const Film film = renderScene(*scene);
    OIIO::ImageBuf reference(kData + "/references/" + name + ".exr");
    ASSERT_TRUE(reference.read(0, 0, true, OIIO::TypeDesc::FLOAT))
        << "no reference image for " << name
        << "; scripts/update-render-references.sh renders them";
    ASSERT_EQ(reference.roi().width(), film.width);
    ASSERT_EQ(reference.roi().height(), film.height);
    const Difference d = compare(film, reference);
    // Same seed, same image: only floating-point differences between builds are allowed.
    // When a shader class changes what it draws, scripts/update-render-references.sh renders
    // new references (look at the PNGs before committing them).
    EXPECT_LT(d.rms, 0.01) << name << " differs from its reference image; if a shader class "
                           << "changed on purpose, run scripts/update-render-references.sh";
    EXPECT_LE(d.badPixels, film.width * film.height / 100);
  }
  EXPECT_GE(scenes, 2);
}

struct ProgramRun {
  int status;
  std::string output;
};

ProgramRun runRender(const std::string& arguments) {
  const std::string command = std::string(TARVO_RENDER_PROGRAM) + " " + arguments + " 2>&1";
  ProgramRun run{-1, ""};
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return run;
  std::array<char, 256> buffer{};
  while (fgets(buffer.data(), static_cast<int>(buffer.size()), pipe))
    run.output += buffer.data();
  const int status = pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

TEST(Program, WritesPngAndExrAndRefusesOtherFormats) {
  const std::string folder = ::testing::TempDir() + "/tarvo_render_outputs";
  std::filesystem::create_directories(folder);
  const std::string scene = kData + "/scenes/shade_basics.json";
  for (const char* name : {"small.png", "small.exr"}) {
    SCOPED_TRACE(name);
    const std::string image = folder + "/" + name;
    std::filesystem::remove(image);
    const ProgramRun run = runRender(scene + " -W 16 -H 12 -s 1 -o " + image);
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("rays/s"), std::string::npos) << run.output;
    OIIO::ImageBuf written(image);
    ASSERT_TRUE(written.read()) << written.geterror();
    EXPECT_EQ(written.roi().width(), 16);
    EXPECT_EQ(written.nchannels(), 4);  // alpha kept
  }
  const ProgramRun tiff = runRender(scene + " -o " + folder + "/small.tif -q");
  EXPECT_NE(tiff.status, 0);
  EXPECT_NE(tiff.output.find(".png"), std::string::npos) << tiff.output;
  EXPECT_FALSE(std::filesystem::exists(folder + "/small.tif"));
}

}  // namespace
}  // namespace tarvo::render

namespace tarvo::render {
namespace {

// A write that cannot finish leaves neither the image nor its temporary file; a finished one
// replaces the old image whole.
TEST(Output, FailedWritesLeaveNothingBehind) {
  const std::string folder = ::testing::TempDir() + "/tarvo_render_atomic";
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  Scene scene(test::sharedLibrary());
  scene.setObjects({});
  Film film;
  film.width = 4;
  film.height = 2;
  film.pixels.assign(8, pvx::float4(0.5f, 0.25f, 1.0f, 1.0f));
  const std::string missingFolder = folder + "/no/such/folder/image.png";
  try {
    writeImage(missingFolder, film, scene);
    ADD_FAILURE() << "no error";
  } catch (const OutputError& e) {
    EXPECT_NE(std::string(e.what()).find(missingFolder), std::string::npos) << e.what();
  }
  EXPECT_THROW(writeImage(folder + "/image.tiff", film, scene), OutputError);
  const std::string image = folder + "/image.exr";
  writeImage(image, film, scene);
  OIIO::ImageBuf written(image);
  ASSERT_TRUE(written.read(0, 0, true, OIIO::TypeDesc::FLOAT));
  float pixel[4];
  written.getpixel(3, 1, pixel, 4);
  EXPECT_EQ(pixel[1], 0.25f);  // linear, as rendered
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    ++files;
    EXPECT_EQ(entry.path().filename().string(), "image.exr");
  }
  EXPECT_EQ(files, 1);
}

}  // namespace
}  // namespace tarvo::render
