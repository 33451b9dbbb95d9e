// Frames split over machines. Tile I of N is a band of whole rows, rendered alone into an EXR
// that holds the band's raw linear film, its place in the frame (the data window) and what it
// is a tile of. The merge checks that the tiles belong together and cover the frame once, then
// writes the frame as a whole render's writer does (exposure, alpha and labels applied over the
// whole frame), so the result is the whole render's, bit for bit.
#ifndef TARVO_HOST_RENDER_TILES_H
#define TARVO_HOST_RENDER_TILES_H

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "host/render/renderer.h"
#include "host/render/scene.h"

namespace tarvo::render {

class TileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Tile `index` of `count`, both from 1.
struct TileSpec {
  int index = 0;
  int count = 0;
};

// Reads "I/N"; throws TileError naming the text unless 1 <= I <= N.
TileSpec parseTile(const std::string& text);

// The rows [first, end) of a tile in a frame of `height` rows: floor((I-1)H/N) to floor(IH/N),
// bands that differ by at most a row. Throws TileError when N exceeds the rows.
std::pair<int, int> tileRows(TileSpec tile, int height);

// What a render is of, written into its tiles and compared by the merge beside the settings,
// camera and labels: the scene's name, a hash of its text (or of the showcase's options) and a
// hash of the shader library that shaded it.
struct TileSource {
  std::string scene;
  std::string sceneHash;
  std::string libraryHash;
};

// 16 hex digits of a 64-bit FNV-1a hash; fileHash throws TileError when the file is unreadable.
std::string textHash(const std::string& text);
std::string fileHash(const std::string& path);

// Writes the band `film` holds as an EXR tile.
void writeTile(const std::string& path, const Film& film, const Scene& scene, TileSpec tile,
               const TileSource& source, WriteGuard* guard = nullptr);

// Reads the tiles, refuses them (TileError naming the file at fault) unless they are tiles of
// one render covering its frame once, and writes the frame by the output's extension.
void mergeTiles(const std::vector<std::string>& parts, const std::string& output,
                WriteGuard* guard = nullptr);

}  // namespace tarvo::render

#endif  // TARVO_HOST_RENDER_TILES_H
