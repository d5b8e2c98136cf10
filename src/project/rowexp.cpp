#include "project/rowexp.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "solver/kernelattrs.h"

namespace rv {

namespace {

// Four lanes side by side; the scalar form runs the same operations in the same order (no
// contraction into FMA), so each lane gives the scalar's bits.
using V = double __attribute__((vector_size(32)));
using U = uint64_t __attribute__((vector_size(32)));
using M = int64_t __attribute__((vector_size(32)));
constexpr int kLanes = 4;

// Vectors pass by reference only: their by-value ABI differs between the clones.
template <class T, class B>
__attribute__((always_inline)) inline void Cast(const T& v, B& out) {
  if constexpr (sizeof(T) == sizeof(double)) out = std::bit_cast<B>(v);
  else out = (B)v;
}

constexpr double kShifter = 0x1.8p52;  // adding it rounds to an integer, held in the low bits
constexpr double kInvLn2 = 0x1.71547652b82fep0;
constexpr double kLn2Hi = 0x1.62e42fefa3800p-1;  // low bits zero: k * kLn2Hi is exact
constexpr double kLn2Lo = 0x1.ef35793c7673p-45;
constexpr double kLimit = 708;  // up to |x| = 708, 2^k and the result are normal numbers

constexpr double InvFact(int n) {
  double f = 1;
  for (int i = 2; i <= n; ++i) f *= i;
  return 1 / f;
}

// exp(x) = 2^k exp(r), |r| <= ln2 / 2, for |x| <= kLimit.
template <class T, class B>
__attribute__((always_inline)) inline void Core(T& x) {
  T kd = x * kInvLn2 + kShifter;
  B scale;
  Cast(kd, scale);
  scale -= std::bit_cast<uint64_t>(kShifter) - 1023;
  scale <<= 52;
  kd = kd - kShifter;
  const T hi = x - kd * kLn2Hi, lo = kd * kLn2Lo;
  const T r = hi - lo;
  const T c = (hi - r) - lo;  // what the subtraction rounded off
  // exp(r) - 1 - r = r^2 (1/2! + r/3! + ... + r^11/13!): the series' remainder is below
  // 1e-17; summed in pairs, which shortens the chains.
  const T r2 = r * r, r4 = r2 * r2;
  const T a0 = r * InvFact(3) + InvFact(2), a1 = r * InvFact(5) + InvFact(4);
  const T a2 = r * InvFact(7) + InvFact(6), a3 = r * InvFact(9) + InvFact(8);
  const T a4 = r * InvFact(11) + InvFact(10), a5 = r * InvFact(13) + InvFact(12);
  const T b0 = a1 * r2 + a0, b1 = a3 * r2 + a2, b2 = a5 * r2 + a4;
  const T p = (b2 * r4 + b1) * r4 + b0;
  const T q = r + (r2 * p + c);
  T f;
  Cast(scale, f);
  x = (1 + q) * f;
}

// The row's groups of four lanes; with Patch, a group holding a value beyond the range takes
// that value from the library.
template <bool Patch>
__attribute__((always_inline)) inline void Groups(const double* x, double* y, int whole) {
  for (int i = 0; i < whole; i += kLanes) {
    V v;
    std::memcpy(&v, x + i, sizeof v);
    const V in = v;
    Core<V, U>(v);
    std::memcpy(y + i, &v, sizeof v);
    if (!Patch) continue;
    const M inside = (in <= kLimit) & (in >= -kLimit);
    if ((inside[0] & inside[1] & inside[2] & inside[3]) == 0)
      for (int l = 0; l < kLanes; ++l)
        if (!inside[l]) y[i + l] = std::exp(in[l]);
  }
}

// One value; beyond the range (under- and overflow, infinities, NaN) the library's. Inlined
// into each clone: a call from AVX code into code built without it stalls.
__attribute__((always_inline)) inline double One(double x) {
  if (!(std::fabs(x) <= kLimit)) return std::exp(x);
  Core<double, uint64_t>(x);
  return x;
}

}  // namespace

double ExpOf(double x) { return One(x); }

RV_KERNEL void ExpRow(const double* x, double* y, int n) {
  const int whole = n - n % kLanes;
  M inside = M{} - 1;
  for (int i = 0; i < whole; i += kLanes) {
    V v;
    std::memcpy(&v, x + i, sizeof v);
    inside &= (v <= kLimit) & (v >= -kLimit);
  }
  if ((inside[0] & inside[1] & inside[2] & inside[3]) != 0)
    Groups<false>(x, y, whole);
  else
    Groups<true>(x, y, whole);
  for (int i = whole; i < n; ++i) y[i] = One(x[i]);
}

}  // namespace rv
