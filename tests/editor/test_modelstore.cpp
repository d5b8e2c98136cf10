// The model store: undo, growth, and the materials-table operations.

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
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
  EXPECT_TRUE(d->Layers[3] == before);
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
  EXPECT_TRUE(d->Layers[2] == old[3] && d->Layers[3] == old[4]);
  // The last one, current: the new last becomes current.
  m.CurLayer = 3;
  ASSERT_TRUE(rv::DeleteCurrentLayer(*d, m));
  EXPECT_EQ(m.CurLayer, 2);
  m.LayerCount = 1;
  EXPECT_FALSE(rv::DeleteCurrentLayer(*d, m));  // the only material stays
}

// The materials table's own loop: a full scan of the cells per material examined.
void ReferenceDeleteUnused(rv::tSpace& s, rv::LayerTable& L, int& count) {
  uint8_t* const end = s.data() + s.size();
  for (int i = 1; i <= count && count != 1;) {
    if (std::find(s.data(), end, uint8_t(i)) != end) {
      ++i;
      continue;
    }
    std::copy(L.begin() + i + 1, L.begin() + count + 1, L.begin() + i);
    for (uint8_t* c = s.data(); c != end; ++c) *c -= *c > i;
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
    NameLayers(*d, 254);
    MaterialState m;
    m.LayerCount = 1 + int(rng() % 12);
    m.CurLayer = 1 + int(rng() % unsigned(m.LayerCount));
    const int filled = int(rng() % 6);
    for (int x = 1; x < d->Nx; ++x)
      for (int y = 1; y < d->Ny; ++y)
        for (int z = 1; z < d->Nz; ++z)
          if (int(rng() % 100) < filled) d->Space(x, y, z) = uint8_t(rng() % unsigned(m.LayerCount + 1));
    rv::tSpace space = d->Space;
    rv::LayerTable layers = d->Layers;
    const rv::tLayer current = layers[size_t(m.CurLayer)];
    int count = m.LayerCount;
    ReferenceDeleteUnused(space, layers, count);
    rv::DeleteUnusedLayers(*d, m);
    ASSERT_EQ(m.LayerCount, count);
    ASSERT_EQ(std::memcmp(d->Space.data(), space.data(), space.size()), 0);
    ASSERT_TRUE(std::equal(layers.begin() + 1, layers.begin() + count + 1, d->Layers.begin() + 1));
    // The current material, when kept, is still the same record.
    const bool kept = std::find(layers.begin() + 1, layers.begin() + count + 1, current) != layers.begin() + count + 1;
    ASSERT_TRUE(m.CurLayer >= 1 && m.CurLayer <= count && (!kept || d->Layers[size_t(m.CurLayer)] == current))
        << m.CurLayer;
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
  // The refusal names the material and the column, shows the value and says why.
  struct Case { int col; const char* text; bool ok; const char* said = ""; };
  const Case cases[] = {
      {rv::ColEpsStatic, "1;5", false, "«Диэл.пр.(f=0)» = \"1;5\" — не число"},
      {rv::ColMu, "0", false, "«Магн. пр.» = 0 — магнитная проницаемость должна быть больше 0"},
      {rv::ColEpsInf, "-1", false, "«Диэл.пр.(f=~)» = -1 — проницаемость на бесконечной частоте должна быть больше 0"},
      {rv::ColSigma, "-1e-3", false, "«Провод-сть(См/м)» = -0.001 — проводимость не может быть отрицательной: такой "
                                     "материал отдает энергию, и поле в расчете растет без ограничения"},
      {rv::ColTau, "x", false, "«T релакс, с» = \"x\" — не число"},
      {rv::ColDensity, "-5", false, "«Плотн, (кг/м3)» = -5 — плотность не может быть отрицательной"},
      {rv::ColDensity, " ", false, "«Плотн, (кг/м3)» не задано: нужно число"},
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
      const std::string column = rv::LayerColumnTitles()[size_t(c.col)];
      EXPECT_EQ(rv::LayerCellRefusal("Ошибка!", e, rows),
                "Ошибка!\nМатериал 2 \"second\": " + std::string(c.said) + ".\nИзмените «" + column +
                    "» в строке 2 (ячейка выделена).");
    }
  }
}

TEST(ThinWire, SkinEffectResistanceAndTheRowThatConductsLikeIt) {
  rv::ThinWireInput in;
  in.Dx = 0.01, in.Dy = 0.02, in.Dz = 0.005;
  const double pi = std::numbers::pi, delta = 1 / std::sqrt(pi * in.FrequencyMHz * 1e6 * 4e-7 * pi * in.Sigma);
  for (char dir : {'X', 'Y', 'Z'}) {
    in.Dir = dir;
    const rv::ThinWireResult r = rv::ThinWire(in);
    // The current flows in a skin of depth delta round the wire; the row of cells along the
    // current has the same resistance per cell length L.
    const double L = dir == 'X' ? in.Dx : dir == 'Y' ? in.Dy : in.Dz, across = in.Dx * in.Dy * in.Dz / L;
    EXPECT_NEAR(r.SkinDepth / delta, 1, 1e-8);
    EXPECT_NEAR(r.R * in.Sigma * pi * in.DiameterMm * 1e-3 * delta / L, 1, 1e-8) << dir;
    EXPECT_NEAR(r.SigmaNew * across / L * r.R, 1, 1e-12) << dir;
  }
}

TEST(ThinWire, LowFrequenciesReachTheDcResistanceAndNeverFallBelowIt) {
  // 1 mm copper in 1 mm cells: below about 70 kHz the skin is deeper than a quarter of the
  // diameter and the whole wire conducts.
  rv::ThinWireInput in;
  in.DiameterMm = 1, in.Sigma = 5.8e7, in.Dx = in.Dy = in.Dz = 0.001;
  const double pi = std::numbers::pi, S = pi * 0.001 * 0.001 / 4, rdc = 0.001 / (S * in.Sigma);
  in.FrequencyMHz = 1e-3;
  const rv::ThinWireResult dc = rv::ThinWire(in);
  EXPECT_NEAR(dc.R / rdc, 1, 1e-12);  // 2.2e-5 Ohm per mm
  EXPECT_LT(dc.SigmaNew, in.Sigma);   // the row conducts less than the metal
  // The resistance grows with the frequency and meets the skin formula at 1 GHz, where
  // R = Rs L / (pi d) with the surface resistance Rs = sqrt(pi f mu0 / sigma).
  double last = 0;
  for (double f : {1e-6, 1e-3, 0.01, 0.07, 0.1, 1.0, 100.0, 1000.0}) {
    in.FrequencyMHz = f;
    const double R = rv::ThinWire(in).R;
    EXPECT_GE(R, last * (1 - 1e-12)) << f;
    EXPECT_GE(R, rdc * (1 - 1e-12)) << f;
    last = R;
  }
  const double rs = std::sqrt(pi * 1e9 * 4e-7 * pi / in.Sigma);
  EXPECT_NEAR(last / (rs * 0.001 / (pi * 0.001)), 1, 1e-9);
}

}  // namespace
