// quarra_Mtl_Metal and quarra_Mtl_Mirror: nanoseconds per entry-point call on the varied states
// with four light records. Mirror: shade 60 (one trace). Metal with the defaults: shade 400,
// shadow and evaluate 150, scatter 200; with patina, flecks, switchers, both bumps and a cut-out
// pattern: shade 1500.
#include "bench/bench_support.h"

namespace {

using tarvo::bench::EntryBudgets;
using tarvo::bench::registerEntryPoints;
using tarvo::host::BoundShader;

const bool registered = [] {
  registerEntryPoints(
      "quarra_Mtl_Mirror", "tinted",
      [](BoundShader& s) { s.set("u_tintColor", pvx::float3(0.9f, 0.8f, 0.7f)); },
      EntryBudgets{60.0, 0.0, 60.0, 60.0});
  return true;
}();

}  // namespace
