#include "host/render/gltf_scene.h"

#include <tiny_gltf.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <utility>

#include "host/nearest_names.h"
#include "host/render/json_positions.h"
#include "host/render/sky.h"

namespace tarvo::render {

namespace {

constexpr float kPi = 3.14159265358979f;
// The materials' normal-map gain: a texel's red and green bend N by this times the strength.
constexpr float kNormalMapGain = 3.33f;
// Roughness floor of the Ward lobes (their own default): a glTF roughness of 0 is a mirror,
// which a Ward lobe cannot be.
constexpr float kMinWardRoughness = 0.01f;
// Schlick's reflectance of a glTF dielectric, 4 % head-on, and the curve's power.
constexpr float kDielectricF0 = 0.04f;
constexpr float kSchlickPower = 5.0f;

// Extensions read; a model requiring any other is refused, one merely using it warned about.
const std::set<std::string> kReadExtensions = {"KHR_lights_punctual", "KHR_materials_transmission",
                                               "KHR_materials_ior"};

// ---- files: every read checked against the limits --------------------------------------------

struct FileRules {
  int64_t maxBytes;
  std::vector<std::string> read;  // every file the reader took
};

bool fileExists(const std::string& path, void*) {
  std::error_code error;
  return std::filesystem::exists(path, error);
}

// No shell expansion of names a model carries.
std::string namedAsWritten(const std::string& path, void*) {
  return path;
}

bool readLimited(std::vector<unsigned char>* out, std::string* error, const std::string& path,
                 void* user) {
  try {
    FileRules& rules = *static_cast<FileRules*>(user);
    const std::string bytes =
        readWholeFile(path, "glTF buffer or image", rules.maxBytes, "mesh-bytes");
    rules.read.push_back(path);
    out->resize(bytes.size());
    if (!bytes.empty()) std::memcpy(out->data(), bytes.data(), bytes.size());
    return true;
  } catch (const std::exception& e) {
    if (error != nullptr) *error += std::string(e.what()) + "\n";
    return false;
  }
}

bool writeNothing(std::string* error, const std::string&, const std::vector<unsigned char>&,
                  void*) {
  if (error != nullptr) *error += "the renderer writes no glTF files\n";
  return false;
}

// Images are decoded later, through OpenImageIO: an external file is read by name, one stored in
// a buffer view or a data URI keeps its encoded bytes here (width -1 marks them). The reader hands
// a buffer view's bytes over unchecked, so the view is checked against its buffer first.
bool keepEncoded(tinygltf::Image* image, const int index, std::string* error, std::string*, int,
                 int, const unsigned char* bytes, int size, void* user) {
  if (!image->uri.empty()) return true;
  const tinygltf::Model& model = *static_cast<const tinygltf::Model*>(user);
  if (image->bufferView >= 0) {
    const tinygltf::BufferView& view = model.bufferViews[static_cast<size_t>(image->bufferView)];
    const size_t held = model.buffers[static_cast<size_t>(view.buffer)].data.size();
    if (view.byteOffset > held || view.byteLength > held - view.byteOffset) {
      if (error != nullptr) {
        *error += "image " + std::to_string(index) + " lies in buffer view " +
                  std::to_string(image->bufferView) + ", which runs past the end of its buffer\n";
      }
      return false;
    }
  }
  if (size <= 0) return true;
  image->image.assign(bytes, bytes + size);
  image->width = -1;
  image->height = -1;
  return true;
}

std::string percentDecoded(const std::string& uri) {
  std::string out;
  for (size_t i = 0; i < uri.size(); ++i) {
    if (uri[i] == '%' && i + 2 < uri.size() &&
        std::isxdigit(static_cast<unsigned char>(uri[i + 1])) &&
        std::isxdigit(static_cast<unsigned char>(uri[i + 2]))) {
      out += static_cast<char>(std::stoi(uri.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      out += uri[i];
    }
  }
  return out;
}

bool endsWith(const std::string& text, const std::string& end) {
  if (text.size() < end.size()) return false;
  // `end` is lower case; the text may be any case ("model.GLTF").
  return std::equal(end.rbegin(), end.rend(), text.rbegin(), [](char e, char t) {
    return std::tolower(static_cast<unsigned char>(t)) == e;
  });
}

// ---- matrices ---------------------------------------------------------------------------------

pvx::mat4 nodeMatrix(const tinygltf::Node& node) {
  pvx::mat4 m = pvx::identity4;
  if (node.matrix.size() == 16) {
    for (int i = 0; i < 16; ++i)
      m.m[i] = static_cast<float>(node.matrix[static_cast<size_t>(i)]);
    return m;
  }
  float3 t(0.0f), s(1.0f);
  float q[4] = {0.0f, 0.0f, 0.0f, 1.0f};
  if (node.translation.size() == 3) {
    t = float3(static_cast<float>(node.translation[0]), static_cast<float>(node.translation[1]),
               static_cast<float>(node.translation[2]));
  }
  if (node.scale.size() == 3) {
    s = float3(static_cast<float>(node.scale[0]), static_cast<float>(node.scale[1]),
               static_cast<float>(node.scale[2]));
  }
  if (node.rotation.size() == 4) {
    float n = 0.0f;
    for (int i = 0; i < 4; ++i) {
      q[i] = static_cast<float>(node.rotation[static_cast<size_t>(i)]);
      n += q[i] * q[i];
    }
    n = n > 0.0f ? 1.0f / std::sqrt(n) : 0.0f;
    for (float& c : q)
      c *= n;
    if (n == 0.0f) q[3] = 1.0f;
  }
  const float x = q[0], y = q[1], z = q[2], w = q[3];
  // T R S, column by column.
  const float r[9] = {1 - 2 * (y * y + z * z), 2 * (x * y + z * w),     2 * (x * z - y * w),
                      2 * (x * y - z * w),     1 - 2 * (x * x + z * z), 2 * (y * z + x * w),
                      2 * (x * z + y * w),     2 * (y * z - x * w),     1 - 2 * (x * x + y * y)};
  const float scale[3] = {s.x, s.y, s.z};
  for (int c = 0; c < 3; ++c)
    for (int row = 0; row < 3; ++row)
      m.m[c * 4 + row] = r[c * 3 + row] * scale[c];
  m.m[12] = t.x;
  m.m[13] = t.y;
  m.m[14] = t.z;
  return m;
}

// glTF's +y up becomes this renderer's +z: (x, y, z) -> (x, -z, y).
pvx::mat4 yUpToZUp() {
  pvx::mat4 m = pvx::identity4;
  m.m[5] = 0.0f;
  m.m[6] = 1.0f;
  m.m[9] = -1.0f;
  m.m[10] = 0.0f;
  return m;
}

// ---- the model's JSON, counted before it is read ---------------------------------------------

class GltfScan {
 public:
  GltfScan(std::string_view text, const char** cursor, const Limits& limits)
      : ceilings_(text, cursor, limits.jsonValues, limits.nesting, "the model"), limits_(limits) {}

  bool null() { return scalar(); }
  bool boolean(bool) { return scalar(); }
  bool number_integer(int64_t) { return scalar(); }
  bool number_unsigned(uint64_t) { return scalar(); }
  bool number_float(double, const std::string&) { return scalar(); }
  bool binary(nlohmann::json::binary_t&) { return scalar(); }
  bool string(std::string& value) {
    if (frames_.size() == 2 && frames_[0].key == "asset") {
      if (frames_[1].key == "version") version_ = value;
      if (frames_[1].key == "minVersion") minVersion_ = value;
    }
    return scalar();
  }
  bool key(std::string& key) {
    frames_.back().key = key;
    return true;
  }
  bool start_object(std::size_t) {
    element();
    ceilings_.open();
    frames_.push_back({false, "", 0, -1, nullptr});
    return true;
  }
  bool start_array(std::size_t) {
    element();
    ceilings_.open();
    Frame frame{true, "", 0, -1, nullptr};
    const std::string path = pathHere();
    if (path == "/extensions/KHR_lights_punctual/lights") {
      frame.most = limits_.lights;
      frame.limitName = "lights";
    } else if (path == "/meshes/*/primitives" ||
               (frames_.size() == 1 && kLists.count(frames_[0].key) != 0)) {
      frame.most = limits_.items;
      frame.limitName = "items";
    }
    frames_.push_back(frame);
    return true;
  }
  bool end_object() { return closed(); }
  bool end_array() { return closed(); }
  template <class Exception>
  bool parse_error(std::size_t, const std::string&, const Exception& e) {
    throw e;
  }

  const std::string& version() const { return version_; }
  const std::string& minVersion() const { return minVersion_; }

 private:
  struct Frame {
    bool array;
    std::string key;  // an object's latest key
    int64_t count;    // an array's entries so far
    int64_t most;     // an array's ceiling, -1 for none
    const char* limitName;
  };
  // The lists at the top of a model whose entries the reader keeps whole.
  static inline const std::set<std::string> kLists = {
      "accessors", "animations", "bufferViews", "buffers", "cameras", "images",  "materials",
      "meshes",    "nodes",      "samplers",    "scenes",  "skins",   "textures"};

  std::string pathHere() const {
    std::string path;
    for (const Frame& f : frames_)
      path += f.array ? std::string("/*") : "/" + f.key;
    return path;
  }
  bool scalar() {
    element();
    ceilings_.value();
    return true;
  }
  // One more entry of the enclosing array; primitives are also counted over every mesh.
  void element() {
    if (frames_.empty() || !frames_.back().array) return;
    Frame& list = frames_.back();
    ++list.count;
    const bool primitive = list.most >= 0 && frames_.size() == 4 && frames_[0].key == "meshes";
    if (primitive) ++primitives_;
    if (list.most >= 0 && (list.count > list.most || primitives_ > limits_.items)) {
      const std::string path = pathHere();  // ends in the list's own "/*"
      const std::string what = primitive ? "meshes' primitives" : path.substr(1, path.size() - 3);
      throw ParseRefusal{ceilings_.offset(), "the model's " + what +
                                                 " hold more entries than the ceiling of " +
                                                 ceilingText(list.most, list.limitName)};
    }
  }
  bool closed() {
    ceilings_.close();
    frames_.pop_back();
    return true;
  }

  JsonCeilings ceilings_;
  const Limits& limits_;
  std::vector<Frame> frames_;
  int64_t primitives_ = 0;
  std::string version_, minVersion_;
};

// ---- the reader -------------------------------------------------------------------------------

class GltfReader {
 public:
  GltfReader(Scene& scene, std::string path, const GltfPlacement& placement, const Limits& limits,
             int64_t trianglesSoFar)
      : scene_(scene),
        path_(std::move(path)),
        placement_(placement),
        limits_(limits),
        triangles_(trianglesSoFar) {
    const size_t slash = path_.find_last_of('/');
    folder_ = slash == std::string::npos ? std::string(".") : path_.substr(0, slash);
  }

  GltfContents read() {
    load();
    checkExtensions();
    contents_.materialNames.reserve(model_.materials.size());
    for (size_t i = 0; i < model_.materials.size(); ++i)
      contents_.materialNames.push_back(materialName(static_cast<int>(i)));
    scene_.sources.emplace_back(path_, "glTF model");
    for (const std::string& file : rules_.read)
      scene_.sources.emplace_back(file, "glTF buffer");
    walkNodes();
    addLights();
    contents_.triangles = triangles_;
    return std::move(contents_);
  }

 private:
  [[noreturn]] void fail(const std::string& message) const {
    throw GltfError(path_ + ": " + message);
  }
  void warn(const std::string& message) { scene_.warnings.push_back(path_ + ": " + message); }
  // "<prefix>/<name>", with "#2", "#3", ... when the scene already has a shader of that name.
  // The search goes on from where the last one for the name stopped (names are never given
  // back), so a model of thousands of materials of one name takes linear time, not cubic.
  std::string named(const std::string& name) {
    const std::string base = placement_.prefix.empty() ? name : placement_.prefix + "/" + name;
    for (int& n = suffixes_[base];; ++n) {
      const std::string unique = n <= 1 ? base : base + "#" + std::to_string(n);
      if (scene_.findShader(unique) < 0) return unique;
      n = std::max(n, 1);
    }
  }

  void load() {
    std::string bytes;
    try {
      bytes = readWholeFile(path_, "glTF model", limits_.meshBytes, "mesh-bytes");
    } catch (const std::runtime_error& e) {
      throw GltfError(e.what());
    }
    // A binary model by its magic, whatever its name says.
    const bool binary = bytes.compare(0, 4, "glTF") == 0;
    const std::string_view json = binary ? glbJson(bytes) : std::string_view(bytes);
    scanJson(json);
    tinygltf::TinyGLTF loader;
    loader.SetImageLoader(keepEncoded, &model_);
    loader.SetFsCallbacks({fileExists, namedAsWritten, readLimited, writeNothing, &rules_});
    rules_.maxBytes = limits_.meshBytes;
    std::string error, warning;
    bool ok = false;
    try {
      const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
      ok = binary ? loader.LoadBinaryFromMemory(&model_, &error, &warning, data,
                                                static_cast<unsigned>(bytes.size()), folder_)
                  : loader.LoadASCIIFromString(&model_, &error, &warning, bytes.data(),
                                               static_cast<unsigned>(bytes.size()), folder_);
    } catch (const std::exception& e) {
      // The reader indexes an empty data URI with at().
      error = e.what();
    }
    if (!ok) {
      while (!error.empty() && error.back() == '\n')
        error.pop_back();
      for (char& c : error)
        if (c == '\n') c = ';';
      fail("cannot read the model: " + (error.empty() ? std::string("not a glTF file") : error));
    }
    if (model_.defaultScene >= static_cast<int>(model_.scenes.size())) {
      fail("the default scene is " + std::to_string(model_.defaultScene) + ", and the model has " +
           std::to_string(model_.scenes.size()));
    }
  }

  // The JSON chunk of a binary model, once its header and chunks are found to lie inside the
  // file: the reader trusts the BIN chunk's length and copies that many bytes.
  std::string_view glbJson(const std::string& bytes) const {
    const auto word = [&](size_t at) {
      uint32_t w = 0;
      for (int i = 3; i >= 0; --i)
        w = (w << 8) | static_cast<unsigned char>(bytes[at + static_cast<size_t>(i)]);
      return static_cast<uint64_t>(w);
    };
    if (bytes.size() < 20) fail("the binary model ends inside its header");
    if (word(4) != 2) {
      fail("the binary model has version " + std::to_string(word(4)) +
           "; this renderer reads version 2 (glTF 2.0)");
    }
    const uint64_t length = word(8), jsonLength = word(12);
    if (length > bytes.size()) {
      fail("the binary model claims " + std::to_string(length) + " bytes, and the file holds " +
           std::to_string(bytes.size()));
    }
    if (word(16) != 0x4E4F534Au || 20 + jsonLength > length) {
      fail("the binary model's first chunk is not JSON lying inside the file");
    }
    const uint64_t bin = 20 + ((jsonLength + 3) & ~uint64_t{3});
    if (bin + 8 <= length && 20 + jsonLength < length) {
      const uint64_t binLength = word(static_cast<size_t>(bin));
      if (bin + 8 + binLength > length) {
        fail("the binary model's BIN chunk claims " + std::to_string(binLength) +
             " bytes, and the file holds " + std::to_string(length - bin - 8) +
             " after its header");
      }
    }
    return std::string_view(bytes).substr(20, static_cast<size_t>(jsonLength));
  }

  // The model's JSON, read once before the glTF reader sees it: the reader builds its document
  // recursively (deep nesting overflows the stack) and keeps every node, mesh and light whole
  // (millions take gigabytes), so the scene files' nesting and value ceilings, and the item and
  // light ceilings on the model's lists, are applied here as the text is read. The version must
  // be glTF 2.
  void scanJson(std::string_view text) {
    const char* cursor = text.data();
    GltfScan scan(text, &cursor, limits_);
    try {
      nlohmann::json::sax_parse(TrackedChar(text.data(), &cursor),
                                TrackedChar(text.data() + text.size(), &cursor), &scan);
    } catch (const ParseRefusal& refusal) {
      const TextPosition p = positionOf(text, refusal.offset);
      throw GltfError(path_ + ":" + std::to_string(p.line) + ":" + std::to_string(p.column) + ": " +
                      refusal.message);
    } catch (const nlohmann::json::exception& e) {
      fail("cannot read the model: it is not valid JSON (" + std::string(e.what()) + ")");
    }
    const std::string& version = scan.version();
    const bool two = version.size() >= 3 && version.compare(0, 2, "2.") == 0 &&
                     version.find_first_not_of("0123456789", 2) == std::string::npos;
    if (!two) {
      fail("the model's asset.version is " +
           (version.empty() ? std::string("missing") : "'" + host::clipped(version) + "'") +
           "; this renderer reads glTF 2.x");
    }
    if (!scan.minVersion().empty() && scan.minVersion() != "2.0") {
      fail("the model needs glTF " + host::clipped(scan.minVersion()) +
           " (asset.minVersion); this renderer reads glTF 2.0");
    }
  }

  void checkExtensions() {
    for (const std::string& name : model_.extensionsRequired) {
      if (kReadExtensions.count(name) == 0) {
        fail("the model requires the extension " + name +
             ", which this renderer does not read (it reads " + readList() + ")");
      }
    }
  }
  static std::string readList() {
    std::string list;
    for (const std::string& name : kReadExtensions)
      list += (list.empty() ? "" : ", ") + name;
    return list;
  }

  // ---- nodes

  void walkNodes() {
    std::vector<int> roots;
    if (!model_.scenes.empty()) {
      const int which = model_.defaultScene >= 0 &&
                                static_cast<size_t>(model_.defaultScene) < model_.scenes.size()
                            ? model_.defaultScene
                            : 0;
      roots = model_.scenes[static_cast<size_t>(which)].nodes;
    } else {
      std::vector<bool> child(model_.nodes.size(), false);
      for (const tinygltf::Node& node : model_.nodes)
        for (int c : node.children)
          if (c >= 0 && static_cast<size_t>(c) < child.size()) child[static_cast<size_t>(c)] = true;
      for (size_t i = 0; i < model_.nodes.size(); ++i)
        if (!child[i]) roots.push_back(static_cast<int>(i));
    }
    const pvx::mat4 base = multiply(placement_.transform.forward, yUpToZUp());
    // An explicit stack: a hostile hierarchy can be deep; every node is visited at most once.
    std::vector<bool> seen(model_.nodes.size(), false);
    std::vector<std::pair<int, pvx::mat4>> stack;
    for (auto it = roots.rbegin(); it != roots.rend(); ++it)
      stack.emplace_back(*it, base);
    while (!stack.empty()) {
      const auto [index, parent] = stack.back();
      stack.pop_back();
      if (index < 0 || static_cast<size_t>(index) >= model_.nodes.size()) {
        fail("a scene or node names node " + std::to_string(index) + ", and the model has " +
             std::to_string(model_.nodes.size()));
      }
      if (seen[static_cast<size_t>(index)]) {
        fail("node " + std::to_string(index) +
             " is reached twice; the node hierarchy must be a tree");
      }
      seen[static_cast<size_t>(index)] = true;
      const tinygltf::Node& node = model_.nodes[static_cast<size_t>(index)];
      const pvx::mat4 world = multiply(parent, nodeMatrix(node));
      visit(index, node, world);
      for (auto it = node.children.rbegin(); it != node.children.rend(); ++it)
        stack.emplace_back(*it, world);
    }
  }

  void visit(int index, const tinygltf::Node& node, const pvx::mat4& world) {
    const std::string nodeName = node.name.empty() ? "node " + std::to_string(index) : node.name;
    if (node.mesh >= 0) addMeshInstance(node.mesh, nodeName, world);
    if (node.camera >= 0 && !contents_.hasCamera) readCamera(node.camera, world);
    const auto light = node.extensions.find("KHR_lights_punctual");
    if (light != node.extensions.end() && light->second.Has("light") &&
        light->second.Get("light").IsNumber()) {
      pendingLights_.push_back({light->second.Get("light").GetNumberAsInt(), world});
    }
  }

  void readCamera(int index, const pvx::mat4& world) {
    if (static_cast<size_t>(index) >= model_.cameras.size()) {
      fail("a node names camera " + std::to_string(index) + ", and the model has " +
           std::to_string(model_.cameras.size()));
    }
    const tinygltf::Camera& c = model_.cameras[static_cast<size_t>(index)];
    if (c.type != "perspective") {
      warn("camera " + std::to_string(index) + " is " + c.type +
           "; only perspective cameras are read");
      return;
    }
    const float fov = static_cast<float>(c.perspective.yfov) * 180.0f / kPi;
    Camera camera;
    camera.position = Transform::apply(world, float3(0.0f), 1.0f);
    camera.target = camera.position + normalize(Transform::apply(world, float3(0, 0, -1), 0.0f));
    camera.up = normalize(Transform::apply(world, float3(0, 1, 0), 0.0f));
    if (!(fov > 0.0f && fov < 180.0f) ||
        !(length(cross(camera.target - camera.position, camera.up)) > 1e-6f)) {
      warn("camera " + std::to_string(index) + " has no usable view; a framing camera is used");
      return;
    }
    camera.fovY = fov;
    contents_.camera = camera;
    contents_.hasCamera = true;
    const double aspect = c.perspective.aspectRatio;
    if (aspect != 0.0 && !(aspect > 0.0 && std::isfinite(aspect))) {
      warn("camera " + std::to_string(index) + " has no usable aspect ratio; the image's is used");
    } else {
      contents_.aspectRatio = aspect;
    }
  }

  // ---- accessors

  struct View {
    const unsigned char* data = nullptr;  // null: every value 0
    size_t stride = 0;
    size_t count = 0;
    int componentType = 0;
    int components = 0;
    bool normalized = false;
  };

  static int componentBytes(int type) {
    switch (type) {
      case TINYGLTF_COMPONENT_TYPE_BYTE:
      case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE:
        return 1;
      case TINYGLTF_COMPONENT_TYPE_SHORT:
      case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT:
        return 2;
      case TINYGLTF_COMPONENT_TYPE_INT:
      case TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT:
      case TINYGLTF_COMPONENT_TYPE_FLOAT:
        return 4;
      default:
        return 0;
    }
  }

  // The accessor checked against its buffer view and buffer: every element it names lies inside
  // the bytes the model holds.
  View view(int index, int components, const std::string& what) const {
    const std::string a = "accessor " + std::to_string(index) + " (" + what + ")";
    if (index < 0 || static_cast<size_t>(index) >= model_.accessors.size()) {
      fail(what + " names accessor " + std::to_string(index) + ", and the model has " +
           std::to_string(model_.accessors.size()));
    }
    const tinygltf::Accessor& accessor = model_.accessors[static_cast<size_t>(index)];
    if (accessor.sparse.isSparse) fail(a + " is sparse; sparse accessors are not read");
    const int have = tinygltf::GetNumComponentsInType(static_cast<uint32_t>(accessor.type));
    if (have != components) {
      fail(a + " has " + std::to_string(have) + " components per element; " + what + " takes " +
           std::to_string(components));
    }
    const int bytes = componentBytes(accessor.componentType);
    if (bytes == 0) {
      fail(a + " has the unknown component type " + std::to_string(accessor.componentType));
    }
    View v;
    v.count = accessor.count;
    v.componentType = accessor.componentType;
    v.components = components;
    v.normalized = accessor.normalized;
    const size_t element = static_cast<size_t>(bytes) * static_cast<size_t>(components);
    v.stride = element;
    if (accessor.bufferView < 0) {
      // All zeros, held in no buffer: only the triangle ceiling bounds what it would cost.
      if (v.count > static_cast<uint64_t>(limits_.triangles) * 3) {
        fail(a + " holds " + std::to_string(v.count) +
             " elements in no buffer view, more than three per triangle of the ceiling of " +
             ceilingText(limits_.triangles, "triangles"));
      }
      return v;
    }
    if (static_cast<size_t>(accessor.bufferView) >= model_.bufferViews.size()) {
      fail(a + " names buffer view " + std::to_string(accessor.bufferView) +
           ", and the model has " + std::to_string(model_.bufferViews.size()));
    }
    const tinygltf::BufferView& bv = model_.bufferViews[static_cast<size_t>(accessor.bufferView)];
    if (bv.buffer < 0 || static_cast<size_t>(bv.buffer) >= model_.buffers.size()) {
      fail("buffer view " + std::to_string(accessor.bufferView) + " names buffer " +
           std::to_string(bv.buffer) + ", and the model has " +
           std::to_string(model_.buffers.size()));
    }
    const std::vector<unsigned char>& buffer = model_.buffers[static_cast<size_t>(bv.buffer)].data;
    if (bv.byteOffset > buffer.size() || bv.byteLength > buffer.size() - bv.byteOffset) {
      fail("buffer view " + std::to_string(accessor.bufferView) + " runs past the end of buffer " +
           std::to_string(bv.buffer) + " (" + std::to_string(buffer.size()) + " bytes)");
    }
    if (bv.byteStride != 0) v.stride = bv.byteStride;
    if (v.stride < element) {
      fail("buffer view " + std::to_string(accessor.bufferView) + " has a stride of " +
           std::to_string(v.stride) + " bytes, less than the " + std::to_string(element) +
           "-byte elements of " + a);
    }
    if (v.count > 0) {
      const size_t room = bv.byteLength;
      const bool fits = accessor.byteOffset <= room && element <= room - accessor.byteOffset &&
                        (v.count - 1) <= (room - accessor.byteOffset - element) / v.stride;
      if (!fits) {
        fail(a + " holds " + std::to_string(v.count) + " elements of " + std::to_string(element) +
             " bytes from byte " + std::to_string(accessor.byteOffset) +
             ", past the end of its buffer view " + std::to_string(accessor.bufferView) + " (" +
             std::to_string(room) + " bytes)");
      }
    }
    v.data = buffer.data() + bv.byteOffset + accessor.byteOffset;
    return v;
  }

  static float component(const View& v, size_t element, int k) {
    if (v.data == nullptr) return 0.0f;
    const unsigned char* p =
        v.data + element * v.stride +
        static_cast<size_t>(k) * static_cast<size_t>(componentBytes(v.componentType));
    switch (v.componentType) {
      case TINYGLTF_COMPONENT_TYPE_FLOAT: {
        float f;
        std::memcpy(&f, p, 4);
        return f;
      }
      case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE:
        return static_cast<float>(*p) / 255.0f;
      case TINYGLTF_COMPONENT_TYPE_BYTE:
        return std::max(static_cast<float>(static_cast<int8_t>(*p)) / 127.0f, -1.0f);
      case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT: {
        uint16_t u;
        std::memcpy(&u, p, 2);
        return static_cast<float>(u) / 65535.0f;
      }
      case TINYGLTF_COMPONENT_TYPE_SHORT: {
        int16_t s;
        std::memcpy(&s, p, 2);
        return std::max(static_cast<float>(s) / 32767.0f, -1.0f);
      }
      default:
        return 0.0f;
    }
  }

  // Float elements (or normalised integers where `integersAllowed`), every one finite.
  View floatView(int index, int components, const std::string& what, bool integersAllowed) const {
    const View v = view(index, components, what);
    const bool normalizedInteger = v.normalized &&
                                   v.componentType != TINYGLTF_COMPONENT_TYPE_FLOAT &&
                                   v.componentType != TINYGLTF_COMPONENT_TYPE_INT &&
                                   v.componentType != TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT;
    if (v.componentType != TINYGLTF_COMPONENT_TYPE_FLOAT &&
        !(integersAllowed && normalizedInteger)) {
      fail("accessor " + std::to_string(index) + " (" + what + ") has component type " +
           std::to_string(v.componentType) + "; " + what +
           (integersAllowed ? " takes floats or normalised bytes or shorts" : " takes floats"));
    }
    return v;
  }

  void checkFinite(float value, int index, const std::string& what) const {
    if (!std::isfinite(value)) {
      fail("accessor " + std::to_string(index) + " (" + what +
           ") holds a value that is not a finite number");
    }
  }

  std::vector<float3> vectors(int index, size_t count, const std::string& what) const {
    const View v = floatView(index, 3, what, false);
    if (v.count != count) {
      fail("accessor " + std::to_string(index) + " (" + what + ") holds " +
           std::to_string(v.count) + " elements for " + std::to_string(count) + " vertices");
    }
    std::vector<float3> out(count);
    for (size_t i = 0; i < count; ++i) {
      out[i] = float3(component(v, i, 0), component(v, i, 1), component(v, i, 2));
      checkFinite(out[i].x + out[i].y + out[i].z, index, what);
    }
    return out;
  }

  int attribute(const tinygltf::Primitive& p, const char* name) const {
    const auto it = p.attributes.find(name);
    return it == p.attributes.end() ? -1 : it->second;
  }

  std::shared_ptr<const Mesh> primitiveMesh(int meshIndex, size_t primitiveIndex,
                                            const std::string& what) {
    const tinygltf::Primitive& p =
        model_.meshes[static_cast<size_t>(meshIndex)].primitives[primitiveIndex];
    auto mesh = std::make_shared<Mesh>();
    const int position = attribute(p, "POSITION");
    if (position < 0) fail(what + " has no POSITION attribute");
    const size_t vertices = view(position, 3, what + " POSITION").count;
    mesh->positions = vectors(position, vertices, what + " POSITION");

    // Indices, checked against the vertex count, as a triangle list.
    std::vector<uint32_t> order;
    if (p.indices >= 0) {
      const View v = view(p.indices, 1, what + " indices");
      if (v.componentType != TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE &&
          v.componentType != TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT &&
          v.componentType != TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT) {
        fail("accessor " + std::to_string(p.indices) + " (" + what +
             " indices) must hold unsigned bytes, shorts or ints");
      }
      countTriangles(p.mode, v.count, what);
      order.resize(v.count);
      for (size_t i = 0; i < v.count; ++i) {
        uint32_t index = 0;
        if (v.data != nullptr) {
          const unsigned char* at = v.data + i * v.stride;
          if (v.componentType == TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE) {
            index = *at;
          } else if (v.componentType == TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT) {
            uint16_t s;
            std::memcpy(&s, at, 2);
            index = s;
          } else {
            std::memcpy(&index, at, 4);
          }
        }
        if (index >= vertices) {
          fail("accessor " + std::to_string(p.indices) + " (" + what + " indices) names vertex " +
               std::to_string(index) + " of " + std::to_string(vertices));
        }
        order[i] = index;
      }
    } else {
      countTriangles(p.mode, vertices, what);
      order.resize(vertices);
      for (size_t i = 0; i < vertices; ++i)
        order[i] = static_cast<uint32_t>(i);
    }
    mesh->indices = triangleList(p.mode, order);

    const int normal = attribute(p, "NORMAL");
    if (normal >= 0) {
      mesh->normals = vectors(normal, vertices, what + " NORMAL");
      for (float3& n : mesh->normals) {
        const float l = length(n);
        n = l > 0.0f ? n * (1.0f / l) : float3(0.0f, 0.0f, 1.0f);
      }
    }
    const int texcoord = attribute(p, "TEXCOORD_0");
    if (texcoord >= 0) {
      const View v = floatView(texcoord, 2, what + " TEXCOORD_0", true);
      if (v.count != vertices) fail(what + " TEXCOORD_0 has another count than POSITION");
      mesh->uv.resize(vertices);
      for (size_t i = 0; i < vertices; ++i) {
        // glTF's v runs down the image; this renderer's t runs up it.
        mesh->uv[i] = float2(component(v, i, 0), 1.0f - component(v, i, 1));
        checkFinite(mesh->uv[i].x + mesh->uv[i].y, texcoord, what + " TEXCOORD_0");
      }
    }
    const int tangent = attribute(p, "TANGENT");
    if (tangent >= 0 && normal >= 0) {
      const View v = floatView(tangent, 4, what + " TANGENT", false);
      if (v.count != vertices) fail(what + " TANGENT has another count than POSITION");
      mesh->tangents.resize(vertices);
      mesh->bitangents.resize(vertices);
      for (size_t i = 0; i < vertices; ++i) {
        const float3 t(component(v, i, 0), component(v, i, 1), component(v, i, 2));
        const float w = component(v, i, 3);
        checkFinite(t.x + t.y + t.z + w, tangent, what + " TANGENT");
        mesh->tangents[i] = t;
        // The glTF bitangent, N x T times the handedness, points up the image: along this
        // renderer's t.
        mesh->bitangents[i] = cross(mesh->normals[i], t) * (w < 0.0f ? -1.0f : 1.0f);
      }
    }
    mesh->completeFrames();
    return mesh;
  }

  void countTriangles(int mode, size_t count, const std::string& what) {
    size_t triangles = 0;
    if (mode == TINYGLTF_MODE_TRIANGLES) {
      if (count % 3 != 0)
        fail(what + " lists " + std::to_string(count) +
             " vertices, not a whole number of triangles");
      triangles = count / 3;
    } else if (count >= 3) {
      triangles = count - 2;
    }
    triangles_ += static_cast<int64_t>(triangles);
    if (triangles_ > limits_.triangles) {
      fail(what + ": the scene's meshes hold " + std::to_string(triangles_) +
           " triangles in all by now, more than the ceiling of " +
           ceilingText(limits_.triangles, "triangles"));
    }
  }

  static std::vector<uint32_t> triangleList(int mode, const std::vector<uint32_t>& order) {
    if (mode == TINYGLTF_MODE_TRIANGLES) return order;
    std::vector<uint32_t> list;
    for (size_t i = 2; i < order.size(); ++i) {
      if (mode == TINYGLTF_MODE_TRIANGLE_FAN) {
        list.insert(list.end(), {order[0], order[i - 1], order[i]});
      } else if (i % 2 == 0) {
        list.insert(list.end(), {order[i - 2], order[i - 1], order[i]});
      } else {
        list.insert(list.end(), {order[i - 1], order[i - 2], order[i]});
      }
    }
    return list;
  }

  void addMeshInstance(int meshIndex, const std::string& nodeName, const pvx::mat4& world) {
    if (static_cast<size_t>(meshIndex) >= model_.meshes.size()) {
      fail("node '" + nodeName + "' names mesh " + std::to_string(meshIndex) +
           ", and the model has " + std::to_string(model_.meshes.size()));
    }
    const tinygltf::Mesh& gm = model_.meshes[static_cast<size_t>(meshIndex)];
    Transform transform;
    try {
      transform = Transform::fromMatrix(world);
    } catch (const std::domain_error&) {
      warn("node '" + nodeName + "' flattens its mesh to nothing (a singular transform); left out");
      return;
    }
    for (size_t i = 0; i < gm.primitives.size(); ++i) {
      const tinygltf::Primitive& p = gm.primitives[i];
      const std::string what = "mesh " + std::to_string(meshIndex) + " ('" + gm.name +
                               "') primitive " + std::to_string(i);
      if (p.mode != TINYGLTF_MODE_TRIANGLES && p.mode != TINYGLTF_MODE_TRIANGLE_STRIP &&
          p.mode != TINYGLTF_MODE_TRIANGLE_FAN) {
        warn(what + " draws points or lines; only triangles are rendered");
        continue;
      }
      std::shared_ptr<const Mesh>& mesh = meshes_[{meshIndex, i}];
      if (mesh) {
        countTriangles(TINYGLTF_MODE_TRIANGLES, mesh->indices.size(), what);
      } else {
        mesh = primitiveMesh(meshIndex, i, what);
      }
      Object o;
      o.name = named(nodeName + (gm.primitives.size() > 1 ? "#" + std::to_string(i) : ""));
      o.kind = ShapeKind::Mesh;
      o.transform = transform;
      o.mesh = mesh;
      o.castsShadows = placement_.castsShadows;
      o.material = material(p.material);
      for (const float3& position : mesh->positions)
        grow(transform.point(position));
      // Nodes can place one mesh many times: every placed primitive is an object.
      if (static_cast<int64_t>(contents_.objects.size()) >= limits_.items) {
        fail("the model's nodes place more meshes (each primitive counted) than the ceiling of " +
             ceilingText(limits_.items, "items"));
      }
      contents_.objects.push_back(std::move(o));
    }
  }

  void grow(const float3& p) {
    if (!anyBounds_) {
      contents_.lower = contents_.upper = p;
      anyBounds_ = true;
      return;
    }
    contents_.lower = float3(std::min(contents_.lower.x, p.x), std::min(contents_.lower.y, p.y),
                             std::min(contents_.lower.z, p.z));
    contents_.upper = float3(std::max(contents_.upper.x, p.x), std::max(contents_.upper.y, p.y),
                             std::max(contents_.upper.z, p.z));
  }

  // ---- materials

  std::string materialName(int index) const {
    if (index < 0) return "default";
    const std::string& name = model_.materials[static_cast<size_t>(index)].name;
    return name.empty() ? "material " + std::to_string(index) : name;
  }

  static double extensionNumber(const tinygltf::ExtensionMap& extensions, const char* extension,
                                const char* key, double otherwise) {
    const auto it = extensions.find(extension);
    if (it == extensions.end() || !it->second.Has(key) || !it->second.Get(key).IsNumber())
      return otherwise;
    return it->second.Get(key).GetNumberAsDouble();
  }

  int material(int index) {
    if (index >= 0 && static_cast<size_t>(index) >= model_.materials.size()) {
      fail("a primitive names material " + std::to_string(index) + ", and the model has " +
           std::to_string(model_.materials.size()));
    }
    if (const auto found = materials_.find(index); found != materials_.end()) return found->second;
    const std::string name = materialName(index);
    int shader = placement_.replacement ? placement_.replacement(name) : -1;
    if (shader < 0) shader = mapMaterial(index, name);
    materials_[index] = shader;
    return shader;
  }

  int mapMaterial(int index, const std::string& name) {
    const tinygltf::Material fallback;  // glTF's default material: white, metallic 1, rough 1
    const tinygltf::Material& m =
        index >= 0 ? model_.materials[static_cast<size_t>(index)] : fallback;
    for (const auto& extension : m.extensions) {
      if (kReadExtensions.count(extension.first) == 0) {
        warn("material '" + name + "' uses the extension " + extension.first +
             ", which is not read; the material is mapped without it");
      }
    }
    const tinygltf::PbrMetallicRoughness& pbr = m.pbrMetallicRoughness;
    const std::vector<double>& c = pbr.baseColorFactor;
    const float3 base = c.size() >= 3 ? float3(static_cast<float>(c[0]), static_cast<float>(c[1]),
                                               static_cast<float>(c[2]))
                                      : float3(1.0f);
    const float metallic = std::clamp(static_cast<float>(pbr.metallicFactor), 0.0f, 1.0f);
    const float roughness = std::clamp(static_cast<float>(pbr.roughnessFactor), 0.0f, 1.0f);
    const float transmission = static_cast<float>(
        extensionNumber(m.extensions, "KHR_materials_transmission", "transmissionFactor", 0.0));
    const float ior =
        static_cast<float>(extensionNumber(m.extensions, "KHR_materials_ior", "ior", 1.5));

    enum class Kind { Metal, Ward, Dielectric };
    const Kind kind = transmission > 0.0f ? Kind::Dielectric
                      : metallic >= 0.5f  ? Kind::Metal
                                          : Kind::Ward;
    std::string className = kind == Kind::Dielectric ? "quarra_Mtl_Dielectric"
                            : kind == Kind::Metal    ? "quarra_Mtl_Metal"
                                                     : "quarra_Mtl_Ward";
    if (placement_.classOverride) {
      const std::string chosen = placement_.classOverride(name);
      if (!chosen.empty()) className = chosen;
    }
    ShaderInstance* instance = nullptr;
    try {
      instance = &scene_.addShader(named(name), className);
    } catch (const std::exception& e) {
      fail("material '" + name + "': " + e.what());
    }
    ShaderInstance& s = *instance;
    if (s.kind != pvx::kKindMaterial) {
      fail("material '" + name + "': the class " + className + " is a " + host::kindName(s.kind) +
           ", not a material");
    }
    const float alpha = roughness * roughness;
    const int baseTexture = pbr.baseColorTexture.index;
    const int roughTexture = pbr.metallicRoughnessTexture.index;
    const int normalTexture = m.normalTexture.index;
    switch (kind) {
      case Kind::Metal:
        set(s, "u_diffuseColor", float3(0.0f));
        set(s, "u_specularColor", base);
        set(s, "u_brdf00Reflectivity", 1.0f);
        set(s, "u_brdf90Reflectivity", 1.0f);
        set(s, "u_roughValue", std::max(alpha, kMinWardRoughness));
        if (baseTexture >= 0) {
          // The brush switcher takes the reflection colour from its map.
          set(s, "u_reflectSwitcher", int32_t{2});
          set(s, "u_brushMapEnable", true);
          set(s, "u_brushMap", colorTexture(baseTexture, base, name));
        }
        if (roughTexture >= 0) {
          set(s, "u_roughMapEnable", true);
          set(s, "u_roughMap", roughnessTexture(roughTexture, roughness, false, name));
        }
        if (normalTexture >= 0) {
          warn("material '" + name + "' is mapped to the metal, which reads no normal map");
        }
        break;
      case Kind::Ward:
        set(s, "u_diffuseColor", base * (1.0f - metallic));
        set(s, "u_specularColor", float3(1.0f));
        set(s, "u_brdf00Reflectivity", kDielectricF0);
        set(s, "u_brdf90Reflectivity", 1.0f);
        set(s, "u_brdfCurvePower", kSchlickPower);
        set(s, "u_roughValue", std::max(alpha, kMinWardRoughness));
        if (baseTexture >= 0) {
          set(s, "u_diffuseMapEnable", true);
          set(s, "u_diffuseMap", colorTexture(baseTexture, base * (1.0f - metallic), name));
        }
        if (roughTexture >= 0) {
          set(s, "u_roughMapEnable", true);
          set(s, "u_roughMap", roughnessTexture(roughTexture, roughness, true, name));
        }
        break;
      case Kind::Dielectric:
        set(s, "u_refractColor", base);
        set(s, "u_ior", ior);
        set(s, "u_reflectance", ((ior - 1.0f) / (ior + 1.0f)) * ((ior - 1.0f) / (ior + 1.0f)));
        set(s, "u_roughValue", alpha);
        if (roughTexture >= 0) {
          set(s, "u_roughMapEnable", true);
          set(s, "u_roughMap", roughnessTexture(roughTexture, roughness, false, name));
        }
        break;
    }
    if (normalTexture >= 0 && kind != Kind::Metal) {
      set(s, "u_normal0MapEnable", true);
      set(s, "u_normal0Map",
          normalMap(normalTexture, static_cast<float>(m.normalTexture.scale), name));
      set(s, "u_normal0Amount", 1.0f);
    }
    if (placement_.adjust) placement_.adjust(name, s);
    return scene_.findShader(s.name);
  }

  // Mapped values go to the parameters the class declares with that type; a class chosen
  // instead of the usual one takes those it shares with it.
  template <class T>
  static void set(ShaderInstance& s, const char* name, const T& value) {
    const host::ParameterRecord* record = s.bound->table().find(name);
    if (record == nullptr) return;
    try {
      s.bound->set(name, value);
    } catch (const std::exception&) {
      // Another type under the same name: left at the class's default.
    }
  }

  // ---- textures

  // The texture's image through the scene's image cache, so its memory and pixel ceilings apply
  // as to any scene texture (decoded whole, an 8192 x 8192 image took 2 GB): a file the model
  // names by itself, an embedded one (buffer view or data URI) from a scratch file of its
  // encoded bytes. The sampler's wrap modes (mirrored repeat repeats); none repeats.
  pvx::ITexture2D* source(int textureIndex, ColorSpace colorSpace,
                          const std::string& materialName) {
    const std::string what =
        "material '" + host::clipped(materialName) + "' texture " + std::to_string(textureIndex);
    if (textureIndex < 0 || static_cast<size_t>(textureIndex) >= model_.textures.size()) {
      fail(what + " does not exist (the model has " + std::to_string(model_.textures.size()) +
           " textures)");
    }
    const tinygltf::Texture& texture = model_.textures[static_cast<size_t>(textureIndex)];
    const int source = texture.source;
    if (source < 0 || static_cast<size_t>(source) >= model_.images.size()) {
      fail(what + " names image " + std::to_string(source) + ", and the model has " +
           std::to_string(model_.images.size()));
    }
    const tinygltf::Image& image = model_.images[static_cast<size_t>(source)];
    const std::string label = "image " + std::to_string(source);
    TextureOptions options;
    options.colorSpace = colorSpace;
    if (texture.sampler >= 0 && static_cast<size_t>(texture.sampler) < model_.samplers.size()) {
      const tinygltf::Sampler& rules = model_.samplers[static_cast<size_t>(texture.sampler)];
      if (rules.wrapS == TINYGLTF_TEXTURE_WRAP_CLAMP_TO_EDGE) options.wrap = Wrap::Clamp;
      options.wrapT =
          rules.wrapT == TINYGLTF_TEXTURE_WRAP_CLAMP_TO_EDGE ? Wrap::Clamp : Wrap::Periodic;
    }
    try {
      if (!image.uri.empty()) {
        return scene_.textures().file2D(folder_ + "/" + percentDecoded(image.uri), options);
      }
      std::string& scratch = scratchImages_[source];
      if (scratch.empty()) {
        if (image.image.empty()) fail(label + " holds no data");
        const std::string extension = image.mimeType == "image/jpeg"  ? "jpg"
                                      : image.mimeType == "image/png" ? "png"
                                                                      : "";
        if (extension.empty()) {
          fail(label + " is stored as '" + host::clipped(image.mimeType) +
               "'; embedded images are PNG or JPEG");
        }
        scratch = scene_.textures().scratchImage(
            std::string_view(reinterpret_cast<const char*>(image.image.data()), image.image.size()),
            extension);
      }
      return scene_.textures().file2D(scratch, options);
    } catch (const TextureError& e) {
      fail(label + ": " + e.what());
    }
  }

  // The base colour texture times its factor (sRGB decoded).
  pvx::ITexture2D* colorTexture(int textureIndex, float3 factor, const std::string& materialName) {
    return scene_.textures().mapped2D(
        source(textureIndex, ColorSpace::SRGB, materialName), [factor](const pvx::float4& p) {
          return pvx::float4(p.x * factor.x, p.y * factor.y, p.z * factor.z, p.w);
        });
  }

  // The Ward material reads a roughness map through its glossiness curve (white polished, three
  // pieces from 0.0505339 at 1 to 1 at 0); this is the curve, inverted below by bisection.
  static float wardRoughnessCurve(float g) {
    const float s = 1.0f - std::clamp(g, 0.0f, 1.0f);
    if (s < 0.5f) return 1.11078f * s * s - 0.225494f * s + 0.0505339f;
    if (s < 0.9f) return 24.1745f * s * s * s - 45.6128f * s * s + 28.605f * s - 5.72202f;
    return (s - 0.9f) * 3.0f + 0.7f;
  }
  static float wardGlossiness(float roughness) {
    float polished = 1.0f, rough = 0.0f;
    for (int i = 0; i < 24; ++i) {
      const float mid = 0.5f * (polished + rough);
      (wardRoughnessCurve(mid) > roughness ? rough : polished) = mid;
    }
    return 0.5f * (polished + rough);
  }

  // Roughness from the green channel times the factor, squared into the lobes' alpha; for the
  // Ward material as the glossiness its curve turns back into that alpha, looked up in a table
  // over the roughness (the inversion is too slow for every texture lookup).
  pvx::ITexture2D* roughnessTexture(int textureIndex, float factor, bool forWard,
                                    const std::string& materialName) {
    constexpr int kSteps = 1024;
    std::vector<float> curve(kSteps + 1);
    for (int i = 0; i <= kSteps; ++i) {
      const float r = static_cast<float>(i) / kSteps;
      curve[static_cast<size_t>(i)] =
          forWard ? wardGlossiness(std::max(r * r, kMinWardRoughness)) : r * r;
    }
    return scene_.textures().mapped2D(source(textureIndex, ColorSpace::Linear, materialName),
                                      [factor, curve = std::move(curve)](const pvx::float4& p) {
                                        const float at =
                                            std::clamp(p.y * factor, 0.0f, 1.0f) * kSteps;
                                        const int i = std::min(static_cast<int>(at), kSteps - 1);
                                        const float t = at - static_cast<float>(i);
                                        const float v = curve[static_cast<size_t>(i)] * (1.0f - t) +
                                                        curve[static_cast<size_t>(i) + 1] * t;
                                        return pvx::float4(v, v, v, 1.0f);
                                      });
  }

  // A tangent-space normal (2 c - 1, scaled in x and y) as the signed offsets along T and B the
  // materials add to N: the normal's slope x / z, y / z, over their normal-map gain.
  pvx::ITexture2D* normalMap(int textureIndex, float scale, const std::string& materialName) {
    return scene_.textures().mapped2D(
        source(textureIndex, ColorSpace::Linear, materialName), [scale](const pvx::float4& p) {
          const float z = std::max(2.0f * p.z - 1.0f, 0.05f);
          const float k = scale / (z * kNormalMapGain);
          return pvx::float4((2.0f * p.x - 1.0f) * k, (2.0f * p.y - 1.0f) * k, 0.0f, 1.0f);
        });
  }

  // ---- lights

  struct PendingLight {
    int light;
    pvx::mat4 world;
  };

  void addLights() {
    const float3 centre = (contents_.lower + contents_.upper) * 0.5f;
    for (const PendingLight& pending : pendingLights_) {
      if (pending.light < 0 || static_cast<size_t>(pending.light) >= model_.lights.size()) {
        fail("a node names light " + std::to_string(pending.light) + ", and the model has " +
             std::to_string(model_.lights.size()));
      }
      const tinygltf::Light& gl = model_.lights[static_cast<size_t>(pending.light)];
      const std::string name =
          named(gl.name.empty() ? "light " + std::to_string(pending.light) : gl.name);
      if (gl.type != "point" && gl.type != "spot") {
        warn("light '" + gl.name + "' is " + gl.type +
             "; only point and spot lights are read, it is left out");
        continue;
      }
      Light light;
      light.name = name;
      light.position = Transform::apply(pending.world, float3(0.0f), 1.0f);
      const float3 axis = Transform::apply(pending.world, float3(0, 0, -1), 0.0f);
      light.axis = length(axis) > 0.0f ? normalize(axis) : float3(0, 0, -1);
      const bool spot = gl.type == "spot";
      ShaderInstance* instance = nullptr;
      try {
        instance = &scene_.addShader(name, spot ? "qvSpotLight" : "qvPointLight");
      } catch (const std::exception& e) {
        fail("light '" + gl.name + "': " + e.what());
      }
      ShaderInstance& s = *instance;
      // The light classes have no inverse-square falloff: the colour is what the glTF light
      // gives at the centre of the model.
      const float d = std::max(length(centre - light.position), 1e-3f);
      float3 color(1.0f);
      if (gl.color.size() >= 3) {
        color = float3(static_cast<float>(gl.color[0]), static_cast<float>(gl.color[1]),
                       static_cast<float>(gl.color[2]));
      }
      const float intensity = std::isfinite(gl.intensity) ? static_cast<float>(gl.intensity) : 0.0f;
      set(s, "color", color * (std::max(intensity, 0.0f) / (d * d)));
      const float range =
          gl.range > 0.0 && std::isfinite(gl.range) ? static_cast<float>(gl.range) : FLT_MAX;
      set(s, "range", range);
      // glTF's window 1 - (d / range)^4; far beyond reach without a range.
      set(s, "attenuationFactors", float3(gl.range > 0.0 ? range : 1e30f, 4.0f, 0.0f));
      if (spot) {
        const float outer = std::cos(static_cast<float>(gl.spot.outerConeAngle));
        const float inner = std::cos(static_cast<float>(gl.spot.innerConeAngle));
        set(s, "cosPenumbra", outer);
        set(s, "cosUmbra", std::min(std::max(inner, outer + 1e-4f), 1.0f));
      }
      light.shader = scene_.findShader(name);
      if (static_cast<int64_t>(scene_.lights.size()) >= limits_.lights) {
        fail("the model's nodes place more lights than the ceiling of " +
             ceilingText(limits_.lights, "lights") + ", the scene's own counted");
      }
      scene_.lights.push_back(light);
    }
  }

  Scene& scene_;
  std::string path_;
  std::string folder_;
  const GltfPlacement& placement_;
  const Limits& limits_;
  int64_t triangles_;
  FileRules rules_{0, {}};
  tinygltf::Model model_;
  GltfContents contents_;
  bool anyBounds_ = false;
  std::map<std::pair<int, size_t>, std::shared_ptr<const Mesh>> meshes_;
  std::map<int, int> materials_;
  std::map<int, std::string> scratchImages_;  // embedded images, by source
  std::map<std::string, int> suffixes_;       // where named() last stopped, by name
  std::vector<PendingLight> pendingLights_;
};

// A camera looking at the whole model from the front, a little from above and to the left.
Camera framingCamera(const GltfContents& contents) {
  Camera camera;
  const float3 centre = (contents.lower + contents.upper) * 0.5f;
  const float radius = std::max(length(contents.upper - contents.lower) * 0.5f, 1e-3f);
  const float distance = radius / std::sin(camera.fovY * 0.5f * kPi / 180.0f) * 1.1f;
  camera.target = centre;
  camera.position = centre + normalize(float3(-0.35f, -1.0f, 0.45f)) * distance;
  return camera;
}

}  // namespace

GltfContents addGltfModel(Scene& scene, const std::string& path, const GltfPlacement& placement,
                          const Limits& limits, int64_t trianglesSoFar) {
  return GltfReader(scene, path, placement, limits, trianglesSoFar).read();
}

bool isGltfFile(const std::string& path) {
  return endsWith(path, ".gltf") || endsWith(path, ".glb");
}

std::unique_ptr<Scene> loadGltfScene(const std::string& path,
                                     std::shared_ptr<const host::PluginLibrary> library,
                                     const Limits& limits) {
  auto scene = std::make_unique<Scene>(std::move(library));
  scene->textures().setLimits(limits);
  const size_t slash = path.find_last_of('/');
  scene->title = slash == std::string::npos ? path : path.substr(slash + 1);
  GltfContents contents = addGltfModel(*scene, path, GltfPlacement(), limits);
  if (contents.objects.empty()) throw GltfError(path + ": the model holds no triangle meshes");
  scene->camera = contents.hasCamera ? contents.camera : framingCamera(contents);
  scene->camera.aspectRatio = contents.aspectRatio;
  if (contents.aspectRatio > 0.0) {
    // Computed wide and kept in range here; a render checks the size it makes (applyRequest).
    const double height = static_cast<double>(scene->settings.width) / contents.aspectRatio;
    scene->settings.height = static_cast<int>(std::clamp(std::round(height), 1.0, 65536.0));
  }
  if (scene->lights.empty()) {
    ShaderInstance& s = scene->addShader("camera light", "qvPointLight");
    s.bound->set("color", float3(1.0f));
    Light light;
    light.name = "camera light";
    light.position = scene->camera.position;
    light.axis = normalize(scene->camera.target - scene->camera.position);
    light.shader = scene->findShader("camera light");
    scene->lights.push_back(light);
  }
  if (pvx::findCatalogueIndex("quarra_Env_Default") >= 0) {
    ShaderInstance& sky = scene->addShader("sky", "quarra_Env_Default");
    sky.bound->set("reflectionLatlong", scene->textures().image2D(generateSky(), Wrap::Periodic));
    scene->environment = scene->findShader("sky");
  }
  try {
    scene->setObjects(std::move(contents.objects));
  } catch (const GeometryError& e) {
    throw GltfError(path + ": " + e.what());
  }
  return scene;
}

}  // namespace tarvo::render
