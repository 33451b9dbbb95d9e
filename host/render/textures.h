// Texture objects the renderer hands to shaders, and the library that owns them for a scene.
//
// Coordinates: a 2-D texture is addressed with (s, t) in [0, 1], s to the right and t upward,
// so (0, 0) is the lower-left corner of the image (the convention of OBJ texture coordinates
// and of the latitude-longitude mapping, whose v = 1 is straight up). Image files go through
// OpenImageIO's TextureSystem (bilinear, no MIP blur since shaders pass no derivatives);
// images the host makes itself (the generated sky) are kept in memory. 8- and 16-bit integer
// images are taken as sRGB and decoded to linear unless the scene says otherwise; float, half
// and HDR images are linear.
//
// Cube textures are addressed with the vector the shaders pass, (d.x, d.z, -d.y) for a world
// direction d: a y-up cube frame. A cube built from a latitude-longitude image is served by
// OpenImageIO's environment lookups, whose y-up latitude-longitude convention puts the cube
// vector of d where the environments' z-up mapping puts d, so a cube and a lat-long environment
// made from one image agree; an image the host made itself (the generated sky) is written once
// to a temporary linear OpenEXR file for it, removed with the library. (LatLongCube does the same
// lookup through any 2-D texture object.) A cube built from six face images uses the usual face
// order +x, -x, +y, -y, +z, -z of that y-up frame.
//
// One-dimensional data textures answer the texel floor(s n) of their n texels (nearest, clamped):
// the clipping-plane list is n + 1 texels, the first holding the plane count in red and texel i
// the plane (a, b, c, d) with a x + b y + c z + d > 0 on the kept side.
#ifndef TARVO_HOST_RENDER_TEXTURES_H
#define TARVO_HOST_RENDER_TEXTURES_H

#include <array>
#include <atomic>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "host/render/limits.h"
#include "tarvo/host_services.h"
#include "tarvo/types.h"

namespace tarvo::render {

class TextureError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

enum class ColorSpace { Auto, SRGB, Linear };
enum class Wrap { Periodic, Clamp, Black };

struct TextureOptions {
  ColorSpace colorSpace = ColorSpace::Auto;
  Wrap wrap = Wrap::Periodic;
  std::optional<Wrap> wrapT;  // t's own rule, when it differs from s's
  bool operator<(const TextureOptions& o) const {
    return std::tie(colorSpace, wrap, wrapT) < std::tie(o.colorSpace, o.wrap, o.wrapT);
  }
};

// Image format libraries (libpng, libtiff) print their complaints on the standard error besides
// returning them. While one of these lives, the process's standard error is held back (in a
// temporary file, dropped): around a file's reading, whose error the library words itself with
// the file's name, and around a render, whose failed lookups the library counts (unreadable).
// Whoever must still speak meanwhile writes to a descriptor duplicated before.
class QuietStandardError {
 public:
  QuietStandardError();
  ~QuietStandardError();
  QuietStandardError(const QuietStandardError&) = delete;
  QuietStandardError& operator=(const QuietStandardError&) = delete;

 private:
  std::FILE* held_ = nullptr;
  int saved_ = -1;
};

float srgbToLinear(float c);
float linearToSrgb(float c);

// An image kept in memory: RGBA float rows, the first row at the top of the picture.
struct Image {
  int width = 0;
  int height = 0;
  std::vector<pvx::float4> pixels;
  const pvx::float4& at(int x, int y) const {
    return pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
  }
};

// Bilinear lookups in an in-memory image; s and t wrap by their rules (t clamped unless said).
class ImageTexture2D final : public pvx::ITexture2D {
 public:
  ImageTexture2D(Image image, Wrap wrapS, Wrap wrapT = Wrap::Clamp)
      : image_(std::move(image)), wrapS_(wrapS), wrapT_(wrapT) {}
  void sample(pvx::float4* result, const pvx::float2* st) override;
  const Image& image() const { return image_; }

 private:
  Image image_;
  Wrap wrapS_;
  Wrap wrapT_;
};

class DataTexture1D final : public pvx::ITexture1D {
 public:
  explicit DataTexture1D(std::vector<pvx::float4> texels) : texels_(std::move(texels)) {}
  void sample(pvx::float4* result, float s) override;
  const std::vector<pvx::float4>& texels() const { return texels_; }

