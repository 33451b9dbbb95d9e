// glTF models: the generated sample read with its camera, lights and mapped materials; broken
// models refused whole with the file and the fault named; scene-file overrides; the load time of
// a million triangles.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "host/render/gltf_scene.h"
#include "host/render/renderer.h"
#include "host/render/scene_file.h"

namespace tarvo::render {
namespace {

const std::string kData = TARVO_RENDERER_TEST_DATA;

std::shared_ptr<const host::PluginLibrary> library() {
  static auto loaded =
      std::make_shared<const host::PluginLibrary>(host::PluginLibrary::defaultPath());
  return loaded;
}

// One folder per process: other checkouts may run these tests at the same time.
std::string folder() {
  const std::string f = ::testing::TempDir() + "/tarvo_gltf_" + std::to_string(getpid());
  std::filesystem::create_directories(f);
  return f;
}

void write(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
  const size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

float shaderFloat(const Scene& scene, const std::string& shader, const char* parameter) {
  const int index = scene.findShader(shader);
  EXPECT_GE(index, 0) << shader;
  if (index < 0) return -1.0f;
  return scene.shader(index).bound->get<float>(parameter, host::ParamType::Float);
}

// One triangle, its buffer beside it: three float positions (36 bytes), then the indices 0, 1, 2
// and a stray 9 (8 bytes).
const char* kTriangle = R"({
  "asset": {"version": "2.0"},
  "scenes": [{"nodes": [0]}],
  "nodes": [{"mesh": 0}],
  "meshes": [{"primitives": [{"attributes": {"POSITION": 0}, "indices": 1, "material": 0}]}],
  "materials": [{"name": "Paint", "pbrMetallicRoughness": {"metallicFactor": 0}}],
  "buffers": [{"uri": "triangle.bin", "byteLength": 44}],
  "bufferViews": [{"buffer": 0, "byteOffset": 0, "byteLength": 36},
                  {"buffer": 0, "byteOffset": 36, "byteLength": 8}],
  "accessors": [
    {"bufferView": 0, "componentType": 5126, "count": 3, "type": "VEC3",
     "min": [0, 0, 0], "max": [1, 1, 0]},
    {"bufferView": 1, "byteOffset": 0, "componentType": 5123, "count": 3, "type": "SCALAR"}]
})";

void writeTriangleBuffer(const std::string& path) {
  const float positions[9] = {0, 0, 0, 1, 0, 0, 0, 1, 0};
  const uint16_t indices[4] = {0, 1, 2, 9};
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(positions), sizeof positions);
  out.write(reinterpret_cast<const char*>(indices), sizeof indices);
}

// The sample, read directly: the glTF camera (0, 3, 8) looking down by atan(2.4 / 8), turned
// z-up ((x, y, z) -> (x, -z, y)), sits at (0, -8, 3); the spot aims straight down; the materials
// go to the classes of the mapping table with the values derived from their factors.
TEST(Gltf, SampleBringsItsCameraLightsAndMappedMaterials) {
  auto scene = loadScene(kData + "/scenes/sample.gltf", library());
  EXPECT_NEAR(scene->camera.position.x, 0.0f, 1e-5f);
  EXPECT_NEAR(scene->camera.position.y, -8.0f, 1e-5f);
  EXPECT_NEAR(scene->camera.position.z, 3.0f, 1e-5f);
  EXPECT_NEAR(scene->camera.fovY, 0.6f * 180.0f / 3.14159265f, 1e-3f);
  // 640 / (4 / 3)
  EXPECT_EQ(scene->settings.height, 480);
  // A side given alone keeps the camera's 4 : 3 (320 / (4 / 3), 300 x 4 / 3); a ratio making a
  // side of 2^32 pixels or of none is refused, never narrowed.
  RenderRequest request;
  request.height = 300;
  applyRequest(*scene, request, Limits());
  EXPECT_EQ(scene->settings.width, 400);
  request = RenderRequest();
  request.width = 320;
  applyRequest(*scene, request, Limits());
  EXPECT_EQ(scene->settings.height, 240);
  for (const double ratio : {320.0 / 4294967296.0, 4294967296.0}) {
    scene->camera.aspectRatio = ratio;
    EXPECT_THROW(applyRequest(*scene, request, Limits()), RenderRefused);
  }

  ASSERT_EQ(scene->lights.size(), 2u);
  const Light& spot = scene->lights[scene->lights[0].name == "spot" ? 0 : 1];
  EXPECT_EQ(spot.name, "spot");
  EXPECT_EQ(scene->shader(spot.shader).className(), "qvSpotLight");
  EXPECT_NEAR(spot.axis.z, -1.0f, 1e-5f);
  EXPECT_NEAR(shaderFloat(*scene, "spot", "cosPenumbra"), std::cos(0.3f), 1e-6f);

  EXPECT_EQ(scene->shader(scene->findShader("Gold")).className(), "quarra_Mtl_Metal");
  EXPECT_EQ(scene->shader(scene->findShader("Checker")).className(), "quarra_Mtl_Ward");
  EXPECT_EQ(scene->shader(scene->findShader("RedPlastic")).className(), "quarra_Mtl_Ward");
  EXPECT_EQ(scene->shader(scene->findShader("Glass")).className(), "quarra_Mtl_Dielectric");
  // Roughness 0.35 squared; Schlick's ((1.5 - 1) / (1.5 + 1))^2 for the index 1.5.
  EXPECT_NEAR(shaderFloat(*scene, "Gold", "u_roughValue"), 0.1225f, 1e-6f);
  EXPECT_NEAR(shaderFloat(*scene, "Glass", "u_reflectance"), 0.04f, 1e-6f);
  EXPECT_NEAR(shaderFloat(*scene, "Glass", "u_ior"), 1.5f, 1e-6f);

  // Floor 2, ball 16 x 24 x 2, box 12, the glass ball sharing the ball's data 768.
  ASSERT_EQ(scene->geometry().objects().size(), 4u);
  size_t triangles = 0;
  for (const Object& o : scene->geometry().objects())
    triangles += o.mesh->triangleCount();
  EXPECT_EQ(triangles, 2u + 768u + 12u + 768u);
  EXPECT_TRUE(scene->warnings.empty());
}

