#include <gtest/gtest.h>

#include <cstdio>

#include "kernel_fixture.h"
#include "solver/mur.h"
#include "solver/yee.h"

using namespace rv;
using namespace rvtest;

namespace {

// A smooth test waveform that counts its calls.
class CountingSignal : public ISignal {
public:
  double GetSignal(double t) const override {
    ++calls;
    return t < 0 ? 0 : std::sin(2 * M_PI * 3e9 * t) + 0.5 * t * 1e9;
  }
  mutable int calls = 0;
};

void MurGrid(SolverData& d, int nx, int ny, int nz, std::initializer_list<int> murFaces,
             double courant = 0.5) {
  MakeGrid(d, nx, ny, nz, 1e-3, courant);
  SetFaces(d.MurFace, murFaces);
  d.AnyMur = 1;
}

void FillPlanes(SolverData& d, std::mt19937& rng) {
  std::uniform_real_distribution<float> u(-1, 1);
  for (auto& p : d.MurPlanes)
    for (size_t n = 0; n < p.size(); ++n) p.data()[n] = u(rng);
}

}  // namespace

// At normal incidence the wave is plane: the same retarded value at every J.
TEST(IncidentWave, PositionsRetardationAndNoSource) {
  SolverData d;
  MakeGrid(d, 20, 16, 8, 1e-3, 0.5);
  CountingSignal sig;
  tIncidentWave w{&sig, 0.0};
  d.CurTime = 0.0105;
  for (int j : {1, 7, 16}) {
    EXPECT_EQ(IncidentWaveSin(d, w, 5, j, false, 0), 0.0);
    const float tau = float(d.CurTime - double(float(4 * d.Dx)) - 0.001);
    EXPECT_EQ(IncidentWaveCos(d, w, 5, j, false, 0.001), sig.GetSignal(double(tau) / LightSpeed));
  }
  // Before the front arrives, exactly 0 without asking the signal; likewise with no source.
  d.CurTime = 0.0005;
  sig.calls = 0;
  EXPECT_EQ(std::tuple(IncidentWaveCos(d, w, 5, 3, false, 0), IncidentWaveCos(d, w, 5, 3, true, 0),
                       IncidentWaveSin(d, tIncidentWave{nullptr, 0.3}, 5, 3, false, 0), sig.calls),
            std::tuple(0.0, 0.0, 0.0, 0));
  // A negative angle is the positive one mirrored in y (y counted from the other wall).
  d.CurTime = 0.05;
  const tIncidentWave up{&sig, 0.4}, down{&sig, -0.4};
  for (int j : {1, 6, 15}) {
    EXPECT_DOUBLE_EQ(IncidentWaveSin(d, down, 3, d.Ny + 1 - j, false, 0), -IncidentWaveSin(d, up, 3, j, false, 0));
    EXPECT_DOUBLE_EQ(IncidentWaveCos(d, down, 3, d.Ny - j, false, 0), IncidentWaveCos(d, up, 3, j, false, 0));
  }
}

TEST(Mur, CourantOneTakesTheSavedValueAndOneFaceOwnsItsRims) {
  // Courant number 1 along x: k = 0, the X face takes the saved inner value.
  {
    SolverData d;
    MurGrid(d, 8, 7, 6, {FaceX1}, 0.5);
    ASSERT_TRUE(Allocate(d));
    d.CourantX = 1;
    std::mt19937 rng(1);
    for (t3DSpaceArray* a : {&d.Ex, &d.Ey, &d.Ez}) FillRandom(*a, rng);
    FillPlanes(d, rng);
    ASSERT_TRUE(ApplyMur(d, tIncidentWave{}));
    for (int j = 1; j <= 7; ++j)
      for (int k = 1; k <= 5; ++k) ASSERT_EQ(d.Ez(1, j, k), d.MurPlanes[0](j, k));
    for (int j = 1; j <= 6; ++j)
      for (int k = 1; k <= 6; ++k) ASSERT_EQ(d.Ey(1, j, k), d.MurPlanes[2](j, k));
  }
  // Only Y=1 is Mur: its Ex rim lines along x (k = 1, Nz) are updated from plane 6; the
  // X faces' rim lines and everything off the face stay.
  {
    SolverData d;
    MurGrid(d, 8, 7, 6, {FaceY1});
    ASSERT_TRUE(Allocate(d));
    std::mt19937 rng(2);
    for (t3DSpaceArray* a : {&d.Ex, &d.Ey, &d.Ez}) FillRandom(*a, rng);
    FillPlanes(d, rng);
    const t3DSpaceArray ex0 = d.Ex, ey0 = d.Ey, ez0 = d.Ez;
    ASSERT_TRUE(ApplyMur(d, tIncidentWave{}));
    const double k = (0.5 - 1) / (0.5 + 1);
    for (int i = 1; i <= 7; ++i)
      for (int kk : {1, 6})
        EXPECT_EQ(d.Ex(i, 1, kk), float(k * (double(ex0(i, 2, kk)) - ex0(i, 1, kk)) + d.MurPlanes[6](i, kk)));
    EXPECT_EQ(std::tuple(d.Ez(1, 1, 3), d.Ez(8, 1, 3), d.Ex(3, 2, 2)), std::tuple(ez0(1, 1, 3), ez0(8, 1, 3), ex0(3, 2, 2)));
    EXPECT_NE(d.Ez(4, 1, 3), ez0(4, 1, 3));
    EXPECT_TRUE(SameBits(d.Ey, ey0));
  }
  // Planes or fields that do not fit the grid are refused.
  {
    SolverData d;
    MurGrid(d, 8, 7, 6, {FaceZ1});
    ASSERT_TRUE(Allocate(d));
    d.MurPlanes[8].free();
    EXPECT_FALSE(ApplyMur(d, tIncidentWave{}) || SaveMurPlanes(d, tIncidentWave{}));
    d.MurFace[FaceZ1] = 0;
    d.MurFace[FaceZMax] = 1;  // its planes are there
    EXPECT_TRUE(ApplyMur(d, tIncidentWave{}));
  }
}

