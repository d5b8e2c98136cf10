// Running out of memory on demand: while armed, the n-th allocation of the program throws
// std::bad_alloc. Include it in exactly one source file of a test program: it replaces the
// global operator new and delete.
#pragma once
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <new>

namespace rvtest {

inline std::atomic<long> gAllocCountdown{0};  // > 0: allocations left before the failing one

// Runs f with its n-th allocation failing. True when f got that far (so it met the failure);
// false when it finished with fewer allocations.
template <class F>
bool FailAllocation(long n, F&& f) {
  gAllocCountdown = n;
  f();
  const bool reached = gAllocCountdown.load() <= 0;
  gAllocCountdown = 0;
  return reached;
}

// Fails allocation 1, 2, ... of `load` in turn until it gets through without meeting the
// failure; `check(failed)` runs after each try.
inline void FailEachAllocation(const char* what, const std::function<void()>& load,
                               const std::function<void(bool)>& check) {
  long n = 1;
  for (; n < 100000; ++n) {
    bool reached = false;
    EXPECT_NO_THROW(reached = FailAllocation(n, load)) << what << ", allocation " << n;
    check(reached);
    if (!reached || ::testing::Test::HasFailure()) break;
  }
  EXPECT_GT(n, 3) << what;
}

}  // namespace rvtest

// GCC takes free() here for a mismatch with the new-expressions it has inlined.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t n) {
  if (rvtest::gAllocCountdown.load(std::memory_order_relaxed) > 0 && rvtest::gAllocCountdown.fetch_sub(1) == 1)
    throw std::bad_alloc();
  if (void* p = std::malloc(n ? n : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
#pragma GCC diagnostic pop
