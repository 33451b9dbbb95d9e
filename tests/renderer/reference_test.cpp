// Small renders of the scenes in tests/renderer/scenes compared with the reference images
// beside them, and the tarvo-render program as a user runs it: a scene with a missing or
// corrupt file gives a clear error and writes nothing.
#include <gtest/gtest.h>

#include <OpenImageIO/imagebuf.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
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

// A time limit stops the render; the image so far is written only when asked, and Ctrl-C with
// --keep-partial writes it too (status 130, as for any SIGINT; it comes late enough for a loaded
// machine to have started rendering; sent to the program alone: without --foreground, timeout
// signals its whole process group too, and the second SIGINT ended the run).
TEST(Program, StoppedRendersWriteTheImageSoFarOnlyWhenAsked) {
  const std::string folder = ::testing::TempDir() + "/tarvo_render_partial";
  std::filesystem::create_directories(folder);
  const std::string scene = kData + "/scenes/shade_basics.json -W 32 -H 24 -s 60000 -j 1";
  struct Case {
    const char* what;
    std::string command;
    int status;
    bool written;
  };
  const std::string image = folder + "/partial.png";
  const Case cases[] = {
      {"time limit", TARVO_RENDER_PROGRAM " " + scene + " --time-limit 0.5 -o " + image, 1, false},
      {"time limit, kept",
       TARVO_RENDER_PROGRAM " " + scene + " --time-limit 0.5 --keep-partial -o " + image, 0, true},
      {"Ctrl-C, kept",
       "timeout --foreground --preserve-status -s INT 10 " TARVO_RENDER_PROGRAM " " + scene +
           " --keep-partial -o " + image,
       130, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove(image);
    const int status = std::system((c.command + " -q 2>/dev/null").c_str());
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, c.status);
    OIIO::ImageBuf written(image);
    EXPECT_EQ(written.read(), c.written);
    if (c.written) {
      EXPECT_EQ(written.roi().width(), 32);
    }
  }
}

}  // namespace
}  // namespace tarvo::render

namespace tarvo::render {
namespace {

// The film is opaque unless the scene asks for a transparent one; then what the camera sees of
// the backdrop (alpha 0) is gone, and an edge pixel of a dark sphere half over it keeps the
// sphere's colour in the PNG (colour and alpha apart) instead of a bright fringe.
TEST(Output, TransparentFilmOnRequestWithoutFringes) {
  for (const char* film : {"opaque", "transparent"}) {
    SCOPED_TRACE(film);
    auto scene = loadSceneText(
        std::string(R"({"camera": {"position": [0, -5, 0], "lookAt": [0, 0, 0], "fov": 30},
          "settings": {"width": 24, "height": 24, "samples": 16, "film": ")") +
            film + R"("},
          "shaders": {"dark": {"class": "quarra_Mtl_Unlit",
                               "parameters": {"diffuseColor": [0.2, 0.2, 0.2]}},
                      "sky": {"class": "quarra_Env_Default",
                              "parameters": {"backgroundColor": [1, 1, 1]}}},
          "objects": [{"type": "sphere", "material": "dark"}], "environment": "sky"})",
        "film.json", "", test::sharedLibrary());
    const std::string image = ::testing::TempDir() + "/tarvo_film.png";
    writeImage(image, renderScene(*scene), *scene);
    OIIO::ImageSpec asStored;  // colour apart from alpha, as the file holds it
    asStored.attribute("oiio:UnassociatedAlpha", 1);
    OIIO::ImageBuf written(image, 0, 0, nullptr, &asStored);
    ASSERT_TRUE(written.read(0, 0, true, OIIO::TypeDesc::FLOAT));
    int edges = 0;
    for (int y = 0; y < 24; ++y) {
      for (int x = 0; x < 24; ++x) {
        float c[4];
        written.getpixel(x, y, c, 4);
        if (std::string(film) == "opaque") {
          EXPECT_EQ(c[3], 1.0f);
        } else if (c[3] > 0.0f && c[3] < 1.0f) {
          ++edges;
          EXPECT_NEAR(c[0], 0.48f, 0.01f);  // 0.2 in sRGB
        }
      }
    }
    if (std::string(film) == "transparent") {
      EXPECT_GT(edges, 8);
    }
  }
}

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