// A broken model is refused whole, naming the model file and the fault; a material extension
// the renderer does not read, but the model does not require, is a warning and the material is
// mapped without it.
TEST(Gltf, BrokenModelsGiveAClearError) {
  const std::string f = folder();
  writeTriangleBuffer(f + "/triangle.bin");
  struct Case {
    const char* what;
    std::string text;
    std::string mentions;  // "" when the model loads
    const char* limit = "items=100000";
  };
  const std::string deep = std::string(15000, '[') + std::string(15000, ']');
  // Two nodes place the one mesh, whose two primitives make four objects; the light, placed
  // by both nodes, two lights.
  const std::string twice = replaced(
      replaced(
          replaced(kTriangle, R"("nodes": [{"mesh": 0}])",
                   R"("nodes": [{"mesh": 0, "extensions": {"KHR_lights_punctual": {"light": 0}}},
                                              {"mesh": 0, "extensions": {"KHR_lights_punctual": {"light": 0}}}])"),
          R"("scenes": [{"nodes": [0]}])",
          R"("extensions": {"KHR_lights_punctual": {"lights": [{"type": "point"}]}},
                           "scenes": [{"nodes": [0, 1]}])"),
      R"("material": 0}]}])", R"("material": 0}, {"attributes": {"POSITION": 0}}]}])");
  const Case cases[] = {
      {"valid", kTriangle, ""},
      {"missing buffer", replaced(kTriangle, "triangle.bin", "gone.bin"), "gone.bin"},
      {"accessor past its view",
       replaced(kTriangle, R"("count": 3, "type": "VEC3")", R"("count": 4, "type": "VEC3")"),
       "accessor 0 (mesh 0 ('') primitive 0 POSITION) holds 4 elements of 12 bytes from byte 0, "
       "past the end of its buffer view 0 (36 bytes)"},
      {"missing accessor", replaced(kTriangle, R"("POSITION": 0)", R"("POSITION": 7)"),
       "names accessor 7, and the model has 2"},
      {"index beyond the vertices",
       replaced(kTriangle, R"("byteOffset": 0, "componentType": 5123)",
                R"("byteOffset": 2, "componentType": 5123)"),
       "names vertex 9 of 3"},
      {"integer positions",
       replaced(kTriangle, R"("componentType": 5126, "count": 3)",
                R"("componentType": 5123, "count": 3)"),
       "POSITION takes floats"},
      {"unknown required extension",
       replaced(kTriangle, R"("asset")",
                R"("extensionsUsed": ["KHR_draco_mesh_compression"],
                   "extensionsRequired": ["KHR_draco_mesh_compression"], "asset")"),
       "requires the extension KHR_draco_mesh_compression"},
      {"unknown optional material extension",
       replaced(kTriangle, R"("name": "Paint",)",
                R"("name": "Paint", "extensions": {"KHR_materials_sheen": {}},)"),
       ""},
      {"node cycle", replaced(kTriangle, R"({"mesh": 0})", R"({"mesh": 0, "children": [0]})"),
       "node 0 is reached twice"},
      {"not glTF", "{\"asset\": ", "cannot read the model"},
      {"image past its buffer",
       replaced(replaced(kTriangle, R"("accessors")",
                         R"("images": [{"bufferView": 2, "mimeType": "image/png"}], "accessors")"),
                R"({"buffer": 0, "byteOffset": 36, "byteLength": 8}])",
                R"({"buffer": 0, "byteOffset": 36, "byteLength": 8},
                   {"buffer": 0, "byteOffset": 40, "byteLength": 4000}])"),
       "buffer view 2, which runs past the end of its buffer"},
      {"empty data-URI image",
       replaced(kTriangle, R"("accessors")",
                R"("images": [{"uri": "data:image/png;base64,"}], "accessors")"),
       "cannot read the model"},
      // The JSON is held to the scene files' ceilings before the glTF reader builds it (whose
      // recursion 15 000 levels deep overflowed the stack), lists to the item and light ceilings.
      {"deep nesting in extras",
       replaced(kTriangle, R"("version": "2.0"})", R"("version": "2.0", "extras": )" + deep + "}"),
       "nest deeper here than the ceiling of 64"},
      {"more nodes than items", twice, "nodes hold more entries than the ceiling of 1", "items=1"},
      {"more lights than the ceiling",
       replaced(twice, R"([{"type": "point"}])", R"([{"type": "point"}, {"type": "point"}])"),
       "KHR_lights_punctual/lights hold more entries than the ceiling of 1", "lights=1"},
      {"placed primitives beyond items", twice, "place more meshes", "items=3"},
      {"placed lights beyond the ceiling", twice, "place more lights", "lights=1"},
      {"glTF 1.0", replaced(kTriangle, R"("version": "2.0")", R"("version": "1.0")"),
       "asset.version is '1.0'; this renderer reads glTF 2.x"},
      {"a later glTF required",
       replaced(kTriangle, R"("version": "2.0")", R"("version": "2.1", "minVersion": "2.1")"),
       "needs glTF 2.1"},
      {"default scene out of range", replaced(kTriangle, R"("scenes")", R"("scene": 3, "scenes")"),
       "the default scene is 3, and the model has 1"},
      {"a billion vertices in no buffer",
       replaced(kTriangle, R"("bufferView": 0, "componentType": 5126, "count": 3)",
                R"("componentType": 5126, "count": 1000000000)"),
       "more than three per triangle of the ceiling"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = f + "/model.gltf";
    write(path, c.text);
    std::string error;
    std::unique_ptr<Scene> scene;
    Limits limits;
    limits.set(c.limit);
    try {
      scene = loadScene(path, library(), limits);
    } catch (const SceneError& e) {
      error = e.what();
    }
    if (c.mentions.empty()) {
      EXPECT_EQ(error, "");
      ASSERT_TRUE(scene);
      EXPECT_EQ(scene->geometry().objects().size(), 1u);
      continue;
    }
    EXPECT_EQ(error.rfind(path + ":", 0), 0u) << error;
    EXPECT_NE(error.find(c.mentions), std::string::npos) << error;
  }
}

