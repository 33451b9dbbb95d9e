// The renderer's host behaviour checked with host-side shaders: ray kinds seen by the
// environment, light records, shadow transmission through materials, the path tracer's furnace
// and determinism across thread counts.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include <OpenImageIO/imagebuf.h>
#include <OpenImageIO/imagebufalgo.h>

#include "host/render/renderer.h"
#include "host/render/scene_file.h"
#include "test_shaders.h"

namespace tarvo::render {
namespace {

using test::FunctionEnvironment;
using test::FunctionLight;
using test::FunctionMaterial;

std::shared_ptr<const host::PluginLibrary> library() {
  static auto loaded =
      std::make_shared<const host::PluginLibrary>(host::PluginLibrary::defaultPath());
  return loaded;
}

// A scene with a camera at (0, -5, 0) looking along +y at a unit sphere, small image.
std::unique_ptr<Scene> sphereScene(FunctionMaterial* material, FunctionEnvironment* environment,
                                   int size = 8) {
  auto scene = std::make_unique<Scene>(library());
  scene->camera.position = {0, -5, 0};
  scene->camera.target = {0, 0, 0};
  scene->camera.fovY = 10.0f;  // the sphere fills the image
  scene->settings.width = scene->settings.height = size;
  scene->settings.samples = 1;
  std::vector<Object> objects;
  if (material) {
    scene->addShader("surface", pvx::ShaderPtr(material), "testMaterial");
    Object o;
    o.kind = ShapeKind::Sphere;
    o.material = 0;
    objects.push_back(o);
  }
  if (environment) {
    scene->addShader("environment", pvx::ShaderPtr(environment), "testEnvironment");
    scene->environment = scene->findShader("environment");
  }
  scene->setObjects(std::move(objects));
  return scene;
}

// Two wide horizontal planes, the second `step` above the first (below when negative), of
// materials 0 and `secondMaterial`.
std::vector<Object> twoPlanes(float step, int secondMaterial) {
  std::vector<Object> objects(2);
  for (int i = 0; i < 2; ++i) {
    Object& o = objects[static_cast<size_t>(i)];
    o.kind = ShapeKind::Plane;
    o.halfSize = float3(100.0f, 100.0f, 0.0f);
    o.material = i == 0 ? 0 : secondMaterial;
    o.transform = Transform::translate({0, 0, step * static_cast<float>(i)});
  }
  return objects;
}

// Red of the four pixels at the centre of an 8 x 8 film, which see only the sphere.
float centreMean(const Film& film) {
  return (film.at(3, 3).x + film.at(4, 3).x + film.at(3, 4).x + film.at(4, 4).x) / 4.0f;
}

FunctionEnvironment* kindReportingEnvironment() {
  // Answers (rayKind, viewThrough, 0) with alpha 0.25, so a test reads what the ray was.
  auto* environment = new FunctionEnvironment;
  environment->mask = pvx::kCapEnvironment;
  environment->onShade = [](pvx::IHostContext*, pvx::ShadingState* s) {
    s->Ci = {static_cast<float>(s->rayKind), static_cast<float>(s->viewThrough), 0.0f, 0.25f};
  };
  return environment;
}

// Which ray kind and view-through flag each trace service gives the ray it sends, as the
// environment sees it behind the surface (the table in render_host.h).
TEST(RenderHost, TraceServicesSendTheirRayKinds) {
  struct Case {
    const char* service;
    std::function<pvx::float4(pvx::IHostContext*, pvx::ShadingState*)> call;
    int32_t rayKind;  // of the hit calling the service
    float expectedKind, expectedViewThrough;
  };
  const auto three = [](pvx::float3 c) { return pvx::float4(c, 1.0f); };
  const Case cases[] = {
      {"traceContinue from a camera ray",
       [](pvx::IHostContext* h, pvx::ShadingState* s) {
         pvx::float4 r;
         return *h->traceContinue(&r, &s->P, &s->I, 1.0f);
       },
       pvx::kRayCamera, 4, 1},
      {"traceContinue from a reflection ray",
       [](pvx::IHostContext* h, pvx::ShadingState* s) {
         pvx::float4 r;
         return *h->traceContinue(&r, &s->P, &s->I, 1.0f);
       },
       pvx::kRayReflection, 2, 0},
      {"traceRay kind 4 along a camera ray",
       [&](pvx::IHostContext* h, pvx::ShadingState* s) {
         pvx::float3 r;
         return three(*h->traceRay(&r, 4, &s->P, &s->I, 1.0f));
       },
       pvx::kRayCamera, 4, 1},
      {"traceRay kind 4 elsewhere",
       [&](pvx::IHostContext* h, pvx::ShadingState* s) {
         pvx::float3 r;
         const pvx::float3 up(0, 0, 1);
         return three(*h->traceRay(&r, 4, &s->P, &up, 1.0f));
       },
       pvx::kRayCamera, 4, 0},
      {"traceRay kind 2 along a camera ray",
       [&](pvx::IHostContext* h, pvx::ShadingState* s) {
         pvx::float3 r;
         return three(*h->traceRay(&r, 2, &s->P, &s->I, 1.0f));
       },
       pvx::kRayCamera, 2, 0},
      {"traceReflection",
       [&](pvx::IHostContext* h, pvx::ShadingState* s) {
         pvx::float3 r;
         return three(*h->traceReflection(&r, &s->P, &s->I, 0.0f, 1.0f));
       },
       pvx::kRayCamera, 2, 0},
      {"traceSpecular",
       [&](pvx::IHostContext* h, pvx::ShadingState* s) {
         pvx::float3 r;
         return three(*h->traceSpecular(&r, &s->P, &s->I, 1.0f));
       },
       pvx::kRayCamera, 4, 0},
      {"traceAnisotropic",
       [&](pvx::IHostContext* h, pvx::ShadingState* s) {
         pvx::float3 r;
         const pvx::float3 u(1, 0, 0), v(0, 0, 1);
         return three(*h->traceAnisotropic(&r, &s->P, &s->I, &u, &v, 0.0f, 0.0f, 1.0f));
       },
       pvx::kRayCamera, 4, 0},
      {"traceRefraction",
       [](pvx::IHostContext* h, pvx::ShadingState* s) {
         pvx::float4 r;
         return *h->traceRefraction(&r, &s->P, &s->I, 0.0f, 1.0f);
       },
       pvx::kRayCamera, 4, 1},
      {"traceRefraction after a reflection",
       [](pvx::IHostContext* h, pvx::ShadingState* s) {
         pvx::float4 r;
         return *h->traceRefraction(&r, &s->P, &s->I, 0.0f, 1.0f);
       },
       2, 2, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.service);
    // Two planes under the camera. The first hit calls the service (camera cases) or sends a
    // ray of the wanted kind straight on, whose hit on the lower plane calls it; every later
    // hit lets the ray through to the environment.
    auto* material = new FunctionMaterial;
    material->mask = pvx::kCapShade;
    pvx::float4 seen(-1.0f);
    int hits = 0;
    material->onShade = [&](pvx::IHostContext* h, pvx::ShadingState* s) {
      ++hits;
      const bool serviceHere = (hits == 1 && c.rayKind == pvx::kRayCamera) ||
                               (hits == 2 && c.rayKind != pvx::kRayCamera);
      if (serviceHere) {
        ASSERT_EQ(s->rayKind, c.rayKind);
        s->Ci = c.call(h, s);
        seen = s->Ci;
      } else if (hits == 1) {
        pvx::float3 r;
        h->traceRay(&r, c.rayKind, &s->P, &s->I, 1.0f);
        s->Ci = {0, 0, 0, 1};
      } else {
        s->ignoreHit = 1;
      }
    };
    auto scene = std::make_unique<Scene>(library());
    scene->camera.position = {0, 0, 5};
    scene->camera.target = {0, 0, 0};
    scene->camera.up = {0, 1, 0};
    scene->settings.width = scene->settings.height = 1;
    scene->settings.samples = 1;
    scene->addShader("surface", pvx::ShaderPtr(material), "testMaterial");
    scene->addShader("environment", pvx::ShaderPtr(kindReportingEnvironment()), "testEnv");
    scene->environment = 1;
    scene->setObjects(twoPlanes(-2.0f, 0));
    RenderHost host(*scene);
    host.renderSample(0, 0, 0);
    EXPECT_EQ(seen.x, c.expectedKind);
    EXPECT_EQ(seen.y, c.expectedViewThrough);
  }
}

// Path mode gathers indirect light along scatter's bounces; a path that leaves the scene sees
// the environment as a reflection (kind 2) does, whatever kind scatter gave its last ray. The
// camera sees a floor whose shade is its indirect light; above it a ceiling scatters every ray
// on straight up with the kind of the case, into an environment that answers the kind it sees
// (2 on average over the gathering's draws). In shade mode the gathering rays see the ceiling's
// silent shade, the pre-fill 0.8, which a clamp of 0.5 limits.
TEST(RenderHost, PathsLeavingTheSceneSeeTheEnvironmentAsReflections) {
  struct Case {
    RenderMode mode;
    int32_t scatterKind;
    float clamp, expected;
  };
  for (const Case& c : {Case{RenderMode::Path, pvx::kRayTransmission, 0.0f, 2.0f},
                        Case{RenderMode::Path, pvx::kRaySpecular, 0.0f, 2.0f},
                        Case{RenderMode::Path, pvx::kRayCamera, 0.0f, 2.0f},
                        Case{RenderMode::Shade, pvx::kRayNone, 0.5f, 0.5f}}) {
    SCOPED_TRACE(::testing::Message() << "kind " << c.scatterKind << " clamp " << c.clamp);
    auto* floor = new FunctionMaterial;
    floor->mask = pvx::kCapShade;
    floor->onShade = [](pvx::IHostContext* h, pvx::ShadingState* s) {
      pvx::float3 indirect;
      h->indirectDiffuse(&indirect, &s->P, &s->N, 1.0f);
      s->Ci = {indirect.x, indirect.y, indirect.z, 1.0f};
    };
    auto* ceiling = new FunctionMaterial;
    ceiling->mask = pvx::kCapShade | pvx::kCapScatter;
    ceiling->onScatter = [kind = c.scatterKind](pvx::IHostContext*, pvx::ShadingState* s) {
      s->scatterDir = {0.0f, 0.0f, 1.0f};
      s->scatterWeight = float3(1.0f);
      s->scatterCos = s->scatterInvPdf = 1.0f;
      s->scatterKind = kind;
    };
    auto scene = std::make_unique<Scene>(library());
    scene->camera.position = {0, -1, 0.5f};
    scene->camera.target = {0, 0, 0};
    scene->settings.width = scene->settings.height = 1;
    scene->settings.samples = 4096;
    scene->settings.mode = c.mode;
    scene->settings.diffuseDepth = 2;  // the legacy diffuse bounce (kind 1) is a second one
    scene->settings.clamp = c.clamp;
    scene->addShader("floor", pvx::ShaderPtr(floor), "testFloor");
    scene->addShader("ceiling", pvx::ShaderPtr(ceiling), "testCeiling");
    scene->addShader("environment", pvx::ShaderPtr(kindReportingEnvironment()), "testEnv");
    scene->environment = 2;
    scene->setObjects(twoPlanes(1.0f, 1));
    EXPECT_NEAR(renderScene(*scene).at(0, 0).x, c.expected, 0.02f * c.expected);
  }
}

// Directions drawn from the environment light, weighed by 1 / density, integrate a function
// over the sphere: here max(0, z), whose integral is pi, under a sky whose small bright cap
// (ten times brighter above z = 0.95) takes most of the draws. The density told for a drawn
// direction is the one it was drawn with.
TEST(EnvironmentLight, DrawsIntegrateWhatTheyAreWeighedBy) {
  const EnvironmentLight sky([](float3 d) { return d.z > 0.95f ? 10.0f : 1.0f; });
  Random random(3, 5);
  double sum = 0.0;
  const int draws = 200000;
  for (int i = 0; i < draws; ++i) {
    float density = 0.0f;
    const float3 d = sky.sample(random.uniform(), random.uniform(), &density);
    ASSERT_NEAR(sky.density(d), density, 1e-3f * density);
    sum += std::max(0.0f, d.z) / density;
  }
  EXPECT_NEAR(sum / draws, kPi, 0.01 * kPi);
}

// Light records: direction towards the light, unshadowed colour and transmission, their
// product as the colour, the diffuse-only tag, and the chain through every light.
TEST(RenderHost, LightSamplesListEveryLightWithItsShadow) {
  auto* material = new FunctionMaterial;
  material->mask = pvx::kCapShade;
  std::vector<pvx::LightSample> seen;
  material->onShade = [&](pvx::IHostContext* h, pvx::ShadingState* s) {
    for (const pvx::LightSample* r = h->lightSamples(0, &s->P, &s->N); r; r = r->next)
      seen.push_back(*r);
  };
  auto scene = sphereScene(material, nullptr, 1);
  // Two lights: one up the -y axis (seen from the hit at (0, -1, 0): 3 units straight out),
  // one diffuse-only above. Their shader answers colour (0.5, 1, 2) and transmission 0.5.
  auto* light = new FunctionLight;
  light->mask = pvx::kCapLight;
  light->onShade = [](pvx::IHostContext*, pvx::ShadingState* s) {
    s->lightColor = {0.5f, 1.0f, 2.0f};
    s->lightT = {0.5f, 0.5f, 0.5f};
  };
  scene->addShader("light", pvx::ShaderPtr(light), "testLight");
  scene->lights.push_back({"front", {0, -4, 0}, {0, 1, 0}, 1, false});
  scene->lights.push_back({"top", {0, -1, 5}, {0, 0, -1}, 1, true});
  RenderHost host(*scene);
  host.renderSample(0, 0, 0);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_NEAR(seen[0].L.y, -1.0f, 1e-5f);
  EXPECT_NEAR(seen[0].distance, 3.0f, 1e-4f);
  EXPECT_EQ(seen[0].weight, 1.0f);
  EXPECT_EQ(seen[0].unshadowedColor.z, 2.0f);
  EXPECT_EQ(seen[0].transmission.x, 0.5f);
  EXPECT_EQ(seen[0].color.z, 1.0f);  // 2 x 0.5
  EXPECT_EQ(seen[0].tag, 0);
  EXPECT_NEAR(seen[1].L.z, 1.0f, 1e-5f);
  EXPECT_EQ(seen[1].tag, pvx::kLightTagDiffuseOnly);
  EXPECT_EQ(seen[1].next, nullptr);
}

// A shadow ray asks every material on its way for its shadowT and multiplies them; a material
// without a shadow entry blocks.
TEST(RenderHost, ShadowTransmissionMultipliesTheMaterialsOnTheWay) {
  struct Case {
    const char* what;
    int blockers;
    bool filterHasShadowEntry;
    float expected;
  };
  for (const Case& c :
       {Case{"open", 0, true, 1.0f}, Case{"one filter", 1, true, 0.5f},
        Case{"two filters", 2, true, 0.25f}, Case{"an opaque surface", 1, false, 0.0f}}) {
    SCOPED_TRACE(c.what);
    auto scene = std::make_unique<Scene>(library());
    auto* filter = new FunctionMaterial;
    filter->mask = pvx::kCapShade | (c.filterHasShadowEntry ? pvx::kCapShadow : 0);
    filter->onShadow = [](pvx::IHostContext*, pvx::ShadingState* s) {
      s->shadowT = {0.5f, 0.5f, 0.5f};
    };
    scene->addShader("filter", pvx::ShaderPtr(filter), "testFilter");
    std::vector<Object> objects;
    for (int i = 0; i < c.blockers; ++i) {
      Object o;
      o.kind = ShapeKind::Plane;
      o.halfSize = float3(5.0f, 5.0f, 0.0f);
      o.material = 0;
      o.transform = Transform::translate({0, 0, 1.0f + static_cast<float>(i)});
      objects.push_back(o);
    }
    scene->setObjects(std::move(objects));
    RenderHost host(*scene);
    const pvx::float3 from(0, 0, 0), to(0, 0, 10);
    pvx::float3 result(-1.0f);
    host.shadowTransmission(&result, &from, &to);
    EXPECT_NEAR(result.x, c.expected, 1e-6f);
  }
}

// The white furnace: a diffuse sphere of albedo a under an environment of radiance 1 reflects
// exactly a in every direction: the material's a x indirectDiffuse, since the mean radiance
// over cosine-weighted directions is 1. Shade mode's cosine rays all see 1; path mode mixes
// them with draws towards the environment, each weighed by the balance heuristic, which gives
// 1 only on average (1024 samples, four pixels: within 2 %).
TEST(RenderHost, FurnaceGivesTheAlbedoInBothModes) {
  for (const float albedo : {0.2f, 0.5f, 0.9f}) {
    for (const RenderMode mode : {RenderMode::Path, RenderMode::Shade}) {
      SCOPED_TRACE(::testing::Message() << "albedo " << albedo << " mode "
                                        << (mode == RenderMode::Path ? "path" : "shade"));
      auto* lambert = new FunctionMaterial;
      lambert->mask = pvx::kCapShade;
      lambert->onShade = [albedo](pvx::IHostContext* h, pvx::ShadingState* s) {
        pvx::float3 indirect;
        h->indirectDiffuse(&indirect, &s->P, &s->N, albedo);
        s->Ci = {albedo * indirect.x, albedo * indirect.y, albedo * indirect.z, 1.0f};
      };
      auto* white = new FunctionEnvironment;
      white->mask = pvx::kCapEnvironment;
      white->onShade = [](pvx::IHostContext*, pvx::ShadingState* s) { s->Ci = {1, 1, 1, 1}; };
      auto scene = sphereScene(lambert, white, 8);
      scene->settings.mode = mode;
      scene->settings.samples = mode == RenderMode::Path ? 1024 : 4;
      scene->settings.importanceCutoff = 0.0f;
      EXPECT_NEAR(centreMean(renderScene(*scene)), albedo, 0.02f * albedo);
    }
  }
}

// A light's colour is the brightness it gives a white diffuse surface facing it: a Lambert
// surface of albedo a facing a light of colour c shows a c in shade mode (the material adds
// a x colour, as the library's materials do) and in path mode (evaluate's a / pi x cos 1 x
// colour x pi). No environment, so nothing else adds light.
TEST(RenderHost, LightsBrightenADiffuseSurfaceAlikeInBothModes) {
  const float albedo = 0.6f;
  const float3 colour(0.5f, 1.0f, 2.0f);
  for (const RenderMode mode : {RenderMode::Shade, RenderMode::Path}) {
    SCOPED_TRACE(mode == RenderMode::Path ? "path" : "shade");
    auto* lambert = new FunctionMaterial;
    lambert->mask = pvx::kCapShade | pvx::kCapEvaluate | pvx::kCapScatter;
    lambert->onShade = [albedo](pvx::IHostContext* h, pvx::ShadingState* s) {
      float3 sum(0.0f);
      for (const pvx::LightSample* r = h->lightSamples(0, &s->P, &s->N); r; r = r->next)
        sum += r->color * (albedo * std::max(0.0f, dot(r->L, s->N)));
      s->Ci = {sum.x, sum.y, sum.z, 1.0f};
    };
    lambert->onEvaluate = [albedo](pvx::IHostContext*, pvx::ShadingState* s) {
      const float c = dot(s->scatterDir, s->N);
      s->scatterWeight = float3(albedo / kPi);
      s->scatterCos = std::max(0.0f, c);
    };
    lambert->onScatter = [](pvx::IHostContext*, pvx::ShadingState* s) {
      s->scatterKind = pvx::kRayNone;
    };
    auto scene = sphereScene(lambert, nullptr, 1);
    auto* light = new FunctionLight;
    light->mask = pvx::kCapLight;
    light->onShade = [colour](pvx::IHostContext*, pvx::ShadingState* s) {
      s->lightColor = colour;
      s->lightT = float3(1.0f);
    };
    scene->addShader("light", pvx::ShaderPtr(light), "testLight");
    // Behind the camera, on the line through the hit point and the sphere's centre.
    scene->lights.push_back({"headlight", {0, -6, 0}, {0, 1, 0}, 1, false});
    scene->settings.mode = mode;
    const Film film = renderScene(*scene);
    EXPECT_NEAR(film.at(0, 0).x, albedo * colour.x, 1e-4f);
    EXPECT_NEAR(film.at(0, 0).z, albedo * colour.z, 1e-4f);
  }
}

// The image depends on the seed only: one thread and many give the same bytes, and another
// seed gives another image. The stats count the threads that rendered, never more than the
// image's four 16 x 16 tiles.
TEST(Renderer, ImageDependsOnTheSeedNotOnTheThreads) {
  RenderStats stats;
  const auto render = [&](int threads, uint64_t seed) {
    auto* noisy = new FunctionMaterial;
    noisy->mask = pvx::kCapShade;
    noisy->onShade = [](pvx::IHostContext* h, pvx::ShadingState* s) {
      const float r = h->random1();
      pvx::float3 occlusion;
      h->occlusion(&occlusion, &s->P, &s->N, 1.0f);
      s->Ci = {r, occlusion.x, 0.5f, 1.0f};
    };
    auto scene = sphereScene(noisy, nullptr, 24);
    scene->camera.fovY = 30.0f;
    scene->settings.samples = 3;
    scene->settings.threads = threads;
    scene->settings.seed = seed;
    return renderScene(*scene, &stats);
  };
  const Film one = render(1, 7), other = render(2, 8), two = render(64, 7);
  EXPECT_GE(stats.threads, 1);
  EXPECT_LE(stats.threads, 4);
  ASSERT_EQ(one.pixels.size(), two.pixels.size());
  EXPECT_EQ(
      std::memcmp(one.pixels.data(), two.pixels.data(), one.pixels.size() * sizeof(pvx::float4)),
      0);
  EXPECT_NE(
      std::memcmp(one.pixels.data(), other.pixels.data(), one.pixels.size() * sizeof(pvx::float4)),
      0);
}

// What a material that writes nothing shows: the host's pre-fill, its alpha on a transparent
// film (which holds colour times alpha: 0.2 x 0.75 = 0.15) and not on the default opaque one.
TEST(Renderer, SilentMaterialsShowThePrefill) {
  for (const bool transparent : {false, true}) {
    auto* silent = new FunctionMaterial;
    silent->mask = pvx::kCapShade;
    auto scene = sphereScene(silent, kindReportingEnvironment(), 4);
    scene->settings.prefill = {0.1f, 0.2f, 0.3f, 0.75f};
    scene->settings.transparentFilm = transparent;
    const Film film = renderScene(*scene);
    EXPECT_EQ(film.at(2, 2).y, transparent ? 0.15f : 0.2f);
    EXPECT_EQ(film.at(2, 2).w, transparent ? 0.75f : 1.0f);
  }
}

}  // namespace
}  // namespace tarvo::render

