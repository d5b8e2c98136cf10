#include <gtest/gtest.h>
#include <omp.h>

#include <algorithm>
#include <complex>
#include <random>
#include <tuple>

#include "boundaries/externalfield.h"
#include "boundaries/tfsf.h"
#include "pml_fixture.h"
#include "solver/mur.h"

using namespace rvtest;

namespace {

// The signal window's Gaussian pulse: exp(-((t - 3W)/W)^2).
struct Gaussian : ISignal {
  double w;
  explicit Gaussian(double width) : w(width) {}
  double GetSignal(double t) const override {
    if (t < 0) return 0;
    const double x = (t - 3 * w) / w;
    return std::exp(-x * x);
  }
};

struct Constant : ISignal {
  double GetSignal(double t) const override { return t >= 0 ? 1 : 0; }
};

FarBox Cube(int lo, int hi) { return {lo, hi, lo, hi, lo, hi}; }

// A grid stepped in the time loop's order with the TF-SF corrections.
struct TfsfRun : PmlRun {
  TFSFState s;
  bool Source(float theta, float phi, bool vertical, const FarBox& box, const ISignal* sig) {
    SetupTFSF(s, theta, phi, vertical, box, false);
    if (!CheckTFSFBorders(s, d, err)) return false;
    s.Signal = sig;
    s.TFSFDelay = CalcTFSFDelay(d, s);
    return true;
  }
  void Step() {
    UpdateH(d);
    CorrectTFSFH(d, s, -d.TimeStep / 2);
    if (d.AnyPML) UpdatePMLH(pml);
    UpdateE(d, cache);
    CorrectTFSFE(d, s, 0);
    if (d.AnySymE) ApplySymmetry(d);
    if (d.AnyMur) { ApplyMur(d, tIncidentWave{}); SaveMurPlanes(d, tIncidentWave{}); }
    if (d.AnyPML) UpdatePMLE(pml, d);
    if (d.AnyPEC) ApplyPEC(d);
    d.CurTime += d.TimeStep;
  }
  double EAbs(int i, int j, int k) const {
    return std::sqrt(std::pow(d.Ex.at(i, j, k), 2) + std::pow(d.Ey.at(i, j, k), 2) + std::pow(d.Ez.at(i, j, k), 2));
  }
};

const double kDx = 1e-3;
double Width(double cells) { return cells * kDx / double(LightSpeed); }

}  // namespace

// The box check: the first failing rule gives its message, contact before the range and
// the clearance, the clearance types in the order PML, Mur, 1/R, RT-ABC.
TEST(TFSF, BoxCheckMessages) {
  const std::string contact = "Ошибка: границы TF-SF должны быть вплотную к границам PEC и симметрии!!!\n(а к границам ABC нет!!!)",
                    order = "Ошибка: минимальные границы TF-SF должны быть меньше максимальных!!!",
                    range = "Ошибка: границы TF-SF должны в пределах вычислительного объема!!!",
                    near = "Ошибка: границы TF-SF должны быть не ближе ";
  struct Case {
    const char* kinds;
    FarBox box;
    bool far;
    std::string message;
  };
  const Case cases[] = {
      {"MMMMMM", Cube(10, 40), false, ""},
      {"PMMMMM", {10, 40, 1, 40, 10, 40}, false, ""},          // on the PEC wall
      {"PMMMMM", Cube(10, 40), false, contact},                // off the PEC wall
      {"HMMMEM", {10, 50, 1, 40, 10, 40}, false, ""},           // symmetry faces alike
      {"MMMMMM", {1, 40, 10, 40, 10, 40}, false, contact},     // on a Mur wall: contact first
      {"MMMLMM", {10, 40, 10, 40, 2, 40}, false, near + "2 яч. от границ PML!!!"},
      {"MMMLMM", {10, 40, 10, 40, 3, 40}, false, ""},
      {"MMMMMM", {3, 40, 10, 40, 10, 40}, false, near + "3 яч. от границ Мура!!!"},
      {"MMMMMM", {4, 47, 4, 47, 4, 47}, false, ""},
      {"MDMMMM", {10, 40, 10, 48, 10, 40}, false, near + "3 яч. от границ 1/R!!!"},
      {"MMMMRM", {10, 46, 10, 40, 10, 40}, false, ""},
      {"MMMMRM", {10, 47, 10, 40, 10, 40}, false, near + "4 яч. от границ RT-ABC!!!"},
      {"LMMMRM", {2, 49, 2, 40, 10, 40}, false, near + "2 яч. от границ PML!!!"},  // PML first
      {"MMMMMM", {20, 20, 10, 40, 10, 40}, false, order},
      {"MMMMMM", {10, 40, 10, 40, 0, 40}, false, range},
      {"MMMMMM", {10, 40, 10, 40, 10, 51}, false, range},
      // With the far field on the corrected box is inset by 2, the check tests the entered
      // one, and a corrected box without a cell is refused.
      {"LLLLLL", {2, 40, 10, 40, 10, 40}, true, near + "2 яч. от границ PML!!!"},
      {"LLLLLL", {10, 15, 10, 40, 10, 40}, true, ""},
      {"LLLLLL", {10, 14, 10, 40, 10, 40}, true, order},
      {"LLLLLL", {10, 40, 10, 40, 30, 33}, true, order},
  };
  for (const Case& c : cases) {
    SolverData d;
    SetGridSize(d, 50, 50, 50);
    SetFaces(d, c.kinds);
    TFSFState s;
    SetupTFSF(s, 90, 90, true, c.box, c.far);
    std::string m;
    const bool ok = CheckTFSFBorders(s, d, m);
    EXPECT_EQ(std::tuple(ok, m), std::tuple(c.message.empty(), c.message))
        << c.kinds << " " << c.box.xmin << ".." << c.box.xmax << " far " << c.far;
  }
}

