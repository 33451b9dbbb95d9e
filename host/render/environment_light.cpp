#include "host/render/environment_light.h"

#include <algorithm>
#include <cmath>

namespace tarvo::render {

namespace {

constexpr float kRowAngle = kPi / static_cast<float>(EnvironmentLight::kRows);
constexpr float kColumnAngle = 2.0f * kPi / static_cast<float>(EnvironmentLight::kColumns);

// Rows run from straight up (row 0) to straight down; columns around z from +x.
float3 direction(float cosTheta, float phi) {
  const float sinTheta = std::sqrt(std::max(0.0f, 1.0f - cosTheta * cosTheta));
  return {sinTheta * std::cos(phi), sinTheta * std::sin(phi), cosTheta};
}

float solidAngle(int row) {
  return kColumnAngle * (std::cos(static_cast<float>(row) * kRowAngle) -
                         std::cos(static_cast<float>(row + 1) * kRowAngle));
}

// The index i with sums[first + i] <= target < sums[first + i + 1].
int find(const std::vector<float>& sums, size_t first, int count, float target) {
  const auto begin = sums.begin() + static_cast<std::ptrdiff_t>(first);
  const auto at = std::upper_bound(begin + 1, begin + count + 1, target);
  return std::clamp(static_cast<int>(at - begin) - 1, 0, count - 1);
}

}  // namespace

EnvironmentLight::EnvironmentLight(const std::function<float(float3)>& luminance)
    : rowSums_(kRows + 1, 0.0f), cellSums_(static_cast<size_t>(kRows) * (kColumns + 1), 0.0f) {
  for (int row = 0; row < kRows; ++row) {
    const float cosTheta = std::cos((static_cast<float>(row) + 0.5f) * kRowAngle);
    const size_t first = static_cast<size_t>(row) * (kColumns + 1);
    for (int column = 0; column < kColumns; ++column) {
      const float l =
          luminance(direction(cosTheta, (static_cast<float>(column) + 0.5f) * kColumnAngle));
      // Weighed by the cell's solid angle, which shrinks towards the poles.
      const float weight = std::isfinite(l) && l > 0.0f ? l * solidAngle(row) : 0.0f;
      cellSums_[first + static_cast<size_t>(column) + 1] = cellSums_[first + column] + weight;
    }
    rowSums_[static_cast<size_t>(row) + 1] = rowSums_[row] + cellSums_[first + kColumns];
  }
  total_ = rowSums_[kRows];
}

float EnvironmentLight::cellDensity(int row, int column) const {
  const size_t at = static_cast<size_t>(row) * (kColumns + 1) + static_cast<size_t>(column);
  return (cellSums_[at + 1] - cellSums_[at]) / (total_ * solidAngle(row));
}

float3 EnvironmentLight::sample(float u1, float u2, float* density) const {
  const int row = find(rowSums_, 0, kRows, u1 * total_);
  const size_t first = static_cast<size_t>(row) * (kColumns + 1);
  const float rowShare = cellSums_[first + kColumns];
  // The rest of u1 within the row picks the column; u2 places the point within the cell.
  const float inRow = std::clamp((u1 * total_ - rowSums_[row]) / rowShare, 0.0f, 1.0f);
  const int column = find(cellSums_, first, kColumns, inRow * rowShare);
  const float top = std::cos(static_cast<float>(row) * kRowAngle);
  const float bottom = std::cos(static_cast<float>(row + 1) * kRowAngle);
  const float cellAt = (inRow * rowShare - cellSums_[first + column]) /
                       std::max(1e-30f, cellSums_[first + column + 1] - cellSums_[first + column]);
  const float phi = (static_cast<float>(column) + std::clamp(cellAt, 0.0f, 1.0f)) * kColumnAngle;
  *density = cellDensity(row, column);
  return direction(top + (bottom - top) * u2, phi);
}

float EnvironmentLight::density(float3 d) const {
  const int row = std::clamp(static_cast<int>(std::acos(std::clamp(d.z, -1.0f, 1.0f)) / kRowAngle),
                             0, kRows - 1);
  float phi = std::atan2(d.y, d.x);
  if (phi < 0.0f) phi += 2.0f * kPi;
  const int column = std::clamp(static_cast<int>(phi / kColumnAngle), 0, kColumns - 1);
  return cellDensity(row, column);
}

}  // namespace tarvo::render