namespace tarvo::render {
namespace {

// The white furnace with the library's own classes: a sphere of the Ward material with only a
// diffuse layer (reflectivity 0, so the glossy weight is 0 and the diffuse colour a is kept
// whole) under the default environment with a white image: a x (ambient 0 + indirect diffuse
// 1) x occlusion 1 = a, exactly in shade mode, on average in path mode (as above).
TEST(Furnace, WardDiffuseSphereUnderAWhiteEnvironmentGivesItsAlbedo) {
  const std::string white = ::testing::TempDir() + "/tarvo_white.exr";
  {
    OIIO::ImageBuf image(OIIO::ImageSpec(4, 2, 3, OIIO::TypeDesc::FLOAT));
    const float one[3] = {1.0f, 1.0f, 1.0f};
    OIIO::ImageBufAlgo::fill(image, one);
    ASSERT_TRUE(image.write(white));
  }
  for (const char* mode : {"path", "shade"}) {
    for (const float albedo : {0.25f, 0.75f}) {
      SCOPED_TRACE(::testing::Message() << mode << " albedo " << albedo);
      const std::string text =
          std::string(R"({"camera": {"position": [0, -5, 0], "lookAt": [0, 0, 0], "fov": 12},
            "settings": {"width": 8, "height": 8, "samples": 1024, "importanceCutoff": 0,
                         "mode": ")") +
          mode + R"("},
            "shaders": {
              "ward": {"class": "quarra_Mtl_Ward",
                       "parameters": {"u_diffuseColor": [)" +
          std::to_string(albedo) + ", " + std::to_string(albedo) + ", " + std::to_string(albedo) +
          R"(], "u_reflectivity": 0}},
              "white": {"class": "quarra_Env_Default",
                        "parameters": {"reflectionLatlong": ")" +
          white + R"("}}},
            "objects": [{"type": "sphere", "material": "ward"}],
            "environment": "white"})";
      auto scene = loadSceneText(text, "furnace.json", "", library());
      EXPECT_NEAR(centreMean(renderScene(*scene)), albedo, 0.02f * albedo);
    }
  }
  std::remove(white.c_str());
}

}  // namespace
}  // namespace tarvo::render