// Directions and polarisations form right-handed unit sets (E x H along k); the slider
// defaults give a wave along +x that reaches the box at x0 first, and values are exactly 0
// until the front arrives.
TEST(TFSF, WaveGeometryAndFront) {
  auto dot = [](const std::array<float, 3>& a, const std::array<float, 3>& b) {
    return double(a[0]) * b[0] + double(a[1]) * b[1] + double(a[2]) * b[2];
  };
  for (auto [theta, phi] : {std::pair{90.f, 90.f}, {60.f, 30.f}, {120.f, -150.f}, {0.f, 45.f}, {180.f, 0.f}})
    for (bool vertical : {true, false}) {
      TFSFState s;
      SetupTFSF(s, theta, phi, vertical, Cube(10, 30), false);
      const auto &k = s.WaveDir, &e = s.EPol, &h = s.HPol;
      const std::array<float, 3> exh{e[1] * h[2] - e[2] * h[1], e[2] * h[0] - e[0] * h[2], e[0] * h[1] - e[1] * h[0]};
      for (auto [got, want] : {std::pair{dot(k, k), 1}, {dot(e, e), 1}, {dot(h, h), 1}, {dot(e, k), 0}, {dot(h, k), 0},
                               {dot(exh, k), 1}})
        EXPECT_NEAR(got, want, 1e-6) << theta << " " << phi << " " << vertical;
    }

  SolverData d;
  SetGridSize(d, 40, 40, 40);
  d.Dx = 1e-3; d.Dy = 2e-3; d.Dz = 3e-3;
  TFSFState s;
  // Along an axis exactly: no component of float-radian size on the others.
  using V = std::array<float, 3>;
  SetupTFSF(s, 90, 90, true, Cube(10, 30), false);
  EXPECT_EQ(std::tuple(s.WaveDir, s.EPol, s.HPol), std::tuple(V{1, 0, 0}, V{0, 1, 0}, V{0, 0, 1}));
  EXPECT_NEAR(CalcTFSFDelay(d, s), 10 * d.Dx, 1e-8);
  SetupTFSF(s, 180, -90, false, Cube(10, 30), false);
  EXPECT_EQ(std::tuple(s.WaveDir[0], s.WaveDir[1], s.WaveDir[2], s.EPol), std::tuple(0.f, -1.f, 0.f, V{0, 0, -1}));

  // Oblique: every component at every point of the box is 0 just before its front, also
  // with a signal that is not 0 at time 0.
  Constant one;
  SetupTFSF(s, 60, 30, false, Cube(10, 30), false);
  s.Signal = &one;
  s.TFSFDelay = CalcTFSFDelay(d, s);
  using F = double (*)(const SolverData&, const TFSFState&, double, double, double, double);
  const F comps[6] = {IncidentEx, IncidentEy, IncidentEz, IncidentHx, IncidentHy, IncidentHz};
  const float half[6][3] = {{.5f, 0, 0}, {0, .5f, 0}, {0, 0, .5f}, {0, .5f, .5f}, {.5f, 0, .5f}, {.5f, .5f, 0}};
  int nonzero = 0;
  for (int c = 0; c < 6; ++c)
    for (int i = 10; i <= 30; i += 5)
      for (int j = 10; j <= 30; j += 5)
        for (int k = 10; k <= 30; k += 5) {
          const double arrival = WavePhase(d, s, i + half[c][0], j + half[c][1], k + half[c][2]) - s.TFSFDelay;
          ASSERT_GE(arrival, 0);  // the first corner is reached at time 0
          d.CurTime = arrival - 1e-6;
          ASSERT_EQ(comps[c](d, s, i, j, k, 0), 0.0) << c;
          d.CurTime = arrival + 1e-6;
          nonzero += comps[c](d, s, i, j, k, 0) != 0;
        }
  EXPECT_EQ(nonzero, 5 * 125);  // the horizontal E has no y part
}

