// Instructions per entry-point call, the figure a loaded machine cannot disturb. tarvo-bench runs
// every catalogue class's entry points (with the setups its benchmarks register, or its defaults)
// and the bare kernels they are compared with over a fixed set of varied shading states under
// valgrind's callgrind, one collection window per entry point, and divides by the calls:
//
//   tarvo-bench --count-instructions          print the table
//   tarvo-bench --check-instructions FILE     compare with the figures recorded in FILE; exit 1
//                                             when an entry point grew past its tolerance
//   tarvo-bench --record-instructions FILE    write FILE (docs/instruction-counts.md)
//   tarvo-bench --dump-outputs FILE           write every output of the same passes to FILE
//                                             (no valgrind): a rearrangement of the shading
//                                             code leaves it byte for byte the same
//
// Each mode starts valgrind on tarvo-bench itself (`VALGRIND` names another valgrind) and reads
// the dumps it leaves. Classes that declare no parameters are not built yet and are not measured;
// entry points without a recorded figure are reported and never fail the check.
#ifndef TARVO_BENCH_INSTRUCTION_COUNTS_H
#define TARVO_BENCH_INSTRUCTION_COUNTS_H

namespace tarvo::bench {

// True when the arguments ask for one of the modes above (or the measuring run valgrind starts).
bool wantsInstructionCounts(int argc, char** argv);

// Runs the mode; returns the process's exit status.
int runInstructionCounts(int argc, char** argv);

}  // namespace tarvo::bench

#endif  // TARVO_BENCH_INSTRUCTION_COUNTS_H
