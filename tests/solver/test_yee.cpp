#include <gtest/gtest.h>
#include <omp.h>

#include <complex>
#include <functional>

#include "kernel_fixture.h"
#include "solver/yee.h"

using namespace rv;
using namespace rvtest;

namespace {

// A model with dispersive, conducting, magnetic and switched-off materials, random fields
// and random Debye terms; the same for every call.
void MixedModel(SolverData& d, bool debye, bool sar, bool magnetic) {
  MakeGrid(d, 47, 41, 37, 1e-3, 0.5);  // above the size that runs threaded
  d.PolarDielectrics = debye;
  d.SAROn = sar;
  d.MagneticMaterials = magnetic;
  SetMaterial(d, 1, 0.2, 50, 5, 1e-11, 1);
  SetMaterial(d, 2, 0.0, 4, 4, 0, 2);
  SetMaterial(d, 3, 5.0, 1, 1, 0, 1);
  SetMaterial(d, 4, 0.1, 9, 2, 3e-12, 1);
  d.Layers[4].On = 0;
  std::mt19937 rng(11);
  std::uniform_int_distribution<int> pick(0, 4);
  for (int i = 3; i <= 44; ++i)
    for (int j = 2; j <= 36; ++j)
      for (int k = 2; k <= 33; ++k) d.Space(i, j, k) = uint8_t(i < 12 ? 1 : i < 20 ? 2 : pick(rng));
  ASSERT_TRUE(Allocate(d));
  for (t3DSpaceArray* a : {&d.Ex, &d.Ey, &d.Ez, &d.Hx, &d.Hy, &d.Hz}) FillRandom(*a, rng);
  if (debye) {
    // Debye terms on the dispersive edges; they stay 0 on the others in any run.
    t3DSpaceArray* D[3] = {&d.DebyeX, &d.DebyeY, &d.DebyeZ};
    for (int a = 0; a < 3; ++a) {
      FillRandom(*D[a], rng, 1e3f);
      for (int i = 0; i <= d.Nx; ++i)
        for (int j = 0; j <= d.Ny; ++j)
          for (int k = 0; k <= d.Nz; ++k) {
            const tEdgeMaterial M = GetEdgeMaterial(d, i, j, k, "XYZ"[a]);
            if (M.DebyeCoef == 0 && M.DebyeDecay == 1) (*D[a])(i, j, k) = 0;
          }
    }
  }
  if (magnetic) FillRandom(d.HCoefCell, rng, 0.01f);
}

std::vector<const t3DSpaceArray*> AllArrays(const SolverData& d) {
  return {&d.Ex, &d.Ey, &d.Ez, &d.Hx, &d.Hy, &d.Hz, &d.DebyeX, &d.DebyeY, &d.DebyeZ,
          &d.ExPrev, &d.EyPrev, &d.EzPrev};
}

}  // namespace

TEST(YeeKernels, SameBitsOnOneAndFourThreads) {
  for (bool debye : {false, true}) {
    SolverData one, four;
    MixedModel(one, debye, true, true);
    MixedModel(four, debye, true, true);
    EdgeCoefCache c1, c4;
    ASSERT_TRUE(c1.Build(one));
    ASSERT_TRUE(c4.Build(four));
    const int saved = omp_get_max_threads();
    for (int step = 0; step < 6; ++step) {
      omp_set_num_threads(1);
      ASSERT_TRUE(UpdateH(one));
      ASSERT_TRUE(debye ? UpdateEDebye(one, c1) : UpdateE(one, c1));
      omp_set_num_threads(4);
      ASSERT_TRUE(UpdateH(four));
      ASSERT_TRUE(debye ? UpdateEDebye(four, c4) : UpdateE(four, c4));
    }
    omp_set_num_threads(saved);
    const auto a = AllArrays(one), b = AllArrays(four);
    for (size_t n = 0; n < a.size(); ++n) EXPECT_TRUE(SameBits(*a[n], *b[n])) << "array " << n;
  }
}

// The cached, vectorised E update equals the rule applied edge by edge, bit for bit; the
// previous-E copy (preset to a marker in both) holds the old values at exactly the updated
// indices.
TEST(YeeKernels, EUpdateEqualsTheRuleEdgeByEdge) {
  for (bool debye : {false, true}) {
    SolverData d, ref;
    MixedModel(d, debye, true, false);
    MixedModel(ref, debye, true, false);
    for (SolverData* p : {&d, &ref})
      for (t3DSpaceArray* a : {&p->ExPrev, &p->EyPrev, &p->EzPrev}) a->fill(12345.0f);
    EdgeCoefCache cache;
    ASSERT_TRUE(cache.Build(d));
    ASSERT_TRUE(debye ? UpdateEDebye(d, cache) : UpdateE(d, cache));
    ReferenceUpdateE(ref, debye);
    const auto a = AllArrays(d), b = AllArrays(ref);
    for (size_t n = 0; n < a.size(); ++n) EXPECT_TRUE(SameBits(*a[n], *b[n])) << "array " << n;
  }
}

