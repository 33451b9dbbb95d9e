// Ray casting and the shading data of each shape kind.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "host/render/geometry.h"

namespace tarvo::render {
namespace {

::testing::AssertionResult near3(float3 a, float3 b, float tolerance = 1e-4f) {
  if (std::fabs(a.x - b.x) <= tolerance && std::fabs(a.y - b.y) <= tolerance &&
      std::fabs(a.z - b.z) <= tolerance) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure()
         << "(" << a.x << ", " << a.y << ", " << a.z << ") differs from (" << b.x << ", " << b.y
         << ", " << b.z << ")";
}

Object sphere(Transform transform, float radius = 1.0f) {
  Object o;
  o.kind = ShapeKind::Sphere;
  o.radius = radius;
  o.transform = transform;
  return o;
}

Object box(float3 halfSize) {
  Object o;
  o.kind = ShapeKind::Box;
  o.halfSize = halfSize;
  return o;
}

Object plane(float half) {
  Object o;
  o.kind = ShapeKind::Plane;
  o.halfSize = float3(half, half, 0.0f);
  return o;
}

Ray ray(float3 origin, float3 direction) {
  Ray r;
  r.origin = origin;
  r.direction = normalize(direction);
  return r;
}

// Distances and object-space data worked out by hand for each shape.
TEST(Geometry, AnalyticShapesAnswerDistanceAndObjectSpaceData) {
  struct Case {
    const char* what;
    Object object;
    Ray ray;
    bool hits;
    float t;
    float3 Po, No, N;
  };
  const Transform scaledUp = Transform::translate({0, 0, 3}) * Transform::scale(float3(2.0f));
  const Case cases[] = {
      // Unit sphere from 5 units away: the surface is 4 units along.
      {"sphere from outside", sphere({}), ray({0, -5, 0}, {0, 1, 0}), true, 4.0f, float3(0, -1, 0),
       float3(0, -1, 0), float3(0, -1, 0)},
      // From the centre the ray leaves through the far side, 1 unit along.
      {"sphere from inside", sphere({}), ray({0, 0, 0}, {1, 0, 0}), true, 1.0f, float3(1, 0, 0),
       float3(1, 0, 0), float3(1, 0, 0)},
      // Scale 2 and lift 3: the world surface is at y = -2, so t = 3; Po is on the unit sphere.
      {"scaled and moved sphere", sphere(scaledUp), ray({0, -5, 3}, {0, 1, 0}), true, 3.0f,
       float3(0, -1, 0), float3(0, -1, 0), float3(0, -1, 0)},
      {"sphere missed", sphere({}), ray({0, -5, 1.01f}, {0, 1, 0}), false, 0, float3(), float3(),
       float3()},
      // Box of half size 1 along x from -5: enters the -x face at t = 4.
      {"box face", box({1, 2, 3}), ray({-5, 0.5f, 0.5f}, {1, 0, 0}), true, 4.0f,
       float3(-1, 0.5f, 0.5f), float3(-1, 0, 0), float3(-1, 0, 0)},
      {"box from inside", box({1, 1, 1}), ray({0, 0, 0}, {0, 0, -1}), true, 1.0f, float3(0, 0, -1),
       float3(0, 0, -1), float3(0, 0, -1)},
      // A plane 2 wide seen from 3 above: hit at t = 3 inside, missed outside its size.
      {"plane inside", plane(1.0f), ray({0.5f, 0.5f, 3}, {0, 0, -1}), true, 3.0f,
       float3(0.5f, 0.5f, 0), float3(0, 0, 1), float3(0, 0, 1)},
      {"plane outside", plane(1.0f), ray({1.5f, 0, 3}, {0, 0, -1}), false, 0, float3(), float3(),
       float3()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Geometry geometry({c.object});
    Hit hit;
    ASSERT_EQ(geometry.intersect(c.ray, &hit), c.hits);
    EXPECT_EQ(geometry.occluded(c.ray), c.hits);
    if (!c.hits) continue;
    EXPECT_NEAR(hit.t, c.t, 1e-4f);
    const SurfacePoint p = geometry.surface(c.ray, hit);
    EXPECT_TRUE(near3(p.Po, c.Po));
    EXPECT_TRUE(near3(p.No, c.No));
    EXPECT_TRUE(near3(p.N, c.N));
    EXPECT_TRUE(near3(p.P, c.ray.origin + c.ray.direction * c.t));
  }
}

// The tangent frame of a sphere follows its longitude: at the point facing -y the direction of
// increasing u is +x; the bitangent completes N x T; uv is (1/4, 1/2) there.
TEST(Geometry, SphereFrameAndCoordinates) {
  Geometry geometry({sphere({})});
  const Ray r = ray({0, -5, 0}, {0, 1, 0});
  Hit hit;
  ASSERT_TRUE(geometry.intersect(r, &hit));
  const SurfacePoint p = geometry.surface(r, hit);
  // u = atan2(-1, 0) / 2 pi + 1/2 = 1/4; v = acos(0) / pi = 1/2.
  EXPECT_NEAR(p.uv.x, 0.25f, 1e-5f);
  EXPECT_NEAR(p.uv.y, 0.5f, 1e-5f);
  EXPECT_TRUE(near3(p.tangent, {1, 0, 0}));
  EXPECT_TRUE(near3(p.bitangent, cross(p.No, p.tangent)));
  EXPECT_NEAR(dot(p.tangent, p.No), 0.0f, 1e-6f);
}

// Tangents come from the uv parametrisation: uv running along +x and +y gives T = +x, B = +y;
// mirroring u flips T but keeps B on the side of increasing v.
TEST(Geometry, MeshTangentsFollowTextureCoordinates) {
  struct Case {
    const char* what;
    float uSign;
    float3 tangent, bitangent;
  };
  for (const Case& c : {Case{"straight", 1.0f, {1, 0, 0}, {0, 1, 0}},
                        Case{"mirrored", -1.0f, {-1, 0, 0}, {0, 1, 0}}}) {
    SCOPED_TRACE(c.what);
    Mesh mesh;
    mesh.positions = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
    mesh.uv = {{0, 0}, {c.uSign, 0}, {c.uSign, 1}, {0, 1}};
    mesh.indices = {0, 1, 2, 0, 2, 3};
    mesh.completeFrames();
    for (size_t v = 0; v < 4; ++v) {
      EXPECT_TRUE(near3(mesh.normals[v], {0, 0, 1}));
      EXPECT_TRUE(near3(mesh.tangents[v], c.tangent));
      EXPECT_TRUE(near3(mesh.bitangents[v], c.bitangent));
    }
  }
}

// A mesh hit interpolates its vertex data and keeps Po in object space while P is in world
// space.
TEST(Geometry, MeshHitInterpolatesVertexData) {
  auto mesh = std::make_shared<Mesh>();
  mesh->positions = {{-1, -1, 0}, {1, -1, 0}, {0, 1, 0}};
  mesh->uv = {{0, 0}, {1, 0}, {0, 1}};
  mesh->colors = {{1, 0, 0, 1}, {0, 1, 0, 1}, {0, 0, 1, 1}};
  mesh->indices = {0, 1, 2};
  mesh->completeFrames();
  Object o;
  o.kind = ShapeKind::Mesh;
  o.mesh = mesh;
  o.transform = Transform::translate({0, 0, 2});
  Geometry geometry({o});
  // Straight down at object point (0, -1/3): barycentrics (1/3, 1/3, 1/3) of the triangle.
  const Ray r = ray({0, -1.0f / 3.0f, 5}, {0, 0, -1});
  Hit hit;
  ASSERT_TRUE(geometry.intersect(r, &hit));
  EXPECT_NEAR(hit.t, 3.0f, 1e-5f);
  const SurfacePoint p = geometry.surface(r, hit);
  EXPECT_TRUE(near3(p.Po, {0, -1.0f / 3.0f, 0}));
  EXPECT_TRUE(near3(p.P, {0, -1.0f / 3.0f, 2}));
  EXPECT_NEAR(p.uv.x, 1.0f / 3.0f, 1e-5f);
  EXPECT_NEAR(p.uv.y, 1.0f / 3.0f, 1e-5f);
  EXPECT_NEAR(p.color.x, 1.0f / 3.0f, 1e-5f);
  EXPECT_NEAR(p.color.z, 1.0f / 3.0f, 1e-5f);
  EXPECT_TRUE(near3(p.Ng, {0, 0, 1}));
}

// A shape that casts no shadow is in the traced scene but not in the shadow scene.
TEST(Geometry, ObjectsThatCastNoShadowAreInvisibleToShadowRays) {
  Object o = sphere({});
  o.castsShadows = false;
  Geometry geometry({o});
  const Ray r = ray({0, -5, 0}, {0, 1, 0});
  Hit hit;
  EXPECT_TRUE(geometry.intersect(r, &hit));
  EXPECT_FALSE(geometry.occluded(r));
  EXPECT_FALSE(geometry.intersectCasters(r, &hit));
}

TEST(Geometry, ObjFilesThatAreMissingOrBrokenNameTheFile) {
  const std::string folder = ::testing::TempDir();
  const std::string empty = folder + "/tarvo_no_faces.obj";
  const std::string badIndex = folder + "/tarvo_bad_index.obj";
  std::ofstream(empty) << "# nothing here\nv 0 0 0\n";
  std::ofstream(badIndex) << "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 9\n";
  for (const std::string& path : {folder + "/tarvo_missing.obj", empty, badIndex}) {
    SCOPED_TRACE(path);
    try {
      loadObj(path);
      ADD_FAILURE() << "no error";
    } catch (const GeometryError& e) {
      EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
    }
  }
  std::remove(empty.c_str());
  std::remove(badIndex.c_str());
}

TEST(Geometry, TransformsInvertAndMapNormals) {
  const Transform t = Transform::translate({1, 2, 3}) * Transform::rotate({0, 0, 1}, 90.0f) *
                      Transform::scale({2, 1, 1});
  // (1, 0, 0) scaled to (2, 0, 0), turned to (0, 2, 0), moved to (1, 4, 3).
  EXPECT_TRUE(near3(t.point({1, 0, 0}), {1, 4, 3}));
  EXPECT_TRUE(near3(t.inversePoint({1, 4, 3}), {1, 0, 0}));
  // A normal of the stretched x face stays perpendicular to the face: (1, 0, 0) -> (0, 1/2, 0)
  // before normalising.
  EXPECT_TRUE(near3(normalize(t.normal({1, 0, 0})), {0, 1, 0}));
  EXPECT_THROW(Transform::fromMatrix(pvx::mat4{}), std::domain_error);
}

}  // namespace
}  // namespace tarvo::render
