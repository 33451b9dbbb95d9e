#include "host/render/tiles.h"

#include <OpenImageIO/imageio.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <new>
#include <nlohmann/json.hpp>

namespace tarvo::render {

namespace {

using json = nlohmann::json;

void put(json& j, const char* name, const float3& v) {
  j[name] = {v.x, v.y, v.z};
}
void put(json& j, const char* name, const float4& v) {
  j[name] = {v.x, v.y, v.z, v.w};
}
template <class T>
void put(json& j, const char* name, const T& v) {
  j[name] = v;
}
void take(const json& j, const char* name, float3& v) {
  const json& a = j.at(name);
  v = float3(a.at(0).get<float>(), a.at(1).get<float>(), a.at(2).get<float>());
}
void take(const json& j, const char* name, float4& v) {
  const json& a = j.at(name);
  v = float4(a.at(0).get<float>(), a.at(1).get<float>(), a.at(2).get<float>(),
             a.at(3).get<float>());
}
template <class T>
void take(const json& j, const char* name, T& v) {
  v = j.at(name).get<T>();
}

// Every render setting that changes the pixels or how they are written, by name; floats go
// through JSON's shortest round-trip form, so they come back exact. The threads change nothing
// in the image, and the band of rows is the tile's own.
template <class Settings, class Visit>
void eachSetting(Settings& s, Visit&& visit) {
  visit("width", s.width);
  visit("height", s.height);
  visit("samples", s.samples);
  visit("mode", s.mode);
  visit("seed", s.seed);
  visit("maxDepth", s.maxDepth);
  visit("diffuseDepth", s.diffuseDepth);
  visit("aoSamples", s.aoSamples);
  visit("aoDistance", s.aoDistance);
  visit("indirectSamples", s.indirectSamples);
  visit("importanceCutoff", s.importanceCutoff);
  visit("ambient", s.ambient);
  visit("prefill", s.prefill);
  visit("transparentFilm", s.transparentFilm);
  visit("clamp", s.clamp);
  visit("exposure", s.exposure);
}
static_assert(sizeof(RenderSettings) == 104,
              "a render setting was added: name it in eachSetting when it changes the pixels or "
              "how they are written, so tiles of different settings are not merged");

json settingsJson(const RenderSettings& settings) {
  json j = json::object();
  eachSetting(settings, [&](const char* name, const auto& v) { put(j, name, v); });
  return j;
}

json cameraJson(const Camera& camera) {
  json j = json::object();
  put(j, "position", camera.position);
  put(j, "target", camera.target);
  put(j, "up", camera.up);
  put(j, "fovY", camera.fovY);
  return j;
}

json labelsJson(const std::vector<Label>& labels) {
  json j = json::array();
  for (const Label& label : labels) {
    json l = {{"text", label.text}, {"size", label.size}, {"screen", label.screen}};
    put(l, "anchor", label.anchor);
    j.push_back(l);
  }
  return j;
}

// The header entries of a tile: what it is a tile of, which the merge compares, and which
// tile it is.
constexpr const char* kTileKey = "tarvo:tile";
struct Entry {
  const char* key;
  const char* words;  // "its <words> is 'mine', not 'theirs'" when shown, else "its <words>"
  bool shown;         // the values are short enough to quote
};
constexpr Entry kIdentity[] = {
    {"tarvo:scene", "scene", true},
    {"tarvo:sceneHash", "scene file's hash", true},
    {"tarvo:library", "shader library's hash", true},
    {"tarvo:settings", "settings differ", false},
    {"tarvo:camera", "camera differs", false},
    {"tarvo:labels", "labels differ", false},
};

std::string rowsText(int first, int end) {
  return "rows " + std::to_string(first) + " to " + std::to_string(end - 1);
}

std::string tileText(TileSpec tile) {
  return "tile " + std::to_string(tile.index) + " of " + std::to_string(tile.count);
}

// One tile as the merge reads it.
struct Part {
  std::string path;
  std::map<std::string, std::string> identity;
  TileSpec tile;
  OIIO::ImageSpec header;
};

// Tiles are opened one at a time (a frame of a thousand tiles would not have them all open).
std::unique_ptr<OIIO::ImageInput> openInput(const std::string& path) {
  std::unique_ptr<OIIO::ImageInput> input = OIIO::ImageInput::open(path);
  if (!input) {
    std::string reason = OIIO::geterror();
    throw TileError("cannot read the tile '" + path + "': " + reason.substr(0, reason.find('\n')));
  }
  return input;
}

Part readHeader(const std::string& path) {
  Part part;
  part.path = path;
  part.header = openInput(path)->spec();
  const std::string tile = part.header.get_string_attribute(kTileKey);
  if (tile.empty()) {
    throw TileError("'" + path + "' is not a tile of tarvo-render (its header has no " + kTileKey +
                    "); tiles come from tarvo-render --tile I/N");
  }
  try {
    part.tile = parseTile(tile);
  } catch (const TileError&) {
    throw TileError("'" + path + "' has a broken " + kTileKey + " entry '" + tile + "'");
  }
  for (const Entry& entry : kIdentity)
    part.identity[entry.key] = part.header.get_string_attribute(entry.key);
  if (part.header.nchannels != 4) {
    throw TileError("'" + path + "' holds " + std::to_string(part.header.nchannels) +
                    " channels, not the 4 of a tile");
  }
  return part;
}

// Why `part` is not a tile of the render `first` is a tile of, in words ("" when it is).
std::string difference(const Part& part, const Part& first) {
  for (const Entry& entry : kIdentity) {
    const std::string& mine = part.identity.at(entry.key);
    const std::string& theirs = first.identity.at(entry.key);
    if (mine == theirs) continue;
    const std::string its = "its " + std::string(entry.words);
    if (entry.shown) return its + " is '" + mine + "', not '" + theirs + "'";
    if (std::string(entry.key) != "tarvo:settings") return its;
    const json a = json::parse(mine, nullptr, false);
    const json b = json::parse(theirs, nullptr, false);
    if (a.is_object() && b.is_object()) {
      for (const auto& [name, value] : b.items()) {
        if (!a.contains(name) || a[name] != value) {
          return "its setting '" + name + "' is " + (a.contains(name) ? a[name].dump() : "absent") +
                 ", not " + value.dump();
        }
      }
    }
    return its;
  }
  return "";
}

}  // namespace

TileSpec parseTile(const std::string& text) {
  TileSpec tile;
  const size_t slash = text.find('/');
  const auto number = [](const std::string& digits, int* value) {
    if (digits.empty() || digits.size() > 9 ||
        digits.find_first_not_of("0123456789") != std::string::npos) {
      return false;
    }
    *value = std::stoi(digits);
    return true;
  };
  if (slash == std::string::npos || !number(text.substr(0, slash), &tile.index) ||
      !number(text.substr(slash + 1), &tile.count)) {
    throw TileError("--tile takes I/N, tile I of N counted from 1 (such as 2/8), not '" + text +
                    "'");
  }
  if (tile.count < 1) throw TileError("--tile " + text + ": a frame splits into 1 tile or more");
  if (tile.index < 1 || tile.index > tile.count) {
    throw TileError("--tile " + text + ": the tile must be from 1 to " +
                    std::to_string(tile.count));
  }
  return tile;
}

std::pair<int, int> tileRows(TileSpec tile, int height) {
  if (tile.count > height) {
    throw TileError("the frame has " + std::to_string(height) + " rows and splits into bands of " +
                    "whole rows: " + std::to_string(tile.count) + " tiles are too many");
  }
  const auto edge = [&](int i) {
    return static_cast<int>(static_cast<int64_t>(i) * height / tile.count);
  };
  return {edge(tile.index - 1), edge(tile.index)};
}

std::string textHash(const std::string& text) {
  uint64_t hash = 0xcbf29ce484222325ULL;
  for (const char c : text) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 0x100000001b3ULL;
  }
  char hex[17];
  std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
  return hex;
}

