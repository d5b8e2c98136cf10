#include <gtest/gtest.h>

#include "kernel_fixture.h"
#include "solver/faces.h"
#include "solver/mur.h"
#include "solver/rtabc.h"
#include "solver/yee.h"

using namespace rv;
using namespace rvtest;

TEST(Faces, PecAndSymmetryActOnTheTangentialEOfTheirPlaneOnly) {
  SolverData d;
  MakeGrid(d, 7, 8, 9, 1e-3, 0.5);
  ASSERT_TRUE(Allocate(d));
  std::mt19937 rng(2);
  for (t3DSpaceArray* a : {&d.Ex, &d.Ey, &d.Ez, &d.Hx, &d.Hy, &d.Hz}) FillRandom(*a, rng);
  const t3DSpaceArray ex0 = d.Ex, ey0 = d.Ey, ez0 = d.Ez, hx0 = d.Hx;
  ASSERT_TRUE(ApplySymmetry(d) && ApplyPEC(d));  // no flags: nothing changes
  EXPECT_TRUE(SameBits(d.Ex, ex0) && SameBits(d.Ey, ey0) && SameBits(d.Ez, ez0));

  SetFaces(d.SymEFace, {FaceY1});
  SetFaces(d.SymHFace, {FaceXMax});
  ASSERT_TRUE(ApplySymmetry(d));
  for (int a = 1; a <= 8; ++a)
    for (int k = 1; k <= 9; ++k) {
      ASSERT_TRUE(a > 6 || d.Ex(a, 1, k) == d.Ex(a, 2, k)) << a << " " << k;
      ASSERT_TRUE(a > 7 || d.Ey(7, a, k) == -ey0(6, a, k)) << a << " " << k;
      ASSERT_TRUE(k > 8 || d.Ez(7, a, k) == -d.Ez(6, a, k)) << a << " " << k;
    }
  // X=max comes after Y=1: the shared rim takes what Y=1 left on the inner plane.
  EXPECT_EQ(d.Ez(7, 1, 4), -ez0(6, 2, 4));
  EXPECT_TRUE(SameBits(d.Hx, hx0));

  // PEC on Z=1 after "Symmetry for E" on Y=1: the shared rim line ends at 0; the normal E
  // on the PEC plane is untouched.
  SetFaces(d.PECFace, {FaceZ1});
  d.SymHFace.fill(0);
  const float ez = d.Ez(3, 3, 1);
  ApplySymmetry(d);
  ApplyPEC(d);
  for (int a = 1; a <= 7; ++a) ASSERT_TRUE((a == 7 || d.Ex(a, 1, 1) == 0) && d.Ey(4, a, 1) == 0) << a;
  EXPECT_EQ(d.Ez(3, 3, 1), ez);
  SetGridSize(d, 9, 8, 9);  // arrays that do not fit the grid are refused
  EXPECT_FALSE(ApplyPEC(d) || ApplySymmetry(d));
}

namespace {

// A PEC box with a dielectric block, symmetric about the plane half a cell before node h
// (node i mirrors node 2h - 1 - i); pulses of Ez at i0 and, signed, at its mirror image.
void SymmetricBox(SolverData& d, int nxNodes, int h, float mirrorSign, bool half) {
  MakeGrid(d, nxNodes, 14, 13, 1e-3, 0.5);
  SetMaterial(d, 1, 0.05, 4);
  const int full = 2 * h - 2;  // nodes of the whole model
  for (int c = 1; c < full; ++c) {
    const int m = full - c;  // mirror cell of cell c
    for (int j = 4; j <= 9; ++j)
      for (int k = 3; k <= 8; ++k)
        if ((c >= 3 && c <= 6) || (m >= 3 && m <= 6))
          if (c < nxNodes) d.Space(c, j, k) = 1;
  }
  ASSERT_TRUE(Allocate(d));
  // The same object box in both models, so every edge of the half model meets the same rule.
  d.ObjXMin = 1; d.ObjXMax = full; d.ObjYMin = 1; d.ObjYMax = 14; d.ObjZMin = 1; d.ObjZMax = 13;
  auto pulse = [&](int i, float s) {
    if (i >= nxNodes + 1) return;
    for (int j = 2; j <= 13; ++j)
      for (int k = 1; k <= 12; ++k)
        d.Ez(i, j, k) += s * float(std::exp(-((j - 6) * (j - 6) + (k - 5) * (k - 5)) / 3.0));
  };
  pulse(5, 1);
  if (!half) pulse(2 * h - 1 - 5, mirrorSign);
  SetFaces(d.PECFace, {1, 2, 3, 4, 5, 6});
  if (half) d.PECFace[FaceXMax] = 0;
}

}  // namespace

