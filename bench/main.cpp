// tarvo-bench: Google Benchmark's runner plus a budget check. With --check-budgets every
// benchmark that reports a `budget_ns` counter is compared (CPU nanoseconds per call, the figure
// least disturbed by other load) with its budget, a table is printed at the end, and the exit
// status is 1 when any is over. The instruction-count modes (bench/instruction_counts.h) run
// instead of the benchmarks when asked for.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench/instruction_counts.h"

namespace {

struct BudgetResult {
  std::string name;
  double cpuNs;
  double budgetNs;
};

class BudgetReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      const auto budget = run.counters.find("budget_ns");
      if (budget == run.counters.end() || run.iterations == 0) continue;
      results.push_back({run.benchmark_name(), run.GetAdjustedCPUTime(), budget->second.value});
    }
  }
  std::vector<BudgetResult> results;
};

}  // namespace

int main(int argc, char** argv) {
  if (tarvo::bench::wantsInstructionCounts(argc, argv)) {
    return tarvo::bench::runInstructionCounts(argc, argv);
  }
  bool checkBudgets = false;
  std::vector<char*> arguments;
  for (int i = 0; i < argc; ++i) {
    if (std::strcmp(argv[i], "--check-budgets") == 0) {
      checkBudgets = true;
    } else {
      arguments.push_back(argv[i]);
    }
  }
  int count = static_cast<int>(arguments.size());
  benchmark::Initialize(&count, arguments.data());
  if (benchmark::ReportUnrecognizedArguments(count, arguments.data())) return 2;

  BudgetReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  if (!checkBudgets) return 0;

  int over = 0;
  std::printf("\n%-60s %10s %10s\n", "entry point", "cpu ns", "budget ns");
  for (const BudgetResult& r : reporter.results) {
    const bool ok = r.cpuNs <= r.budgetNs;
    over += ok ? 0 : 1;
    std::printf("%-60s %10.1f %10.0f %s\n", r.name.c_str(), r.cpuNs, r.budgetNs,
                ok ? "" : "OVER BUDGET");
  }
  std::printf("%zu entry points measured, %d over budget\n", reporter.results.size(), over);
  return over == 0 ? 0 : 1;
}