// The H update (three components a row at a time, four edges at a time) equals the rule
// applied edge by edge, bit for bit, with the uniform and with per-cell coefficients, up to
// the last edge of every row and plane.
TEST(YeeKernels, HUpdateEqualsTheRuleEdgeByEdge) {
  for (bool magnetic : {false, true}) {
    SolverData d, ref;
    MixedModel(d, false, false, magnetic);
    MixedModel(ref, false, false, magnetic);
    ASSERT_TRUE(UpdateH(d));
    const int nx = ref.Nx, ny = ref.Ny, nz = ref.Nz;
    const double cx = ref.CourantX, cy = ref.CourantY, cz = ref.CourantZ;
    auto edge = [&](t3DSpaceArray& H, int i, int j, int k, double curl) {
      const double q = magnetic ? double(ref.HCoefCell(i, j, k)) : double(ref.HCoefUniform);
      H(i, j, k) = float(double(H(i, j, k)) - curl * q);
    };
    auto diff = [](const t3DSpaceArray& a, int i1, int j1, int k1, int i0, int j0, int k0) {
      return double(a(i1, j1, k1)) - double(a(i0, j0, k0));
    };
    const t3DSpaceArray &Ex = ref.Ex, &Ey = ref.Ey, &Ez = ref.Ez;
    for (int i = 1; i <= nx; ++i)
      for (int j = 1; j <= ny - 1; ++j)
        for (int k = 1; k <= nz - 1; ++k)
          edge(ref.Hx, i, j, k, diff(Ez, i, j + 1, k, i, j, k) * cy - diff(Ey, i, j, k + 1, i, j, k) * cz);
    for (int i = 1; i <= nx - 1; ++i)
      for (int j = 1; j <= ny; ++j)
        for (int k = 1; k <= nz - 1; ++k)
          edge(ref.Hy, i, j, k, diff(Ex, i, j, k + 1, i, j, k) * cz - diff(Ez, i + 1, j, k, i, j, k) * cx);
    for (int i = 1; i <= nx - 1; ++i)
      for (int j = 1; j <= ny - 1; ++j)
        for (int k = 1; k <= nz; ++k)
          edge(ref.Hz, i, j, k, diff(Ey, i + 1, j, k, i, j, k) * cx - diff(Ex, i, j + 1, k, i, j, k) * cy);
    EXPECT_TRUE(SameBits(d.Hx, ref.Hx)) << magnetic;
    EXPECT_TRUE(SameBits(d.Hy, ref.Hy)) << magnetic;
    EXPECT_TRUE(SameBits(d.Hz, ref.Hz)) << magnetic;
  }
}

TEST(YeeKernels, RefuseArraysThatDoNotFitTheGrid) {
  SolverData d;
  MakeGrid(d, 10, 10, 10, 1e-3, 0.5);
  EdgeCoefCache cache;
  ASSERT_TRUE(cache.Build(d));
  EXPECT_FALSE(UpdateH(d));  // nothing allocated
  ASSERT_TRUE(Allocate(d));
  EXPECT_TRUE(UpdateH(d) && UpdateE(d, cache));
  EXPECT_FALSE(UpdateEDebye(d, cache));  // no Debye arrays
  d.SAROn = 1;  // no previous-E arrays
  EXPECT_FALSE(UpdateE(d, cache) || SavePreviousE(d));
  d.SAROn = 0;
  SetGridSize(d, 12, 10, 10);  // the grid changed under the arrays and the cache
  EXPECT_FALSE(UpdateH(d) || UpdateE(d, cache));
  EXPECT_EQ(EdgeCurlH(d, 'X', -7, 1 << 30, 0), 0.0);
}

// ---------------------------------------------------------------------------------------
// Physics

