// Hostile and careless scene files and options: each ends in the stated exit status with a
// message naming the place and what was wrong, leaves no output file, and stays under 1 GB of
// address space (the program runs under that limit, so a runaway allocation shows as a failure
// rather than a swapping machine).
#include <OpenImageIO/imagebuf.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr rlim_t kAddressSpace = rlim_t{1} << 30;

struct ProgramRun {
  int status = -1;  // exit status, or -1 when killed by the time limit
  std::string errors;
  double seconds = 0.0;
  double cpuSeconds = 0.0;  // user and system: what the run cost, however loaded the machine
  long peakKilobytes = 0;
};

// True once the program blocks SIGINT and SIGTERM for its watcher (Linux: the SigBlk mask of
// /proc/PID/status). Creating a thread blocks every signal for a moment, which static
// initialisers do before the program takes its signals: a mask that also blocks SIGUSR1 is that.
bool signalsBlocked(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("SigBlk:", 0) != 0) continue;
    const unsigned long long mask = std::stoull(line.substr(7), nullptr, 16);
    const unsigned long long wanted = (1ull << (SIGINT - 1)) | (1ull << (SIGTERM - 1));
    return (mask & wanted) == wanted && (mask & (1ull << (SIGUSR1 - 1))) == 0;
  }
  return false;
}

