#include "host/render/limits.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <set>

#include "host/nearest_names.h"

namespace tarvo::render {

const std::vector<Limits::Entry>& Limits::entries() {
  static const std::vector<Entry> rows = {
      {"scene-bytes", &Limits::sceneBytes, "bytes of a scene file"},
      {"nesting", &Limits::nesting, "nesting depth of JSON arrays and objects"},
      {"json-values", &Limits::jsonValues, "JSON values in a scene file"},
      {"pixels", &Limits::pixels, "image pixels (width x height)"},
      {"samples", &Limits::samples, "samples per pixel"},
      {"depth", &Limits::depth, "maxDepth and diffuseDepth (deeper is clamped with a warning)"},
      {"rays", &Limits::rays, "aoSamples and indirectSamples"},
      {"threads", &Limits::threads, "render threads"},
      {"items", &Limits::items, "shaders, objects, labels, clipping planes, texels of a list"},
      {"lights", &Limits::lights, "lights"},
      {"triangles", &Limits::triangles, "mesh triangles of a scene, each object counted"},
      {"mesh-bytes", &Limits::meshBytes,
       "bytes of one OBJ or glTF file (and each file a glTF names)"},
      {"texture-pixels", &Limits::texturePixels, "pixels of one texture image"},
      {"texture-bytes", &Limits::textureBytes, "bytes of one texture file"},
      // The image cache thrashes forever or crashes below a few tiles, and overflows its byte
      // count at 2^44 MB.
      {"texture-memory", &Limits::textureMemoryMB, "MB the texture cache may hold", 32,
       int64_t{1} << 20},
      {"render-memory", &Limits::renderMemoryMB,
       "MB a render takes beyond the scene: the image, each thread's light lists", 1,
       int64_t{1} << 30},
      {"label-pixels", &Limits::labelPixels, "label text height in pixels"},
      {"label-characters", &Limits::labelCharacters, "characters of one label"},
      {"label-area", &Limits::labelArea,
       "a label's longest line (characters) x its size squared (pixels)"},
  };
  return rows;
}

void Limits::set(const std::string& assignment) {
  const size_t equals = assignment.find('=');
  const std::string name = assignment.substr(0, equals);
  std::string names;
  for (const Entry& e : entries())
    names += std::string(names.empty() ? "" : ", ") + e.name;
  const Entry* entry = nullptr;
  for (const Entry& e : entries())
    if (name == e.name) entry = &e;
  if (entry == nullptr || equals == std::string::npos) {
    throw std::invalid_argument("--limit takes name=value with a name among " + names + ", not '" +
                                host::clipped(assignment) + "'");
  }
  const std::string text = assignment.substr(equals + 1);
  int64_t value = 0;
  size_t i = 0;
  constexpr int64_t kMost = int64_t{1} << 50;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > kMost) break;
  }
  int64_t scale = 1;
  if (i + 1 == text.size() && (text[i] == 'k' || text[i] == 'M' || text[i] == 'G')) {
    scale = text[i] == 'k' ? 1000 : text[i] == 'M' ? 1000000 : 1000000000;
    ++i;
  }
  if (i == 0 || i != text.size() || value > entry->most / scale || value * scale < entry->least) {
    throw std::invalid_argument(
        "--limit " + name + " takes a whole number from " + std::to_string(entry->least) + " to " +
        (entry->most == kMost ? std::string("2^50") : std::to_string(entry->most)) +
        " (k, M or G may follow), not '" + host::clipped(text) + "'");
  }
  this->*(entry->value) = value * scale;
}

namespace {

std::mutex scratchLock;
std::set<std::string>& scratchFiles() {
  static std::set<std::string>* files = new std::set<std::string>;  // outlives every owner
  return *files;
}

}  // namespace