// With the far field on, a box 10..30 is corrected on the planes 12 and 28; the bits do not
// depend on the thread count, for the corrections and for the external field's injection.
TEST(TFSF, CorrectedPlanesAndSameBitsOnAnyThreadCount) {
  Gaussian g(Width(14));
  auto run = [&](int threads, bool far) {
    omp_set_num_threads(threads);
    auto d = std::make_unique<SolverData>();
    SetGridSize(*d, 48, 46, 40);
    d->Dx = d->Dy = d->Dz = kDx;
    d->TimeStep = kDx / 2;
    d->CourantX = d->CourantY = d->CourantZ = 0.5;
    SetFaces(*d, "LLLLLL");
    EXPECT_GT(AllocFieldArrays(*d), 0);
    ClearFields(*d);
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> u(-1, 1);
    if (!far)
      for (t3DSpaceArray* a : {&d->Ex, &d->Ey, &d->Ez, &d->Hx, &d->Hy, &d->Hz})
        for (size_t n = 0; n < a->size(); ++n) a->data()[n] = u(rng);
    TFSFState s;
    SetupTFSF(s, 60, 30, true, far ? FarBox{10, 30, 10, 30, 10, 30} : FarBox{3, 45, 3, 43, 3, 37}, far);
    std::string m;
    EXPECT_TRUE(CheckTFSFBorders(s, *d, m)) << m;
    s.Signal = &g;
    s.TFSFDelay = CalcTFSFDelay(*d, s);
    d->CurTime = 0.03;
    EXPECT_TRUE(CorrectTFSFH(*d, s, -d->TimeStep / 2) && CorrectTFSFE(*d, s, 0));
    const ExternalWave w{&g, 0.5};
    AddPMLWaveH(*d, w, +1, -d->TimeStep);
    AddPMLWaveE(*d, w, +1, -d->TimeStep / 2);
    omp_set_num_threads(1);
    return d;
  };
  const auto one = run(1, false), four = run(4, false);
  for (auto [a, b] : {std::pair{&one->Ex, &four->Ex}, {&one->Ey, &four->Ey}, {&one->Ez, &four->Ez},
                      {&one->Hx, &four->Hx}, {&one->Hy, &four->Hy}, {&one->Hz, &four->Hz}})
    EXPECT_EQ(std::memcmp(a->data(), b->data(), a->size() * sizeof(float)), 0);

  // Planes along x through the middle of the box: only the corrected ones changed (the
  // injection touches the grid's outer planes only).
  const auto f = run(1, true);
  std::vector<int> ey, hz;
  for (int i = 2; i <= 46; ++i) {
    if (f->Ey(i, 20, 20) != 0) ey.push_back(i);
    if (f->Hz(i, 20, 20) != 0) hz.push_back(i);
  }
  EXPECT_EQ(ey, (std::vector<int>{12, 28}));
  EXPECT_EQ(hz, (std::vector<int>{11, 28}));
}

