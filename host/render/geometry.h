// Scene geometry and ray casting with Embree 3: triangle meshes (from OBJ files or built in
// code) and analytic spheres, planes and boxes, each with its own object-to-world transform.
//
// Meshes are stored in world space for Embree and keep their per-vertex data for the varyings;
// analytic shapes are Embree user geometries intersected in object space. Every surface point
// answers the shading data a material reads: P, N, Ng (outward, never flipped towards the ray),
// Po and No in object space, and the varyings uv, uv1, tangent and bitangent (object space, as
// the objectToWorld matrix of the state maps them) and the vertex colour.
//
// Two Embree scenes are built: one with every object for the traced rays, and one with the
// objects that cast shadows for shadow and occlusion rays.
#ifndef TARVO_HOST_RENDER_GEOMETRY_H
#define TARVO_HOST_RENDER_GEOMETRY_H

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "host/render/math.h"

namespace tarvo::render {

class GeometryError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Per-vertex data of a triangle mesh, in object space. Optional arrays are empty or have one
// entry per vertex.
struct Mesh {
  std::vector<float3> positions;
  std::vector<float3> normals;
  std::vector<float2> uv;
  std::vector<float3> tangents;
  std::vector<float3> bitangents;
  std::vector<float4> colors;
  std::vector<uint32_t> indices;  // three per triangle, counter-clockwise seen from the front

  size_t triangleCount() const { return indices.size() / 3; }
  // Fills tangents and bitangents from uv where the mesh has them, else from any frame about
  // the normal; needs normals (computes smooth ones from the faces first when missing).
  void completeFrames();
};

// Reads an OBJ file (triangulated; positions, normals, texture coordinates and vertex colours
// when present). Only a regular file of at most `maxBytes` is read, and its faces are counted
// before any is stored: more than `maxTriangles` triangles are refused. Every number must be a
// finite number (nan, inf and garbage are refused with their line). A convex face is split as a
// fan in linear time, however many vertices it has; a concave one is ear-clipped, up to
// kMaxConcaveFace vertices. Throws GeometryError naming the file.
constexpr size_t kMaxConcaveFace = 4096;
Mesh loadObj(const std::string& path, int64_t maxBytes = int64_t{128} << 20,
             int64_t maxTriangles = 10000000);
// The same from OBJ text; `name` names it in messages.
Mesh parseObj(const std::string& text, const std::string& name, int64_t maxTriangles = 10000000);

enum class ShapeKind { Mesh, Sphere, Plane, Box };

struct Object {
  std::string name;
  ShapeKind kind = ShapeKind::Sphere;
  Transform transform;
  float radius = 1.0f;                // sphere
  float3 halfSize{0.5f, 0.5f, 0.5f};  // box: half extents; plane: x and y half extents
  float2 uvScale{1.0f, 1.0f};         // plane: uv = object x, y times this
  std::shared_ptr<const Mesh> mesh;   // mesh
  int material = -1;                  // index of the material instance
  bool castsShadows = true;
};

struct Ray {
  float3 origin;
  float3 direction;  // unit length
  float tnear = 0.0f;
  float tfar = 1e30f;
};

struct Hit {
  float t = 0.0f;
  uint32_t object = 0;
  uint32_t primitive = 0;
  float u = 0.0f;  // barycentrics on triangles
  float v = 0.0f;
};

struct SurfacePoint {
  float3 P, N, Ng, Po, No;
  float2 uv{0.0f, 0.0f};
  float2 uv1{0.0f, 0.0f};
  float3 tangent{1.0f, 0.0f, 0.0f};
  float3 bitangent{0.0f, 1.0f, 0.0f};
  float4 color{1.0f, 1.0f, 1.0f, 1.0f};
};

class Geometry {
 public:
  // Builds the acceleration structures; the objects are kept.
  explicit Geometry(std::vector<Object> objects);
  ~Geometry();
  Geometry(const Geometry&) = delete;
  Geometry& operator=(const Geometry&) = delete;

  const std::vector<Object>& objects() const { return objects_; }

  // Closest hit along the ray within (tnear, tfar).
  bool intersect(const Ray& ray, Hit* hit) const;
  // True when a shadow-casting object lies within (tnear, tfar).
  bool occluded(const Ray& ray) const;
  // Closest shadow-casting hit (for shadow rays that ask materials what they let through).
  bool intersectCasters(const Ray& ray, Hit* hit) const;

  // Shading data at a hit of `ray`.
  SurfacePoint surface(const Ray& ray, const Hit& hit) const;

  // Radius of a sphere around the whole scene (for ray offsets and ambient-occlusion reach).
  float sceneRadius() const { return sceneRadius_; }

 private:
  struct Embree;
  std::vector<Object> objects_;
  std::vector<std::vector<float>> worldVertices_;  // per mesh object, xyz plus padding
  std::unique_ptr<Embree> embree_;
  float sceneRadius_ = 1.0f;
};

}  // namespace tarvo::render

#endif  // TARVO_HOST_RENDER_GEOMETRY_H
