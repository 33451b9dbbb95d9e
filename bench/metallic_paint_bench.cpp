// quarra_Mtl_MetallicPaint: nanoseconds per entry-point call on the varied states with four light
// records. Defaults: shade 500, evaluate 150, scatter 250. With the topcoat, flecks, pearl, hue
// shift and orange peel: shade 1500; evaluate and scatter 300 (the peel asks the host's noise).
#include "bench/bench_support.h"

namespace tarvo::bench {
namespace {

void everyLayer(BoundShader& s) {
  s.set("u_topcoatEnable", true);
  s.set("u_flecksEnable", true);
  s.set("u_pearl", int32_t{1});
  s.set("u_finish", int32_t{1});
  s.set("u_hueWeight", 0.4f);
  s.set("u_shiftedColor", pvx::float3(0.1f, 0.3f, 0.8f));
  s.set("u_baseHighlightSpread", 0.8f);
  s.set("u_baseBiasFactor", 1.5f);
  s.set("u_baseCurvePower", 5.0f);
  s.set("u_baseRoughValue", 0.15f);
}

const bool registered = [] {
  registerEntryPoints("quarra_Mtl_MetallicPaint", "default", {},
                      EntryBudgets{500.0, 0.0, 150.0, 250.0});
  registerEntryPoints("quarra_Mtl_MetallicPaint", "every_layer", everyLayer,
                      EntryBudgets{1500.0, 0.0, 300.0, 300.0});
  return true;
}();

}  // namespace
}  // namespace tarvo::bench
