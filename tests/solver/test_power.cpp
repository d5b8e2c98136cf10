#include <gtest/gtest.h>

#include "kernel_fixture.h"
#include "run_fixture.h"
#include "solver/power.h"

using namespace rv;
using namespace runtest;
using rvtest::FillRandom;
using rvtest::SameBits;

namespace {

// An odd-sized grid with SAR arrays and random fields.
void RandomGrid(SolverData& d, unsigned seed) {
  SetGridSize(d, 13, 9, 11);
  ResizeSpace(d);
  d.Dx = 1e-3; d.Dy = 2e-3; d.Dz = 1.5e-3;
  d.SAROn = 1;
  ASSERT_GT(AllocFieldArrays(d), 0);
  std::mt19937 rng(seed);
  for (t3DSpaceArray* a : {&d.Hx, &d.Hy, &d.Hz, &d.Ex, &d.Ey, &d.Ez, &d.ExPrev, &d.EyPrev, &d.EzPrev})
    FillRandom(*a, rng);
}

}  // namespace

TEST(AbsorbedPower, SameBitsOnAnyNumberOfThreadsAndOffChangesNothing) {
  const int saved = omp_get_max_threads();
  SolverData ref;
  RandomGrid(ref, 1);
  ref.SymEFace[FaceY1] = 1;
  ref.SymHFace[FaceXMax] = 1;
  omp_set_num_threads(1);
  for (int s = 0; s < 3; ++s) ASSERT_TRUE(AccumulatePower(ref, true));
  for (int threads : {2, 3, 5}) {
    SolverData d;
    RandomGrid(d, 1);
    d.SymEFace = ref.SymEFace;
    d.SymHFace = ref.SymHFace;
    omp_set_num_threads(threads);
    for (int s = 0; s < 3; ++s) ASSERT_TRUE(AccumulatePower(d, true));
    EXPECT_TRUE(SameBits(d.PowerX, ref.PowerX) && SameBits(d.PowerY, ref.PowerY) &&
                SameBits(d.PowerZ, ref.PowerZ)) << threads;
  }
  omp_set_num_threads(saved);

  // Off: not a bit changes.
  const t3DSpaceArray px = ref.PowerX;
  EXPECT_TRUE(AccumulatePower(ref, false) && SameBits(px, ref.PowerX));
  // The faces of a symmetry plane carry the first inner layer.
  for (int i = 1; i <= ref.Nx - 1; ++i)
    for (int k = 1; k <= ref.Nz; ++k) EXPECT_EQ(ref.PowerX(i, 1, k), ref.PowerX(i, 2, k));
  for (int j = 1; j <= ref.Ny; ++j)
    for (int k = 1; k <= ref.Nz - 1; ++k)
      EXPECT_EQ(ref.PowerZ(ref.Nx, j, k), ref.PowerZ(ref.Nx - 1, j, k));
  // Arrays missing (SAR off at run start): refused, nothing touched.
  SolverData none;
  SetGridSize(none, 6, 6, 6);
  ASSERT_GT(AllocFieldArrays(none), 0);
  EXPECT_FALSE(AccumulatePower(none, true));
}

