// Scene files: every error names the file, line and column, the shader, object or light and
// the parameter, and suggests the nearest valid name.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/render/scene_file.h"

namespace tarvo::render {
namespace {

std::shared_ptr<const host::PluginLibrary> library() {
  static auto loaded =
      std::make_shared<const host::PluginLibrary>(host::PluginLibrary::defaultPath());
  return loaded;
}

std::string loadError(const std::string& text) {
  try {
    loadSceneText(text, "scene.json", "", library());
  } catch (const SceneError& e) {
    return e.what();
  }
  return "(no error)";
}

// Each text puts the offending token at a place counted by hand (lines and columns from 1).
TEST(SceneFile, ErrorsPointAtTheTextAndSuggestNames) {
  struct Case {
    const char* what;
    std::string text;
    std::string expected;
  };
  const Case cases[] = {
      {"unknown class",
       "{\"shaders\": {\n"
       "  \"a\": {\"class\": \"quarra_Mtl_Unlt\"}}}",
       // The class name starts at column 18 of line 2.
       "scene.json:2:18: shader 'a': there is no shader class 'quarra_Mtl_Unlt'; did you mean "
       "'quarra_Mtl_Unlit'"},
      {"unknown parameter",
       "{\"shaders\": {\"a\": {\"class\": \"quarra_Mtl_Unlit\",\n"
       "  \"parameters\": {\"diffuseColour\": [1, 0, 0]}}}}",
       // The key starts at column 18 of line 2.
       "scene.json:2:18: shader 'a' (quarra_Mtl_Unlit) has no parameter 'diffuseColour'; did you "
       "mean 'diffuseColor'"},
      {"colour with two numbers",
       "{\"shaders\": {\"a\": {\"class\": \"quarra_Mtl_Unlit\",\n"
       "  \"parameters\": {\"diffuseColor\": [1, 0]}}}}",
       "scene.json:2:34: shader 'a' (quarra_Mtl_Unlit), parameter 'diffuseColor': expected a "
       "color (an array of 3 numbers), got an array of 2 values"},
      {"int given a fraction",
       "{\"shaders\": {\"s\": {\"class\": \"quarra_Mtl_Solid\",\n"
       "  \"parameters\": {\"patchState\": 1.5}}}}",
       "scene.json:2:32: shader 's' (quarra_Mtl_Solid), parameter 'patchState': expected an int "
       "(a whole number), got the number 1.5"},
      {"bool given a number",
       "{\"shaders\": {\"p\": {\"class\": \"quarra_Mtl_ShadowPlane\",\n"
       "  \"parameters\": {\"draw_mere_shadow\": 1}}}}",
       "parameter 'draw_mere_shadow': expected a bool (true or false), got the number 1"},
      {"float given a string",
       "{\"shaders\": {\"p\": {\"class\": \"quarra_Mtl_ShadowPlane\",\n"
       "  \"parameters\": {\"shadowIntensity\": \"high\"}}}}",
       "expected a float (one number), got the string \"high\""},
      {"not JSON",
       "{\"camera\": {\"fov\": 30\n"
       "  \"position\": [0, 0, 1]}}",
       "scene.json:2:3: this is not valid JSON"},
      {"unknown section", "{\"objets\": []}",
       "scene.json:1:2: the scene has no setting 'objets'; did you mean 'objects'"},
      {"material that is a light",
       "{\"shaders\": {\"key\": {\"class\": \"qvPointLight\"}},\n"
       " \"objects\": [{\"name\": \"ball\", \"type\": \"sphere\", \"material\": \"key\"}]}",
       "scene.json:2:61: object 'ball': shader 'key' is a light, not a material"},
      {"unknown material name",
       "{\"shaders\": {\"gold\": {\"class\": \"quarra_Mtl_Solid\"}},\n"
       " \"objects\": [{\"name\": \"ball\", \"type\": \"sphere\", \"material\": \"glod\"}]}",
       "object 'ball': there is no shader 'glod'; did you mean 'gold'"},
      {"unknown shape", "{\"objects\": [{\"type\": \"sphre\"}]}",
       "scene.json:1:23: object '#0' type is sphere, plane, box, mesh or gltf, not 'sphre'; did "
       "you "
       "mean 'sphere'"},
      {"missing mesh file",
       "{\"objects\": [{\"name\": \"bunny\", \"type\": \"mesh\", \"file\": \"nowhere.obj\"}]}",
       "object 'bunny': cannot read the mesh 'nowhere.obj'"},
      {"missing texture file",
       "{\"shaders\": {\"ao\": {\"class\": \"quarra_Mtl_AmbientOnly\",\n"
       "  \"parameters\": {\"ambientOcclusionTexture\": \"nowhere.png\"}}}}",
       "scene.json:2:45: shader 'ao' (quarra_Mtl_AmbientOnly), parameter "
       "'ambientOcclusionTexture': cannot read the image 'nowhere.png'"},
      {"render mode", "{\"settings\": {\"mode\": \"paths\"}}",
       "setting 'mode' is 'shade' or 'path', not 'paths'; did you mean 'path'"},
      {"film", "{\"settings\": {\"film\": \"transparnt\"}}",
       "not 'transparnt'; did you mean 'transparent'"},
      {"the film's old switch", "{\"settings\": {\"opaque\": false}}",
       "images are opaque unless \"film\" is \"transparent\""},
      {"clamp", "{\"settings\": {\"clamp\": 0}}", "setting 'clamp' is \"off\" or a positive"},
      {"light without a light shader",
       "{\"shaders\": {\"m\": {\"class\": \"quarra_Mtl_Solid\"}},\n"
       " \"lights\": [{\"name\": \"sun\", \"shader\": \"m\"}]}",
       "light 'sun': shader 'm' is a material, not a light"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string error = loadError(c.text);
    EXPECT_NE(error.find(c.expected), std::string::npos) << error;
  }
}

// A scene that loads but would not show what its author meant warns, at the place of the value
// (or of the shader whose default it is), with the value and what to set instead. Each case
// changes one part of a lit red ball in view, which warns about nothing.
TEST(SceneFile, WarningsNameThePlaceTheValueAndTheFix) {
  const std::string red =
      R"("red": {"class": "quarra_Mtl_Ward", "parameters": {"u_diffuseColor": [0.8, 0.1, 0.1], )";
  const std::string lamp = R"("lamp": {"class": "qvPointLight", "parameters": )";
  struct Case {
    const char* what;
    std::string red, lamp, more, lookAt, expected;  // expected "": no warning at all
  };
  const std::string lit = lamp + R"({"attenuationFactors": [20, 2, 0]}})";
  const auto repeated = [](const std::string& text, int times) {
    std::string all;
    for (int i = 0; i < times; ++i)
      all += text;
    return all;
  };
  const std::string curved = red + R"("u_brdfCurvePower": 5}})";
  const Case cases[] = {
      {"nothing to say", curved, lit, "", "[0, 0, 1]", ""},
      // The light sits 6.4 from the ball: twice that rounds up to 20. Its shader's key is at
      // column 125 of line 2.
      {"light with the default falloff", curved, lamp + R"({"color": [1, 1, 1]}})", "", "[0, 0, 1]",
       "scene.json:2:125: shader 'lamp' (qvPointLight), used by light 'key', lights nothing: "
       "attenuationFactors (1, 0, 0) gives black at every distance (the falloff is 1 - (d / "
       "a)^b, and b = 0 makes it 0 everywhere); set \"attenuationFactors\": [20, 2, 0]"},
      // (d / 0)^2 is infinite at every distance.
      {"spot whose reach is 0", curved,
       R"("lamp": {"class": "qvSpotLight", "parameters": {"attenuationFactors": [0, 2, 1]}})", "",
       "[0, 0, 1]", "attenuationFactors (0, 2, 1) gives black at every distance (the falloff is"},
      {"Ward with the default curve", red.substr(0, red.size() - 2) + "}}", lit, "", "[0, 0, 1]",
       "scene.json:2:14: shader 'red' (quarra_Mtl_Ward): u_brdfCurvePower 0 makes the "
       "reflectivity u_brdf90Reflectivity (1) at every angle, so the surface is a mirror and its "
       "u_diffuseColor (0.8, 0.1, 0.1) never shows; set \"u_brdfCurvePower\": 5 and "
       "\"u_brdf00Reflectivity\": 0.04"},
      // F = 1 x 0.5 leaves half the diffuse colour.
      {"Ward whose curve is scaled down", red + R"("u_reflectivity": 0.5}})", lit, "", "[0, 0, 1]",
       ""},
      {"metal reflecting fully facing and grazing",
       R"("red": {"class": "quarra_Mtl_Metal", "parameters": {"u_diffuseColor": [0.8, 0.1, 0.1], )"
       R"("u_brdfCurvePower": 5, "u_brdf00Reflectivity": 1}})",
       lit, "", "[0, 0, 1]",
       "scene.json:2:148: shader 'red' (quarra_Mtl_Metal): u_brdf00Reflectivity 1 and "
       "u_brdf90Reflectivity 1 make the reflectivity 1 at every angle"},
      {"colour beyond [0, 1]",
       R"("red": {"class": "quarra_Mtl_Ward", "parameters": {"u_diffuseColor": [1.2, 0.5, -0.1], )"
       R"("u_brdfCurvePower": 5}})",
       lit, "", "[0, 0, 1]",
       "u_diffuseColor (1.2, 0.5, -0.1) lies outside its range [0, 1] (per component); set a "
       "value within it, such as [1, 0.5, 0]"},
      {"open end of a range", red + R"("u_brdfCurvePower": 5, "u_anisotropyValue": 0}})", lit, "",
       "[0, 0, 1]", "u_anisotropyValue 0 lies outside its range (0, inf); set a value within it\n"},
      {"mode number not listed", red + R"("u_brdfCurvePower": 5, "maskingMode": 7}})", lit, "",
       "[0, 0, 1]", "maskingMode 7 is none of its values (-1 off | 0 constant"},
      {"object without a material", curved, lit, R"(, {"name": "box", "type": "box"})", "[0, 0, 1]",
       "scene.json:3:108: object 'box' has no \"material\": no shader runs on it, and the "
       "renderer draws it in a flat grey by the viewing angle (black in path mode); give it a "
       "\"material\" (the scene's materials: 'red')"},
      // 70 objects without a material: 64 warnings are told.
      {"warnings past the ceiling", curved, lit, repeated(R"(, {"type": "box"})", 70), "[0, 0, 1]",
       "scene.json: 6 more warnings are left out; mend these first\n"},
      {"camera looking away", curved, lit, "", "[0, -20, 1]",
       "scene.json:1:2: the camera at [0, -6, 1] looking at [0, -20, 1] sees none of the "
       "scene's 1 object, only empty space; set the camera's \"lookAt\": [0, 0, 1]"},
  };
  const auto warningsOf = [](const std::string& text) {
    std::string all;
    const auto scene = loadSceneText(text, "scene.json", "", library());
    for (const std::string& w : scene->warnings)
      all += w + "\n";
    return all;
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string all =
        warningsOf("{\"camera\": {\"position\": [0, -6, 1], \"lookAt\": " + c.lookAt + "},\n" +
                   " \"shaders\": {" + c.red + ", " + c.lamp + "},\n" +
                   R"( "objects": [{"name": "ball", "type": "sphere", "material": "red", )" +
                   R"("transform": {"translate": [0, 0, 1]}})" + c.more + "],\n" +
                   R"( "lights": [{"name": "key", "shader": "lamp", "position": [-3, -4, 5]}]})");
    if (c.expected.empty()) {
      EXPECT_EQ(all, "");
    } else {
      EXPECT_NE(all.find(c.expected), std::string::npos) << all;
    }
  }
  EXPECT_EQ(warningsOf("{}"),
            "scene.json: the scene has no objects and no environment: the camera sees nothing "
            "and the image is empty; add \"objects\" (and an \"environment\" for the "
            "background)\n");
}

// Values land in the declared members: numbers, colours, bools; matrices in stored order.
TEST(SceneFile, ParametersAreBoundByTheirDeclaredNames) {
  auto scene = loadSceneText(
      "{\"shaders\": {\"u\": {\"class\": \"quarra_Mtl_Unlit\", \"parameters\": {\"diffuseColor\": "
      "[0.25, 0.5, 0.75]}},\n"
      "  \"p\": {\"class\": \"quarra_Mtl_ShadowPlane\", \"parameters\": {\"shadowIntensity\": 0.3, "
      "\"draw_mere_shadow\": true}}},\n"
      " \"clippingPlanes\": [[0, 0, 1, 0]],\n"
      " \"objects\": [{\"type\": \"box\", \"size\": [2, 4, 6], \"material\": \"u\",\n"
      "   \"transform\": {\"matrix\": [1,0,0,0, 0,1,0,0, 0,0,1,0, 5,6,7,1]}}]}",
      "scene.json", "", library());
  const ShaderInstance& unlit = scene->shader(scene->findShader("u"));
  const pvx::float3 color = unlit.bound->get<pvx::float3>("diffuseColor", host::ParamType::Color);
  EXPECT_EQ(color.y, 0.5f);
  const ShaderInstance& plane = scene->shader(scene->findShader("p"));
  EXPECT_EQ(plane.bound->get<float>("shadowIntensity", host::ParamType::Float), 0.3f);
  EXPECT_TRUE(plane.bound->get<bool>("draw_mere_shadow", host::ParamType::Bool));
  const Object& box = scene->geometry().objects()[0];
  // Stored order: the translation is m[12..14].
  EXPECT_EQ(box.transform.point({0, 0, 0}).z, 7.0f);
  EXPECT_EQ(box.halfSize.y, 2.0f);
}

// A picture written as texels: rows of `width` from the top down, sampled at texel centres.
TEST(SceneFile, TexelPicturesAreRowsFromTheTopDown) {
  auto scene = loadSceneText(
      "{\"shaders\": {\"w\": {\"class\": \"quarra_Mtl_Ward\", \"parameters\": "
      "{\"u_diffuseMap\": {\"texels\": [[1, 0, 0, 1], [0, 1, 0, 1], [0, 0, 1, 1], [1, 1, 1, 1]], "
      "\"width\": 2, \"wrap\": \"clamp\"}}}}}",
      "scene.json", "", library());
  const ShaderInstance& ward = scene->shader(scene->findShader("w"));
  const auto* texture =
      ward.bound->get<pvx::Texture2D>("u_diffuseMap", host::ParamType::Texture2D).object;
  ASSERT_NE(texture, nullptr);
  const auto at = [&](float s, float t) {
    pvx::float4 texel;
    const pvx::float2 st(s, t);
    const_cast<pvx::ITexture2D*>(texture)->sample(&texel, &st);
    return std::vector<float>{texel.x, texel.y, texel.z, texel.w};
  };
  // (0, 0) is the lower-left corner: the second row's first texel.
  EXPECT_EQ(at(0.25f, 0.25f), (std::vector<float>{0, 0, 1, 1}));
  EXPECT_EQ(at(0.75f, 0.75f), (std::vector<float>{0, 1, 0, 1}));
  EXPECT_NE(loadError("{\"shaders\": {\"w\": {\"class\": \"quarra_Mtl_Ward\", \"parameters\": "
                      "{\"u_diffuseMap\": {\"texels\": [[1, 0, 0, 1]], \"width\": 2}}}}}")
                .find("width must be a whole number dividing the 1 texels"),
            std::string::npos);
}

}  // namespace
}  // namespace tarvo::render
