#include "host/render/geometry.h"

#include <embree3/rtcore.h>
#include <tiny_obj_loader.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <map>
#include <string_view>
#include <tuple>

#include "host/nearest_names.h"
#include "host/render/limits.h"

namespace tarvo::render {

// ---------------------------------------------------------------------------------------------
// Meshes

void Mesh::completeFrames() {
  const size_t n = positions.size();
  if (normals.size() != n) {
    normals.assign(n, float3(0.0f));
    for (size_t i = 0; i + 2 < indices.size(); i += 3) {
      const uint32_t a = indices[i], b = indices[i + 1], c = indices[i + 2];
      // Area-weighted: the cross product's length is twice the triangle's area.
      const float3 face = cross(positions[b] - positions[a], positions[c] - positions[a]);
      normals[a] += face;
      normals[b] += face;
      normals[c] += face;
    }
    for (float3& normal : normals)
      normal = normalize(normal);
  }
  if (tangents.size() == n && bitangents.size() == n) return;
  std::vector<float3> sumT(n, float3(0.0f)), sumB(n, float3(0.0f));
  if (uv.size() == n) {
    for (size_t i = 0; i + 2 < indices.size(); i += 3) {
      const uint32_t a = indices[i], b = indices[i + 1], c = indices[i + 2];
      const float3 e1 = positions[b] - positions[a], e2 = positions[c] - positions[a];
      const float du1 = uv[b].x - uv[a].x, dv1 = uv[b].y - uv[a].y;
      const float du2 = uv[c].x - uv[a].x, dv2 = uv[c].y - uv[a].y;
      const float det = du1 * dv2 - du2 * dv1;
      if (std::fabs(det) < 1e-12f) continue;
      const float r = 1.0f / det;
      // dP/du and dP/dv of the triangle's linear uv parametrisation.
      const float3 t = (e1 * dv2 - e2 * dv1) * r;
      const float3 bt = (e2 * du1 - e1 * du2) * r;
      for (uint32_t v : {a, b, c}) {
        sumT[v] += t;
        sumB[v] += bt;
      }
    }
  }
  tangents.resize(n);
  bitangents.resize(n);
  for (size_t v = 0; v < n; ++v) {
    const float3 normal = normals[v];
    float3 t = sumT[v] - normal * dot(normal, sumT[v]);
    if (length(t) < 1e-8f) {
      float3 b;
      orthonormalBasis(length(normal) > 0.0f ? normal : float3(0.0f, 0.0f, 1.0f), &t, &b);
      tangents[v] = t;
      bitangents[v] = b;
      continue;
    }
    t = normalize(t);
    // The bitangent follows dP/dv's side, so mirrored uv keep their handedness.
    const float handedness = dot(cross(normal, t), sumB[v]) < 0.0f ? -1.0f : 1.0f;
    tangents[v] = t;
    bitangents[v] = cross(normal, t) * handedness;
  }
}

Mesh loadObj(const std::string& path, int64_t maxBytes, int64_t maxTriangles) {
  std::string text;
  try {
    text = readWholeFile(path, "mesh", maxBytes, "mesh-bytes");
  } catch (const std::runtime_error& e) {
    throw GeometryError(e.what());
  }
  return parseObj(text, path, maxTriangles);
}

namespace {

// The text read once, line by line, before the OBJ reader sees it. The reader takes nan, inf and
// garbage as 0, stores every face before anything can count them (128 MB of faces took 3 GB),
// and ear-clips each face in quadratic time (one face of 100 000 vertices took 38 s). Here every
// number of a vertex line must be finite, the faces' triangles are counted against the ceiling
// as they are read, and a face of more than 64 vertices that is convex (nearly every large face:
// discs, caps) is rewritten as the fan of triangles it is, so the reader sees only small faces.
// The rewritten text is returned; an empty one means the text is used as it is.
class ObjScan {
 public:
  ObjScan(const std::string& text, const std::string& path, int64_t maxTriangles)
      : text_(text), path_(path), maxTriangles_(maxTriangles) {}

