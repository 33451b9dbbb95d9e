#include "host/render/textures.h"

#include <OpenImageIO/imagebuf.h>
#include <OpenImageIO/imagecache.h>
#include <OpenImageIO/imageio.h>
#include <OpenImageIO/texture.h>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "host/render/math.h"

namespace tarvo::render {

float srgbToLinear(float c) {
  return c <= 0.04045f ? c * (1.0f / 12.92f) : std::pow((c + 0.055f) * (1.0f / 1.055f), 2.4f);
}

float linearToSrgb(float c) {
  if (!(c > 0.0f)) return 0.0f;
  if (c >= 1.0f) return 1.0f;
  return c <= 0.0031308f ? c * 12.92f : 1.055f * std::pow(c, 1.0f / 2.4f) - 0.055f;
}

namespace {

float wrapCoordinate(float s, Wrap wrap, bool* outside) {
  switch (wrap) {
    case Wrap::Periodic:
      return s - std::floor(s);
    case Wrap::Clamp:
      return std::clamp(s, 0.0f, 1.0f);
    case Wrap::Black:
      *outside = *outside || s < 0.0f || s > 1.0f;
      return std::clamp(s, 0.0f, 1.0f);
  }
  return s;
}

bool isSrgb(const OIIO::ImageSpec& header, ColorSpace requested) {
  if (requested != ColorSpace::Auto) return requested == ColorSpace::SRGB;
  const std::string tagged = header.get_string_attribute("oiio:ColorSpace");
  if (OIIO::Strutil::iequals(tagged, "linear") || OIIO::Strutil::iequals(tagged, "lin_srgb")) {
    return false;
  }
  if (OIIO::Strutil::iequals(tagged, "srgb")) return true;
  const OIIO::TypeDesc::BASETYPE base =
      static_cast<OIIO::TypeDesc::BASETYPE>(header.format.basetype);
  return base == OIIO::TypeDesc::UINT8 || base == OIIO::TypeDesc::UINT16;
}

// Expands 1 to 4 channels of a texel to RGBA: grey, grey and alpha, RGB, RGBA.
pvx::float4 expandChannels(const float* c, int channels) {
  switch (channels) {
    case 1:
      return {c[0], c[0], c[0], 1.0f};
    case 2:
      return {c[0], c[0], c[0], c[1]};
    case 3:
      return {c[0], c[1], c[2], 1.0f};
    default:
      return {c[0], c[1], c[2], c[3]};
  }
}

}  // namespace

// ---------------------------------------------------------------------------------------------

void ImageTexture2D::sample(pvx::float4* result, const pvx::float2* st) {
  if (image_.width <= 0 || image_.height <= 0) return;
  bool outside = false;
  const float s = wrapCoordinate(st->x, wrapS_, &outside);
  const float t = wrapCoordinate(st->y, wrapT_, &outside);
  if (outside) {
    *result = pvx::float4(0.0f, 0.0f, 0.0f, 0.0f);
    return;
  }
  const float x = s * static_cast<float>(image_.width) - 0.5f;
  const float y = (1.0f - t) * static_cast<float>(image_.height) - 0.5f;
  const float fx = std::floor(x), fy = std::floor(y);
  const float ax = x - fx, ay = y - fy;
  const int w = image_.width, h = image_.height;
  const auto column = [&](int i) {
    return wrapS_ == Wrap::Periodic ? ((i % w) + w) % w : std::clamp(i, 0, w - 1);
  };
  const int x0 = column(static_cast<int>(fx)), x1 = column(static_cast<int>(fx) + 1);
  const auto row = [&](int i) {
    return wrapT_ == Wrap::Periodic ? ((i % h) + h) % h : std::clamp(i, 0, h - 1);
  };
  const int y0 = row(static_cast<int>(fy)), y1 = row(static_cast<int>(fy) + 1);
  const pvx::float4 top = image_.at(x0, y0) * (1.0f - ax) + image_.at(x1, y0) * ax;
  const pvx::float4 bottom = image_.at(x0, y1) * (1.0f - ax) + image_.at(x1, y1) * ax;
  *result = top * (1.0f - ay) + bottom * ay;
}

void DataTexture1D::sample(pvx::float4* result, float s) {
  if (texels_.empty()) return;
  const float n = static_cast<float>(texels_.size());
  const float scaled = std::floor(s * n);
  const int index = scaled != scaled ? 0 : static_cast<int>(std::clamp(scaled, 0.0f, n - 1.0f));
  *result = texels_[static_cast<size_t>(index)];
}

pvx::float2 latLongCoordinates(pvx::float3 d) {
  const float z = std::clamp(d.z, -1.0f, 1.0f);
  return {std::atan2(-d.y, d.x) * 0.15915491f + 0.25f, std::asin(z) * 0.31830990f + 0.5f};
}

void LatLongCube::sample(pvx::float4* result, const pvx::float3* c) {
  if (latLong_ == nullptr) return;
  // The cube vector is (d.x, d.z, -d.y) of the world direction d.
  const pvx::float3 d = normalize(pvx::float3(c->x, -c->z, c->y));
  const pvx::float2 st = latLongCoordinates(d);
  latLong_->sample(result, &st);
}

void FaceCube::sample(pvx::float4* result, const pvx::float3* c) {
  const float ax = std::fabs(c->x), ay = std::fabs(c->y), az = std::fabs(c->z);
  int face;
  float sc, tc, ma;
  if (ax >= ay && ax >= az) {
    face = c->x >= 0.0f ? 0 : 1;
    sc = c->x >= 0.0f ? -c->z : c->z;
    tc = -c->y;
    ma = ax;
  } else if (ay >= az) {
    face = c->y >= 0.0f ? 2 : 3;
    sc = c->x;
    tc = c->y >= 0.0f ? c->z : -c->z;
    ma = ay;
  } else {
    face = c->z >= 0.0f ? 4 : 5;
    sc = c->z >= 0.0f ? c->x : -c->x;
    tc = -c->y;
    ma = az;
  }
  if (!(ma > 0.0f) || faces_[static_cast<size_t>(face)] == nullptr) return;
  // tc runs downward over the face image; our t runs upward.
  const pvx::float2 st(0.5f * (sc / ma + 1.0f), 1.0f - 0.5f * (tc / ma + 1.0f));
  faces_[static_cast<size_t>(face)]->sample(result, &st);
}

std::vector<pvx::float4> clippingPlaneTexels(const std::vector<pvx::float4>& planes) {
  std::vector<pvx::float4> texels;
  texels.reserve(planes.size() + 1);
  texels.emplace_back(static_cast<float>(planes.size()), 0.0f, 0.0f, 1.0f);
  texels.insert(texels.end(), planes.begin(), planes.end());
  return texels;
}

// ---------------------------------------------------------------------------------------------

namespace {

// Each thread's lookup state (its tile cache) for one texture system. Left to OpenImageIO, it is
// found through a thread-specific pointer on every lookup and lives until the thread ends, which
// for a long-lived thread (a TBB worker, the main thread) is after this scene's cache is gone,
// still holding tiles of it. Here the states are made with the texture system's own calls on a
// thread's first lookup, found again through a thread-local pointer keyed by a number no other
// system ever had (an address could be reused by the next scene's system), and all destroyed
// with the system, before its cache.
class ThreadStates {
 public:
  explicit ThreadStates(OIIO::TextureSystem* system) : system_(system), serial_(nextSerial()) {}
  ~ThreadStates() {
    for (const auto& entry : states_)
      system_->destroy_thread_info(entry.second);
  }
  ThreadStates(const ThreadStates&) = delete;
  ThreadStates& operator=(const ThreadStates&) = delete;