namespace {

// A uniform E in a box filled with one material: with "Symmetry for E" on every face the
// curl stays 0, so each edge evolves on its own. Returns the centre Ex after each step.
std::vector<double> UniformFieldHistory(SolverData& d, const EdgeCoefCache& cache, int steps) {
  for (t3DSpaceArray* a : {&d.Ex, &d.Ey, &d.Ez}) a->fill(1.0f);
  SetFaces(d.SymEFace, {1, 2, 3, 4, 5, 6});
  d.AnySymE = 1;
  std::vector<double> h;
  for (int s = 0; s < steps; ++s) {
    StepFields(d, cache);
    h.push_back(d.Ex(d.Nx / 2, d.Ny / 2, d.Nz / 2));
  }
  return h;
}

// A box of n nodes filled with material 1 (set by `material` on the grid), allocated, its
// coefficient cache built.
bool FilledBox(SolverData& d, EdgeCoefCache& cache, int n, const std::function<void()>& material) {
  MakeGrid(d, n, n, n, 1e-3, 0.5);
  material();
  for (int i = 1; i < n; ++i)
    for (int j = 1; j < n; ++j)
      for (int k = 1; k < n; ++k) d.Space(i, j, k) = 1;
  return Allocate(d) && cache.Build(d);
}

}  // namespace

TEST(YeePhysics, ConductorDecaysAsCaPerStepAndAsExpOfSigmaOverEps) {
  SolverData d;
  EdgeCoefCache cache;
  const double eps = 3 * double(Eps0), rate = 0.02;  // sigma*dt/eps per step
  ASSERT_TRUE(FilledBox(d, cache, 9, [&] { SetMaterial(d, 1, rate * eps / d.TimeStepSec, 3); }));
  const float Ca = GetEdgeMaterial(d, 4, 4, 4, 'X').Ca;
  const auto h = UniformFieldHistory(d, cache, 100);
  double e = 1;
  for (double v : h) {
    e = float(e * Ca);
    ASSERT_EQ(v, e);  // E(n+1) = Ca * E(n), exactly
  }
  // and it is the continuous decay exp(-sigma t / eps) to the scheme's O(x^3) per step
  EXPECT_NEAR(h.back() / std::exp(-rate * 100), 1.0, 1e-4);
  // the field stayed uniform: every component everywhere
  EXPECT_EQ(std::tuple(d.Ez(2, 7, 3), d.Hy(3, 3, 3)), std::tuple(d.Ex(4, 4, 4), 0.0f));
}

TEST(YeePhysics, DebyeRelaxesToEpsInfOverEpsStaticAtTheDebyeRate) {
  const double es = 40, ei = 4;
  SolverData d;
  EdgeCoefCache cache;
  double tau = 0;
  ASSERT_TRUE(FilledBox(d, cache, 9, [&] {
    d.PolarDielectrics = 1;
    SetMaterial(d, 1, 0, es, ei, tau = 1000 * d.TimeStepSec);
  }));
  EXPECT_TRUE(cache.AnyDispersive);
  const auto h = UniformFieldHistory(d, cache, 3000);
  const double eInf = ei / es;
  // With no curl, eps_inf E + P is conserved and P relaxes to (eps_s - eps_inf) E, so E
  // falls from E0 to E0 eps_inf/eps_s with time constant tau eps_inf/eps_s.
  EXPECT_NEAR(h.back() / eInf, 1.0, 2e-5);
  const double rateMeasured = std::log((h[100] - eInf) / (h[300] - eInf)) / 200;
  const double rateDebye = d.TimeStepSec * es / (ei * tau);
  EXPECT_NEAR(rateMeasured / rateDebye, 1.0, 1e-2);
  // The recursion's own rate: lambda = eps_inf e^(-dt/tau) / (eps_inf + (eps_s - eps_inf)(1 - e^(-dt/tau))).
  const double decay = std::exp(-1.0 / 1000), lambda = ei * decay / (ei + (es - ei) * (1 - decay));
  EXPECT_NEAR(rateMeasured / -std::log(lambda), 1.0, 1e-3);
}

// A relaxation time far below dt makes exp(-dt/tau) underflow to 0: the medium must then
// act as its static permittivity at once, not lose its polarisation every step.
TEST(YeePhysics, DebyeWithUnderflowingDecayKeepsTheStaticPermittivity) {
  SolverData d;
  EdgeCoefCache cache;
  ASSERT_TRUE(FilledBox(d, cache, 8, [&] {
    d.PolarDielectrics = 1;
    SetMaterial(d, 1, 0, 20, 2, 1e-30);
  }));
  EXPECT_EQ(GetEdgeMaterial(d, 4, 4, 4, 'X').DebyeDecay, 0.0f);
  const auto h = UniformFieldHistory(d, cache, 50);
  for (double v : {h[0], h.back()}) EXPECT_NEAR(v, 0.1, 1e-6);
}