// Each correction adds, element by element in the passes' order, the incident value of
// its face times the Courant number and the vacuum factor: rows long enough to span
// several stretches, an oblique wave (every value its own phase) and one along x (rows of
// one phase), every face open or the Y=1 face closed.
TEST(TFSF, CorrectionsAddTheIncidentValueOfEachElement) {
  Gaussian g(Width(30));
  using Inc = double (*)(const SolverData&, const TFSFState&, double, double, double, double);
  for (auto [theta, phi] : {std::pair{60.f, 30.f}, {90.f, 90.f}})
    for (const char* faces : {"LLLLLL", "PLLLLL"}) {
      auto d = std::make_unique<SolverData>(), ref = std::make_unique<SolverData>();
      for (SolverData* x : {d.get(), ref.get()}) {
        SetGridSize(*x, 14, 150, 290);
        x->Dx = x->Dy = x->Dz = kDx;
        x->TimeStep = kDx / 2;
        x->CourantX = x->CourantY = x->CourantZ = 0.5;
        SetFaces(*x, faces);
        ASSERT_GT(AllocFieldArrays(*x), 0);
        ClearFields(*x);
        x->CurTime = 0.2;
      }
      TFSFState s;
      SetupTFSF(s, theta, phi, false, {3, 12, faces[0] == 'P' ? 1 : 3, 147, 3, 287}, false);
      std::string m;
      ASSERT_TRUE(CheckTFSFBorders(s, *d, m)) << m;
      s.Signal = &g;
      s.TFSFDelay = CalcTFSFDelay(*d, s);
      ASSERT_TRUE(CorrectTFSFH(*d, s, -d->TimeStep / 2) && CorrectTFSFE(*d, s, 0));

      SolverData& r = *ref;
      const FarBox& b = s.TFSFBox;
      const int x0 = b.xmin, x1 = b.xmax, y0 = b.ymin, y1 = b.ymax, z0 = b.zmin, z1 = b.zmax;
      // One pass: the field index and the incident node across the faces (normal axis),
      // the loops over the other two axes in index order.
      auto pass = [&](t3DSpaceArray& F, int axis, int lowAt, int lowInc, int highAt, int highInc,
                      int a0, int a1, int c0, int c1, Inc inc, double coef, double lowSign, double offset) {
        const Face lo = axis == 0 ? FaceX1 : axis == 1 ? FaceY1 : FaceZ1;
        const Face hi = axis == 0 ? FaceXMax : axis == 1 ? FaceYMax : FaceZMax;
        for (int u = a0; u <= a1; ++u)
          for (int v = c0; v <= c1; ++v)
            for (int side = 0; side < 2; ++side) {
              if (!s.FaceOpen[side ? hi : lo]) continue;
              int at[3], node[3];
              const int o = axis == 0 ? 1 : 0, n = axis == 2 ? 1 : 2;  // the other two axes
              at[o] = node[o] = u;
              at[n] = node[n] = v;
              at[axis] = side ? highAt : lowAt;
              node[axis] = side ? highInc : lowInc;
              float& f = F(at[0], at[1], at[2]);
              const double val = inc(r, s, node[0], node[1], node[2], offset) * coef;
              f = float(double(f) + (side ? -lowSign : lowSign) * val);
            }
      };
      const double fh = r.HCoefUniform, fe = s.TFSFECoef, h = -r.TimeStep / 2;
      pass(r.Hz, 0, x0 - 1, x0, x1, x1, y0, y1 - 1, z0, z1, IncidentEy, 0.5 * fh, +1, h);
      pass(r.Hy, 0, x0 - 1, x0, x1, x1, y0, y1, z0, z1 - 1, IncidentEz, 0.5 * fh, -1, h);
      pass(r.Hz, 1, y0 - 1, y0, y1, y1, x0, x1 - 1, z0, z1, IncidentEx, 0.5 * fh, -1, h);
      pass(r.Hx, 1, y0 - 1, y0, y1, y1, x0, x1, z0, z1 - 1, IncidentEz, 0.5 * fh, +1, h);
      pass(r.Hx, 2, z0 - 1, z0, z1, z1, x0, x1, y0, y1 - 1, IncidentEy, 0.5 * fh, -1, h);
      pass(r.Hy, 2, z0 - 1, z0, z1, z1, x0, x1 - 1, y0, y1, IncidentEx, 0.5 * fh, +1, h);
      pass(r.Ey, 0, x0, x0 - 1, x1, x1, y0, y1 - 1, z0, z1, IncidentHz, 0.5 * fe, +1, 0);
      pass(r.Ez, 0, x0, x0 - 1, x1, x1, y0, y1, z0, z1 - 1, IncidentHy, 0.5 * fe, -1, 0);
      pass(r.Ey, 2, z0, z0 - 1, z1, z1, x0, x1, y0, y1 - 1, IncidentHx, 0.5 * fe, -1, 0);
      pass(r.Ex, 2, z0, z0 - 1, z1, z1, x0, x1 - 1, y0, y1, IncidentHy, 0.5 * fe, +1, 0);
      pass(r.Ex, 1, y0, y0 - 1, y1, y1, x0, x1 - 1, z0, z1, IncidentHz, 0.5 * fe, -1, 0);
      pass(r.Ez, 1, y0, y0 - 1, y1, y1, x0, x1, z0, z1 - 1, IncidentHx, 0.5 * fe, +1, 0);
      for (auto [a, e] : {std::pair{&d->Ex, &r.Ex}, {&d->Ey, &r.Ey}, {&d->Ez, &r.Ez}, {&d->Hx, &r.Hx},
                          {&d->Hy, &r.Hy}, {&d->Hz, &r.Hz}})
        EXPECT_EQ(std::memcmp(a->data(), e->data(), a->size() * sizeof(float)), 0) << theta << " " << faces;
    }
}