  OIIO::TextureSystem::Perthread* get() {
    thread_local uint64_t serial = 0;
    thread_local OIIO::TextureSystem::Perthread* state = nullptr;
    if (serial != serial_) {
      state = find();
      serial = serial_;
    }
    return state;
  }

 private:
  // The calling thread's state, made on its first lookup (a thread that went back and forth
  // between two systems finds its own again).
  OIIO::TextureSystem::Perthread* find() {
    std::lock_guard<std::mutex> lock(mutex_);
    OIIO::TextureSystem::Perthread*& state = states_[std::this_thread::get_id()];
    if (state == nullptr) state = system_->create_thread_info();
    return state;
  }
  static uint64_t nextSerial() {
    static std::atomic<uint64_t> last{0};
    return ++last;
  }
  OIIO::TextureSystem* system_;
  uint64_t serial_;
  std::mutex mutex_;
  std::map<std::thread::id, OIIO::TextureSystem::Perthread*> states_;
};

}  // namespace

struct TextureLibrary::System {
  OIIO::ImageCache* cache = nullptr;
  OIIO::TextureSystem* textures = nullptr;
  std::unique_ptr<ThreadStates> threads;
  System() {
    // A private cache and texture system, so that two scenes (or a test and a render) never
    // share cached files that changed on disk in between. Untiled files are read in 512 x 512
    // tiles, so a large image is never held whole, while a typical environment (the generated
    // sky is 512 x 256) is one tile: scattered lookups then stay in each thread's own tile
    // cache instead of locking the shared one (64 x 64 tiles cost the showcase 3 % more
    // instructions). No MIP levels are made since lookups use none.
    cache = OIIO::ImageCache::create(false);
    cache->attribute("max_memory_MB", static_cast<float>(Limits().textureMemoryMB));
    cache->attribute("autotile", 512);
    cache->attribute("automip", 0);
    textures = OIIO::TextureSystem::create(false, cache);
    threads = std::make_unique<ThreadStates>(textures);
  }
  ~System() {
    threads.reset();  // the threads' tile caches go before the cache they hold tiles of
    OIIO::TextureSystem::destroy(textures, false);
    OIIO::ImageCache::destroy(cache);
  }
};

// An image file looked up through the texture system. Its options are copied for each lookup:
// OpenImageIO fills in fields of the options it is given, and one object written by every
// render thread would be a data race and a cache line the threads pull back and forth (it cost
// the second render thread a tenth of its speed, there and in whatever memory lay beside it).
struct TextureLibrary::FileTexture final : public pvx::ITexture2D {
  std::string path;
  OIIO::TextureSystem* system = nullptr;
  ThreadStates* threads = nullptr;
  OIIO::TextureSystem::TextureHandle* handle = nullptr;
  OIIO::TextureOpt options;
  int channels = 4;
  bool srgb = false;
  bool blackOutside = false;
  std::atomic<bool> failed{false};

