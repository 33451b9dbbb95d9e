// The renderer's ceilings on what a scene file or the command line may ask for: image size,
// depths, counts, file sizes, the texture cache's memory. A careless or hostile scene meets a
// clear refusal naming the ceiling instead of exhausting memory or time; every ceiling can be
// raised by name (tarvo-render --limit name=value), and the README lists them.
#ifndef TARVO_HOST_RENDER_LIMITS_H
#define TARVO_HOST_RENDER_LIMITS_H

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace tarvo::render {

struct Limits {
  int64_t sceneBytes = int64_t{32} << 20;    // size of a scene file
  int64_t nesting = 64;                      // depth of JSON arrays and objects
  int64_t jsonValues = 2000000;              // values (numbers, strings, ...) in a scene file
  int64_t pixels = 36000000;                 // width x height (8K UHD fits)
  int64_t samples = 65536;                   // samples per pixel
  int64_t depth = 64;                        // maxDepth and diffuseDepth; deeper is clamped
  int64_t rays = 1024;                       // aoSamples, indirectSamples
  int64_t threads = 1024;                    // render threads
  int64_t items = 100000;                    // shaders, objects, labels, planes, texels
  int64_t lights = 1024;                     // lights (each costs a list entry per trace level)
  int64_t triangles = 10000000;              // mesh triangles of a scene, every object counted
  int64_t meshBytes = int64_t{128} << 20;    // size of one OBJ or glTF file (and its buffers)
  int64_t texturePixels = int64_t{1} << 28;  // pixels of one texture image (16k x 16k)
  int64_t textureBytes = int64_t{1} << 30;   // size of one texture file
  int64_t textureMemoryMB = 256;             // texture cache budget of a scene
  int64_t renderMemoryMB = 2048;             // image, written image, light lists of a render
  int64_t labelPixels = 1024;                // label text height
  int64_t labelCharacters = 4096;            // characters of one label
  int64_t labelArea = int64_t{1} << 22;      // a label's longest line x its size squared

  // One row per ceiling: its option name, the member, what it bounds, and the values it may
  // take (memory ceilings stop where their bytes would overflow, or the image cache aborts).
  struct Entry {
    const char* name;
    int64_t Limits::*value;
    const char* what;
    int64_t least = 1;
    int64_t most = int64_t{1} << 50;
  };
  static const std::vector<Entry>& entries();

  // Applies "name=value" (value a whole number, optionally with k, M or G); throws
  // std::invalid_argument with a message naming the known ceilings, or the row's bounds.
  void set(const std::string& assignment);
};

// A file the renderer reads (scene, mesh, texture) checked before it is opened: it must exist,
// be a regular file (never a device, FIFO or folder, which could read forever) and be no larger
// than `maxBytes`. Throws std::runtime_error naming the file, what it is and the ceiling with the
// option that raises it.
void checkReadableFile(const std::string& path, const char* what, int64_t maxBytes,
                       const char* limitName);

// Reads a regular file whole after checkReadableFile.
std::string readWholeFile(const std::string& path, const char* what, int64_t maxBytes,
                          const char* limitName);

// Files the renderer writes for itself on the way (a generated environment handed to the image
// cache, an image a glTF model embeds): named here before they are made, so that a program
// ending on a signal removes every one (removeScratchFiles), and removed by their owner at the
// end otherwise (dropScratchFile).
std::string newScratchFile(const std::string& stem, const std::string& extension);
void dropScratchFile(const std::string& path);
void removeScratchFiles();

// "36000000 (--limit pixels=N raises it)"
std::string ceilingText(int64_t ceiling, const char* limitName);

}  // namespace tarvo::render

#endif  // TARVO_HOST_RENDER_LIMITS_H