 private:
  std::vector<pvx::float4> texels_;
};

class LatLongCube final : public pvx::ITextureCube {
 public:
  explicit LatLongCube(pvx::ITexture2D* latLong) : latLong_(latLong) {}
  void sample(pvx::float4* result, const pvx::float3* direction) override;

 private:
  pvx::ITexture2D* latLong_;
};

class FaceCube final : public pvx::ITextureCube {
 public:
  explicit FaceCube(std::array<pvx::ITexture2D*, 6> faces) : faces_(faces) {}
  void sample(pvx::float4* result, const pvx::float3* direction) override;

 private:
  std::array<pvx::ITexture2D*, 6> faces_;
};

// The environments' latitude-longitude mapping of a direction (z up): u = atan2(-y, x) / 2 pi +
// 1/4, v = asin(z) / pi + 1/2.
pvx::float2 latLongCoordinates(pvx::float3 direction);

// Texels of the clipping-plane list for planes (a, b, c, d).
std::vector<pvx::float4> clippingPlaneTexels(const std::vector<pvx::float4>& planes);

// Owns every texture object of a scene. Files are checked when first named: a missing or
// unreadable file, one that is not a regular file, or one beyond the size ceilings throws
// TextureError naming it. Image files are read through a private image cache with a memory
// budget and automatic tiling, so a huge image costs bounded memory instead of being read whole.
class TextureLibrary {
 public:
  TextureLibrary();
  ~TextureLibrary();
  TextureLibrary(const TextureLibrary&) = delete;
  TextureLibrary& operator=(const TextureLibrary&) = delete;

  // The ceilings on texture files and the cache's memory budget (set before the first file).
  void setLimits(const Limits& limits);

  pvx::ITexture2D* file2D(const std::string& path, const TextureOptions& options);
  pvx::ITexture2D* image2D(Image image, Wrap wrapS, Wrap wrapT = Wrap::Clamp);
  pvx::ITexture1D* data1D(std::vector<pvx::float4> texels);
  // The first row of an image file as data texels (linear, no decoding).
  pvx::ITexture1D* file1D(const std::string& path);
  // Encoded image bytes (PNG, JPEG: the extension says which) as a scratch file of this library,
  // removed with it, for file2D to read through the cache like any image file.
  std::string scratchImage(std::string_view bytes, const std::string& extension);
  // Lookups of `source` passed through `map` (a colour factor, a curve), applied per lookup.
  pvx::ITexture2D* mapped2D(pvx::ITexture2D* source,
                            std::function<pvx::float4(const pvx::float4&)> map);
  pvx::ITextureCube* cubeFromLatLong(pvx::ITexture2D* latLong);
  pvx::ITextureCube* cubeFromFaces(const std::array<pvx::ITexture2D*, 6>& faces);

  // Every image file the textures were read from.
  const std::vector<std::string>& sources() const { return sources_; }
  // The image files a lookup could not read since they were loaded (changed or cut short on
  // disk while the render ran): their lookups gave the caller's pre-fill, black.
  std::vector<std::string> unreadable() const;

 private:
  struct FileTexture;
  struct System;
  std::unique_ptr<System> system_;
  Limits limits_;
  std::map<std::pair<std::string, TextureOptions>, std::unique_ptr<FileTexture>> files_;
  std::vector<std::unique_ptr<ImageTexture2D>> images_;
  std::vector<std::unique_ptr<DataTexture1D>> data_;
  std::vector<std::unique_ptr<LatLongCube>> latLongCubes_;
  std::vector<std::unique_ptr<FaceCube>> faceCubes_;
  struct MappedTexture;
  std::vector<std::unique_ptr<MappedTexture>> mapped_;
  struct EnvironmentCube;
  std::vector<std::unique_ptr<EnvironmentCube>> environmentCubes_;
  std::vector<std::string> temporaryFiles_;
  std::vector<std::string> sources_;
  pvx::ITextureCube* environmentCube(const std::string& path, int channels, bool srgb);
};

}  // namespace tarvo::render

#endif  // TARVO_HOST_RENDER_TEXTURES_H
