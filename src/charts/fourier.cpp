#include "charts/fourier.h"

#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <deque>
#include <memory>
#include <limits>
#include <mutex>
#include <numbers>

#include "charts/chartmodel.h"

namespace rv {

namespace {

using cplx = std::complex<double>;
constexpr double kTwoPi = 2 * std::numbers::pi;

// ---- FFTW plans: made once per size under the planner's lock and kept for reuse.

// Recursive: a plan freed while the cache holds the lock (an exception) takes it again.
std::recursive_mutex& PlannerLock() {
  static std::recursive_mutex m;
  return m;
}

struct Plans {
  int n = 0;
  fftw_plan fwd = nullptr, bwd = nullptr;
  ~Plans() {
    std::lock_guard<std::recursive_mutex> g(PlannerLock());
    if (fwd) fftw_destroy_plan(fwd);
    if (bwd) fftw_destroy_plan(bwd);
  }
};

// A few sizes stay planned; older ones go (a plan still in use lives on with its user).
std::shared_ptr<const Plans> PlansFor(int n) {
  static std::once_flag once;
  std::call_once(once, [] { fftw_make_planner_thread_safe(); });
  // The lock is made before the cache, so it outlives the plans the cache frees at exit.
  std::recursive_mutex& lock = PlannerLock();
  static std::deque<std::shared_ptr<const Plans>> cache;
  std::shared_ptr<const Plans> evicted;
  std::lock_guard<std::recursive_mutex> g(lock);
  for (const auto& p : cache)
    if (p->n == n) return p;
  fftw_complex* tmp = fftw_alloc_complex(std::size_t(n));
  if (!tmp) throw std::bad_alloc();
  // Estimated plans: measuring would cost more than the transforms of a chart command.
  fftw_plan fwd = fftw_plan_dft_1d(n, tmp, tmp, FFTW_FORWARD, FFTW_ESTIMATE);
  fftw_plan bwd = fftw_plan_dft_1d(n, tmp, tmp, FFTW_BACKWARD, FFTW_ESTIMATE);
  fftw_free(tmp);
  if (!fwd || !bwd) {
    if (fwd) fftw_destroy_plan(fwd);
    if (bwd) fftw_destroy_plan(bwd);
    throw std::bad_alloc();
  }
  auto p = std::make_shared<Plans>();
  p->n = n;
  p->fwd = fwd;
  p->bwd = bwd;
  cache.push_back(p);
  if (cache.size() > 6) {
    // Released after the lock: the plan's destructor takes it.
    evicted = std::move(cache.front());
    cache.pop_front();
  }
  std::shared_ptr<const Plans> out = p;
  return out;
}

// An FFTW-aligned complex buffer (new-array execution needs the alignment the plan saw).
class Buf {
public:
  explicit Buf(std::size_t n) : p_(fftw_alloc_complex(n)), n_(n) {
    if (!p_) throw std::bad_alloc();
  }
  ~Buf() { fftw_free(p_); }
  Buf(const Buf&) = delete;
  Buf& operator=(const Buf&) = delete;
  cplx* data() { return reinterpret_cast<cplx*>(p_); }
  cplx& operator[](std::size_t i) { return data()[i]; }
  void zero() { std::fill(data(), data() + n_, cplx(0, 0)); }
  fftw_complex* raw() { return p_; }

private:
  fftw_complex* p_;
  std::size_t n_;
};

void Forward(const Plans& p, Buf& b) { fftw_execute_dft(p.fwd, b.raw(), b.raw()); }
void Backward(const Plans& p, Buf& b) { fftw_execute_dft(p.bwd, b.raw(), b.raw()); }

// Smallest 2^a·3^b·5^c·7^d not below n: sizes FFTW handles fast.
long long GoodSize(long long n) {
  long long best = 1;
  while (best < n) best *= 2;
  for (long long p7 = 1; p7 < 2 * n; p7 *= 7)
    for (long long p5 = p7; p5 < 2 * n; p5 *= 5)
      for (long long p3 = p5; p3 < 2 * n; p3 *= 3) {
        long long v = p3;
        while (v < n) v *= 2;
        best = std::min(best, v);
      }
  return best;
}

// exp(−2πi·c) for a phase c in cycles: whole cycles dropped in long double first.
inline cplx Turn(long double c) {
  // Truncation is an instruction, nearbyint a library call; either leaves |r| < 1.
  const double r = double(std::fabs(c) < 0x1p62L ? c - (long double)(long long)c : c - std::nearbyint(c));
  return {std::cos(kTwoPi * r), -std::sin(kTwoPi * r)};
}

constexpr long long kCheckEvery = 1 << 16;  // samples between looks at the stop flag

bool Stopped(ILongTask* task) { return task && task->StopRequested(); }

struct NoTask : ILongTask {
  void Progress(int) override {}
  bool StopRequested() const override { return false; }
};
ILongTask& OrNone(ILongTask* task) {
  static NoTask none;
  return task ? *task : none;
}

}  // namespace

bool SampleGraph(const std::vector<double>& X, const std::vector<double>& Y, long long n, double timeFactor,
                 std::vector<float>& s, double& dt, ILongTask* task) {
  if (NanXCount(X) > 0) {
    std::vector<double> cx = X, cy = Y;
    DropNanX(cx, cy);
    return SampleGraph(cx, cy, n, timeFactor, s, dt, task);
  }
  s.assign(std::size_t(std::max(n, 0LL)), 0.0f);
  double lo = 0, hi = 0;
  bool any = false;
  for (double x : X) {
    if (!any) { lo = hi = x; any = true; }
    lo = std::min(lo, x);
    hi = std::max(hi, x);
  }
  const double x0 = float(lo), x1 = float(hi);
  const double dx = n > 1 ? (x1 - x0) / double(n - 1) : 0;
  dt = dx * timeFactor;
  const std::size_t count = std::min(X.size(), Y.size());
  if (!any || count < 2) return true;
  std::size_t b0 = 0;
  for (long long i = 0; i < n; ++i) {
    if (i % kCheckEvery == 0 && Stopped(task)) return false;
    const double x = double(i) * dx + x0;
    if (x < lo || x > hi) continue;
    for (std::size_t b = b0; b + 1 < count; ++b) {
      if (X[b] > x || X[b + 1] < x) continue;
      const double span = X[b + 1] - X[b];
      // A vertical step (equal X) takes its left value instead of 0/0.
      const double y = span != 0 ? Y[b] + (x - X[b]) * (Y[b + 1] - Y[b]) / span : Y[b];
      s[std::size_t(i)] = float(y * dt);
      b0 = b;
      break;
    }
  }
  return true;
}

double ScaleToPeak(std::vector<double>& Y) {
  double peak = 0;
  for (double y : Y)
    if (std::isfinite(y)) peak = std::max(peak, std::fabs(y));
  if (!(peak > 0)) return 1;
  for (double& y : Y)
    if (std::isfinite(y)) y /= peak;
  return peak;
}

namespace {

// ChirpZ over real or complex inputs: real ones are read where they lie, not copied.
template <class In>
bool ChirpZOf(const std::vector<In>& x, long double alpha, long long kMin, long long count, std::vector<cplx>& out,
              ILongTask* task) {
  out.assign(std::size_t(std::max(count, 0LL)), cplx(0, 0));
  const long long N = (long long)x.size();
  if (N == 0 || count <= 0) return true;
  // Blocks of inputs and outputs keep every FFT short (a stop is seen between them) and
  // the memory bounded; one block each for the usual sizes.
  constexpr long long kMaxBlock = 1LL << 20, kMinInBlock = 1LL << 18;
  const long long Kb = std::min(count, kMaxBlock);
  const long long B = std::min(N, std::min(kMaxBlock, std::max(Kb, kMinInBlock)));
  const long long L = GoodSize(B + Kb - 1);
  const auto plans = PlansFor(int(L));

  // Chirps, their phases α·j²/2 in cycles from exact integer squares.
  std::vector<cplx> inChirp(static_cast<std::size_t>(B)), outChirp(static_cast<std::size_t>(Kb));
  for (long long j = 0; j < std::max(B, Kb); ++j) {
    const cplx c = Turn(alpha * (long double)(j * j) / 2);
    if (j < B) inChirp[std::size_t(j)] = c;
    if (j < Kb) outChirp[std::size_t(j)] = c;
    if (j % kCheckEvery == 0 && Stopped(task)) return out.clear(), false;
  }
  Buf V(static_cast<std::size_t>(L)), U(static_cast<std::size_t>(L));
  V.zero();
  const double invL = 1.0 / double(L);
  for (long long j = 0; j < Kb; ++j) V[std::size_t(j)] = std::conj(outChirp[std::size_t(j)]) * invL;
  for (long long j = 1; j < B; ++j) V[std::size_t(L - j)] = std::conj(inChirp[std::size_t(j)]) * invL;
  Forward(*plans, V);

  const long long outBlocks = (count + Kb - 1) / Kb, inBlocks = (N + B - 1) / B;
  PercentCounter pc(OrNone(task), outBlocks * inBlocks);
  long long done = 0;
  for (long long k0 = 0; k0 < count; k0 += Kb) {
    const long long kb = std::min(Kb, count - k0);
    const long long kS = kMin + k0;
    for (long long i0 = 0; i0 < N; i0 += B) {
      if (!pc.Step(done)) return out.clear(), false;
      const long long nb = std::min(B, N - i0);
      U.zero();
      for (long long i = 0; i < nb; ++i) {
        cplx v = cplx(x[std::size_t(i0 + i)]) * inChirp[std::size_t(i)];
        if (kS != 0) v *= Turn(alpha * (long double)((__int128)kS * (i0 + i)));
        U[std::size_t(i)] = v;
        if (i % kCheckEvery == kCheckEvery - 1 && Stopped(task)) return out.clear(), false;
      }
      Forward(*plans, U);
      if (Stopped(task)) return out.clear(), false;
      for (long long j = 0; j < L; ++j) U[std::size_t(j)] *= V[std::size_t(j)];
      Backward(*plans, U);
      if (Stopped(task)) return out.clear(), false;
      for (long long m = 0; m < kb; ++m) {
        cplx v = U[std::size_t(m)] * outChirp[std::size_t(m)];
        if (i0 != 0) v *= Turn(alpha * (long double)(m * i0));
        out[std::size_t(k0 + m)] += v;
      }
      ++done;
    }
  }
  pc.Step(done);
  return true;
}

}  // namespace

bool ChirpZ(const std::vector<cplx>& x, long double alpha, long long kMin, long long count, std::vector<cplx>& out,
            ILongTask* task) {
  return ChirpZOf(x, alpha, kMin, count, out, task);
}

bool SpectrumSums(const std::vector<float>& s, double dt, double dF, long long kMin, long long count,
                  std::vector<cplx>& out, ILongTask* task) {
  return ChirpZOf(s, (long double)dF * (long double)dt, kMin, count, out, task);
}

void FFTSums(const std::vector<float>& a, long long kMin, long long count, std::vector<cplx>& out) {
  const long long n = (long long)a.size();
  out.assign(std::size_t(std::max(count, 0LL)), cplx(0, 0));
  if (n == 0 || count <= 0) return;
  const auto plans = PlansFor(int(n));
  Buf b{static_cast<std::size_t>(n)};
  for (long long i = 0; i < n; ++i) b[std::size_t(i)] = cplx(a[std::size_t(i)], 0);
  Forward(*plans, b);
  for (long long m = 0; m < count; ++m) {
    const long long k = kMin + m;
    if (k >= 0 && k < n) out[std::size_t(m)] = b[std::size_t(k)];
  }
}

SampleSums BandSums(double dt, double dF, long long kMin, long long count, ILongTask* task) {
  struct StopOnly : ILongTask {
    ILongTask* task = nullptr;
    void Progress(int) override {}
    bool StopRequested() const override { return Stopped(task); }
  };
  auto quiet = std::make_shared<StopOnly>();
  quiet->task = task;
  return [=, first = true](const std::vector<float>& a, std::vector<cplx>& z) mutable {
    const bool ok = SpectrumSums(a, dt, dF, kMin, count, z, first ? task : quiet.get());
    first = false;
    return ok;
  };
}

namespace {

// ∫_0^1 (1−u)·e^(−iθu) du, the transform of a straight piece's falling half; the rising
// half's is e^(−iθ)·conj of it, and a whole hat's 2·Re of it.
cplx HalfHat(double th) {
  const cplx a(0, -th);
  if (std::fabs(th) >= 0.25) return (std::exp(a) - 1.0 - a) / (a * a);
  // Σ a^k/(k+2)!: the closed form would lose digits to cancellation here.
  cplx term(0.5, 0), sum(0, 0);
  for (int k = 0; k < 20; ++k) {
    sum += term;
    term *= a / double(k + 3);
  }
  return sum;
}

// Gauss-Legendre nodes and weights on [0, 1], exact for polynomials of degree 2q−1.
void GaussNodes(int q, std::vector<double>& v, std::vector<double>& w) {
  v.assign(std::size_t(q), 0);
  w.assign(std::size_t(q), 0);
  for (int i = 0; i < q; ++i) {
    double x = std::cos(std::numbers::pi * (i + 0.75) / (q + 0.5)), dp = 1;
    for (int it = 0; it < 100; ++it) {
      double p0 = 1, p1 = x;
      for (int k = 2; k <= q; ++k) {
        const double p2 = ((2 * k - 1) * x * p1 - (k - 1) * p0) / k;
        p0 = p1;
        p1 = p2;
      }
      if (q == 1) p0 = 1;
      dp = q * (x * p1 - p0) / (x * x - 1);
      const double dx = p1 / dp;
      x -= dx;
      if (std::fabs(dx) < 1e-16) break;
    }
    v[std::size_t(i)] = (1 - x) / 2;
    w[std::size_t(i)] = 1 / ((1 - x * x) * dp * dp);
  }
}

// A piece of one sampling step where the curve leaves the samples' straight line: from
// va to vb (fractions of the step), the difference da at va and db at vb, straight between.
struct Piece {
  long long cell;
  double va, vb, da, db;
};

}  // namespace

bool ExactLinearSums(const std::vector<double>& X, const std::vector<double>& Y, long long n,
                     const std::vector<float>& s, double dt, double dF, long long kMin, std::vector<cplx>& z,
                     const SampleSums& sums, ILongTask* task) {
  const std::size_t count = std::min(X.size(), Y.size());
  const long long K = (long long)z.size();
  if (n < 2 || (long long)s.size() < n || count < 2 || K == 0 || !(dt > 0) || !std::isfinite(dt)) return true;
  // The samples' own straight pieces: whole hats inside, half hats at the ends.
  const long double cyc = (long double)dF * (long double)dt;  // cycles per sample at k = 1
  for (long long m = 0; m < K; ++m) {
    const long double c = cyc * (long double)(kMin + m);
    const cplx E = HalfHat(double(2 * std::numbers::pi * c)), W = 2 * E.real();
    z[std::size_t(m)] = W * z[std::size_t(m)] + double(s[0]) * (E - W) +
                        double(s[std::size_t(n - 1)]) * Turn(c * (long double)(n - 1)) * (std::conj(E) - W);
  }

  // Steps that hold a point of the curve other than at their ends (or a vertical step at
  // one), and the first and last steps, where the curve's ends need not be samples.
  const double lo = X.front(), hi = X[count - 1];
  const double x0 = float(lo), x1 = float(hi), dx = (x1 - x0) / double(n - 1);
  if (!(dx > 0) || !std::isfinite(dx) || !std::isfinite(x0)) return true;
  auto node = [&](long long j) { return double(j) * dx + x0; };  // as SampleGraph places them
  // A point between nodes where the curve bends by c (its slope change, in values per step)
  // at a fraction d of its step leaves the samples' line by a hat of ∫|·| = |c|·d·(1−d)/2
  // steps, and hats add. A fine curve on a grid near the samples' (a run's times are no
  // binary fractions) is all such small hats: their sum, bounded in one pass, lets them go
  // together before any step is looked at. `bends` false lists only the other steps.
  std::vector<long long> cells;
  auto scan = [&](bool bends) {
    cells.assign({0, n - 2});
    double hats = 0;
    for (std::size_t k = 0; k < count; ++k) {
      const double u = (X[k] - x0) / dx;
      const bool jump = (k > 0 && X[k - 1] == X[k]) || (k + 1 < count && X[k + 1] == X[k]);
      if (!jump && std::fabs(u - std::nearbyint(u)) <= 1e-9 * std::max(1.0, std::fabs(u))) continue;
      if (!jump && k > 0 && k + 1 < count) {
        const double d = u - std::floor(u);
        const double left = (Y[k] - Y[k - 1]) / (X[k] - X[k - 1]), right = (Y[k + 1] - Y[k]) / (X[k + 1] - X[k]);
        const double hat = std::fabs(right - left) * dx * d * (1 - d) / 2;
        if (std::isfinite(hat)) {
          hats += hat;
          if (!bends) continue;
        }
      }
      for (double e : {-1e-6, 1e-6}) cells.push_back(std::clamp((long long)std::floor(u + e), 0LL, n - 2));
    }
    std::sort(cells.begin(), cells.end());
    cells.erase(std::unique(cells.begin(), cells.end()), cells.end());
    return hats * dt;
  };
  const double hats = scan(false);

  // The pieces of the curve from `from` to `to`, v counted in steps from node j, less the
  // samples' line of step j (or less nothing, outside the samples), stored when `out` is
  // given; returns their ∫|·|·dt. `hint`: a segment at or before `from`, moved on.
  auto collect = [&](long long j, double from, double to, bool onGrid, std::size_t& hint, std::vector<Piece>* out) {
    const double a = node(j);
    const double s0 = onGrid ? double(s[std::size_t(j)]) / dt : 0, s1 = onGrid ? double(s[std::size_t(j + 1)]) / dt : 0;
    double l1 = 0;
    auto add = [&](double ta, double tb, double ya, double yb) {
      const double va = (ta - a) / dx, vb = (tb - a) / dx;
      if (!(vb > va)) return;
      const double da = ya - (s0 + (s1 - s0) * va), db = yb - (s0 + (s1 - s0) * vb);
      if (out) out->push_back({j, va, vb, da, db});
      l1 += (std::fabs(da) + std::fabs(db)) / 2 * (vb - va);
    };
    if (from < lo) add(from, std::min(lo, to), 0, 0);
    std::size_t k = hint;
    while (k + 2 < count && X[k + 1] <= from) ++k;
    hint = k;
    for (; k + 1 < count && X[k] < to; ++k) {
      if (!(X[k + 1] > X[k]) || !(X[k + 1] > from)) continue;
      const double ta = std::max(X[k], from), tb = std::min(X[k + 1], to), span = X[k + 1] - X[k];
      auto at = [&](double t) { return t == X[k] ? Y[k] : t == X[k + 1] ? Y[k + 1] : Y[k] + (t - X[k]) * (Y[k + 1] - Y[k]) / span; };
      add(ta, tb, at(ta), at(tb));
    }
    if (to > hi) add(std::max(hi, from), to, 0, 0);
    return l1 * dt;
  };
  // Each step's weight; the curve beyond the samples, where a float end lies inside it, is
  // the first and last step's.
  auto step = [&](long long j, std::size_t& hint, std::vector<Piece>* out) {
    double l1 = collect(j, node(j), node(j + 1), true, hint, out);
    std::size_t start = 0;
    if (j == 0 && lo < x0) l1 += collect(0, lo, x0, false, start, out);
    if (j == n - 2 && hi > node(n - 1)) l1 += collect(n - 2, node(n - 1), hi, false, hint, out);
    return l1;
  };
  std::vector<double> weight;
  double total = 0;
  auto weigh = [&] {
    weight.assign(cells.size(), 0.0);
    total = 0;
    std::size_t hint = 0;
    for (std::size_t c = 0; c < cells.size(); ++c) {
      if (c % 4096 == 0 && Stopped(task)) return false;
      total += weight[c] = step(cells[c], hint, nullptr);
    }
    return true;
  };
  if (!weigh()) return false;
  // Left out, the lightest steps may shift a sum by their weight at most; the band's peak
  // is at least the largest sum less all the weights, and they go while together they weigh
  // under 1e-5 of that. The hats go first, all at once, or are weighed step by step.
  double zmax = 0;
  for (const cplx& v : z) zmax = std::max(zmax, std::abs(v));
  if (!std::isfinite(zmax) || !std::isfinite(total)) return true;  // a non-finite curve spoils every sum as it is
  double budget = 1e-5 * std::max(0.0, zmax - total - hats), dropped = hats;
  if (!(hats <= budget)) {
    scan(true);
    if (!weigh()) return false;
    if (!std::isfinite(total)) return true;
    budget = 1e-5 * std::max(0.0, zmax - total);
    dropped = 0;
  }
  if (dropped + total <= budget) return true;
  std::vector<std::size_t> order(cells.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::sort(order.begin(), order.end(), [&](std::size_t p, std::size_t q) { return weight[p] < weight[q]; });
  std::vector<char> keep(cells.size(), 1);
  double kept = 0;
  for (std::size_t i : order) {
    if (dropped + weight[i] > budget) break;
    dropped += weight[i];
    keep[i] = 0;
  }
  std::vector<Piece> used;
  std::size_t hint = 0;
  for (std::size_t c = 0; c < cells.size(); ++c)
    if (keep[c]) kept += step(cells[c], hint, &used);
  if (used.empty()) return true;

  // Moments: e^(−iθv) = Σ (−iθv)^p/p!, enough terms for the highest frequency asked.
  const double thMax = double(2 * std::numbers::pi * cyc *
                              (long double)std::max(std::llabs(kMin), std::llabs(kMin + K - 1)));
  int P = 1;
  const double tol = 1e-9 * (zmax + kept);  // the series' tail, next to rounding
  for (double t = thMax * std::exp(thMax); P < 48 && kept * t > tol; ++P) t *= thMax / (P + 1);
  const bool fewMoments = P < 48;
  // Rough costs, in exact piece integrals: a moment's transform and its Gauss sums.
  const double direct = double(used.size()) * double(K),
               viaMoments = double(P) * (2 * double(n + K) + double(used.size()) * (P / 2 + 1));
  PercentCounter pc(OrNone(task), fewMoments && viaMoments < direct ? P : K);
  if (!fewMoments || direct <= viaMoments) {
    // Exact: each piece's straight difference integrated at each frequency.
    for (long long m = 0; m < K; ++m) {
      if (!pc.Step(m)) return false;
      const long double c = cyc * (long double)(kMin + m);
      const double th = double(2 * std::numbers::pi * c);
      cplx add(0, 0);
      for (const Piece& p : used) {
        const double L = p.vb - p.va;
        const cplx E = HalfHat(th * L);
        add += L * Turn(c * ((long double)p.cell + p.va)) * (p.da * E + p.db * Turn(c * L) * std::conj(E));
      }
      z[std::size_t(m)] += add * dt;
    }
    return true;
  }
  std::vector<double> gv, gw;
  GaussNodes(P / 2 + 1, gv, gw);
  // The moments ∫ difference·v^p dv of each step, times dt, a few orders at a time.
  std::vector<long long> stepOf;  // the steps in order, and each piece's place among them
  std::vector<std::size_t> place(used.size());
  for (std::size_t i = 0; i < used.size(); ++i) {
    if (stepOf.empty() || stepOf.back() != used[i].cell) stepOf.push_back(used[i].cell);
    place[i] = stepOf.size() - 1;
  }
  const int chunk = std::clamp(int((1 << 22) / std::max<std::size_t>(stepOf.size(), 1)), 1, P);
  std::vector<double> acc;
  std::vector<float> mom(std::size_t(n), 0.0f);
  std::vector<cplx> Z;
  for (int p0 = 0; p0 < P; p0 += chunk) {
    const int p1 = std::min(P, p0 + chunk), w = p1 - p0;
    acc.assign(stepOf.size() * std::size_t(w), 0.0);
    for (std::size_t i = 0; i < used.size(); ++i) {
      const Piece& q = used[i];
      const double L = q.vb - q.va;
      double* out = &acc[place[i] * std::size_t(w)];
      for (std::size_t g = 0; g < gv.size(); ++g) {
        const double v = q.va + gv[g] * L;
        double term = gw[g] * L * (q.da + (q.db - q.da) * gv[g]) * std::pow(v, p0) * dt;
        for (int p = 0; p < w; ++p, term *= v) out[p] += term;
      }
    }
    for (int p = p0; p < p1; ++p) {
      if (!pc.Step(p)) return false;
      for (std::size_t c = 0; c < stepOf.size(); ++c) mom[std::size_t(stepOf[c])] = float(acc[c * std::size_t(w) + std::size_t(p - p0)]);
      if (!sums(mom, Z) || (long long)Z.size() != K) return false;
      double f = 1;  // 1/p!
      for (int i = 2; i <= p; ++i) f /= i;
      for (long long m = 0; m < K; ++m) {
        const double th = double(2 * std::numbers::pi * cyc * (long double)(kMin + m));
        z[std::size_t(m)] += std::pow(cplx(0, -th), p) * f * Z[std::size_t(m)];
      }
    }
  }
  return true;
}

void SpectrumSumsDirect(const std::vector<float>& s, double dt, double dF, long long kMin, long long count,
                        std::vector<cplx>& out) {
  out.assign(std::size_t(std::max(count, 0LL)), cplx(0, 0));
  for (long long k = kMin; k < kMin + count; ++k) {
    const double w = double(k) * 2 * std::numbers::pi * dF;
    double S = 0, C = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
      const double a = w * double(i) * dt;
      S += s[i] * std::sin(a);
      C += s[i] * std::cos(a);
    }
    out[std::size_t(k - kMin)] = cplx(C, -S);
  }
}

double SpectrumPhase(double C, double S) {
  if (C == 0 && S == 0) return 0;
  const double p = std::atan2(-S, C);
  return p <= -std::numbers::pi ? std::numbers::pi : p;
}

void FFTAmpPhase(const std::vector<float>& a, std::vector<float>& amplitude, std::vector<float>& phase) {
  const std::size_t n = a.size();
  amplitude.assign(n, 0.0f);
  phase.assign(n, 0.0f);
  if (n == 0) return;
  const auto plans = PlansFor(int(n));
  Buf z(n);
  for (std::size_t i = 0; i < n; ++i) z[i] = cplx(a[i], 0);
  Forward(*plans, z);
  for (std::size_t k = 0; k < n / 2; ++k) {
    amplitude[k] = float(2 * std::abs(z[k]) / double(n));
    phase[k] = float(SpectrumPhase(z[k].real(), -z[k].imag()));
  }
}

void FFTInverse(const std::vector<float>& amplitude, const std::vector<float>& phase, std::vector<float>& out) {
  const std::size_t n = amplitude.size();
  out.assign(n, 0.0f);
  if (n == 0) return;
  const auto plans = PlansFor(int(n));
  Buf z(n);
  z.zero();
  for (std::size_t k = 0; k < n / 2 && k < phase.size(); ++k) {
    const double amp = k == 0 ? amplitude[0] / 2.0 : double(amplitude[k]);
    z[k] = std::polar(amp, double(phase[k]));
  }
  Backward(*plans, z);
  for (std::size_t m = 0; m < n; ++m) out[m] = float(z[m].real());
}

double SynthesizePoint(const std::vector<double>& M, const std::vector<double>& f, const std::vector<double>& phi,
                       double t, double w0) {
  const std::size_t J = std::min({M.size(), f.size(), phi.size()});
  double sum = 0;
  for (std::size_t j = 0; j < J; ++j) {
    const double w = f[j] * 2 * std::numbers::pi;
    const double m = w == 0 ? M[j] / 2 : M[j];
    sum += std::cos(w * t + phi[j]) * m * w0;
  }
  return sum / std::numbers::pi;
}

bool SynthesizeSignal(const std::vector<double>& M, const std::vector<double>& f, const std::vector<double>& phi,
                      double tMin, double dtOut, long long n, double w0, double outFactor, std::vector<double>& outX,
                      std::vector<double>& outY, ILongTask* task) {
  if (NanXCount(f) > 0) {
    std::vector<double> cM, cf, cphi;
    for (std::size_t j = 0; j < std::min({M.size(), f.size(), phi.size()}); ++j)
      if (!std::isnan(f[j])) cM.push_back(M[j]), cf.push_back(f[j]), cphi.push_back(phi[j]);
    return SynthesizeSignal(cM, cf, cphi, tMin, dtOut, n, w0, outFactor, outX, outY, task);
  }
  outX.clear();
  outY.clear();
  if (n < 0) return true;
  const std::size_t J = std::min({M.size(), f.size(), phi.size()});
  const long long points = n + 1;
  // Evenly spaced frequencies f0 + j·δ: the sum over j is a chirp-z in i.
  bool uniform = J >= 2;
  long double f0 = 0, delta = 0;
  if (uniform) {
    f0 = f[0];
    delta = ((long double)f[J - 1] - f0) / (long double)(J - 1);
    uniform = delta > 0 && std::isfinite(double(delta));
    for (std::size_t j = 0; uniform && j < J; ++j)
      uniform = std::fabs(double(f[j] - (f0 + delta * (long double)j))) <= 1e-9 * double(delta);
    for (std::size_t j = 0; uniform && j < J; ++j) uniform = std::isfinite(M[j]) && std::isfinite(phi[j]);
  }
  if (uniform && std::isfinite(tMin) && std::isfinite(dtOut)) {
    std::vector<cplx> c(J);
    for (std::size_t j = 0; j < J; ++j) {
      const long double fj = f0 + delta * (long double)j;
      const double m = f[j] == 0 ? M[j] / 2 : M[j];
      // exp(i·(φ + 2π·f·tMin)): the tMin turn reduced to cycles in long double.
      c[j] = m * w0 * std::polar(1.0, phi[j]) * std::conj(Turn(fj * (long double)tMin));
    }
    // Parts of the output, each finished before the next begins, so a stop keeps the
    // points made so far. Every part pays for its own chirps and for a transform as long
    // as the spectrum and the part together: a part is four times the spectrum at least,
    // and there are at most kParts of them.
    constexpr long long kParts = 32;
    const long long part = std::max(4 * (long long)J, (points + kParts - 1) / kParts);
    PercentCounter whole(OrNone(task), points);
    struct PartTask : ILongTask {
      PercentCounter& whole;
      ILongTask* task;
      long long first, size;
      PartTask(PercentCounter& w, ILongTask* t, long long f, long long n) : whole(w), task(t), first(f), size(n) {}
      void Progress(int p) override { whole.Step(first + size * p / 100); }
      bool StopRequested() const override { return Stopped(task); }
    };
    outX.reserve(std::size_t(points));
    outY.reserve(std::size_t(points));
    std::vector<cplx> y;
    for (long long first = 0; first < points; first += part) {
      const long long size = std::min(part, points - first);
      PartTask pt(whole, task, first, size);
      if (!whole.Step(first) || !ChirpZ(c, -delta * (long double)dtOut, first, size, y, &pt)) return false;
      for (long long m = 0; m < size; ++m) {
        const long long i = first + m;
        const cplx v = y[std::size_t(m)] * std::conj(Turn(f0 * (long double)dtOut * (long double)i));
        outX.push_back((double(i) * dtOut + tMin) * outFactor);
        outY.push_back(v.real() / std::numbers::pi);
      }
    }
    whole.Step(points);
    return true;
  }
  PercentCounter pc(OrNone(task), n);
  for (long long i = 0; i < points; ++i) {
    if (!pc.Step(i)) return false;
    const double t = double(i) * dtOut + tMin;
    outX.push_back(t * outFactor);
    outY.push_back(SynthesizePoint(M, f, phi, t, w0));
  }
  return true;
}

namespace {

// LinearConvolution of finite inputs.
bool FftConvolution(const std::vector<double>& a, const std::vector<double>& b, std::size_t n,
                    std::vector<double>& out, ILongTask* task) {
  out.assign(n, 0.0);
  const std::size_t na = std::min(a.size(), n), nb = std::min(b.size(), n);
  if (n == 0 || na == 0 || nb == 0) return true;
  const long long size = GoodSize((long long)(na + nb - 1));
  if (size > (long long)std::numeric_limits<int>::max()) throw std::bad_alloc();
  const std::size_t N = std::size_t(size);
  const auto plans = PlansFor(int(N));
  // a in the real part, b in the imaginary part: both spectra come out of one transform.
  Buf z(N);
  z.zero();
  for (std::size_t j = 0; j < na; ++j) z[j].real(a[j]);
  for (std::size_t j = 0; j < nb; ++j) z[j].imag(b[j]);
  if (Stopped(task)) return false;
  Forward(*plans, z);
  if (Stopped(task)) return false;
  Buf p(N);
  for (std::size_t k = 0; k < N; ++k) {
    const cplx zk = z[k], zc = std::conj(z[(N - k) % N]);
    const cplx A = (zk + zc) * 0.5, B = (zk - zc) * cplx(0, -0.5);
    p[k] = A * B;
  }
  Backward(*plans, p);
  for (std::size_t i = 0; i < n && i < N; ++i) out[i] = p[i].real() / double(N);
  return !Stopped(task);
}

std::size_t FirstNonFinite(const std::vector<double>& v, std::size_t len) {
  for (std::size_t i = 0; i < len; ++i)
    if (!std::isfinite(v[i])) return i;
  return len;
}

}  // namespace

bool LinearConvolution(const std::vector<double>& a, const std::vector<double>& b, std::size_t n,
                       std::vector<double>& out, ILongTask* task) {
  const std::size_t na = std::min(a.size(), n), nb = std::min(b.size(), n);
  const std::size_t fa = FirstNonFinite(a, na), fb = FirstNonFinite(b, nb);
  if (fa == na && fb == nb) return FftConvolution(a, b, n, out, task);
  const std::size_t i0 = std::min(fa, fb);  // the outputs before it hold no such term
  // The transform would spread a non-finite entry to every output. It runs on the finite
  // parts, and each output that holds a non-finite term takes the value the plain sum
  // would give it: ±inf when all such terms are infinities of one sign, NaN otherwise.
  // Per output: T3 counts those terms, T2 the ones with a non-zero sign product (NaN and
  // inf·0 have none), T1 sums their signs; convolutions of 0/±1 sequences, exact after
  // rounding.
  auto seq = [](const std::vector<double>& v, std::size_t len, auto f) {
    std::vector<double> r(len);
    for (std::size_t i = 0; i < len; ++i) r[i] = f(v[i]);
    return r;
  };
  auto sgn = [](double v) { return double((v > 0) - (v < 0)); };  // 0 for NaN
  auto fin = [](double v) { return std::isfinite(v) ? 1.0 : 0.0; };
  auto infSign = [&](double v) { return std::isinf(v) ? sgn(v) : 0.0; };
  auto finSign = [&](double v) { return std::isfinite(v) ? sgn(v) : 0.0; };
  auto mag = [](auto f) { return [f](double v) { return std::fabs(f(v)); }; };
  auto finite = [](double v) { return std::isfinite(v) ? v : 0.0; };
  if (!FftConvolution(seq(a, na, finite), seq(b, nb, finite), n, out, task))
    return false;
  std::vector<double> t1, t2, t3, c;
  auto add = [&](std::vector<double>& sum, const std::vector<double>& x, const std::vector<double>& y) {
    if (!FftConvolution(x, y, n, c, task)) return false;
    if (sum.empty()) sum.assign(n, 0.0);
    for (std::size_t i = i0; i < n; ++i) sum[i] += c[i];
    return true;
  };
  if (!add(t1, seq(a, na, infSign), seq(b, nb, sgn)) || !add(t1, seq(a, na, finSign), seq(b, nb, infSign)) ||
      !add(t2, seq(a, na, mag(infSign)), seq(b, nb, mag(sgn))) ||
      !add(t2, seq(a, na, mag(finSign)), seq(b, nb, mag(infSign))) ||
      !add(t3, seq(a, na, [&](double v) { return 1 - fin(v); }), std::vector<double>(nb, 1.0)) ||
      !add(t3, seq(a, na, fin), seq(b, nb, [&](double v) { return 1 - fin(v); })))
    return false;
  for (std::size_t i = i0; i < n; ++i) {
    if (t3[i] < 0.5) continue;
    const bool pos = t2[i] + t1[i] > 1, neg = t2[i] - t1[i] > 1;  // twice the counts
    out[i] = t3[i] - t2[i] < 0.5 && pos != neg ? (pos ? HUGE_VAL : -HUGE_VAL)
                                               : std::numeric_limits<double>::quiet_NaN();
  }
  return true;
}

}  // namespace rv