TEST(AbsorbedPower, SharingAmongCellsKeepsTheTotal) {
  SolverData d;
  SetGridSize(d, 8, 8, 8);
  d.SAROn = 1;
  ASSERT_GT(AllocFieldArrays(d), 0);
  d.CurStep = 12; d.SARDelay = 2;  // 10 accumulated steps
  // Every cell of a lossy material (lossless cells take no share: see the report's tests).
  ResizeSpace(d);
  rvtest::SetMaterial(d, 1, 1, 1);
  for (size_t n = 0; n < d.Space.size(); ++n) d.Space.data()[n] = 1;
  // A lone edge: each of its four cells gets a quarter.
  d.PowerX(4, 4, 4) = 40;
  ASSERT_TRUE(ComputeSAR(d));
  EXPECT_EQ(std::tuple(d.SARCell(4, 4, 4), d.SARCell(4, 3, 4), d.SARCell(4, 4, 3), d.SARCell(4, 3, 3), d.SARCell(5, 4, 4)),
            std::tuple(1.0f, 1.0f, 1.0f, 1.0f, 0.0f));
  // Weighted by the diagonal edges: (4,5,5) is the diagonal of cell (4,4,4).
  d.PowerX(4, 5, 5) = 30;
  ASSERT_TRUE(ComputeSAR(d));
  // Each of the two edges weighs only the cell they share, so both powers land there.
  EXPECT_EQ(std::tuple(d.SARCell(4, 4, 4), d.SARCell(4, 3, 3)), std::tuple(7.0f, 0.0f));

  // Random powers: every edge inside the sharing ranges ends up in some cell.
  std::mt19937 rng(5);
  std::uniform_real_distribution<float> u(-1, 3);
  for (t3DSpaceArray* a : {&d.PowerX, &d.PowerY, &d.PowerZ})
    for (size_t n = 0; n < a->size(); ++n) a->data()[n] = u(rng);
  ASSERT_TRUE(ComputeSAR(d));
  double edges = 0, cells = 0;
  for (int i = 1; i <= 7; ++i)
    for (int j = 1; j <= 7; ++j)
      for (int k = 1; k <= 7; ++k) {
        if (j >= 2 && k >= 2) edges += d.PowerX(i, j, k);
        if (i >= 2 && k >= 2) edges += d.PowerY(i, j, k);
        if (i >= 2 && j >= 2) edges += d.PowerZ(i, j, k);
        cells += d.SARCell(i, j, k);
      }
  EXPECT_NEAR(cells * 10, edges, 1e-4 * std::fabs(edges));

  // A symmetry plane at Y=max doubles the cells next to it.
  const t3DSpaceArray plain = d.SARCell;
  d.SymHFace[FaceYMax] = 1;
  ASSERT_TRUE(ComputeSAR(d));
  EXPECT_EQ(std::tuple(d.SARCell(3, 7, 5), d.SARCell(3, 6, 5)), std::tuple(2 * plain(3, 7, 5), plain(3, 6, 5)));

  // Nothing accumulated: no SAR.
  d.CurStep = 2;
  EXPECT_FALSE(ComputeSAR(d) || !d.SARCell.empty());
}

TEST(AbsorbedPower, LossyBlockAbsorbsWhatTheSourceDelivers) {
  // A lossy dielectric block between the bars of the line, driven by a 50 Ohm source, in a
  // closed lossless box: the power the edges absorb is what the source edge gives, and it
  // is what a resistor of the block's conductance would take.
  Line L;
  ASSERT_TRUE(BuildLine(L));
  rvtest::SetMaterial(L.d, 2, 0.05, 4);
  for (int i = 6; i <= 8; ++i) L.d.Space(i, Line::Y, Line::Z) = 2;
  FindObjectBounds(L.d);
  ElementArrays el;
  el.VoltageSources.push_back(SourceAt(Line::X0, 50));
  const double T = 1.0 / (L.sig.Freq * L.d.TimeStepSec);
  const int delay = int(std::lround(3 * T)), steps = delay + int(std::lround(3 * T));
  const RunOutcome o = RunLine(L, el, steps, delay);
  ASSERT_EQ(o.End, RunEnd::Completed);
  const int n = L.d.CurStep - L.d.SARDelay;
  const double source = -L.k.Lumped.SourcePower[0] / n;
  double absorbed = 0;  // every edge (the source keeps its own power off its edge)
  for (int i = 1; i < L.d.Nx; ++i)
    for (int j = 1; j < L.d.Ny; ++j)
      for (int k = 1; k < L.d.Nz; ++k)
        absorbed += double(L.d.PowerX(i, j, k)) + double(L.d.PowerY(i, j, k)) +
                    double(L.d.PowerZ(i, j, k));
  absorbed /= n;
  EXPECT_NEAR(absorbed, source, 0.01 * source);
  // The block is a resistor of sigma * (3 cells' area) / height; the 1 V source with
  // 50 Ohm drives it as a divider. Its own capacitance is negligible at 100 MHz.
  const double Rb = L.d.Dz / (0.05 * 3 * L.d.Dx * L.d.Dy);
  EXPECT_NEAR(source, Rb / (2 * (50 + Rb) * (50 + Rb)), 0.02 * source);

  // Shared among the cells, most of the absorbed power sits in the block's cells.
  ASSERT_TRUE(ComputeSAR(L.d));
  double block = 0;
  for (int i = 1; i < L.d.Nx; ++i)
    for (int j = 1; j < L.d.Ny; ++j)
      for (int k = 1; k < L.d.Nz; ++k)
        if (L.d.Space(i, j, k) == 2) block += L.d.SARCell(i, j, k);
  EXPECT_TRUE(block > 0.5 * source && block < 1.01 * source) << block / source;
}