std::string newScratchFile(const std::string& stem, const std::string& extension) {
  static std::atomic<uint64_t> serial{0};
  std::error_code error;
  std::filesystem::path folder = std::filesystem::temp_directory_path(error);
  if (error) folder = "/tmp";
  const std::string path = (folder / ("tarvo-" + stem + "-" + std::to_string(::getpid()) + "-" +
                                      std::to_string(++serial) + "." + extension))
                               .string();
  std::lock_guard<std::mutex> hold(scratchLock);
  scratchFiles().insert(path);
  return path;
}

void dropScratchFile(const std::string& path) {
  std::lock_guard<std::mutex> hold(scratchLock);
  ::unlink(path.c_str());
  scratchFiles().erase(path);
}

void removeScratchFiles() {
  std::lock_guard<std::mutex> hold(scratchLock);
  for (const std::string& path : scratchFiles())
    ::unlink(path.c_str());
  scratchFiles().clear();
}

std::string ceilingText(int64_t ceiling, const char* limitName) {
  return std::to_string(ceiling) + " (--limit " + limitName + "=N raises it)";
}

namespace {

std::string kindOf(mode_t mode) {
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISFIFO(mode)) return "a FIFO (named pipe)";
  if (S_ISCHR(mode)) return "a character device";
  if (S_ISBLK(mode)) return "a block device";
  if (S_ISSOCK(mode)) return "a socket";
  return "not a regular file";
}

void checkStat(const struct stat& info, const std::string& path, const char* what, int64_t maxBytes,
               const char* limitName) {
  if (!S_ISREG(info.st_mode)) {
    throw std::runtime_error("cannot read the " + std::string(what) + " '" + path + "': it is " +
                             kindOf(info.st_mode) + ", not a regular file");
  }
  if (static_cast<int64_t>(info.st_size) > maxBytes) {
    throw std::runtime_error("cannot read the " + std::string(what) + " '" + path + "': it holds " +
                             std::to_string(static_cast<int64_t>(info.st_size)) +
                             " bytes, more than the ceiling of " +
                             ceilingText(maxBytes, limitName));
  }
}

}  // namespace

namespace {

// A name with a NUL byte (a JSON "\u0000", a glTF "%00") would be cut short by every system
// call: another file than the one named would be read.
void checkName(const std::string& path, const char* what) {
  if (path.find('\0') != std::string::npos) {
    throw std::runtime_error("cannot read the " + std::string(what) + " '" +
                             host::clipped(path.substr(0, path.find('\0'))) +
                             "\\0...': its name holds a NUL byte");
  }
}

}  // namespace

void checkReadableFile(const std::string& path, const char* what, int64_t maxBytes,
                       const char* limitName) {
  checkName(path, what);
  struct stat info;
  if (::stat(path.c_str(), &info) != 0) {
    throw std::runtime_error("cannot read the " + std::string(what) + " '" + path +
                             "': " + std::strerror(errno));
  }
  checkStat(info, path, what, maxBytes, limitName);
}

std::string readWholeFile(const std::string& path, const char* what, int64_t maxBytes,
                          const char* limitName) {
  checkName(path, what);
  // Opened without blocking, then checked by its descriptor: a FIFO put in place of the file
  // after a name check still cannot stall the read.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    throw std::runtime_error("cannot read the " + std::string(what) + " '" + path +
                             "': " + std::strerror(errno));
  }
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  struct stat info;
  if (::fstat(fd, &info) != 0) {
    throw std::runtime_error("cannot read the " + std::string(what) + " '" + path +
                             "': " + std::strerror(errno));
  }
  checkStat(info, path, what, maxBytes, limitName);
  std::string text(static_cast<size_t>(info.st_size), '\0');
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::read(fd, &text[done], text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      throw std::runtime_error("cannot read the " + std::string(what) + " '" + path +
                               "': " + std::strerror(errno));
    }
    if (n == 0) break;  // shrank while being read
    done += static_cast<size_t>(n);
  }
  text.resize(done);
  return text;
}

}  // namespace tarvo::render
