// Replaces the global operator new of the test executable (on ELF targets the shader library's
// calls resolve to it too) so that tests can count allocations made inside a scope, or make them
// fail.
#ifndef TARVO_TESTS_ALLOCATION_COUNTER_H
#define TARVO_TESTS_ALLOCATION_COUNTER_H

#include <cstddef>

namespace tarvo::test {

// True where the shader library's allocations go through this executable's operator new
// (ELF interposition); a Windows DLL carries its own runtime.
constexpr bool kAllocationsVisible =
#if defined(_WIN32)
    false;
#else
    true;
#endif

// While alive: counts the calling thread's allocations, or with `failing` makes every one of
// them throw std::bad_alloc.
class AllocationScope {
 public:
  explicit AllocationScope(bool failing = false);
  ~AllocationScope();
  AllocationScope(const AllocationScope&) = delete;
  AllocationScope& operator=(const AllocationScope&) = delete;
  size_t count() const;

 private:
  bool failing_;
};

}  // namespace tarvo::test

#endif  // TARVO_TESTS_ALLOCATION_COUNTER_H
