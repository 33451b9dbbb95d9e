#include "host/render/math.h"

#include <stdexcept>

namespace tarvo::render {

pvx::mat4 multiply(const pvx::mat4& a, const pvx::mat4& b) {
  pvx::mat4 r{};
  for (int column = 0; column < 4; ++column) {
    for (int row = 0; row < 4; ++row) {
      float sum = 0.0f;
      for (int k = 0; k < 4; ++k)
        sum += a.m[k * 4 + row] * b.m[column * 4 + k];
      r.m[column * 4 + row] = sum;
    }
  }
  return r;
}

bool invertAffine(const pvx::mat4& m, pvx::mat4* result) {
  // The 3x3 part by its adjugate, in double so that large scene scales keep their precision.
  const double a = m.m[0], b = m.m[4], c = m.m[8];
  const double d = m.m[1], e = m.m[5], f = m.m[9];
  const double g = m.m[2], h = m.m[6], i = m.m[10];
  const double det = a * (e * i - f * h) - b * (d * i - f * g) + c * (d * h - e * g);
  if (!(std::fabs(det) > 1e-20)) return false;
  const double s = 1.0 / det;
  const double inv[9] = {(e * i - f * h) * s, (c * h - b * i) * s, (b * f - c * e) * s,
                         (f * g - d * i) * s, (a * i - c * g) * s, (c * d - a * f) * s,
                         (d * h - e * g) * s, (b * g - a * h) * s, (a * e - b * d) * s};
  // inv is row-major; store it column by column.
  pvx::mat4 r = pvx::identity4;
  for (int row = 0; row < 3; ++row)
    for (int column = 0; column < 3; ++column)
      r.m[column * 4 + row] = static_cast<float>(inv[row * 3 + column]);
  const double tx = m.m[12], ty = m.m[13], tz = m.m[14];
  for (int row = 0; row < 3; ++row) {
    r.m[12 + row] = static_cast<float>(
        -(inv[row * 3 + 0] * tx + inv[row * 3 + 1] * ty + inv[row * 3 + 2] * tz));
  }
  *result = r;
  return true;
}

Transform Transform::fromMatrix(const pvx::mat4& m) {
  Transform t;
  t.forward = m;
  // Only affine transforms are meaningful for objects; the fourth row is taken as (0, 0, 0, 1).
  t.forward.m[3] = t.forward.m[7] = t.forward.m[11] = 0.0f;
  t.forward.m[15] = 1.0f;
  if (!invertAffine(t.forward, &t.inverse)) {
    throw std::domain_error("the transform cannot be inverted (its 3x3 part is singular)");
  }
  return t;
}

// Matrices column by column: the translation is the last column.
Transform Transform::translate(float3 v) {
  return fromMatrix({{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, v.x, v.y, v.z, 1}});
}

Transform Transform::scale(float3 s) {
  return fromMatrix({{s.x, 0, 0, 0, 0, s.y, 0, 0, 0, 0, s.z, 0, 0, 0, 0, 1}});
}

Transform Transform::rotate(float3 axis, float degrees) {
  const float3 a = normalize(axis);
  const float r = degrees * (kPi / 180.0f);
  const float c = std::cos(r), s = std::sin(r), t = 1.0f - c;
  pvx::mat4 m = pvx::identity4;
  // Rodrigues' formula, written column by column.
  m.m[0] = t * a.x * a.x + c;
  m.m[1] = t * a.x * a.y + s * a.z;
  m.m[2] = t * a.x * a.z - s * a.y;
  m.m[4] = t * a.x * a.y - s * a.z;
  m.m[5] = t * a.y * a.y + c;
  m.m[6] = t * a.y * a.z + s * a.x;
  m.m[8] = t * a.x * a.z + s * a.y;
  m.m[9] = t * a.y * a.z - s * a.x;
  m.m[10] = t * a.z * a.z + c;
  return fromMatrix(m);
}

Transform Transform::operator*(const Transform& first) const {
  Transform r;
  r.forward = multiply(forward, first.forward);
  r.inverse = multiply(first.inverse, inverse);
  return r;
}

}  // namespace tarvo::render
