#include "tests/support/allocation_counter.h"

#include <cstdlib>
#include <new>

namespace {
thread_local size_t tCounting = 0;
thread_local size_t tCount = 0;
thread_local size_t tFailing = 0;

void* allocate(std::size_t size) {
  if (tFailing) throw std::bad_alloc();
  if (tCounting) ++tCount;
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
}  // namespace

void* operator new(std::size_t size) {
  return allocate(size);
}
void* operator new[](std::size_t size) {
  return allocate(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return allocate(size);
  } catch (...) {
    return nullptr;
  }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return allocate(size);
  } catch (...) {
    return nullptr;
  }
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete[](void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  std::free(p);
}

namespace tarvo::test {

AllocationScope::AllocationScope(bool failing) : failing_(failing) {
  ++(failing ? tFailing : tCounting);
  tCount = 0;
}
AllocationScope::~AllocationScope() {
  --(failing_ ? tFailing : tCounting);
}
size_t AllocationScope::count() const {
  return tCount;
}

}  // namespace tarvo::test