  void sample(pvx::float4* result, const pvx::float2* st) override {
    const float s = st->x, t = 1.0f - st->y;
    if (blackOutside && (s < 0.0f || s > 1.0f || t < 0.0f || t > 1.0f)) {
      *result = pvx::float4(0.0f, 0.0f, 0.0f, 0.0f);
      return;
    }
    float texel[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    OIIO::TextureOpt lookup = options;  // the lookup writes into its options: a copy per call
    if (!system->texture(handle, threads->get(), lookup, s, t, 0.0f, 0.0f, 0.0f, 0.0f,
                         std::min(channels, 4), texel)) {
      // An error inside the texture system (the file changed on disk since it was read) reads
      // as the caller's pre-fill, and is reported once the render is done.
      failed.store(true, std::memory_order_relaxed);
      return;
    }
    pvx::float4 c = expandChannels(texel, channels);
    if (srgb) {
      c.x = srgbToLinear(c.x);
      c.y = srgbToLinear(c.y);
      c.z = srgbToLinear(c.z);
    }
    *result = c;
  }
};

// A latitude-longitude image looked up by OpenImageIO's environment support along the cube
// vector, which is already a direction of its y-up convention.
struct TextureLibrary::EnvironmentCube final : public pvx::ITextureCube {
  OIIO::TextureSystem* system = nullptr;
  std::atomic<bool>* failed = nullptr;  // the image file's, when the cube reads one
  ThreadStates* threads = nullptr;
  OIIO::TextureSystem::TextureHandle* handle = nullptr;
  OIIO::TextureOpt options;
  int channels = 4;
  bool srgb = false;

