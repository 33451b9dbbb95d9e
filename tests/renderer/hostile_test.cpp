// Hostile and careless scene files and options: each ends in the stated exit status with a
// message naming the place and what was wrong, leaves no output file, and stays under 1 GB of
// address space (the program runs under that limit, so a runaway allocation shows as a failure
// rather than a swapping machine).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
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
  long peakKilobytes = 0;
};

// True once the process blocks SIGINT and SIGTERM (Linux: the SigBlk mask of /proc/PID/status).
bool signalsBlocked(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("SigBlk:", 0) != 0) continue;
    const unsigned long long mask = std::stoull(line.substr(7), nullptr, 16);
    const unsigned long long wanted = (1ull << (SIGINT - 1)) | (1ull << (SIGTERM - 1));
    return (mask & wanted) == wanted;
  }
  return false;
}

// Runs tarvo-render in `folder` under the address-space limit; `signal` is sent after
// `signalAfter` seconds when non-zero.
ProgramRun runProgram(const std::string& folder, const std::vector<std::string>& arguments,
                      int signal = 0, double signalAfter = 0.0, double timeLimit = 60.0) {
  const std::string errorsFile = folder + "/errors.txt";
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = fork();
  if (child == 0) {
    const rlimit limit{kAddressSpace, kAddressSpace};
    setrlimit(RLIMIT_AS, &limit);
    if (chdir(folder.c_str()) != 0) _exit(120);
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
  bool ready = false, signalled = false;
  int status = 0;
  rusage usage{};
  for (;;) {
    const pid_t done = wait4(child, &status, WNOHANG, &usage);
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (done == child) break;
    // The delay counts from the moment the program has taken over its signals (before that,
    // while the dynamic loader runs, a signal would end it the system's way).
    if (signal != 0 && !ready && signalsBlocked(child)) {
      ready = true;
      signalAfter += run.seconds;
    }
    if (ready && !signalled && run.seconds >= signalAfter) {
      kill(child, signal);
      signalled = true;
    }
    if (run.seconds > timeLimit) kill(child, SIGKILL);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.peakKilobytes = usage.ru_maxrss;
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
    // A truncated PNG: the first bytes of a valid 1 x 1 grey image.
    write(folder_ + "/truncated.png", std::string("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR\0\0\0\x40", 20));
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  void check(const Case& c, int signal = 0, double signalAfter = 0.0) {
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
    const ProgramRun run = runProgram(folder_, arguments, signal, signalAfter);
    EXPECT_EQ(run.status, c.status) << run.errors;
    for (const std::string& m : c.mentions)
      EXPECT_NE(run.errors.find(m), std::string::npos) << "'" << m << "' not in: " << run.errors;
    EXPECT_EQ(std::filesystem::exists(folder_ + "/out.png"), c.writes);
    for (const auto& entry : std::filesystem::directory_iterator(folder_))
      EXPECT_EQ(entry.path().filename().string().find(".partial"), std::string::npos);
    EXPECT_LT(run.peakKilobytes, 1L << 20);
    // Every line is the program's own: no library chatter.
    std::istringstream lines(run.errors);
    for (std::string line; std::getline(lines, line);) {
      if (line.empty()) continue;
      EXPECT_TRUE(line.rfind("tarvo-render: ", 0) == 0 || line.rfind("warning: ", 0) == 0) << line;
    }
  }

  std::string folder_;
};

const std::string kSmall = R"("settings": {"width": 16, "height": 9, "samples": 1})";

std::string withShader(const std::string& className, const std::string& parameters) {
  return R"({"shaders": {"s": {"class": ")" + className + R"(", "parameters": )" + parameters +
         "}}}";
}

TEST_F(Hostile, ScenesAndOptionsAreRefusedClearly) {
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
  };
  for (const Case& c : cases)
    check(c);
}

// A 50 MB scene is read and refused within seconds and well under the address-space limit.
TEST_F(Hostile, LargeSceneIsRefusedQuickly) {
  std::string text = "{\"title\": [";
  text.reserve(52u << 20);
  while (text.size() < (50u << 20))
    text += "0.5, ";
  text += "0]}";
  write(folder_ + "/large.json", text);
  const auto start = std::chrono::steady_clock::now();
  check({"50 MB scene",
         "",
         {"large.json", "--limit", "scene-bytes=64M"},
         1,
         {"large.json:1:", "more JSON values"}});
  EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 5.0);
  // Without the raised ceiling it is refused before it is read.
  check({"50 MB scene, default ceiling", "", {"large.json"}, 1, {"--limit scene-bytes"}});
}

// A signal ends the run in any phase with 128 + its number and no output: here while the
// scene loads, while the image renders and while its labels are drawn.
TEST_F(Hostile, SignalsEndEveryPhaseWithoutOutput) {
  std::string shaders = R"({"shaders": {)";
  for (int i = 0; i < 400000; ++i)
    shaders += (i ? ", \"s" : "\"s") + std::to_string(i) + R"(": {"class": "quarra_Mtl_Solid"})";
  shaders += "}}";
  // Loading 400 000 shaders takes seconds; the signal comes early in it however fast the machine.
  check({"SIGTERM while loading", shaders, {"--limit", "items=1M"}, 143, {"terminated"}}, SIGTERM,
        0.2);
  check({"SIGINT while rendering",
         "",
         {"-W", "1920", "-H", "1080", "-s", "64"},
         130,
         {"interrupted"}},
        SIGINT, 1.0);
  std::string labels = R"({"settings": {"width": 64, "height": 36, "samples": 1}, "labels": [)";
  for (int i = 0; i < 20000; ++i)
    labels += std::string(i ? ", " : "") + R"({"text": "label", "at": [0, 0, 0]})";
  labels += "]}";
  check({"SIGTERM while labels are drawn", labels, {}, 143, {"terminated"}}, SIGTERM, 1.5);
}

}  // namespace
