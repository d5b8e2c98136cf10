// The model store: default materials, undo, and the materials-table operations.
#include <gtest/gtest.h>

#include <memory>
#include <random>

#include "editor/modelstore.h"
#include "editor/thinwire.h"
#include "testgrid.h"

namespace {

using rv::MaterialState;
using rv::SolverData;

// Distinct records, so that moves can be followed.
void NameLayers(SolverData& d, int n) {
  for (int i = 1; i <= n; ++i) {
    rv::tLayer& L = d.Layers[size_t(i)];
    L.Name = "m" + std::to_string(i);
    L.Sigma = i, L.EpsStatic = 10 + i, L.EpsInf = 20 + i, L.Tau = 30 + i, L.Mu = 40 + i;
    L.Density = 50 + i, L.Color = uint32_t(60 + i), L.On = uint8_t(i % 2);
  }
}

bool SameRecord(const rv::tLayer& a, const rv::tLayer& b) {
  return a.Name == b.Name && a.Sigma == b.Sigma && a.EpsStatic == b.EpsStatic &&
         a.EpsInf == b.EpsInf && a.Tau == b.Tau && a.Mu == b.Mu && a.Density == b.Density &&
         a.Color == b.Color && a.On == b.On;
}

TEST(ModelStore, DefaultMaterials) {
  rv::LayerTable L;
  rv::FillDefaultLayers(L);
  for (size_t i = 1; i <= 254; ++i)
    EXPECT_EQ(std::tuple(L[i].On, L[i].Name, L[i].Sigma, L[i].Density), std::tuple(1, "Новый материал", 1e7, 1000.0)) << i;
  // Red, blue, ..., black, then red again.
  EXPECT_EQ(std::tuple(L[1].Color, L[2].Color, L[17].Color, L[18].Color, L[254].Color),
            std::tuple(0x0000FFu, 0xFF0000u, 0x000000u, 0x0000FFu, 0x0000FFu));
  EXPECT_EQ(MaterialState{}.LayerCount, 1);
}

TEST(ModelStore, UndoRestoresCellsMaterialsAndCountOnce) {
  auto d = Grid(6);
  MaterialState m;
  m.LayerCount = 3;
  d->Space(2, 3, 4) = 3;
  rv::SaveUndo(*d, m);
  EXPECT_EQ(d->Modified, 1);
  const rv::tLayer before = d->Layers[3];
  d->Space(2, 3, 4) = 0;
  d->Space(5, 5, 5) = 2;
  d->Layers[3].Name = "changed";
  m.LayerCount = m.CurLayer = 5;
  ASSERT_TRUE(rv::RestoreUndo(*d, m));
  EXPECT_TRUE(SameRecord(d->Layers[3], before));
  // The current material is never past the material count.
  EXPECT_EQ(std::tuple(d->Space(2, 3, 4), d->Space(5, 5, 5), m.LayerCount, m.CurLayer), std::tuple(3, 0, 3, 3));
  d->Space(1, 1, 1) = 1;
  EXPECT_FALSE(rv::RestoreUndo(*d, m));  // once only
  EXPECT_EQ(d->Space(1, 1, 1), 1);
}

TEST(ModelStore, GrownGridKeepsCellsSameGridKeepsStorage) {
  auto d = Grid(5);
  d->Space(4, 4, 4) = 1;
  const uint8_t* storage = d->Space.data();
  ASSERT_TRUE(rv::ResizeSpace(*d));
  EXPECT_EQ(d->Space.data(), storage);  // a run may go on: nothing moves
  rv::SetGridSize(*d, 8, 7, 9);
  ASSERT_TRUE(rv::ResizeSpace(*d));
  EXPECT_EQ(std::tuple(d->Space(4, 4, 4), d->Space(7, 6, 8), d->UndoSpace.len3()), std::tuple(1, 0, 10));
  // A snapshot after the growth covers the new cells.
  MaterialState m;
  d->Space(7, 6, 8) = 1;
  rv::SaveUndo(*d, m);
  EXPECT_EQ(d->UndoSpace(7, 6, 8), 1);
}

TEST(ModelStore, DeleteCurrentMaterialRenumbersCellsAndRecords) {
  auto d = Grid(6);
  NameLayers(*d, 4);
  const rv::LayerTable old = d->Layers;
  MaterialState m;
  m.LayerCount = 4;
  m.CurLayer = 2;
  d->Space(1, 1, 1) = 1, d->Space(2, 2, 2) = 2, d->Space(3, 3, 3) = 3, d->Space(4, 4, 4) = 4;
  ASSERT_TRUE(rv::DeleteCurrentLayer(*d, m));
  EXPECT_EQ(std::tuple(m.LayerCount, m.CurLayer, d->Space(1, 1, 1), d->Space(2, 2, 2), d->Space(3, 3, 3), d->Space(4, 4, 4)),
            std::tuple(3, 2, 1, 0, 2, 3));
  EXPECT_TRUE(SameRecord(d->Layers[2], old[3]) && SameRecord(d->Layers[3], old[4]));
  // The last one, current: the new last becomes current.
  m.CurLayer = 3;
  ASSERT_TRUE(rv::DeleteCurrentLayer(*d, m));
  EXPECT_EQ(m.CurLayer, 2);
  m.LayerCount = 1;
  EXPECT_FALSE(rv::DeleteCurrentLayer(*d, m));  // the only material stays
}

// The materials table's own loop: a full scan of the cells per material examined.
void ReferenceDeleteUnused(SolverData& d, int& count) {
  auto used = [&](int v) {
    for (int x = 1; x <= d.Nx; ++x)
      for (int y = 1; y <= d.Ny; ++y)
        for (int z = 1; z <= d.Nz; ++z)
          if (d.Space(x, y, z) == v) return true;
    return false;
  };
  int i = 1;
  while (i <= count && count != 1) {
    if (used(i)) { ++i; continue; }
    for (int k = i; k < count; ++k) d.Layers[size_t(k)] = d.Layers[size_t(k + 1)];
    for (size_t n = 0; n < d.Space.size(); ++n)
      if (d.Space.data()[n] > i) --d.Space.data()[n];
    --count;
  }
}

TEST(ModelStore, DeleteUnusedMatchesTheFullScanAndKeepsTheCurrentMaterial) {
  {
    auto d = Grid(5);
    MaterialState m;
    m.LayerCount = m.CurLayer = 5;
    d->Space(1, 2, 3) = 1;
    d->Space(4, 4, 4) = 5;
    EXPECT_EQ(rv::DeleteUnusedLayers(*d, m), 3);
    EXPECT_EQ(std::tuple(m.LayerCount, d->Space(4, 4, 4), m.CurLayer, d->Modified.load()), std::tuple(2, 2, 2, 1));
  }
  std::mt19937 rng(7);
  for (int t = 0; t < 40; ++t) {
    auto d = Grid(3 + int(rng() % 6));
    auto ref = Grid(d->Nx);
    NameLayers(*d, 254);
    MaterialState m;
    m.LayerCount = 1 + int(rng() % 12);
    m.CurLayer = 1 + int(rng() % unsigned(m.LayerCount));
    const int filled = int(rng() % 6);
    for (int x = 1; x < d->Nx; ++x)
      for (int y = 1; y < d->Ny; ++y)
        for (int z = 1; z < d->Nz; ++z)
          if (int(rng() % 100) < filled) d->Space(x, y, z) = uint8_t(rng() % unsigned(m.LayerCount + 1));
    ref->Space = d->Space;
    ref->Layers = d->Layers;
    const int oldCur = m.CurLayer;
    int count = m.LayerCount;
    ReferenceDeleteUnused(*ref, count);
    const rv::LayerTable old = d->Layers;
    rv::DeleteUnusedLayers(*d, m);
    ASSERT_EQ(m.LayerCount, count);
    for (size_t n = 0; n < d->Space.size(); ++n) ASSERT_EQ(d->Space.data()[n], ref->Space.data()[n]);
    for (int i = 1; i <= count; ++i) ASSERT_TRUE(SameRecord(d->Layers[size_t(i)], ref->Layers[size_t(i)]));
    ASSERT_TRUE(m.CurLayer >= 1 && m.CurLayer <= m.LayerCount) << m.CurLayer;
    // The current material, when kept, is still the same record.
    bool kept = false;
    for (int i = 1; i <= count; ++i) kept |= SameRecord(d->Layers[size_t(i)], old[size_t(oldCur)]);
    if (kept) {
      EXPECT_TRUE(SameRecord(d->Layers[size_t(m.CurLayer)], old[size_t(oldCur)]));
    }
  }
}

TEST(ModelStore, AddStopsAt254) {
  auto d = Grid(3);
  MaterialState m;
  m.LayerCount = 253;
  EXPECT_TRUE(rv::AddLayer(*d, m) && m.CurLayer == 254);
  EXPECT_FALSE(rv::AddLayer(*d, m) || m.LayerCount != 254);
}

TEST(ModelStore, TableTransferRefusesUnreadableAndUnphysicalCells) {
  rv::LayerTable L;
  rv::FillDefaultLayers(L);
  const auto good = rv::LayerRowTexts(L[1]);
  struct Case { int col; const char* text; bool ok; };
  const Case cases[] = {
      {rv::ColEpsStatic, "1,5", false}, {rv::ColMu, "0", false}, {rv::ColEpsInf, "-1", false},
      {rv::ColSigma, "-1e-3", false},   {rv::ColTau, "-1", false}, {rv::ColDensity, "-5", false},
      {rv::ColSigma, "0", true},        {rv::ColEpsStatic, " 4.5 ", true},
  };
  for (const Case& c : cases) {
    std::vector<std::array<std::string, rv::LayerColumnCount>> rows{good, good};
    rows[0][rv::ColName] = "first";
    rows[1][size_t(c.col)] = c.text;
    rows[1][rv::ColName] = "second";
    rv::LayerTable t = L;
    const rv::CellError e = rv::ApplyLayerRows(rows, true, t);
    EXPECT_EQ(e.ok(), c.ok) << c.text;
    EXPECT_EQ(t[1].Name, "first");  // rows before the bad one are applied
    if (!c.ok) {  // the bad row is not
      EXPECT_EQ(std::tuple(e.col, e.row, t[2].Name), std::tuple(c.col, 2, L[2].Name));
    }
  }
}

TEST(ThinWire, SkinDepthResistanceAndConductivity) {
  rv::ThinWireInput in;
  rv::ThinWireResult r = rv::ThinWire(in);
  EXPECT_NEAR(r.SkinDepth, 3.24874e-5, 1e-10);
  EXPECT_NEAR(r.R, 1.95959e-3, 1e-8);
  EXPECT_NEAR(r.SigmaNew, 51031.0363079829, 1e-8);
  for (char dir : {'X', 'Z'}) {
    in.Dir = dir;
    EXPECT_DOUBLE_EQ(rv::ThinWire(in).SigmaNew, r.SigmaNew);
  }
  in.Dir = 'Y';
  in.Dx = 0.01, in.Dy = 0.02, in.Dz = 0.005;
  r = rv::ThinWire(in);
  EXPECT_NEAR(r.R, 3.91918e-3, 1e-8);
  EXPECT_NEAR(r.SigmaNew, 102062.072615966, 1e-7);
  // The row conducts like the wire: sigma_new * a * b / L = 1 / R.
  EXPECT_NEAR(r.SigmaNew * in.Dx * in.Dz / in.Dy, 1 / r.R, 1e-9);
}

}  // namespace