std::string fileHash(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw TileError("cannot read '" + path + "' to name it in the tile");
  return textHash(std::string(std::istreambuf_iterator<char>(in), {}));
}

void writeTile(const std::string& path, const Film& film, const Scene& scene, TileSpec tile,
               const TileSource& source, WriteGuard* guard) {
  static_assert(sizeof(pvx::float4) == 4 * sizeof(float), "the film is rows of RGBA floats");
  OIIO::ImageSpec header(film.width, film.height, 4, OIIO::TypeDesc::FLOAT);
  header.y = film.top;
  header.full_width = scene.settings.width;
  header.full_height = scene.settings.height;
  header.channelnames = {"R", "G", "B", "A"};
  header.alpha_channel = 3;
  header.attribute(kTileKey, std::to_string(tile.index) + "/" + std::to_string(tile.count));
  header.attribute("tarvo:scene", source.scene);
  header.attribute("tarvo:sceneHash", source.sceneHash);
  header.attribute("tarvo:library", source.libraryHash);
  header.attribute("tarvo:settings", settingsJson(scene.settings).dump());
  header.attribute("tarvo:camera", cameraJson(scene.camera).dump());
  header.attribute("tarvo:labels", labelsJson(scene.labels).dump());
  header.attribute("oiio:ColorSpace", "Linear");
  OIIO::ImageBuf image(header);
  image.set_pixels(OIIO::ROI(0, film.width, film.top, film.top + film.height, 0, 1, 0, 4),
                   OIIO::TypeDesc::FLOAT, film.pixels.data());
  writeImageBuffer(path, image, false, guard);
}