// Quasi-1-D (PEC Y faces, "Symmetry for E" Z faces, Mur X faces), a 20-cell box: outside it
// only the scattered field, which in vacuum is the scheme's leakage; inside the total field
// follows the incident wave.
TEST(TFSF, LeakageAlongAGuide) {
  TfsfRun r;
  ASSERT_TRUE(r.Make(80, 3, 3, kDx, kDx, kDx, "PPEEMM", PmlProfile{}, 1.0)) << r.err;
  Gaussian g(Width(14));
  ASSERT_TRUE(r.Source(90, 90, true, {30, 50, 1, 3, 1, 3}, &g)) << r.err;
  double before = 0, after = 0, inside = 0;
  for (int n = 0; n < 320; ++n) {
    r.Step();
    before = std::max(before, r.EAbs(25, 1, 2));
    after = std::max(after, r.EAbs(55, 1, 2));
    // E after step n (CurTime now at n + 1) is the wave at n + 1/2.
    for (int i = 30; i <= 50; ++i)
      inside = std::max(inside, std::abs(r.d.Ey(i, 1, 2) - IncidentEy(r.d, r.s, i, 1, 2, -r.d.TimeStep / 2)));
  }
  // Measured: -69.0 dB before, -61.6 dB after, 0.084 % inside.
  EXPECT_LT(Db(before), -65);
  EXPECT_LT(Db(after), -57);
  EXPECT_LT(inside, 0.002);
}

// All faces Mur: the largest E two or more cells outside the box over the whole pulse.
TEST(TFSF, LeakageIn3D) {
  omp_set_num_threads(1);
  Gaussian g(Width(14));
  for (auto [theta, phi] : {std::pair{90.f, 90.f}, {60.f, 30.f}, {120.f, -150.f}})
    for (bool vertical : {true, false}) {
      TfsfRun r;
      ASSERT_TRUE(r.Make(31, 31, 31, kDx, kDx, kDx, "MMMMMM", PmlProfile{}, 1.0)) << r.err;
      ASSERT_TRUE(r.Source(theta, phi, vertical, Cube(6, 26), &g)) << r.err;
      double worst = 0;
      const double half[3][3] = {{.5, 0, 0}, {0, .5, 0}, {0, 0, .5}};
      const t3DSpaceArray* e[3] = {&r.d.Ex, &r.d.Ey, &r.d.Ez};
      for (int n = 0; n < 240; ++n) {
        r.Step();
        for (int c = 0; c < 3; ++c)
          for (int i = 1; i < e[c]->len1(); ++i)
            for (int j = 1; j < e[c]->len2(); ++j)
              for (int k = 1; k < e[c]->len3(); ++k) {
                const double out = std::max({6 - (i + half[c][0]), i + half[c][0] - 26, 6 - (j + half[c][1]),
                                             j + half[c][1] - 26, 6 - (k + half[c][2]), k + half[c][2] - 26});
                if (out >= 2) worst = std::max(worst, double(std::abs((*e[c])(i, j, k))));
              }
      }
      // Measured: -64.3 dB along x, -70.9 to -71.2 dB for the oblique cases.
      EXPECT_LT(Db(worst), -58) << theta << " " << phi << " " << vertical;
    }
}