// The half model with a symmetry face gives the fields of the whole symmetric model.
TEST(Faces, HalfModelWithSymmetryFaceEqualsTheWholeModel) {
  const int h = 12;
  for (bool symE : {true, false}) {
    SolverData whole, half;
    SymmetricBox(whole, 2 * h - 2, h, symE ? 1.0f : -1.0f, false);
    SymmetricBox(half, h, h, 0, true);
    (symE ? half.SymEFace : half.SymHFace)[FaceXMax] = 1;
    EdgeCoefCache cw, ch;
    ASSERT_TRUE(cw.Build(whole));
    ASSERT_TRUE(ch.Build(half));
    for (int s = 0; s < 150; ++s) {
      StepFields(whole, cw);
      StepFields(half, ch);
    }
    // max |whole - half| / max |whole| over the half model's E or H edges.
    auto rel = [&](bool magnetic) {
      const t3DSpaceArray SolverData::* f[2][3] = {{&SolverData::Ex, &SolverData::Ey, &SolverData::Ez},
                                                   {&SolverData::Hx, &SolverData::Hy, &SolverData::Hz}};
      double worst = 0, scale = 0;
      for (int c = 0; c < 3; ++c) {
        const t3DSpaceArray &w = whole.*f[magnetic][c], &p = half.*f[magnetic][c];
        for (int i = 1; i <= (magnetic || c == 0 ? h - 1 : h); ++i)
          for (int j = 0; j < p.len2(); ++j)
            for (int k = 0; k < p.len3(); ++k) {
              worst = std::max(worst, double(std::fabs(w(i, j, k) - p(i, j, k))));
              scale = std::max(scale, double(std::fabs(w(i, j, k))));
            }
      }
      return std::pair{worst / scale, scale};
    };
    const char* name = symE ? "Symmetry for E" : "Symmetry for H";
    const auto [e, escale] = rel(false);
    const double hh = rel(true).first;
    EXPECT_LT(std::max(e, hh), 1e-5) << name << ": half vs whole, max |dE| " << e << ", max |dH| " << hh;
    // The pulse has reached the symmetry plane and come back.
    EXPECT_GT(std::fabs(half.Ez(h - 1, 6, 5)) + std::fabs(half.Ez(h - 4, 6, 5)), 1e-3 * escale) << name;
  }
}

// FaceWritingEdge against the passes that run after the lumped elements: on each of the six
// faces alone, for PEC, both symmetries, Mur's and RT-ABC, every edge the pass changes is one
// it names for that face, and every edge it names there off the rim lines (which another
// face's condition may own) is changed. An edge across the face is never named.
TEST(Faces, FaceWritingEdgeNamesWhatEachFacePassWrites) {
  for (int kind = 0; kind < 5; ++kind)
    for (int face = 1; face <= 6; ++face) {
      SCOPED_TRACE(std::to_string(kind) + " " + std::to_string(face));
      SolverData d;
      MakeGrid(d, 6, 7, 8, 1e-3, 0.5);
      FaceFlags* flags[] = {&d.PECFace, &d.SymEFace, &d.SymHFace, &d.MurFace, &d.RTABCFace};
      (*flags[kind])[size_t(face)] = 1;
      d.AnyPEC = kind == 0; d.AnySymE = kind == 1; d.AnySymH = kind == 2; d.AnyMur = kind == 3; d.AnyRTABC = kind == 4;
      ASSERT_TRUE(Allocate(d));
      std::mt19937 rng{unsigned(face)};
      t3DSpaceArray* E[3] = {&d.Ex, &d.Ey, &d.Ez};
      for (t3DSpaceArray* a : E) FillRandom(*a, rng);
      const t3DSpaceArray before[3] = {d.Ex, d.Ey, d.Ez};
      ASSERT_TRUE(kind == 0 ? ApplyPEC(d) : kind <= 2 ? ApplySymmetry(d) : kind == 3 ? ApplyMur(d, {})
                                                                           : ApplyRTABC(d, {}));
      const int n[3] = {d.Nx, d.Ny, d.Nz};
      int named = 0;
      for (int a = 0; a < 3; ++a)
        for (int i = 1; i <= n[0] - (a == 0); ++i)
          for (int j = 1; j <= n[1] - (a == 1); ++j)
            for (int k = 1; k <= n[2] - (a == 2); ++k) {
              const bool changed = (*E[a])(i, j, k) != before[a](i, j, k);
              const int f = FaceWritingEdge(d, a, i, j, k), at[3] = {i, j, k};
              int planes = 0;  // face planes of the box the edge lies along
              for (int c = 0; c < 3; ++c) planes += c != a && (at[c] == 1 || at[c] == n[c]);
              ASSERT_TRUE((f == 0 || f == face) && (!changed || f) && (!f || planes != 1 || changed))
                  << a << " " << i << " " << j << " " << k << ": " << f << " " << changed;
              named += f != 0;
            }
      EXPECT_GT(named, 40);
    }
}