// With the external field on and no scattered field (every E equal to the incident wave),
// the saved planes hold 0 and Mur writes the incident wave onto the boundary: the faces are
// transparent to the wave that drives the run.
TEST(Mur, PureIncidentWaveIsWrittenBackUnchanged) {
  SolverData d;
  MurGrid(d, 12, 10, 9, {1, 2, 3, 4, 5, 6});
  d.ExternalField = 1; d.NoExternalField = 0;
  ASSERT_TRUE(Allocate(d));
  CountingSignal sig;
  const tIncidentWave w{&sig, 0.35};
  auto fill = [&](bool boundaries) {
    for (int i = 1; i <= 12; ++i)
      for (int j = 1; j <= 10; ++j)
        for (int k = 1; k <= 9; ++k) {
          const bool bx = i == 1 || i == 12, by = j == 1 || j == 10, bz = k == 1 || k == 9;
          if (j <= 9 && (boundaries || !(bx || bz))) d.Ey(i, j, k) = float(IncidentWaveCos(d, w, i, j, false, 0));
          if (i <= 11 && (boundaries || !(by || bz))) d.Ex(i, j, k) = float(IncidentWaveSin(d, w, i, j, false, 0));
        }
  };
  d.CurTime = 0.02;
  fill(true);
  ASSERT_TRUE(SaveMurPlanes(d, w));
  for (int p : {2, 3, 6, 7, 8, 9, 10, 11})
    for (size_t n = 0; n < d.MurPlanes[p].size(); ++n)
      ASSERT_LT(std::fabs(d.MurPlanes[p].data()[n]), 1e-6f) << p;
  d.CurTime += d.TimeStep;
  fill(false);  // the interior moves on; the boundaries still hold the previous step
  ASSERT_TRUE(ApplyMur(d, w));
  double worst = 0;
  auto dev = [&](float e, double inc) { worst = std::max(worst, std::fabs(e - inc)); };
  for (int a = 1; a <= 11; ++a)
    for (int b = 1; b <= 9; ++b) {
      if (a <= 9) for (int i : {1, 12}) dev(d.Ey(i, a, b), IncidentWaveCos(d, w, i, a, false, 0));
      if (a >= 2) for (int k : {1, 9}) dev(d.Ey(a, b, k), IncidentWaveCos(d, w, a, b, false, 0));
      for (int j : {1, 10}) dev(d.Ex(a, j, b), IncidentWaveSin(d, w, a, j, false, 0));
      if (b >= 2) for (int k : {1, 9}) dev(d.Ex(a, b, k), IncidentWaveSin(d, w, a, b, false, 0));
    }
  EXPECT_LT(worst, 1e-5);
}

namespace {

// A TEM pulse in a parallel-plate guide along x: PEC Y faces, "Symmetry for E" Z faces, Mur
// X faces; a soft Ey source plane at i = 20. Returns Ey at i = 60 for each step.
std::vector<double> GuideProbe(int nx, int steps) {
  SolverData d;
  MakeGrid(d, nx, 5, 4, 1e-3, 0.5);
  SetFaces(d.PECFace, {FaceY1, FaceYMax});
  SetFaces(d.SymEFace, {FaceZ1, FaceZMax});
  SetFaces(d.MurFace, {FaceX1, FaceXMax});
  d.AnyPEC = d.AnySymE = d.AnyMur = 1;
  if (!Allocate(d)) return {};
  EdgeCoefCache cache;
  if (!cache.Build(d)) return {};
  std::vector<double> probe;
  int n = 0;
  const double w = 30, n0 = 120;
  auto source = [&] {
    const float g = float(std::exp(-((n - n0) / w) * ((n - n0) / w)));
    for (int j = 1; j <= 4; ++j)
      for (int k = 1; k <= 4; ++k) d.Ey(20, j, k) += g;
  };
  for (n = 0; n < steps; ++n) {
    StepFields(d, cache, tIncidentWave{}, source);
    probe.push_back(d.Ey(60, 2, 2));
  }
  return probe;
}

}  // namespace

TEST(Mur, NormalIncidenceReflectionInATemGuide) {
  const int steps = 1100;  // the long grid's far face answers only after 1440 steps
  const auto shortRun = GuideProbe(110, steps), longRun = GuideProbe(420, steps);
  ASSERT_TRUE(shortRun.size() == size_t(steps) && longRun.size() == size_t(steps));
  double peak = 0, refl = 0;
  for (int n = 0; n < steps; ++n) {
    peak = std::max(peak, std::fabs(longRun[n]));
    refl = std::max(refl, std::fabs(shortRun[n] - longRun[n]));
  }
  const double dB = 20 * std::log10(refl / peak);
  std::printf("Mur 1st order, TEM pulse (30-step Gaussian, c*dt = dx/2): reflection %.1f dB\n", dB);
  EXPECT_GT(peak, 1.0);
  EXPECT_LT(dB, -30);
}