// Runs tarvo-render in `folder` under the address-space limit; `act` (sending a signal, cutting
// a file short) is done to it after `actAfter` seconds when given.
ProgramRun runProgram(const std::string& folder, const std::vector<std::string>& arguments,
                      const std::function<void(pid_t)>& act = {}, double actAfter = 0.0,
                      double timeLimit = 60.0) {
  const std::string errorsFile = folder + "/errors.txt";
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = fork();
  if (child == 0) {
    const rlimit limit{kAddressSpace, kAddressSpace};
    setrlimit(RLIMIT_AS, &limit);
    if (chdir(folder.c_str()) != 0) _exit(120);
    setenv("TMPDIR", folder.c_str(), 1);  // scratch files land where the test looks for them
    const int fd = open(errorsFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(fd, STDERR_FILENO);
    dup2(fd, STDOUT_FILENO);
    std::vector<char*> argv{const_cast<char*>(TARVO_RENDER_PROGRAM)};
    for (const std::string& a : arguments)
      argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(121);
  }
  ProgramRun run;
  bool ready = false, acted = false;
  int status = 0;
  rusage usage{};
  for (;;) {
    const pid_t done = wait4(child, &status, WNOHANG, &usage);
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (done == child) break;
    // The delay counts from the moment the program has taken over its signals (before that,
    // while the dynamic loader runs, a signal would end it the system's way).
    if (act && !ready && signalsBlocked(child)) {
      ready = true;
      actAfter += run.seconds;
    }
    if (ready && !acted && run.seconds >= actAfter) {
      act(child);
      acted = true;
    }
    if (run.seconds > timeLimit) kill(child, SIGKILL);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.peakKilobytes = usage.ru_maxrss;
  run.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                   static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
  std::ifstream in(errorsFile);
  std::ostringstream text;
  text << in.rdbuf();
  run.errors = text.str();
  return run;
}

void write(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

struct Case {
  const char* what;
  std::string scene;  // written to case.json and given first when not empty
  std::vector<std::string> arguments;
  int status;
  std::vector<std::string> mentions;  // every one must appear in the messages
  bool writes = false;                // the run is expected to succeed and write out.png
};

class Hostile : public ::testing::Test {
 protected:
  void SetUp() override {
    // One folder per test: ctest runs the tests of this file side by side, and the process id keeps
    // runs from other checkouts apart.
    folder_ = ::testing::TempDir() + "/tarvo_render_hostile_" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name() + "_" +
              std::to_string(getpid());
    std::filesystem::remove_all(folder_);
    std::filesystem::create_directories(folder_ + "/folder.json");
    std::filesystem::create_directories(folder_ + "/folder.png");
    mkfifo((folder_ + "/fifo.json").c_str(), 0644);
    mkfifo((folder_ + "/fifo.obj").c_str(), 0644);
    write(folder_ + "/triangle.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
    write(folder_ + "/infinite.obj", "v 1e999 0 0\nv 0 1 0\nv 0 0 1\nf 1 2 3\n");
    write(folder_ + "/broken.gltf", "{\"asset\": ");
    write(folder_ + "/nan.obj", "v nan 0 0\nv 0 1 0\nv 0 0 1\nf 1 2 3\n");
    write(folder_ + "/garbage.obj", "v 0 0 0\nv 0 zz 0\nv 0 0 1\nf 1 2 3\n");

    write(folder_ + "/scene.png", "{}");
    const OIIO::ImageSpec grey(2, 2, 1, OIIO::TypeDesc::UINT8);
    std::vector<unsigned char> texels(4, 128);
    OIIO::ImageBuf(grey, texels.data()).write(folder_ + "/grey.png");
    // A truncated PNG: the first bytes of a valid 1 x 1 grey image.
    write(folder_ + "/truncated.png", std::string("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR\0\0\0\x40", 20));
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  // Returns the run's processor seconds.
  double check(const Case& c, const std::function<void(pid_t)>& act = {}, double actAfter = 0.0) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove(folder_ + "/out.png");
    std::vector<std::string> arguments;
    if (!c.scene.empty()) {
      write(folder_ + "/case.json", c.scene);
      arguments.push_back("case.json");
    }
    arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
    arguments.push_back("-q");
    if (std::find(arguments.begin(), arguments.end(), "-o") == arguments.end())
      arguments.insert(arguments.end(), {"-o", "out.png"});
    const ProgramRun run = runProgram(folder_, arguments, act, actAfter);
    EXPECT_EQ(run.status, c.status) << run.errors;
    for (const std::string& m : c.mentions)
      EXPECT_NE(run.errors.find(m), std::string::npos) << "'" << m << "' not in: " << run.errors;
    EXPECT_EQ(std::filesystem::exists(folder_ + "/out.png"), c.writes);
    // Neither a partial output nor a scratch file (TMPDIR is the folder) is left behind.
    for (const auto& entry : std::filesystem::directory_iterator(folder_)) {
      const std::string name = entry.path().filename().string();
      EXPECT_TRUE(name.find(".partial") == std::string::npos && name.rfind("tarvo-", 0) != 0)
          << name;
    }
    EXPECT_LT(run.peakKilobytes, 1L << 20);
    // Messages quote names and values short, whatever their size.
    EXPECT_LT(run.errors.size(), 4096u) << run.errors.substr(0, 200);
    // Every line is the program's own: no library chatter.
    std::istringstream lines(run.errors);
    for (std::string line; std::getline(lines, line);) {
      if (line.empty()) continue;
      EXPECT_TRUE(line.rfind("tarvo-render: ", 0) == 0 || line.rfind("warning: ", 0) == 0) << line;
    }
    // --validate refuses whatever a render of a scene refuses, with the same status and message.
    if (!act && c.status != 0 && arguments[0][0] != '-' &&
        std::find(c.arguments.begin(), c.arguments.end(), "--validate") == c.arguments.end()) {
      Case validate = c;
      validate.arguments.push_back("--validate");
      check(validate);
    }
    return run.cpuSeconds;
  }

  std::string folder_;
};

const std::string kSmall = R"("settings": {"width": 16, "height": 9, "samples": 1})";

// A scene of one mesh object (end it with "}" or add more keys after it).
std::string mesh(const std::string& file) {
  return R"({"objects": [{"type": "mesh", "file": ")" + file + R"("}])";
}
const std::string kSmallScene = ", " + kSmall + "}";

std::string withShader(const std::string& className, const std::string& parameters) {
  return R"({"shaders": {"s": {"class": ")" + className + R"(", "parameters": )" + parameters +
         "}}}";
}

TEST_F(Hostile, ScenesAndOptionsAreRefusedClearly) {
  std::string faces = "v 0 0 0\nv 1 0 0\nv 0 1 0\n", disc, corners = "f";
  for (int i = 0; i < 2000; ++i)
    faces += "f 1 2 3\n";
  write(folder_ + "/faces.obj", faces);
  for (int i = 0; i < 200000; ++i) {
    const double a = 6.283185307179586 * i / 200000;
    disc += "v " + std::to_string(std::cos(a)) + " " + std::to_string(std::sin(a)) + " 4\n";
    corners += " " + std::to_string(i + 1);
  }
  write(folder_ + "/disc.obj", disc + corners + "\n");
  const Case cases[] = {
      // Parse-time ceilings: `{"title": ` is 10 characters, so the 64th bracket (the 65th
      // level with the scene object) sits at column 74.
      {"deep nesting",
       "{\"title\": " + std::string(100000, '[') + std::string(100000, ']') + "}",
       {},
       1,
       {"case.json:1:74:", "nest deeper", "--limit nesting"}},
      {"too many values",
       R"({"title": [0, 0, 0, 0, 0]})",
       {"--limit", "json-values=4"},
       1,
       {"case.json:1:", "more JSON values", "json-values"}},
      {"duplicate key at the second",
       "{\"settings\": {\"width\": 64,\n  \"width\": 32}}",
       {},
       1,
       {"case.json:2:3:", "\"width\" appears twice", "line 1, column 15"}},
      {"number beyond a double",
       R"({"settings": {"exposure": 1e400}})",
       {},
       1,
       {"case.json:1:27:", "1e400", "too large"}},
      // Whole numbers are range-checked wide, never wrapped.
      {"width past 2^32",
       R"({"settings": {"width": 4294967360}})",
       {},
       1,
       {"case.json:1:24:", "4294967360", "--limit pixels"}},
      {"samples past 2^32",
       R"({"settings": {"samples": 4294967297}})",
       {},
       1,
       {"case.json:1:26:", "4294967297", "--limit samples"}},
      {"image beyond the pixel ceiling",
       R"({"settings": {"width": 30000, "height": 30000}})",
       {},
       1,
       {"case.json:1:14:", "30000 x 30000", "--limit pixels"}},
      {"negative seed", R"({"settings": {"seed": -1}})", {}, 1, {"case.json:1:23:", "'seed'"}},
      {"seed past 2^64",
       R"({"settings": {"seed": 18446744073709551616}})",
       {},
       1,
       {"case.json:1:23:", "'seed'"}},
      {"int parameter of 2^40",
       withShader("quarra_Mtl_Solid", R"({"patchState": 1099511627776})"),
       {},
       1,
       {"case.json:1:", "1099511627776", "-2147483648 and 2147483647"}},
      {"float parameter beyond a float",
       withShader("quarra_Mtl_ShadowPlane", R"({"shadowIntensity": 1e39})"),
       {},
       1,
       {"'shadowIntensity'", "too large for a float"}},
      {"too many lights",
       R"({"lights": [1, 2, 3]})",
       {"--limit", "lights=2"},
       1,
       {"case.json:1:12:", "3 entries", "--limit lights"}},
      {"label too tall",
       R"({"labels": [{"text": "a", "size": 1e6}]})",
       {},
       1,
       {"case.json:1:35:", "label size", "between 0 and 1024"}},
      // Depths beyond the ceiling are clamped with a warning that -q does not hide.
      {"maxDepth clamped",
       "{" + kSmall.substr(0, kSmall.size() - 1) + R"(, "maxDepth": 100000000}})",
       {},
       0,
       {"warning: case.json:1:", "clamped", "--limit depth"},
       true},
      // Geometry.
      {"plane of negative size",
       R"({"objects": [{"type": "plane", "size": [-1, -1]}]})",
       {},
       1,
       {"case.json:1:40:", "positive"}},
      {"box of negative size",
       R"({"objects": [{"type": "box", "size": [1, -1, 1]}]})",
       {},
       1,
       {"case.json:1:38:", "positive"}},
      {"sphere of negative radius",
       R"({"objects": [{"type": "sphere", "radius": -2}]})",
       {},
       1,
       {"case.json:1:43:", "radius must be positive"}},
      {"zero scale",
       R"({"objects": [{"type": "sphere", "transform": {"scale": 0}}]})",
       {},
       1,
       {"case.json:1:", "cannot be inverted"}},
      {"light with axis and lookAt",
       R"({"shaders": {"k": {"class": "qvPointLight"}}, "lights": [{"shader": "k", "axis": [0, 0, -1], "lookAt": [0, 0, 0]}]})",
       {},
       1,
       {"case.json:1:", "both \"axis\" and \"lookAt\""}},
      // Only regular files are read.
      {"scene is a FIFO", "", {"fifo.json"}, 1, {"fifo.json", "FIFO"}},
      {"scene is a folder", "", {"folder.json"}, 1, {"folder.json", "a folder"}},
      {"mesh is /dev/zero",
       R"({"objects": [{"type": "mesh", "file": "/dev/zero"}]})",
       {},
       1,
       {"case.json:1:39:", "/dev/zero", "character device"}},
      {"mesh is a FIFO",
       R"({"objects": [{"type": "mesh", "file": "fifo.obj"}]})",
       {},
       1,
       {"case.json:1:39:", "FIFO"}},
      {"missing mesh",
       R"({"objects": [{"name": "statue", "type": "mesh", "file": "statue.obj"}]})",
       {},
       1,
       {"case.json:1:", "statue.obj"}},
      {"broken glTF model given alone",
       "",
       {"broken.gltf"},
       1,
       {"broken.gltf: ", "cannot read the model"}},
      {"mesh with an infinite vertex",
       R"({"objects": [{"type": "mesh", "file": "infinite.obj"}]})",
       {},
       1,
       {"case.json:1:39:", "infinite.obj", "not finite"}},
      // The third object's triangle is the third one in all.
      {"triangles of a scene",
       R"({"objects": [{"type": "mesh", "file": "triangle.obj"}, {"type": "mesh", "file": "triangle.obj"}, {"type": "mesh", "file": "triangle.obj"}]})",
       {"--limit", "triangles=2"},
       1,
       {"case.json:1:", "object '#2'", "3 triangles", "--limit triangles"}},
      // 1000 threads x (6 + 5 levels) x 4 lists x 2 lights x 84 bytes = 7 MB of light lists.
      {"light lists of many threads",
       R"({"shaders": {"k": {"class": "qvPointLight"}}, "lights": [{"shader": "k"}, {"shader": "k"}], "settings": {"width": 16, "height": 9}})",
       {"-j", "1000", "--limit", "render-memory=4"},
       2,
       {"7 MB", "--limit render-memory"}},
      // OBJ numbers are finite numbers, nothing read as 0; faces are counted before they are
      // stored (the third face is the 1001st triangle).
      {"mesh with a nan",
       mesh("nan.obj") + "}",
       {},
       1,
       {"nan.obj': line 1 holds 'nan'", "not finite"}},
      {"mesh with garbage", mesh("garbage.obj") + "}", {}, 1, {"line 2 holds 'zz'"}},
      {"faces beyond the triangle ceiling",
       mesh("faces.obj") + "}",
       {"--limit", "triangles=1000"},
       1,
       {"line 1004 brings the faces to 1001 triangles", "--limit triangles"}},
      // One convex face of 200 000 vertices: a fan in linear time (ear clipping took minutes).
      {"huge convex face", mesh("disc.obj") + kSmallScene, {}, 0, {}, true},
      // Inline texels: a width beyond the count divided by zero; 2-D texels obey items.
      {"texel width of 1e20",
       withShader("quarra_Mtl_AmbientOnly",
                  R"({"ambientOcclusionTexture": {"texels": [[1, 1, 1, 1]], "width": 1e20}})"),
       {},
       1,
       {"width must be a whole number dividing the 1 texels"}},
      {"2-D texels beyond items",
       withShader(
           "quarra_Mtl_AmbientOnly",
           R"({"ambientOcclusionTexture": {"texels": [[1, 1, 1, 1], [1, 1, 1, 1], [1, 1, 1, 1]]}})"),
       {"--limit", "items=2"},
       1,
       {"texels holds 3 entries", "--limit items"}},
      // A NUL byte cut the name short, and the file before it was read.
      {"NUL in a file name",
       withShader("quarra_Mtl_AmbientOnly", R"({"ambientOcclusionTexture": "grey.png\u0000.exr"})"),
       {},
       1,
       {"'grey.png\\0...': its name holds a NUL byte"}},
      // Names of megabytes: quoted short, no suggestions computed (they took a minute).
      {"8 MB parameter name",
       withShader("quarra_Mtl_Solid", "{\"" + std::string(8 << 20, 'x') + "\": 1}"),
       {},
       1,
       {"has no parameter 'xxxx", "x... (8388608 bytes)'"}},
      {"8 MB class name",
       R"({"shaders": {"s": {"class": ")" + std::string(8 << 20, 'q') + R"("}}})",
       {},
       1,
       {"there is no shader class 'qqqq", "q... (8388608 bytes)'"}},
      // Drawing a label costs its longest line times its size squared, bounded alike by a render
      // and by --validate (4096 characters at 1024 pixels took tens of GB).
      {"label of the largest area",
       R"({"labels": [{"text": ")" + std::string(4096, 'W') + R"(", "size": 1024}]})",
       {"--validate"},
       1,
       {"case.json:1:", "4096 characters in a line at 1024 pixels", "--limit label-area"}},
      {"texture is /dev/zero",
       withShader("quarra_Mtl_AmbientOnly", R"({"ambientOcclusionTexture": "/dev/zero"})"),
       {},
       1,
       {"case.json:1:", "/dev/zero", "character device"}},
      {"truncated texture",
       withShader("quarra_Mtl_AmbientOnly", R"({"ambientOcclusionTexture": "truncated.png"})"),
       {},
       1,
       {"case.json:1:", "truncated.png"}},
      {"scene beyond its size ceiling",
       R"({"title": "a long title"})",
       {"--limit", "scene-bytes=10"},
       1,
       {"case.json", "bytes", "--limit scene-bytes"}},
      // Options.
      {"zero width", "", {"-W", "0"}, 2, {"-W", "from 1 to 36000000", "'0'"}},
      // Labels of the showcase that fall wholly outside a tiny image (OpenImageIO asserted).
      {"showcase of 48 x 20", "", {"-W", "48", "-H", "20", "-s", "1"}, 0, {}, true},
      // More threads than the task scheduler runs: no warning of its own on the standard error.
      {"threads beyond the scheduler's", "{" + kSmall + "}", {"-j", "1024"}, 0, {}, true},
      {"largest seed", "{" + kSmall + "}", {"--seed", "9223372036854775807"}, 0, {}, true},
      {"samples past 2^64", "", {"-s", "99999999999999999999"}, 2, {"-s", "--limit samples"}},
      {"negative seed option", "", {"--seed", "-5"}, 2, {"--seed"}},
      {"showcase beyond the pixel ceiling",
       "",
       {"-W", "30000", "-H", "30000"},
       2,
       {"30000 x 30000", "--limit pixels"}},
      {"environment with a scene",
       "{}",
       {"--environment", "x.png"},
       2,
       {"--environment", "a scene file was given"}},
      {"unknown ceiling", "{}", {"--limit", "pixel=5"}, 2, {"pixels, samples"}},
      // -q keeps the warnings; --strict makes them errors.
      {"warnings under --strict",
       R"({"shaders": {"l": {"class": "qvPointLight"}}, "lights": [{"shader": "l"}]})",
       {"--validate", "--strict", "-q"},
       1,
       {"error: case.json:1:14: shader 'l'", "lights nothing", "the scene has no objects",
        "2 warnings under --strict"}},
      {"output folder missing",
       "{}",
       {"-o", "nowhere/out.png"},
       2,
       {"nowhere/out.png", "does not exist"}},
      {"output is a folder",
       "{}",
       {"-o", "folder.png"},
       2,
       {"cannot write 'folder.png'", "it is a folder"}},
      // An output never replaces what the scene is read from, however it is spelt.
      {"output is the scene file",
       "",
       {"scene.png", "-o", "./scene.png"},
       2,
       {"will not write './scene.png'", "scene file 'scene.png'"}},
      {"output is a texture, --validate too",
       withShader("quarra_Mtl_AmbientOnly", R"({"ambientOcclusionTexture": "grey.png"})"),
       {"--validate", "-o", "folder.png/../grey.png"},
       2,
       {"will not write 'folder.png/../grey.png'", "texture", "grey.png"}},
  };
  for (const Case& c : cases)
    check(c);
}

// glTF models meet the ceilings of scene files: their images go through the budgeted image cache
// (an 8192 x 4096 PNG decoded whole took over 1 GB), their JSON is held to the nesting ceiling
// before the reader's recursion meets it, a camera's aspect ratio is checked before it sizes the
// image, names are made unique in linear time, and the extension is read in any case.
TEST_F(Hostile, GltfModelsMeetTheCeilings) {
  // One triangle, its positions then its indices; a material with a base colour texture.
  const float positions[9] = {0, 0, 0, 1, 0, 0, 0, 1, 0};
  const uint16_t indices[4] = {0, 1, 2, 0};
  std::string bytes(reinterpret_cast<const char*>(positions), sizeof positions);
  bytes.append(reinterpret_cast<const char*>(indices), sizeof indices);
  write(folder_ + "/tri.bin", bytes);
  const std::vector<unsigned char> grey(size_t{8192} * 4096, 128);
  OIIO::ImageBuf(OIIO::ImageSpec(8192, 4096, 1, OIIO::TypeDesc::UINT8),
                 const_cast<unsigned char*>(grey.data()))
      .write(folder_ + "/big.png");
  const auto model = [&](const std::string& name, const std::string& primitives,
                         const std::string& more) {
    write(folder_ + "/" + name,
          R"({"asset": {"version": "2.0")" + more + R"(}, "scenes": [{"nodes": [0]}],
              "nodes": [{"mesh": 0, "camera": 0}],
              "cameras": [{"type": "perspective", "perspective": {"yfov": 0.5, "znear": 0.1,
                           "aspectRatio": )" +
              (name == "wide.gltf" ? "4294967296" : "1.5") + R"(}}],
              "meshes": [{"primitives": [)" +
              primitives + R"(]}],
              "textures": [{"source": 0}], "images": [{"uri": "big.png"}],
              "buffers": [{"uri": "tri.bin", "byteLength": 44}],
              "bufferViews": [{"buffer": 0, "byteLength": 36}, {"buffer": 0, "byteOffset": 36, "byteLength": 8}],
              "accessors": [{"bufferView": 0, "componentType": 5126, "count": 3, "type": "VEC3"},
                            {"bufferView": 1, "componentType": 5123, "count": 3, "type": "SCALAR"}],
              "materials": [)" +
              std::string(R"({"name": "m", "pbrMetallicRoughness": {"metallicFactor": 0,
                                 "baseColorTexture": {"index": 0}}})") +
              "]}");
  };
  const std::string one = R"({"attributes": {"POSITION": 0}, "indices": 1, "material": 0})";
  model("textured.GLTF", one, "");
  model("wide.gltf", one, "");
  model("deep.gltf", one, R"(, "extras": )" + std::string(15000, '[') + std::string(15000, ']'));
  // 5000 primitives with 5000 materials, all named "m" (made unique took minutes, cubic).
  std::string many, materials;
  for (int i = 0; i < 5000; ++i) {
    many += (i ? ", " : "") + std::string(R"({"attributes": {"POSITION": 0}, "material": )") +
            std::to_string(i) + "}";
    materials += (i ? ", " : "") + std::string(R"({"name": "m"})");
  }
  std::string text =
      R"({"asset": {"version": "2.0"}, "scenes": [{"nodes": [0]}], "nodes": [{"mesh": 0}],
      "meshes": [{"primitives": [)" +
      many + R"(]}], "materials": [)" + materials + R"(],
      "buffers": [{"uri": "tri.bin", "byteLength": 44}], "bufferViews": [{"buffer": 0, "byteLength": 36}],
      "accessors": [{"bufferView": 0, "componentType": 5126, "count": 3, "type": "VEC3"}]})";
  write(folder_ + "/names.gltf", text);
  const Case cases[] = {
      {"image through the cache, upper-case extension",
       "",
       {"textured.GLTF", "-W", "32", "-s", "1"},
       0,
       {},
       true},
      {"image beyond the pixel ceiling",
       "",
       {"textured.GLTF", "--limit", "texture-pixels=1M"},
       1,
       {"textured.GLTF: image 0", "big.png", "8192 x 4096", "--limit texture-pixels"}},
      {"nesting of a model", "", {"deep.gltf"}, 1, {"deep.gltf:1:", "nest deeper"}},
      {"camera aspect ratio of 2^32",
       "",
       {"wide.gltf", "-W", "64"},
       2,
       {"aspect ratio of 4.29497e+09", "less than one pixel"}},
      {"camera aspect ratio of 2^32, --validate",
       "",
       {"--validate", "wide.gltf", "-W", "64"},
       2,
       {"aspect ratio of 4.29497e+09", "less than one pixel"}},
      {"5000 materials of one name", "", {"names.gltf", "-W", "8", "-s", "1"}, 0, {}, true},
  };
  for (const Case& c : cases)
    check(c);
}

// A 50 MB scene is read and refused within seconds of processor time and well under the
// address-space limit.
TEST_F(Hostile, LargeSceneIsRefusedQuickly) {
  std::string text = "{\"title\": [";
  text.reserve(52u << 20);
  while (text.size() < (50u << 20))
    text += "0.5, ";
  text += "0]}";
  write(folder_ + "/large.json", text);
  EXPECT_LT(check({"50 MB scene",
                   "",
                   {"large.json", "--limit", "scene-bytes=64M"},
                   1,
                   {"large.json:1:", "more JSON values"}}),
            5.0);
  // Without the raised ceiling it is refused before it is read.
  check({"50 MB scene, default ceiling", "", {"large.json"}, 1, {"--limit scene-bytes"}});
}

// A signal ends the run in any phase with 128 + its number, its message and no output, partial
// file or scratch file: while the scene loads (after a generated cube went to a scratch file, and
// while textures are read, which holds back the image libraries' own chatter), while the image
// renders and while its labels are drawn. SIGHUP and SIGPIPE end it as SIGTERM does.
TEST_F(Hostile, SignalsEndEveryPhaseWithoutOutput) {
  // Shaders are read in name order: "a" (with the cube) comes first.
  std::string shaders =
      R"({"shaders": {"a": {"class": "VesmarLegacy", "parameters": {"diffuseIBLCube": )"
      R"({"generated": "sky"}}})";
  for (int i = 0; i < 400000; ++i)
    shaders += ", \"s" + std::to_string(i) + R"(": {"class": "quarra_Mtl_Solid"})";
  shaders += "}}";
  std::string textures = R"({"shaders": {)";
  for (int i = 0; i < 20000; ++i) {
    const std::string name = "t" + std::to_string(i) + ".png";
    std::filesystem::copy_file(folder_ + "/grey.png", folder_ + "/" + name);
    textures += (i ? ", \"s" : "\"s") + std::to_string(i) +
                R"(": {"class": "quarra_Mtl_AmbientOnly", "parameters": {)"
                R"("ambientOcclusionTexture": ")" +
                name + "\"}}";
  }
  textures += "}}";
  std::string labels = R"({"settings": {"width": 64, "height": 36, "samples": 1}, "labels": [)";
  for (int i = 0; i < 20000; ++i)
    labels += std::string(i ? ", " : "") + R"({"text": "label", "at": [0, 0, 0]})";
  labels += "]}";
  const std::vector<std::string> render = {"-W", "1920", "-H", "1080", "-s", "64"};
  struct Signalled {
    Case run;
    int signal;
    double after;  // seconds
  };
  // Loading 400 000 shaders or 20 000 textures takes seconds; the signal comes early in it
  // however fast the machine.
  const Signalled cases[] = {
      {{"SIGTERM while loading", shaders, {"--limit", "items=1M"}, 143, {"terminated"}},
       SIGTERM,
       0.5},
      {{"SIGTERM while textures are read", textures, {}, 143, {"terminated (SIGTERM)"}},
       SIGTERM,
       1.0},
      {{"SIGINT while rendering", "", render, 130, {"interrupted"}}, SIGINT, 1.0},
      {{"SIGHUP while rendering", "", render, 129, {"hung up (SIGHUP)"}}, SIGHUP, 1.0},
      {{"SIGPIPE while labels are drawn", labels, {}, 141, {"broken pipe (SIGPIPE)"}},
       SIGPIPE,
       1.5},
  };
  for (const Signalled& c : cases)
    check(
        c.run, [&](pid_t program) { kill(program, c.signal); }, c.after);
}

// On a full disk the run fails naming the output and the errno, and the output written before
// stays as it was, byte for byte (a small tmpfs is the disk; mounting needs root).
TEST_F(Hostile, FullDiskLeavesTheOldOutput) {
  const std::string disk = folder_ + "/disk";
  std::filesystem::create_directories(disk);
  if (mount("tarvo-full", disk.c_str(), "tmpfs", 0, "size=256k") != 0)
    GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(errno);
  struct Unmount {
    std::string at;
    ~Unmount() { umount2(at.c_str(), MNT_DETACH); }
  } unmount{disk};
  for (const std::string name : {"old.png", "old.exr"}) {
    check({"first output", "", {"-W", "64", "-H", "36", "-s", "1", "-o", "disk/" + name}, 0, {}});
    std::ifstream in(disk + "/" + name, std::ios::binary);
    const std::string old((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_FALSE(old.empty());
    {
      std::ofstream filler(disk + "/filler", std::ios::binary);
      const std::string block(4096, 'x');
      while (filler.write(block.data(), block.size()) && filler.flush()) {
      }
    }
    check({"on a full disk",
           "",
           {"-W", "320", "-H", "180", "-s", "1", "-o", "disk/" + name},
           1,
           {"cannot write 'disk/" + name + "'", "(ENOSPC)"}});
    std::ifstream again(disk + "/" + name, std::ios::binary);
    EXPECT_EQ(
        std::string((std::istreambuf_iterator<char>(again)), std::istreambuf_iterator<char>()),
        old);
    std::filesystem::remove(disk + "/filler");
    for (const auto& entry : std::filesystem::directory_iterator(disk))
      EXPECT_EQ(entry.path().filename().string().find(".partial"), std::string::npos);
  }
}

}  // namespace