  std::string run() {
    for (size_t start = 0; start < text_.size();) {
      size_t end = text_.find('\n', start);
      if (end == std::string::npos) end = text_.size();
      ++line_;
      scanLine(start, end);
      start = end + 1;
    }
    if (rewritten_) out_.append(text_, copied_, std::string::npos);
    return out_;
  }

 private:
  [[noreturn]] void refuse(const std::string& why) const {
    throw GeometryError("cannot read the mesh '" + path_ + "': line " + std::to_string(line_) +
                        " " + why);
  }

  void scanLine(size_t start, size_t end) {
    tokens_.clear();
    for (size_t at = start; at < end;) {
      while (at < end && std::isspace(static_cast<unsigned char>(text_[at])))
        ++at;
      if (at >= end || text_[at] == '#') break;
      const size_t from = at;
      while (at < end && !std::isspace(static_cast<unsigned char>(text_[at])))
        ++at;
      tokens_.emplace_back(text_.data() + from, at - from);
    }
    if (tokens_.empty()) return;
    const std::string_view key = tokens_[0];
    if (key == "v" || key == "vn" || key == "vt") {
      float p[3] = {0.0f, 0.0f, 0.0f};
      for (size_t i = 1; i < tokens_.size(); ++i) {
        const std::string number(tokens_[i]);
        char* stop = nullptr;
        const double v = std::strtod(number.c_str(), &stop);
        if (stop != number.c_str() + number.size() || !std::isfinite(v) ||
            std::fabs(v) > static_cast<double>(std::numeric_limits<float>::max())) {
          refuse("holds '" + host::clipped(number) +
                 "', a number that is not finite (too large, inf or nan) or no number at all");
        }
        if (i <= 3) p[i - 1] = static_cast<float>(v);
      }
      if (key == "v") positions_.emplace_back(p[0], p[1], p[2]);
    } else if (key == "f") {
      const size_t corners = tokens_.size() - 1;
      triangles_ += corners >= 3 ? static_cast<int64_t>(corners - 2) : 0;
      if (triangles_ > maxTriangles_) {
        refuse("brings the faces to " + std::to_string(triangles_) +
               " triangles, more than the ceiling of " + ceilingText(maxTriangles_, "triangles"));
      }
      if (corners > 64) splitFace(start, end);
    }
  }

  // The position a face corner ("7", "7/2", "-1//3") names, when it names one read so far.
  bool corner(std::string_view token, float3* p) const {
    const std::string index(token.substr(0, token.find('/')));
    char* stop = nullptr;
    const long i = std::strtol(index.c_str(), &stop, 10);
    const long n = static_cast<long>(positions_.size());
    const long at = i > 0 ? i - 1 : n + i;
    if (stop == index.c_str() || at < 0 || at >= n) return false;
    *p = positions_[static_cast<size_t>(at)];
    return true;
  }

  // A convex face as a fan from its first corner; a concave one is left to the reader's ear
  // clipping, within its size.
  void splitFace(size_t start, size_t end) {
    const size_t n = tokens_.size() - 1;
    std::vector<float3> p(n);
    bool known = true;
    for (size_t i = 0; i < n && known; ++i)
      known = corner(tokens_[i + 1], &p[i]);
    float3 normal(0.0f);  // Newell's: robust for any planar polygon
    for (size_t i = 0; known && i < n; ++i) {
      const float3 &a = p[i], &b = p[(i + 1) % n];
      normal +=
          float3((a.y - b.y) * (a.z + b.z), (a.z - b.z) * (a.x + b.x), (a.x - b.x) * (a.y + b.y));
    }
    // Every corner turns the same way about the normal. A corner bent back over a millionth of
    // the face's area (the normal's length is twice it) is not the rounding of the file's
    // decimals along a dense curve, which a fan draws as the curve.
    const float tolerance = 1e-6f * dot(normal, normal);
    bool convex = known;
    for (size_t i = 0; convex && i < n; ++i) {
      const float3 &a = p[i], &b = p[(i + 1) % n], &c = p[(i + 2) % n];
      convex = dot(cross(b - a, c - b), normal) >= -tolerance;
    }
    if (!convex) {
      if (n > kMaxConcaveFace) {
        refuse("holds a face of " + std::to_string(n) +
               " vertices that is not convex (or names a vertex not read yet); such faces may "
               "have at most " +
               std::to_string(kMaxConcaveFace));
      }
      return;
    }
    if (!rewritten_) out_.reserve(text_.size() + n * 24);
    rewritten_ = true;
    out_.append(text_, copied_, start - copied_);
    for (size_t i = 2; i < n; ++i) {
      out_ += "f ";
      out_ += tokens_[1];
      out_ += ' ';
      out_ += tokens_[i];
      out_ += ' ';
      out_ += tokens_[i + 1];
      out_ += '\n';
    }
    copied_ = std::min(end + 1, text_.size());
  }

