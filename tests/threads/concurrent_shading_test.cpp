// One instance of every class shaded from 16 threads at once, each thread with its own states and
// its own host: every result must equal, bit for bit, the same call made on a single thread.
// Built with ThreadSanitizer by the tsan preset, where any data race fails the run; elsewhere it
// still proves that results do not depend on what other threads shade meanwhile.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/scene_sampler.h"
#include "tests/support/shading_contract.h"
#include "tests/support/test_support.h"

namespace tarvo::test {
namespace {

constexpr int kThreads = 16, kStatesPerThread = 3, kRounds = 8;

struct Call {
  size_t shader;
  Entry entry;
  pvx::ShadingState state;
  pvx::ShadingState expected;  // the state after the single-threaded call
};

TEST(ConcurrentShading, SixteenThreadsGiveTheSingleThreadedResultsBitForBit) {
  // Scene, answers and texels are shared by every thread and read-only while shading.
  Rng rng(20240611);
  host::TextureSet textures;
  host::HostAnswers answers;
  sampleAnswers(rng, &answers, &textures);
  std::vector<std::unique_ptr<host::BoundShader>> shaders;
  for (const pvx::CatalogueEntry& entry : pvx::kCatalogue) {
    shaders.push_back(std::make_unique<host::BoundShader>(makeShader(entry.className)));
    sampleParameters(rng, shaders.back()->get(), shaders.back()->table(), {}, &textures);
  }

  std::vector<std::vector<Call>> calls(kThreads);
  host::RecordingHost referenceHost(host::HostPolicy::Cycling, answers);
  for (int t = 0; t < kThreads; ++t) {
    for (size_t s = 0; s < shaders.size(); ++s) {
      for (int k = 0; k < kStatesPerThread; ++k) {
        const pvx::ShadingState state = sampleState(rng, shaders[s]->table());
        for (Entry entry : kEntries) {
          if (!hasEntry(shaders[s]->kind(), entry)) continue;
          Call call{s, entry, state, state};
          referenceHost.rewind();
          callEntry(shaders[s]->get(), entry, &referenceHost, &call.expected);
          calls[size_t(t)].push_back(call);
        }
      }
    }
  }

  std::atomic<int> started{0};
  std::vector<std::string> firstMismatch(kThreads);
  std::vector<int> mismatches(kThreads, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      host::RecordingHost host(host::HostPolicy::Cycling, answers);
      // Start together, so that the threads shade the same objects at the same time.
      started.fetch_add(1);
      while (started.load() < kThreads)
        std::this_thread::yield();
      for (int round = 0; round < kRounds; ++round) {
        for (const Call& call : calls[size_t(t)]) {
          pvx::ShadingState state = call.state;
          host.rewind();
          callEntry(shaders[call.shader]->get(), call.entry, &host, &state);
          if (std::memcmp(&state, &call.expected, sizeof state) != 0 && mismatches[t]++ == 0) {
            firstMismatch[t] = shaders[call.shader]->className() + " " + entryName(call.entry);
          }
        }
      }
    });
  }
  for (std::thread& thread : threads)
    thread.join();

  for (int t = 0; t < kThreads; ++t) {
    EXPECT_EQ(mismatches[t], 0) << "thread " << t << ", first in " << firstMismatch[t];
  }
}

}  // namespace
}  // namespace tarvo::test