// A dielectric slab (eps 4, 20 cells) in the box: the field reflected to a probe before the
// box, over the incident spectrum, against the slab's analytic reflection.
TEST(TFSF, SlabReflectionAgainstFresnel) {
  TfsfRun r;
  ASSERT_TRUE(r.Make(340, 3, 3, kDx, kDx, kDx, "PPEEMM", PmlProfile{}, 1.0)) << r.err;
  SolverData& d = r.d;
  d.Layers[1].On = 1;
  d.Layers[1].EpsStatic = d.Layers[1].EpsInf = 4;
  for (int i = 45; i < 65; ++i)
    for (int j = 0; j <= 3; ++j)
      for (int k = 0; k <= 3; ++k) d.Space(i, j, k) = 1;
  FindObjectBounds(d);
  ASSERT_TRUE(r.cache.Build(d, &r.err)) << r.err;
  Gaussian g(Width(7));
  ASSERT_TRUE(r.Source(90, 90, true, {25, 335, 1, 3, 1, 3}, &g)) << r.err;
  std::vector<double> refl, inc;
  for (int n = 0; n < 1100; ++n) {
    r.Step();
    refl.push_back(d.Ey(20, 1, 2));
    inc.push_back(IncidentEy(d, r.s, 20, 1, 2, -d.TimeStep / 2));
  }
  double worst = 0;
  for (double cells = 60; cells <= 600; cells *= 1.25) {  // free-space wavelength; >= 30 cells in the slab
    const double w = 2 * M_PI * double(LightSpeed) / (cells * kDx);
    std::complex<double> R, I;
    for (size_t n = 0; n < refl.size(); ++n) {
      const std::complex<double> e = std::polar(1.0, -w * n * d.TimeStepSec);
      R += refl[n] * e;
      I += inc[n] * e;
    }
    const double gamma = -1.0 / 3, beta = 2 * M_PI * 2 / (cells * kDx);
    const std::complex<double> p = std::polar(1.0, -2 * beta * 20 * kDx);
    const double ra = std::abs(gamma * (1.0 - p) / (1.0 - gamma * gamma * p));
    worst = std::max(worst, std::abs(std::abs(R / I) - ra));
  }
  EXPECT_LT(worst, 0.01);  // measured 0.0022
}

// The external field with Mur faces: the faces write the incident wave, and the empty box
// holds the plane wave that travels along (cos a, -sin a): it enters at X = 1 and at Y = max
// for a > 0, Y = 1 for a < 0, with Ex of the sign of a and E, H, k right-handed.
TEST(ExternalField, MurFacesCarryTheWaveThroughAnEmptyBox) {
  omp_set_num_threads(1);
  for (double deg : {0.0, 30.0, -30.0, 60.0}) {
    PmlRun r;
    ASSERT_TRUE(r.Make(40, 40, 40, kDx, kDx, kDx, "MMMMMM", PmlProfile{}, 1.0)) << r.err;
    SolverData& d = r.d;
    d.ExternalField = 1;
    d.NoExternalField = 0;
    Gaussian g(Width(14));
    const double a = deg * M_PI / 180;
    const tIncidentWave w{&g, a};
    // The wave at (x, y) metres from the node (1, 1): distance travelled past its entry corner.
    auto wave = [&](double x, double y) {
      const double ymax = (d.Ny - 1) * kDx;
      const double s = std::cos(a) * x + (a >= 0 ? std::sin(a) * (ymax - y) : -std::sin(a) * y);
      return g.GetSignal((d.CurTime - s) / double(LightSpeed));
    };
    double worst = 0, peak = 0;
    for (int n = 0; n < 260; ++n) {
      UpdateH(d);
      UpdateE(d, r.cache);
      ApplyMur(d, w);
      SaveMurPlanes(d, w);
      for (int i = 3; i <= d.Nx - 2; ++i)
        for (int j = 3; j <= d.Ny - 2; ++j) {
          const double ey = std::cos(a) * wave((i - 1) * kDx, (j - 0.5) * kDx);
          const double ex = std::sin(a) * wave((i - 0.5) * kDx, (j - 1) * kDx);
          peak = std::max(peak, std::abs(ey));
          for (int k = 3; k <= d.Nz - 2; ++k)
            worst = std::max({worst, std::abs(d.Ey(i, j, k) - ey), std::abs(d.Ex(i, j, k) - ex)});
        }
      d.CurTime += d.TimeStep;
    }
    EXPECT_GT(peak, 0.85 * std::cos(a));
    // Measured: 0.176, 0.097, 0.097, 0.168 % of the peak.
    EXPECT_LT(worst, 0.005 * peak) << deg;
  }
}