  const std::string& text_;
  const std::string& path_;
  int64_t maxTriangles_;
  int64_t line_ = 0;
  int64_t triangles_ = 0;
  std::vector<std::string_view> tokens_;
  std::vector<float3> positions_;
  bool rewritten_ = false;
  std::string out_;
  size_t copied_ = 0;
};

}  // namespace

Mesh parseObj(const std::string& text, const std::string& path, int64_t maxTriangles) {
  const std::string rewritten = ObjScan(text, path, maxTriangles).run();
  const std::string& obj = rewritten.empty() ? text : rewritten;
  tinyobj::ObjReaderConfig config;
  config.triangulate = true;
  config.vertex_color = true;
  // Material libraries are not read: the scene file gives the material.
  config.mtl_search_path = "";
  tinyobj::ObjReader reader;
  if (!reader.ParseFromString(obj, std::string(), config)) {
    std::string reason = reader.Error();
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r'))
      reason.pop_back();
    throw GeometryError("cannot read the mesh '" + path +
                        "': " + (reason.empty() ? std::string("the file is unreadable") : reason));
  }
  const tinyobj::attrib_t& attrib = reader.GetAttrib();
  const size_t vertexCount = attrib.vertices.size() / 3;
  const size_t normalCount = attrib.normals.size() / 3;
  const size_t uvCount = attrib.texcoords.size() / 2;
  const bool hasColors = attrib.colors.size() == attrib.vertices.size();
  bool allHaveNormals = true, allHaveUv = true;

  Mesh mesh;
  std::map<std::tuple<int, int, int>, uint32_t> unique;
  for (const tinyobj::shape_t& shape : reader.GetShapes()) {
    for (const tinyobj::index_t& index : shape.mesh.indices) {
      if (index.vertex_index < 0 || static_cast<size_t>(index.vertex_index) >= vertexCount ||
          index.normal_index >= static_cast<int>(normalCount) ||
          index.texcoord_index >= static_cast<int>(uvCount)) {
        throw GeometryError("cannot read the mesh '" + path + "': face '" + shape.name +
                            "' refers to a vertex that does not exist");
      }
      allHaveNormals = allHaveNormals && index.normal_index >= 0;
      allHaveUv = allHaveUv && index.texcoord_index >= 0;
      const auto key =
          std::make_tuple(index.vertex_index, index.normal_index, index.texcoord_index);
      auto [it, inserted] = unique.emplace(key, static_cast<uint32_t>(mesh.positions.size()));
      if (inserted) {
        const size_t p = static_cast<size_t>(index.vertex_index);
        mesh.positions.emplace_back(attrib.vertices[3 * p], attrib.vertices[3 * p + 1],
                                    attrib.vertices[3 * p + 2]);
        const size_t nIndex = static_cast<size_t>(std::max(index.normal_index, 0));
        mesh.normals.push_back(
            index.normal_index >= 0
                ? normalize(float3(attrib.normals[3 * nIndex], attrib.normals[3 * nIndex + 1],
                                   attrib.normals[3 * nIndex + 2]))
                : float3(0.0f));
        const size_t tIndex = static_cast<size_t>(std::max(index.texcoord_index, 0));
        mesh.uv.push_back(index.texcoord_index >= 0 ? float2(attrib.texcoords[2 * tIndex],
                                                             attrib.texcoords[2 * tIndex + 1])
                                                    : float2(0.0f, 0.0f));
        mesh.colors.push_back(hasColors ? float4(attrib.colors[3 * p], attrib.colors[3 * p + 1],
                                                 attrib.colors[3 * p + 2], 1.0f)
                                        : float4(1.0f, 1.0f, 1.0f, 1.0f));
      }
      mesh.indices.push_back(it->second);
    }
  }
  if (mesh.indices.empty()) {
    throw GeometryError("cannot read the mesh '" + path + "': it holds no faces");
  }
  if (!allHaveNormals) mesh.normals.clear();
  if (!allHaveUv) mesh.uv.clear();
  if (!hasColors) mesh.colors.clear();
  mesh.completeFrames();
  return mesh;
}

// ---------------------------------------------------------------------------------------------
// Analytic shapes, intersected in object space. The object-space ray keeps the world ray's
// parameter t because the direction is transformed without being renormalised.

namespace {

struct Interval {
  float tnear, tfar;
};

// Nearest root of the shape in (tnear, tfar) along o + t d, with the object-space normal.
bool intersectShape(const Object& object, float3 o, float3 d, Interval range, float* t,
                    float3* normal) {
  switch (object.kind) {
    case ShapeKind::Sphere: {
      const float a = dot(d, d);
      const float b = dot(o, d);
      const float c = dot(o, o) - object.radius * object.radius;
      const float disc = b * b - a * c;
      if (disc < 0.0f || a <= 0.0f) return false;
      const float root = std::sqrt(disc);
      // The numerically stable pair of roots.
      const float q = b >= 0.0f ? -(b + root) : -(b - root);
      float t0 = q / a, t1 = q != 0.0f ? c / q : t0;
      if (t0 > t1) std::swap(t0, t1);
      float hit = t0;
      if (!(hit > range.tnear && hit < range.tfar)) {
        hit = t1;
        if (!(hit > range.tnear && hit < range.tfar)) return false;
      }
      *t = hit;
      *normal = normalize(o + d * hit);
      return true;
    }
    case ShapeKind::Plane: {
      if (d.z == 0.0f) return false;
      const float hit = -o.z / d.z;
      if (!(hit > range.tnear && hit < range.tfar)) return false;
      const float3 p = o + d * hit;
      if (std::fabs(p.x) > object.halfSize.x || std::fabs(p.y) > object.halfSize.y) return false;
      *t = hit;
      *normal = float3(0.0f, 0.0f, 1.0f);
      return true;
    }
    case ShapeKind::Box: {
      const float lo[3] = {-object.halfSize.x, -object.halfSize.y, -object.halfSize.z};
      const float hi[3] = {object.halfSize.x, object.halfSize.y, object.halfSize.z};
      const float origin[3] = {o.x, o.y, o.z}, direction[3] = {d.x, d.y, d.z};
      float enter = -std::numeric_limits<float>::infinity();
      float leave = std::numeric_limits<float>::infinity();
      int enterAxis = 0, leaveAxis = 0;
      float enterSign = -1.0f, leaveSign = 1.0f;
      for (int axis = 0; axis < 3; ++axis) {
        if (direction[axis] == 0.0f) {
          if (origin[axis] < lo[axis] || origin[axis] > hi[axis]) return false;
          continue;
        }
        const float inv = 1.0f / direction[axis];
        float a = (lo[axis] - origin[axis]) * inv, b = (hi[axis] - origin[axis]) * inv;
        float signA = -1.0f, signB = 1.0f;
        if (a > b) {
          std::swap(a, b);
          std::swap(signA, signB);
        }
        if (a > enter) {
          enter = a;
          enterAxis = axis;
          enterSign = signA;
        }
        if (b < leave) {
          leave = b;
          leaveAxis = axis;
          leaveSign = signB;
        }
      }
      if (enter > leave) return false;
      float hit = enter;
      int axis = enterAxis;
      float sign = enterSign;
      if (!(hit > range.tnear && hit < range.tfar)) {
        hit = leave;
        axis = leaveAxis;
        sign = leaveSign;
        if (!(hit > range.tnear && hit < range.tfar)) return false;
      }
      *t = hit;
      float n[3] = {0.0f, 0.0f, 0.0f};
      n[axis] = sign;
      *normal = float3(n[0], n[1], n[2]);
      return true;
    }
    case ShapeKind::Mesh:
      break;
  }
  return false;
}

void objectBounds(const Object& object, float3* lo, float3* hi) {
  float3 h = object.halfSize;
  if (object.kind == ShapeKind::Sphere) h = float3(object.radius);
  if (object.kind == ShapeKind::Plane) h.z = 0.0f;
  *lo = float3(std::numeric_limits<float>::max());
  *hi = float3(-std::numeric_limits<float>::max());
  for (int corner = 0; corner < 8; ++corner) {
    const float3 p = object.transform.point(
        float3((corner & 1) ? h.x : -h.x, (corner & 2) ? h.y : -h.y, (corner & 4) ? h.z : -h.z));
    *lo = float3(std::min(lo->x, p.x), std::min(lo->y, p.y), std::min(lo->z, p.z));
    *hi = float3(std::max(hi->x, p.x), std::max(hi->y, p.y), std::max(hi->z, p.z));
  }
  // A little slack so that flat shapes (planes) never get an empty box.
  const float pad = 1e-4f * std::max(1.0f, length(*hi - *lo));
  *lo = *lo - float3(pad);
  *hi = *hi + float3(pad);
}

struct ShapeGeometry {
  const Object* object;
  uint32_t id;
};

void shapeBounds(const RTCBoundsFunctionArguments* args) {
  const Object& object = *static_cast<const ShapeGeometry*>(args->geometryUserPtr)->object;
  float3 lo, hi;
  objectBounds(object, &lo, &hi);
  args->bounds_o->lower_x = lo.x;
  args->bounds_o->lower_y = lo.y;
  args->bounds_o->lower_z = lo.z;
  args->bounds_o->upper_x = hi.x;
  args->bounds_o->upper_y = hi.y;
  args->bounds_o->upper_z = hi.z;
}

void shapeIntersect(const RTCIntersectFunctionNArguments* args) {
  if (args->N != 1 || !args->valid[0]) return;
  const ShapeGeometry& shape = *static_cast<const ShapeGeometry*>(args->geometryUserPtr);
  RTCRayHit* rayhit = reinterpret_cast<RTCRayHit*>(args->rayhit);
  RTCRay& ray = rayhit->ray;
  const Transform& transform = shape.object->transform;
  const float3 o = transform.inversePoint(float3(ray.org_x, ray.org_y, ray.org_z));
  const float3 d = transform.inverseVector(float3(ray.dir_x, ray.dir_y, ray.dir_z));
  float t;
  float3 normal;
  if (!intersectShape(*shape.object, o, d, {ray.tnear, ray.tfar}, &t, &normal)) return;
  ray.tfar = t;
  const float3 ng = transform.normal(normal);
  rayhit->hit.Ng_x = ng.x;
  rayhit->hit.Ng_y = ng.y;
  rayhit->hit.Ng_z = ng.z;
  rayhit->hit.u = 0.0f;
  rayhit->hit.v = 0.0f;
  rayhit->hit.primID = args->primID;
  rayhit->hit.geomID = shape.id;
  rayhit->hit.instID[0] = RTC_INVALID_GEOMETRY_ID;
}

void shapeOccluded(const RTCOccludedFunctionNArguments* args) {
  if (args->N != 1 || !args->valid[0]) return;
  const ShapeGeometry& shape = *static_cast<const ShapeGeometry*>(args->geometryUserPtr);
  RTCRay* ray = reinterpret_cast<RTCRay*>(args->ray);
  const Transform& transform = shape.object->transform;
  const float3 o = transform.inversePoint(float3(ray->org_x, ray->org_y, ray->org_z));
  const float3 d = transform.inverseVector(float3(ray->dir_x, ray->dir_y, ray->dir_z));
  float t;
  float3 normal;
  if (intersectShape(*shape.object, o, d, {ray->tnear, ray->tfar}, &t, &normal)) {
    ray->tfar = -std::numeric_limits<float>::infinity();
  }
}

// Errors are kept and reported once the build returns: exceptions must not cross Embree's C
// frames.
void embreeError(void* user, RTCError, const char* message) {
  std::string& first = *static_cast<std::string*>(user);
  if (first.empty()) first = message ? message : "unknown error";
}

}  // namespace

struct Geometry::Embree {
  RTCDevice device = nullptr;
  RTCScene all = nullptr;
  RTCScene casters = nullptr;
  std::vector<ShapeGeometry> shapes;
  std::string error;
  ~Embree() {
    if (casters) rtcReleaseScene(casters);
    if (all) rtcReleaseScene(all);
    if (device) rtcReleaseDevice(device);
  }
};

Geometry::Geometry(std::vector<Object> objects)
    : objects_(std::move(objects)), embree_(std::make_unique<Embree>()) {
  embree_->device = rtcNewDevice(nullptr);
  if (embree_->device == nullptr) {
    throw GeometryError("the ray-tracing kernel (Embree) could not start on this processor");
  }
  rtcSetDeviceErrorFunction(embree_->device, embreeError, &embree_->error);
  embree_->all = rtcNewScene(embree_->device);
  embree_->casters = rtcNewScene(embree_->device);
  embree_->shapes.resize(objects_.size());
  worldVertices_.resize(objects_.size());

  float3 lo(std::numeric_limits<float>::max()), hi(-std::numeric_limits<float>::max());
  for (size_t i = 0; i < objects_.size(); ++i) {
    const Object& object = objects_[i];
    const uint32_t id = static_cast<uint32_t>(i);
    for (RTCScene scene : {embree_->all, embree_->casters}) {
      if (scene == embree_->casters && !object.castsShadows) continue;
      RTCGeometry geometry;
      if (object.kind == ShapeKind::Mesh) {
        const Mesh& mesh = *object.mesh;
        std::vector<float>& vertices = worldVertices_[i];
        if (vertices.empty()) {
          // xyz per vertex plus one float: Embree reads 16 bytes at the last vertex.
          vertices.reserve(mesh.positions.size() * 3 + 1);
          for (const float3& p : mesh.positions) {
            const float3 w = object.transform.point(p);
            vertices.insert(vertices.end(), {w.x, w.y, w.z});
            lo = float3(std::min(lo.x, w.x), std::min(lo.y, w.y), std::min(lo.z, w.z));
            hi = float3(std::max(hi.x, w.x), std::max(hi.y, w.y), std::max(hi.z, w.z));
          }
          vertices.push_back(0.0f);
        }
        geometry = rtcNewGeometry(embree_->device, RTC_GEOMETRY_TYPE_TRIANGLE);
        rtcSetSharedGeometryBuffer(geometry, RTC_BUFFER_TYPE_VERTEX, 0, RTC_FORMAT_FLOAT3,
                                   vertices.data(), 0, 3 * sizeof(float), mesh.positions.size());
        rtcSetSharedGeometryBuffer(geometry, RTC_BUFFER_TYPE_INDEX, 0, RTC_FORMAT_UINT3,
                                   mesh.indices.data(), 0, 3 * sizeof(uint32_t),
                                   mesh.triangleCount());
      } else {
        embree_->shapes[i] = {&object, id};
        geometry = rtcNewGeometry(embree_->device, RTC_GEOMETRY_TYPE_USER);
        rtcSetGeometryUserPrimitiveCount(geometry, 1);
        rtcSetGeometryUserData(geometry, &embree_->shapes[i]);
        rtcSetGeometryBoundsFunction(geometry, shapeBounds, nullptr);
        rtcSetGeometryIntersectFunction(geometry, shapeIntersect);
        rtcSetGeometryOccludedFunction(geometry, shapeOccluded);
        if (scene == embree_->all &&
            !(object.kind == ShapeKind::Plane && object.halfSize.x > 1e4f)) {
          float3 a, b;
          objectBounds(object, &a, &b);
          lo = float3(std::min(lo.x, a.x), std::min(lo.y, a.y), std::min(lo.z, a.z));
          hi = float3(std::max(hi.x, b.x), std::max(hi.y, b.y), std::max(hi.z, b.z));
        }
      }
      rtcCommitGeometry(geometry);
      rtcAttachGeometryByID(scene, geometry, id);
      rtcReleaseGeometry(geometry);
    }
  }
  rtcCommitScene(embree_->all);
  rtcCommitScene(embree_->casters);
  if (!embree_->error.empty()) {
    throw GeometryError("the ray-tracing kernel could not build the scene: " + embree_->error);
  }
  if (lo.x <= hi.x) sceneRadius_ = std::max(1.0f, 0.5f * length(hi - lo));
}

Geometry::~Geometry() = default;

namespace {

RTCRayHit makeRayHit(const Ray& ray) {
  RTCRayHit rh;
  rh.ray.org_x = ray.origin.x;
  rh.ray.org_y = ray.origin.y;
  rh.ray.org_z = ray.origin.z;
  rh.ray.dir_x = ray.direction.x;
  rh.ray.dir_y = ray.direction.y;
  rh.ray.dir_z = ray.direction.z;
  rh.ray.tnear = ray.tnear;
  rh.ray.tfar = ray.tfar;
  rh.ray.time = 0.0f;
  rh.ray.mask = 0xFFFFFFFFu;
  rh.ray.id = 0;
  rh.ray.flags = 0;
  rh.hit.geomID = RTC_INVALID_GEOMETRY_ID;
  rh.hit.primID = RTC_INVALID_GEOMETRY_ID;
  rh.hit.instID[0] = RTC_INVALID_GEOMETRY_ID;
  return rh;
}

bool closestHit(RTCScene scene, const Ray& ray, Hit* hit) {
  RTCIntersectContext context;
  rtcInitIntersectContext(&context);
  RTCRayHit rh = makeRayHit(ray);
  rtcIntersect1(scene, &context, &rh);
  if (rh.hit.geomID == RTC_INVALID_GEOMETRY_ID) return false;
  hit->t = rh.ray.tfar;
  hit->object = rh.hit.geomID;
  hit->primitive = rh.hit.primID;
  hit->u = rh.hit.u;
  hit->v = rh.hit.v;
  return true;
}

}  // namespace

bool Geometry::intersect(const Ray& ray, Hit* hit) const {
  return closestHit(embree_->all, ray, hit);
}

bool Geometry::intersectCasters(const Ray& ray, Hit* hit) const {
  return closestHit(embree_->casters, ray, hit);
}

bool Geometry::occluded(const Ray& ray) const {
  RTCIntersectContext context;
  rtcInitIntersectContext(&context);
  RTCRay r = makeRayHit(ray).ray;
  rtcOccluded1(embree_->casters, &context, &r);
  return r.tfar < 0.0f;
}

SurfacePoint Geometry::surface(const Ray& ray, const Hit& hit) const {
  const Object& object = objects_[hit.object];
  const Transform& transform = object.transform;
  SurfacePoint s;
  s.P = ray.origin + ray.direction * hit.t;
  s.Po = transform.inversePoint(s.P);
  switch (object.kind) {
    case ShapeKind::Mesh: {
      const Mesh& mesh = *object.mesh;
      const uint32_t* tri = &mesh.indices[3 * static_cast<size_t>(hit.primitive)];
      const float w0 = 1.0f - hit.u - hit.v, w1 = hit.u, w2 = hit.v;
      const auto blend = [&](const auto& values) {
        return values[tri[0]] * w0 + values[tri[1]] * w1 + values[tri[2]] * w2;
      };
      // Positions from the object-space vertices keep Po free of the world transform's
      // rounding.
      s.Po = blend(mesh.positions);
      const float3 faceNormal = normalize(cross(mesh.positions[tri[1]] - mesh.positions[tri[0]],
                                                mesh.positions[tri[2]] - mesh.positions[tri[0]]));
      s.No = normalize(blend(mesh.normals));
      if (!(length(s.No) > 0.0f)) s.No = faceNormal;
      s.Ng = normalize(transform.normal(faceNormal));
      s.N = normalize(transform.normal(s.No));
      if (!mesh.uv.empty()) {
        const float2 a = mesh.uv[tri[0]], b = mesh.uv[tri[1]], c = mesh.uv[tri[2]];
        s.uv = float2(a.x * w0 + b.x * w1 + c.x * w2, a.y * w0 + b.y * w1 + c.y * w2);
      }
      s.uv1 = s.uv;
      s.tangent = normalize(blend(mesh.tangents));
      s.bitangent = normalize(blend(mesh.bitangents));
      if (!mesh.colors.empty()) {
        const float4 a = mesh.colors[tri[0]], b = mesh.colors[tri[1]], c = mesh.colors[tri[2]];
        s.color = a * w0 + b * w1 + c * w2;
      }
      return s;
    }
    case ShapeKind::Sphere: {
      const float3 n = normalize(s.Po);
      s.No = n;
      // Latitude and longitude: u once around the z axis from -x, v from the south pole up.
      s.uv = float2(std::atan2(n.y, n.x) * (0.5f / kPi) + 0.5f,
                    std::acos(std::clamp(-n.z, -1.0f, 1.0f)) * (1.0f / kPi));
      const float3 around(-n.y, n.x, 0.0f);
      s.tangent = length(around) > 1e-6f ? normalize(around) : float3(1.0f, 0.0f, 0.0f);
      s.bitangent = normalize(cross(n, s.tangent));
      break;
    }
    case ShapeKind::Plane:
      s.No = float3(0.0f, 0.0f, 1.0f);
      s.uv = float2(s.Po.x * object.uvScale.x, s.Po.y * object.uvScale.y);
      s.tangent = float3(1.0f, 0.0f, 0.0f);
      s.bitangent = float3(0.0f, 1.0f, 0.0f);
      break;
    case ShapeKind::Box: {
      const float3 h = object.halfSize;
      const float3 q(s.Po.x / h.x, s.Po.y / h.y, s.Po.z / h.z);
      const float ax = std::fabs(q.x), ay = std::fabs(q.y), az = std::fabs(q.z);
      // Each face maps to the unit square, seen from outside with the tangent along u.
      if (ax >= ay && ax >= az) {
        const float sign = q.x >= 0.0f ? 1.0f : -1.0f;
        s.No = float3(sign, 0.0f, 0.0f);
        s.tangent = float3(0.0f, sign, 0.0f);
        s.uv = float2(0.5f * (sign * q.y + 1.0f), 0.5f * (q.z + 1.0f));
      } else if (ay >= az) {
        const float sign = q.y >= 0.0f ? 1.0f : -1.0f;
        s.No = float3(0.0f, sign, 0.0f);
        s.tangent = float3(-sign, 0.0f, 0.0f);
        s.uv = float2(0.5f * (-sign * q.x + 1.0f), 0.5f * (q.z + 1.0f));
      } else {
        const float sign = q.z >= 0.0f ? 1.0f : -1.0f;
        s.No = float3(0.0f, 0.0f, sign);
        s.tangent = float3(1.0f, 0.0f, 0.0f);
        s.uv = float2(0.5f * (q.x + 1.0f), 0.5f * (sign * q.y + 1.0f));
      }
      s.bitangent = cross(s.No, s.tangent);
      break;
    }
  }
  s.uv1 = s.uv;
  s.N = normalize(transform.normal(s.No));
  s.Ng = s.N;
  return s;
}

}  // namespace tarvo::render
