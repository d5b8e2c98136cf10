// Attributes of the row kernels: an AVX2 clone picked at run time where the compiler can
// make one (the same arithmetic, so the same bits), never inlined so each clone stays whole.
#pragma once

#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__)
#define RV_KERNEL __attribute__((target_clones("avx2", "default"))) __attribute__((noinline))
#else
#define RV_KERNEL __attribute__((noinline))
#endif
#define RV_RESTRICT __restrict__