  void sample(pvx::float4* result, const pvx::float3* c) override {
    if (!(std::isfinite(c->x) && std::isfinite(c->y) && std::isfinite(c->z)) ||
        (c->x == 0.0f && c->y == 0.0f && c->z == 0.0f)) {
      return;  // no direction: the caller's pre-fill
    }
    const OIIO::V3fParam R(c->x, c->y, c->z), none(0.0f, 0.0f, 0.0f);
    float texel[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    OIIO::TextureOpt lookup = options;  // see FileTexture::sample
    if (!system->environment(handle, threads->get(), lookup, R, none, none, std::min(channels, 4),
                             texel)) {
      if (failed != nullptr) failed->store(true, std::memory_order_relaxed);
      return;
    }
    pvx::float4 colour = expandChannels(texel, channels);
    if (srgb) {
      colour.x = srgbToLinear(colour.x);
      colour.y = srgbToLinear(colour.y);
      colour.z = srgbToLinear(colour.z);
    }
    *result = colour;
  }
};

TextureLibrary::TextureLibrary() : system_(std::make_unique<System>()) {}

TextureLibrary::~TextureLibrary() {
  environmentCubes_.clear();
  system_.reset();  // closes the files before they go
  for (const std::string& path : temporaryFiles_)
    dropScratchFile(path);
}

void TextureLibrary::setLimits(const Limits& limits) {
  limits_ = limits;
  system_->cache->attribute("max_memory_MB", static_cast<float>(limits.textureMemoryMB));
}

namespace {

// The image library's reason, its first line: the lines after repeat it with internal detail.
std::string oneLine(const std::string& reason, const char* otherwise) {
  std::string line = reason.substr(0, reason.find_first_of("\r\n"));
  while (!line.empty() && line.back() == ' ')
    line.pop_back();
  return line.empty() ? std::string(otherwise) : line;
}

// The header of a regular image file within the ceilings; only the header is read.
OIIO::ImageSpec checkedSpec(const std::string& path, const Limits& limits) {
  try {
    checkReadableFile(path, "image", limits.textureBytes, "texture-bytes");
  } catch (const std::runtime_error& e) {
    throw TextureError(e.what());
  }
  QuietStandardError quiet;
  auto input = OIIO::ImageInput::open(path);
  if (!input) {
    throw TextureError("cannot read the image '" + path +
                       "': " + oneLine(OIIO::geterror(), "the file cannot be opened"));
  }
  OIIO::ImageSpec header = input->spec();
  input->close();
  const int64_t pixels = static_cast<int64_t>(header.width) * header.height * header.depth;
  if (header.width < 1 || header.height < 1 || header.depth < 1 || header.nchannels < 1) {
    throw TextureError("cannot read the image '" + path + "': it holds no pixels");
  }
  if (pixels > limits.texturePixels) {
    throw TextureError("cannot read the image '" + path + "': it is " +
                       std::to_string(header.width) + " x " + std::to_string(header.height) +
                       " pixels, more than the ceiling of " +
                       ceilingText(limits.texturePixels, "texture-pixels"));
  }
  return header;
}

}  // namespace

QuietStandardError::QuietStandardError() {
  std::fflush(stderr);
  held_ = std::tmpfile();
  saved_ = held_ != nullptr ? ::dup(STDERR_FILENO) : -1;
  if (saved_ >= 0) ::dup2(::fileno(held_), STDERR_FILENO);
}

QuietStandardError::~QuietStandardError() {
  if (saved_ >= 0) {
    std::fflush(stderr);
    ::dup2(saved_, STDERR_FILENO);
    ::close(saved_);
  }
  if (held_ != nullptr) std::fclose(held_);
}

pvx::ITexture2D* TextureLibrary::file2D(const std::string& path, const TextureOptions& options) {
  auto key = std::make_pair(path, options);
  if (auto found = files_.find(key); found != files_.end()) return found->second.get();

  const OIIO::ImageSpec header = checkedSpec(path, limits_);
  sources_.push_back(path);
  // Read every pixel once now, a strip at a time through the cache: a truncated or corrupt file
  // fails here, with its name, instead of reading as black in the middle of a render.
  {
    const int channels = std::min(header.nchannels, 4);
    const int rows = std::clamp((1 << 20) / header.width, 1, 64);
    std::vector<float> strip(static_cast<size_t>(header.width) * static_cast<size_t>(rows) *
                             static_cast<size_t>(channels));
    const OIIO::ustring name(path);
    QuietStandardError quiet;
    for (int y = header.y; y < header.y + header.height; y += rows) {
      const int end = std::min(y + rows, header.y + header.height);
      if (!system_->cache->get_pixels(name, 0, 0, header.x, header.x + header.width, y, end,
                                      header.z, header.z + 1, 0, channels, OIIO::TypeDesc::FLOAT,
                                      strip.data())) {
        throw TextureError("cannot read the image '" + path + "': " +
                           oneLine(system_->cache->geterror(), "its pixels are unreadable"));
      }
    }
  }
  auto texture = std::make_unique<FileTexture>();
  texture->path = path;
  texture->system = system_->textures;
  texture->threads = system_->threads.get();
  texture->handle = system_->textures->get_texture_handle(OIIO::ustring(path));
  if (texture->handle == nullptr) {
    throw TextureError("cannot read the image '" + path +
                       "': " + oneLine(system_->textures->geterror(), "the file cannot be opened"));
  }
  texture->channels = std::clamp(header.nchannels, 1, 4);
  texture->srgb = isSrgb(header, options.colorSpace);
  texture->options.interpmode = OIIO::TextureOpt::InterpBilinear;
  texture->options.mipmode = OIIO::TextureOpt::MipModeNoMIP;
  const auto rule = [&](Wrap wrap) {
    texture->blackOutside = texture->blackOutside || wrap == Wrap::Black;
    return wrap == Wrap::Periodic ? OIIO::TextureOpt::WrapPeriodic : OIIO::TextureOpt::WrapClamp;
  };
  texture->options.swrap = rule(options.wrap);
  texture->options.twrap = rule(options.wrapT.value_or(options.wrap));
  FileTexture* result = texture.get();
  files_.emplace(std::move(key), std::move(texture));
  return result;
}

std::vector<std::string> TextureLibrary::unreadable() const {
  std::vector<std::string> paths;
  for (const auto& file : files_)
    if (file.second->failed.load(std::memory_order_relaxed)) paths.push_back(file.second->path);
  return paths;
}

std::string TextureLibrary::scratchImage(std::string_view bytes, const std::string& extension) {
  const std::string path = newScratchFile("image", extension);
  temporaryFiles_.push_back(path);
  std::FILE* file = std::fopen(path.c_str(), "wb");
  const bool written =
      file != nullptr && std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  if (file == nullptr || std::fclose(file) != 0 || !written) {
    throw TextureError("cannot write the scratch image '" + path + "': " + std::strerror(errno));
  }
  return path;
}

struct TextureLibrary::MappedTexture final : public pvx::ITexture2D {
  pvx::ITexture2D* source = nullptr;
  std::function<pvx::float4(const pvx::float4&)> map;
  void sample(pvx::float4* result, const pvx::float2* st) override {
    pvx::float4 texel = *result;
    source->sample(&texel, st);
    *result = map(texel);
  }
};

pvx::ITexture2D* TextureLibrary::mapped2D(pvx::ITexture2D* source,
                                          std::function<pvx::float4(const pvx::float4&)> map) {
  auto texture = std::make_unique<MappedTexture>();
  texture->source = source;
  texture->map = std::move(map);
  mapped_.push_back(std::move(texture));
  return mapped_.back().get();
}

pvx::ITexture2D* TextureLibrary::image2D(Image image, Wrap wrapS, Wrap wrapT) {
  images_.push_back(std::make_unique<ImageTexture2D>(std::move(image), wrapS, wrapT));
  return images_.back().get();
}

pvx::ITexture1D* TextureLibrary::data1D(std::vector<pvx::float4> texels) {
  data_.push_back(std::make_unique<DataTexture1D>(std::move(texels)));
  return data_.back().get();
}

pvx::ITexture1D* TextureLibrary::file1D(const std::string& path) {
  // Only the first row is read, so a tall image costs one row.
  const OIIO::ImageSpec header = checkedSpec(path, limits_);
  sources_.push_back(path);
  if (header.width > limits_.items) {
    throw TextureError("cannot read the image '" + path + "': its " + std::to_string(header.width) +
                       " texels are more than the ceiling of " +
                       ceilingText(limits_.items, "items"));
  }
  QuietStandardError quiet;
  auto input = OIIO::ImageInput::open(path);
  std::vector<float> row(static_cast<size_t>(header.width) * static_cast<size_t>(header.nchannels));
  if (!input || !input->read_scanline(header.y, header.z, OIIO::TypeDesc::FLOAT, row.data())) {
    const std::string reason = input ? input->geterror() : OIIO::geterror();
    throw TextureError("cannot read the image '" + path +
                       "': " + oneLine(reason, "its pixels are unreadable"));
  }
  std::vector<pvx::float4> texels;
  const int channels = std::clamp(header.nchannels, 1, 4);
  for (int x = 0; x < header.width; ++x)
    texels.push_back(expandChannels(&row[static_cast<size_t>(x * header.nchannels)], channels));
  return data1D(std::move(texels));
}

pvx::ITextureCube* TextureLibrary::cubeFromLatLong(pvx::ITexture2D* latLong) {
  for (const auto& file : files_) {
    if (file.second.get() == latLong) {
      environmentCube(file.second->path, file.second->channels, file.second->srgb);
      environmentCubes_.back()->failed = &file.second->failed;
      return environmentCubes_.back().get();
    }
  }
  for (const auto& image : images_) {
    if (image.get() != latLong) continue;
    // OpenImageIO reads files only: the host's own image goes to a temporary file once.
    const Image& pixels = image->image();
    const std::string path = newScratchFile("environment", "exr");
    temporaryFiles_.push_back(path);
    OIIO::ImageBuf buffer(OIIO::ImageSpec(pixels.width, pixels.height, 4, OIIO::TypeDesc::FLOAT),
                          const_cast<pvx::float4*>(pixels.pixels.data()));
    if (!buffer.write(path)) {
      throw TextureError("cannot write the environment image '" + path + "': " + buffer.geterror());
    }
    return environmentCube(path, 4, false);
  }
  latLongCubes_.push_back(std::make_unique<LatLongCube>(latLong));
  return latLongCubes_.back().get();
}

pvx::ITextureCube* TextureLibrary::environmentCube(const std::string& path, int channels,
                                                   bool srgb) {
  auto cube = std::make_unique<EnvironmentCube>();
  cube->system = system_->textures;
  cube->threads = system_->threads.get();
  cube->handle = system_->textures->get_texture_handle(OIIO::ustring(path));
  if (cube->handle == nullptr) {
    throw TextureError("cannot read the image '" + path + "': " + system_->textures->geterror());
  }
  cube->channels = channels;
  cube->srgb = srgb;
  cube->options.interpmode = OIIO::TextureOpt::InterpBilinear;
  cube->options.mipmode = OIIO::TextureOpt::MipModeNoMIP;
  environmentCubes_.push_back(std::move(cube));
  return environmentCubes_.back().get();
}

pvx::ITextureCube* TextureLibrary::cubeFromFaces(const std::array<pvx::ITexture2D*, 6>& faces) {
  faceCubes_.push_back(std::make_unique<FaceCube>(faces));
  return faceCubes_.back().get();
}

}  // namespace tarvo::render