namespace {

// Phase advance per step of the strongest spectral line of x within [lo, hi], from a
// Hann-windowed transform maximised by golden-section search.
double PeakPhase(const std::vector<double>& x, double lo, double hi) {
  const size_t n = x.size();
  auto mag = [&](double th) {
    std::complex<double> s = 0;
    for (size_t t = 0; t < n; ++t) {
      const double w = 0.5 - 0.5 * std::cos(2 * M_PI * t / (n - 1));
      s += w * x[t] * std::polar(1.0, -th * double(t));
    }
    return std::abs(s);
  };
  // coarse scan, then refine
  double best = lo, bm = -1;
  for (int s = 0; s <= 400; ++s) {
    const double th = lo + (hi - lo) * s / 400;
    const double m = mag(th);
    if (m > bm) { bm = m; best = th; }
  }
  double a = best - (hi - lo) / 400, b = best + (hi - lo) / 400;
  const double g = (std::sqrt(5.0) - 1) / 2;
  for (int it = 0; it < 60; ++it) {
    const double c = b - g * (b - a), e = a + g * (b - a);
    if (mag(c) > mag(e)) b = e; else a = c;
  }
  return (a + b) / 2;
}

// An empty box with PEC on every face, c*dt = S dx.
bool PecCavity(SolverData& d, EdgeCoefCache& cache, int nx, int ny, int nz, double S) {
  MakeGrid(d, nx, ny, nz, 1e-3, S);
  SetFaces(d.PECFace, {1, 2, 3, 4, 5, 6});
  d.AnyPEC = 1;
  return Allocate(d) && cache.Build(d);
}

}  // namespace

TEST(YeePhysics, PecCavityLowestModeMatchesTheDiscreteDispersionRelation) {
  SolverData d;
  const int nx = 21, ny = 17, nz = 11;  // 20 x 16 x 10 cells
  const double S = 0.99 / std::sqrt(3.0);
  EdgeCoefCache cache;
  ASSERT_TRUE(PecCavity(d, cache, nx, ny, nz, S));
  // Pulsed start: a Gaussian Ez line along z, off centre.
  for (int i = 2; i < nx; ++i)
    for (int j = 2; j < ny; ++j)
      for (int k = 1; k < nz; ++k)
        d.Ez(i, j, k) = float(std::exp(-((i - 6) * (i - 6) + (j - 5) * (j - 5)) / 4.0));
  std::vector<double> probe;
  for (int s = 0; s < 4096; ++s) {
    StepFields(d, cache);
    probe.push_back(d.Ez(14, 11, 5));
  }
  // TM110: kx dx = pi/20, ky dy = pi/16, kz = 0. Yee: sin(w dt/2) = S sqrt(sum sin^2(k d/2)).
  const double sx = std::sin(M_PI / 40), sy = std::sin(M_PI / 32);
  const double exact = 2 * std::asin(S * std::sqrt(sx * sx + sy * sy));
  const double continuous = S * M_PI * std::sqrt(1.0 / 400 + 1.0 / 256);
  const double measured = PeakPhase(probe, 0.8 * exact, 1.2 * exact);
  const double err = measured / exact - 1;
  EXPECT_LT(std::fabs(err), 1e-4) << "w*dt measured " << measured << ", Yee " << exact;
  EXPECT_GT(std::fabs(continuous / exact - 1), 10 * std::fabs(err));
}

TEST(YeePhysics, PecCavityEnergyStaysBoundedAtTheStabilityLimit) {
  SolverData d;
  EdgeCoefCache cache;
  ASSERT_TRUE(PecCavity(d, cache, 12, 12, 12, 1 / std::sqrt(3.0)));
  std::mt19937 rng(5);
  for (t3DSpaceArray* a : {&d.Ex, &d.Ey, &d.Ez}) FillRandom(*a, rng);
  ApplyPEC(d);
  const double w0 = FieldEnergy(d);
  double firstMax = 0, lastMax = 0, overall = 0;
  for (int s = 0; s < 10000; ++s) {
    StepFields(d, cache);
    const double w = FieldEnergy(d);
    ASSERT_TRUE(std::isfinite(w));
    overall = std::max(overall, w);
    if (s < 1000) firstMax = std::max(firstMax, w);
    if (s >= 9000) lastMax = std::max(lastMax, w);
  }
  EXPECT_LT(overall, 4 * w0);
  EXPECT_LT(lastMax / firstMax, 1.01);
}
