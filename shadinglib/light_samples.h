// Walking the host's list of light samples for a hit.
#ifndef TARVO_SHADINGLIB_LIGHT_SAMPLES_H
#define TARVO_SHADINGLIB_LIGHT_SAMPLES_H

#include "tarvo/host_services.h"

namespace pvx {

// The list is host memory chained through `next`; a chain that loops back on itself must not
// hang a render thread, so records past this many are not visited.
constexpr int kMaxLightSamples = 1024;

// Calls visit(record) for each record from `first` on, in list order.
template <class Visit>
void forEachLightSample(const LightSample* first, Visit&& visit) {
  int visited = 0;
  for (const LightSample* s = first; s != nullptr && visited < kMaxLightSamples;
       s = s->next, ++visited) {
    visit(*s);
  }
}

}  // namespace pvx

#endif  // TARVO_SHADINGLIB_LIGHT_SAMPLES_H
