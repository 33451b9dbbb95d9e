// The environment as a light: how bright it is towards each direction, tabulated once over a
// latitude-longitude grid (z up), so that directions can be drawn where it is bright and the
// density of any direction told. Gathering rays mix these draws with their cosine draws and
// weigh each by both densities (multiple importance sampling), so a small bright sun is found
// by the draws aimed at it rather than by one cosine ray in thousands.
#ifndef TARVO_HOST_RENDER_ENVIRONMENT_LIGHT_H
#define TARVO_HOST_RENDER_ENVIRONMENT_LIGHT_H

#include <functional>
#include <vector>

#include "host/render/math.h"

namespace tarvo::render {

class EnvironmentLight {
 public:
  static constexpr int kColumns = 256, kRows = 128;

  // Tabulates the luminance that `radiance` gives the centre direction of every cell.
  explicit EnvironmentLight(const std::function<float(float3)>& luminance);

  // False for an environment that is black everywhere: nothing to draw.
  bool lit() const { return total_ > 0.0f; }
  // A direction drawn with density proportional to the luminance of its cell, uniform within
  // the cell; u1, u2 in [0, 1).
  float3 sample(float u1, float u2, float* density) const;
  // The density (per solid angle) with which sample draws the direction d (unit length).
  float density(float3 d) const;

 private:
  float cellDensity(int row, int column) const;

  // Running sums: of whole rows, and within each row of its cells (kColumns + 1 per row).
  std::vector<float> rowSums_, cellSums_;
  float total_ = 0.0f;
};

}  // namespace tarvo::render

#endif  // TARVO_HOST_RENDER_ENVIRONMENT_LIGHT_H