void mergeTiles(const std::vector<std::string>& paths, const std::string& output,
                WriteGuard* guard) {
  if (paths.empty()) throw TileError("--merge needs the tiles to merge");
  std::vector<Part> parts;
  for (const std::string& path : paths)
    parts.push_back(readHeader(path));

  // Every tile must be of the first one's render and split; each tile once.
  const Part& first = parts.front();
  std::vector<const Part*> byIndex(static_cast<size_t>(first.tile.count) + 1, nullptr);
  for (const Part& part : parts) {
    if (const std::string why = difference(part, first); !why.empty()) {
      throw TileError("'" + part.path + "' is a tile of another render than '" + first.path +
                      "': " + why);
    }
    if (part.tile.count != first.tile.count) {
      throw TileError("'" + part.path + "' is " + tileText(part.tile) + ", '" + first.path +
                      "' one of " + std::to_string(first.tile.count) + ": the splits differ");
    }
    const Part*& slot = byIndex[static_cast<size_t>(part.tile.index)];
    if (slot != nullptr) {
      throw TileError("'" + slot->path + "' and '" + part.path + "' are both " +
                      tileText(part.tile));
    }
    slot = &part;
  }
  std::vector<int> missing;
  for (int i = 1; i <= first.tile.count; ++i) {
    if (byIndex[static_cast<size_t>(i)] == nullptr) missing.push_back(i);
  }
  if (!missing.empty()) {
    std::string list;
    for (const int i : missing)
      list += (list.empty() ? "" : ", ") + std::to_string(i);
    throw TileError((missing.size() == 1 ? "tile " + list + " of " : "tiles " + list + " of ") +
                    std::to_string(first.tile.count) + (missing.size() == 1 ? " is" : " are") +
                    " missing; the frame is not written");
  }

  // The frame as the whole render had it, to be written by the same writer.
  Scene frame(nullptr);
  try {
    const json settings = json::parse(first.identity.at("tarvo:settings"));
    const json camera = json::parse(first.identity.at("tarvo:camera"));
    eachSetting(frame.settings, [&](const char* name, auto& v) { take(settings, name, v); });
    take(camera, "position", frame.camera.position);
    take(camera, "target", frame.camera.target);
    take(camera, "up", frame.camera.up);
    take(camera, "fovY", frame.camera.fovY);
    for (const json& l : json::parse(first.identity.at("tarvo:labels"))) {
      Label label;
      take(l, "text", label.text);
      take(l, "anchor", label.anchor);
      take(l, "size", label.size);
      take(l, "screen", label.screen);
      frame.labels.push_back(label);
    }
  } catch (const json::exception& e) {
    throw TileError("'" + first.path + "' has a broken header (" + e.what() + ")");
  }
  Film film;
  film.width = frame.settings.width;
  film.height = frame.settings.height;
  if (film.width < 1 || film.height < 1) {
    throw TileError("'" + first.path + "' names a frame of " + std::to_string(film.width) + " x " +
                    std::to_string(film.height) + " pixels");
  }
  try {
    film.pixels.resize(static_cast<size_t>(film.width) * static_cast<size_t>(film.height));
  } catch (const std::bad_alloc&) {
    throw TileError("the frame of " + std::to_string(film.width) + " x " +
                    std::to_string(film.height) + " pixels does not fit in memory");
  }
  for (const Part& part : parts) {
    const auto [firstRow, endRow] = tileRows(part.tile, film.height);
    const OIIO::ImageSpec& s = part.header;
    if (s.x != 0 || s.width != film.width || s.y != firstRow || s.y + s.height != endRow ||
        s.full_width != film.width || s.full_height != film.height) {
      throw TileError("'" + part.path + "' holds " + rowsText(s.y, s.y + s.height) + " of " +
                      std::to_string(s.width) + " pixels, but " + tileText(part.tile) + " of a " +
                      std::to_string(film.width) + " x " + std::to_string(film.height) +
                      " frame is " + rowsText(firstRow, endRow));
    }
    const std::unique_ptr<OIIO::ImageInput> input = openInput(part.path);
    if (!input->read_image(0, 0, 0, 4, OIIO::TypeDesc::FLOAT, &film.at(0, firstRow))) {
      std::string reason = input->geterror();
      throw TileError("cannot read the tile '" + part.path +
                      "': " + reason.substr(0, reason.find('\n')));
    }
  }
  writeImage(output, film, frame, guard);
}

}  // namespace tarvo::render
