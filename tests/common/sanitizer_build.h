// Which sanitizer a test program is built with: RVTEST_ASAN (address, with its leak check at
// exit) or RVTEST_TSAN (thread). g++ says so with __SANITIZE_*__, clang with __has_feature.
#pragma once

#if defined(__SANITIZE_ADDRESS__)
#define RVTEST_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define RVTEST_ASAN 1
#endif
#endif

#if defined(__SANITIZE_THREAD__)
#define RVTEST_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define RVTEST_TSAN 1
#endif
#endif
