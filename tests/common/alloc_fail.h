// Running out of memory on demand: while armed, the n-th allocation of the program throws
// std::bad_alloc. Include it in exactly one source file of a test program: it replaces every
// form of the global operator new and delete.
#pragma once
#include <gtest/gtest.h>

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <functional>
#include <new>

#include "common/sanitizer_build.h"

// clang's thread sanitizer links the whole of its own operator new and delete into every
// program, so none can be replaced: there no allocation can be made to fail, and the tests
// that need it skip (RVTEST_NEEDS_ALLOC_FAIL() first in the test).
#if defined(RVTEST_TSAN) && defined(__clang__)
#define RVTEST_NO_ALLOC_FAIL 1
#endif
#ifdef RVTEST_NO_ALLOC_FAIL
#define RVTEST_NEEDS_ALLOC_FAIL() GTEST_SKIP() << "the thread sanitizer's operator new cannot be replaced"
#else
#define RVTEST_NEEDS_ALLOC_FAIL() static_cast<void>(0)
#endif

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

#ifndef RVTEST_NO_ALLOC_FAIL

namespace rvtest::detail {

// Every form of the global operator new comes here, so all of them count towards the armed
// failure and all memory comes from malloc or posix_memalign and goes back through free:
// a form left to the library (or to a sanitizer's runtime) would hand out memory our
// delete frees with the wrong call.
inline void* Allocate(std::size_t n, std::size_t align) {
  if (gAllocCountdown.load(std::memory_order_relaxed) > 0 && gAllocCountdown.fetch_sub(1) == 1)
    throw std::bad_alloc();
  if (n == 0) n = 1;
  void* p = nullptr;
  if (align <= alignof(std::max_align_t)) p = std::malloc(n);
  else if (posix_memalign(&p, align < sizeof(void*) ? sizeof(void*) : align, n) != 0) p = nullptr;
  if (!p) throw std::bad_alloc();
  return p;
}

// The nothrow forms fail the way the library's do: the throwing form's failure as null.
inline void* AllocateOrNull(std::size_t n, std::size_t align) noexcept {
  try {
    return Allocate(n, align);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

}  // namespace rvtest::detail

// GCC takes free() here for a mismatch with the new-expressions it has inlined.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t n) { return rvtest::detail::Allocate(n, 0); }
void* operator new[](std::size_t n) { return rvtest::detail::Allocate(n, 0); }
void* operator new(std::size_t n, std::align_val_t a) { return rvtest::detail::Allocate(n, std::size_t(a)); }
void* operator new[](std::size_t n, std::align_val_t a) { return rvtest::detail::Allocate(n, std::size_t(a)); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept { return rvtest::detail::AllocateOrNull(n, 0); }
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept { return rvtest::detail::AllocateOrNull(n, 0); }
void* operator new(std::size_t n, std::align_val_t a, const std::nothrow_t&) noexcept {
  return rvtest::detail::AllocateOrNull(n, std::size_t(a));
}
void* operator new[](std::size_t n, std::align_val_t a, const std::nothrow_t&) noexcept {
  return rvtest::detail::AllocateOrNull(n, std::size_t(a));
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept { std::free(p); }
#pragma GCC diagnostic pop

#endif  // RVTEST_NO_ALLOC_FAIL