// A binary model carries its JSON and its buffer in one file; one of another version, or whose
// BIN chunk claims more bytes than the file holds (the reader copied past its buffer), is refused.
TEST(Gltf, BinaryModelsCarryTheirBuffer) {
  const std::string f = folder();
  writeTriangleBuffer(f + "/triangle.bin");
  std::string json = replaced(kTriangle, R"("uri": "triangle.bin", )", "");
  json.resize((json.size() + 3) / 4 * 4, ' ');
  std::ifstream in(f + "/triangle.bin", std::ios::binary);
  const std::string bin((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const auto word = [](size_t v) {
    const auto w = static_cast<uint32_t>(v);
    return std::string(reinterpret_cast<const char*>(&w), 4);
  };
  struct Case {
    uint32_t version;
    size_t binClaim;       // the BIN chunk's length as its header gives it
    const char* mentions;  // "" when the model loads
  };
  const Case cases[] = {
      {2, bin.size(), ""},
      {1, bin.size(), "has version 1; this renderer reads version 2"},
      {2, bin.size() + 8, "BIN chunk claims 52 bytes, and the file holds 44"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mentions);
    write(f + "/model.glb", "glTF" + word(c.version) + word(12 + 8 + json.size() + 8 + bin.size()) +
                                word(json.size()) + "JSON" + json + word(c.binClaim) +
                                std::string("BIN\0", 4) + bin);
    try {
      auto scene = loadScene(f + "/model.glb", library());
      EXPECT_STREQ(c.mentions, "");
      ASSERT_EQ(scene->geometry().objects().size(), 1u);
      EXPECT_EQ(scene->geometry().objects()[0].mesh->triangleCount(), 1u);
    } catch (const SceneError& e) {
      EXPECT_NE(std::string(e.what()).find(c.mentions), std::string::npos) << e.what();
      EXPECT_STRNE(c.mentions, "");
    }
  }
}

// A scene file places the model: a string replaces a glTF material by a scene shader, an object
// changes its class and parameters, and a name the model lacks is an error at its key.
TEST(Gltf, SceneFilesOverrideMaterialsByName) {
  const std::string f = folder();
  writeTriangleBuffer(f + "/triangle.bin");
  write(f + "/model.gltf", kTriangle);
  const auto load = [&](const std::string& materials) {
    const std::string text =
        R"({"shaders": {"red": {"class": "quarra_Mtl_Unlit"}},
            "objects": [{"name": "m", "type": "gltf", "file": "model.gltf",
                         "transform": {"translate": [0, 0, 2]}, "materials": )" +
        materials + "}]}";
    return loadSceneText(text, "scene.json", f, library());
  };
  {
    auto scene = load(R"({"Paint": "red"})");
    EXPECT_EQ(scene->geometry().objects()[0].material, scene->findShader("red"));
    // glTF y = 1 is the renderer's z = 1, above the translation's 2.
    EXPECT_NEAR(scene->geometry().objects()[0].transform.point(float3(0, 1, 0)).z, 3.0f, 1e-6f);
  }
  {
    auto scene = load(R"({"Paint": {"class": "quarra_Mtl_Metal",
                                     "parameters": {"u_roughValue": 0.3}}})");
    const int paint = scene->findShader("m/Paint");
    ASSERT_GE(paint, 0);
    EXPECT_EQ(scene->shader(paint).className(), "quarra_Mtl_Metal");
    EXPECT_FLOAT_EQ(shaderFloat(*scene, "m/Paint", "u_roughValue"), 0.3f);
  }
  const struct {
    const char* materials;
    const char* expected;
  } errors[] = {
      {R"({"Paitn": "red"})",
       "scene.json:3:79: object 'm': the model has no material 'Paitn'; "
       "did you mean 'Paint'?"},
      {R"({"Paint": {"class": "qvPointLight"}})",
       "material 'Paint': the class qvPointLight is a light, not a material"},
      {R"({"Paint": {"parameters": {"u_roughnes": 0.3}}})", "has no parameter 'u_roughnes'"},
  };
  for (const auto& e : errors) {
    SCOPED_TRACE(e.materials);
    std::string error;
    try {
      load(e.materials);
    } catch (const SceneError& thrown) {
      error = thrown.what();
    }
    EXPECT_NE(error.find(e.expected), std::string::npos) << error;
  }
}

// The program renders a model given by name, and refuses a broken one without writing an image.
TEST(Gltf, ProgramRefusesABrokenModelWithoutAnImage) {
  const std::string f = folder();
  writeTriangleBuffer(f + "/triangle.bin");
  write(f + "/broken.gltf", replaced(kTriangle, R"("POSITION": 0)", R"("POSITION": 7)"));
  const std::string image = f + "/broken.png";
  std::filesystem::remove(image);
  const std::string command = std::string(TARVO_RENDER_PROGRAM) + " " + f +
                              "/broken.gltf -q -W 8 -H 8 -s 1 -o " + image + " 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string output;
  char buffer[256];
  while (fgets(buffer, sizeof buffer, pipe))
    output += buffer;
  const int status = pclose(pipe);
  EXPECT_EQ(WEXITSTATUS(status), 1) << output;
  EXPECT_NE(output.find("broken.gltf: "), std::string::npos) << output;
  EXPECT_FALSE(std::filesystem::exists(image));
}

// A grid of 709 x 709 vertices, 1 002 528 triangles, with normals and texture coordinates,
// written at run time.
TEST(Gltf, AMillionTrianglesLoadInUnderTwoSeconds) {
  const std::string f = folder();
  const uint32_t n = 709;
  const size_t vertices = size_t{n} * n;
  std::vector<float> positions, normals, uv;
  std::vector<uint32_t> indices;
  positions.reserve(vertices * 3);
  for (uint32_t y = 0; y < n; ++y) {
    for (uint32_t x = 0; x < n; ++x) {
      const float u = static_cast<float>(x) / (n - 1), v = static_cast<float>(y) / (n - 1);
      positions.insert(positions.end(), {u, 0.05f * std::sin(20.0f * u), v});
      normals.insert(normals.end(), {0.0f, 1.0f, 0.0f});
      uv.insert(uv.end(), {u, v});
    }
  }
  for (uint32_t y = 0; y + 1 < n; ++y) {
    for (uint32_t x = 0; x + 1 < n; ++x) {
      const uint32_t a = y * n + x, b = a + 1, c = a + n, d = c + 1;
      indices.insert(indices.end(), {a, c, b, b, c, d});
    }
  }
  const size_t pBytes = positions.size() * 4, nBytes = normals.size() * 4, uBytes = uv.size() * 4,
               iBytes = indices.size() * 4;
  {
    std::ofstream out(f + "/grid.bin", std::ios::binary);
    out.write(reinterpret_cast<const char*>(positions.data()),
              static_cast<std::streamsize>(pBytes));
    out.write(reinterpret_cast<const char*>(normals.data()), static_cast<std::streamsize>(nBytes));
    out.write(reinterpret_cast<const char*>(uv.data()), static_cast<std::streamsize>(uBytes));
    out.write(reinterpret_cast<const char*>(indices.data()), static_cast<std::streamsize>(iBytes));
  }
  const auto view = [](size_t offset, size_t length) {
    return R"({"buffer": 0, "byteOffset": )" + std::to_string(offset) + R"(, "byteLength": )" +
           std::to_string(length) + "}";
  };
  const std::string count = std::to_string(vertices);
  write(f + "/grid.gltf",
        R"({"asset": {"version": "2.0"}, "scenes": [{"nodes": [0]}], "nodes": [{"mesh": 0}],
            "meshes": [{"primitives": [{"attributes": {"POSITION": 0, "NORMAL": 1,
                                                      "TEXCOORD_0": 2}, "indices": 3}]}],
            "buffers": [{"uri": "grid.bin", "byteLength": )" +
            std::to_string(pBytes + nBytes + uBytes + iBytes) + R"(}],
            "bufferViews": [)" +
            view(0, pBytes) + ", " + view(pBytes, nBytes) + ", " + view(pBytes + nBytes, uBytes) +
            ", " + view(pBytes + nBytes + uBytes, iBytes) + R"(],
            "accessors": [
              {"bufferView": 0, "componentType": 5126, "count": )" +
            count + R"(, "type": "VEC3", "min": [0, -1, 0], "max": [1, 1, 1]},
              {"bufferView": 1, "componentType": 5126, "count": )" +
            count + R"(, "type": "VEC3"},
              {"bufferView": 2, "componentType": 5126, "count": )" +
            count + R"(, "type": "VEC2"},
              {"bufferView": 3, "componentType": 5125, "count": )" +
            std::to_string(indices.size()) + R"(, "type": "SCALAR"}]})");
  // The model read into meshes (what a glTF file costs), then the whole scene with its
  // acceleration structure (what any mesh of that size costs); only the first is bounded here, the
  // second is printed.
  Scene scene(library());
  const auto start = std::chrono::steady_clock::now();
  GltfContents contents = addGltfModel(scene, f + "/grid.gltf", GltfPlacement(), Limits());
  const auto read = std::chrono::steady_clock::now();
  ASSERT_EQ(contents.objects.size(), 1u);
  EXPECT_EQ(contents.objects[0].mesh->triangleCount(), size_t{1002528});
  EXPECT_EQ(contents.triangles, 1002528);
  scene.setObjects(std::move(contents.objects));
  const auto built = std::chrono::steady_clock::now();
  const double seconds = std::chrono::duration<double>(read - start).count();
  std::printf("1 002 528 glTF triangles: read in %.2f s, acceleration structure %.2f s more\n",
              seconds, std::chrono::duration<double>(built - read).count());
  EXPECT_LT(seconds, 2.0);
  std::filesystem::remove(f + "/grid.bin");
}

}  // namespace
}  // namespace tarvo::render
