#include <gtest/gtest.h>

#include <malloc.h>
#include <unistd.h>

#include <cmath>
#include <fstream>

#include "common/sanitizer_build.h"
#include "project/gridsettings.h"
#include "project/runstart.h"
#include "solver/constants.h"
#include "solver/numtext.h"
#include "solver/yee.h"  // AllocDebyeArrays

using namespace rv;

namespace {
int64_t ResidentBytes() {
  std::ifstream f("/proc/self/statm");
  long long size = 0, resident = 0;
  f >> size >> resident;
  return resident * sysconf(_SC_PAGE_SIZE);
}
}  // namespace

TEST(GridSettings, StabilityLimitAndTimeStepTexts) {
  MainSettings s;
  GridSettingsView v = ComputeGridSettings(s, 1.0, 0);
  ASSERT_TRUE(v.sizesOk);
  // Cubic cells: c*dt*sqrt(3)/dx = 1 at the limit; 0.01 m cells give 0.0192583 ns.
  EXPECT_NEAR(double(LightSpeed) * v.dtSec * std::sqrt(3.0) / 0.01, 1.0, 1e-14);
  EXPECT_EQ(FormatGeneral(v.dtSec * 1e9, 6), "0.0192583");
  double shown = 0;
  ASSERT_TRUE(TryStrToFloat(v.eddT, shown));
  EXPECT_NEAR(shown, v.dtSec * 1e9, 1e-15);
  EXPECT_EQ(v.eddT.size(), std::string("0.0192583").size() + 9);  // 15 significant digits
  // The limit carries the digits of the step written at it.
  EXPECT_EQ(std::tuple(v.lbKurant, v.rtabc), std::tuple("По условию устойчивости: <= " + v.eddT, false));
  // Unequal cells: the limit follows the smallest ones, and never exceeds the 1-D limit.
  s.edY = "0.02"; s.edZ = "0.04";
  v = ComputeGridSettings(s, 1.0, 0);
  const double ref = 1.0 / std::sqrt(1 / 1e-4 + 1 / 4e-4 + 1 / 16e-4) / double(LightSpeed);
  EXPECT_NEAR(v.dtSec / ref, 1.0, 1e-15);
  EXPECT_LT(v.dtSec, 0.01 / double(LightSpeed));

  // RT-ABC: dt = dx/2/c, and the label says so.
  s.edY = s.edZ = "0.02";
  s.ComboBox[4] = BorderRTABC;
  v = ComputeGridSettings(s, 1.0, 0);
  EXPECT_TRUE(v.rtabc);
  EXPECT_DOUBLE_EQ(v.dtSec, 0.005 / double(LightSpeed));
  EXPECT_EQ(v.lbKurant, "Для RT-ABC: = " + v.eddT);

  // A size that is no positive number computes nothing and names its axis.
  s = MainSettings{};
  s.edZ = "0";
  v = ComputeGridSettings(s, 1.0, 0);
  EXPECT_EQ(std::tuple(v.sizesOk, v.eddT, v.sizeRefusals[2], v.lbSummary),
            std::tuple(false, "", "по Z = \"0\" — не больше 0", "Ошибка в размере ячейки по Z"));
  s.edZ = "0.01";
  s.edX = "x";
  v = ComputeGridSettings(s, 1.0, 0);
  EXPECT_EQ(std::tuple(v.sizesOk, v.lbSummary, v.eddT), std::tuple(false, "Ошибка в размере ячейки по X", ""));
  s.edZ = "-0.01";
  EXPECT_EQ(ComputeGridSettings(s, 1.0, 0).lbSummary, "Ошибка в размере ячейки по X, Z");

  EXPECT_EQ(EndTimeText(100, "0.01"), "Конечное время: 1 нс");
  EXPECT_EQ(EndTimeText(100, "x"), "");
}

TEST(GridSettings, SummaryFrequencyAndMemoryLabels) {
  MainSettings s;
  GridSettingsView v = ComputeGridSettings(s, 1.0, 0);
  EXPECT_EQ(v.lbSummary, "Объем: (0.49 х 0.49 х 0.49) м");
  // The cell is a twentieth of the shortest wavelength: 300 / (0.01 * 20) MHz in vacuum,
  // half of it in a material of permittivity 4.
  EXPECT_EQ(v.lbMaxFreq, "1500.00");
  EXPECT_EQ(ComputeGridSettings(s, 4.0, 0).lbMaxFreq, "750.00");
  EXPECT_EQ(v.lbTotal, "Количество ячеек: 125 000 шт.");

  SolverData d;
  // Material 2 is off, material 3 beyond the materials in use.
  for (int i : {1, 2, 3}) d.Layers[size_t(i)].On = i != 2, d.Layers[size_t(i)].EpsStatic = i == 1 ? 9 : 80;
  EXPECT_EQ(std::tuple(MaxStaticPermittivity(d, 2), MaxStaticPermittivity(d, 0)), std::tuple(9.0, 1.0));

  const MemoryLabels m = FormatMemoryLabels(16ull << 30, 3ull << 30, 81);
  EXPECT_EQ(std::tuple(m.lbTotalMem, m.lbMemoryLoad, m.lbMemoryFree),
            std::tuple("Объем ОЗУ: 16384 МБ", "Занято: 81%", "Свободно: 3072 МБ"));
}

// Every share of the estimate that has arrays today equals the elements those arrays hold
// (fields, Debye, magnetic, SAR and Mur planes); the products are 64-bit.
TEST(MemoryEstimate, SharesEqualTheAllocatedArraysAnd64BitProducts) {
  MainSettings s;  // Mur on every face
  s.spX = 9; s.spY = 7; s.spZ = 8;
  s.cbBioMaterals = s.cbMagneticMaterals = s.cbEnergy = true;
  const MemoryEstimate m = EstimateMemory(s, 0);
  SolverData d;
  SetGridSize(d, s.spX, s.spY, s.spZ);
  d.SAROn = d.MagneticMaterials = d.PolarDielectrics = d.AnyMur = 1;
  ASSERT_GT(AllocFieldArrays(d), 0);
  ASSERT_TRUE(AllocDebyeArrays(d));
  int64_t allocated = 0;
  for (const t3DSpaceArray* a : {&d.Ex, &d.Ey, &d.Ez, &d.Hx, &d.Hy, &d.Hz, &d.DebyeX, &d.DebyeY,
                                 &d.DebyeZ, &d.HCoefCell, &d.PowerX, &d.PowerY, &d.PowerZ,
                                 &d.ExPrev, &d.EyPrev, &d.EzPrev})
    allocated += int64_t(a->size());
  for (const auto& p : d.MurPlanes) allocated += int64_t(p.size());
  EXPECT_EQ(m.GridMemory + m.SARMemory + m.BorderMemory, allocated);

  // 2000 cells per axis: far beyond what 32-bit products hold (six arrays of 8e9 floats).
  MainSettings big;
  big.spX = big.spY = big.spZ = 2000;
  EXPECT_GT(EstimateMemory(big, 0).MemoryNeed, 4.0 * 6 * 8e9);
}

// The estimate against what the arrays really take: the resident memory that allocating
// and clearing the run's arrays and the model adds, and gives back when freed.
TEST(MemoryEstimate, MatchesMeasuredResidentMemory) {
#if defined(RVTEST_ASAN) || defined(RVTEST_TSAN)
  GTEST_SKIP() << "a sanitizer's allocator and shadow memory change what is resident";
#endif
  // Fixed malloc thresholds: large blocks are mapped and unmapped, never kept in the heap.
  mallopt(M_MMAP_THRESHOLD, 64 * 1024);
  mallopt(M_TRIM_THRESHOLD, 64 * 1024);
  MainSettings s;
  s.spX = 120; s.spY = 100; s.spZ = 90;  // Mur on every face: the planes count too
  const MemoryEstimate m = EstimateMemory(s, 0);

  SolverData d;
  SetGridSize(d, s.spX, s.spY, s.spZ);
  d.AnyMur = 1;
  const int64_t before = ResidentBytes();
  ASSERT_TRUE(ResizeSpace(d));
  d.Space.fill(1);
  d.UndoSpace.fill(1);
  ASSERT_GT(AllocFieldArrays(d), 0);
  ClearFields(d);
  const int64_t grown = ResidentBytes() - before;
  FreeFieldArrays(d);
  d.Space.free();
  d.UndoSpace.free();
  const int64_t released = grown - (ResidentBytes() - before);

  const double estimated = double(m.GridMemory + m.BorderMemory) * FloatSize + double(m.ModelMemory);
  RecordProperty("grown_bytes", std::to_string(grown));
  RecordProperty("estimated_bytes", std::to_string(int64_t(estimated)));
  EXPECT_NEAR(double(grown) / estimated, 1.0, 0.03) << grown << " vs " << estimated;
  EXPECT_NEAR(double(released) / estimated, 1.0, 0.03);
  // The admission figure is never below what the run takes.
  EXPECT_GT(m.MemoryNeed, double(grown));
}

TEST(GridSettings, AutoBoxAroundTheObject) {
  MainSettings s;
  s.spX = s.spY = s.spZ = 20;
  SolverData d;
  std::string msg;
  // Empty model: the one-point box at the centre, plus and minus three cells.
  ASSERT_TRUE(AutoFarBox(s, d, msg));
  EXPECT_EQ(std::tuple(s.spFarXmin, s.spFarXmax), std::tuple(10 - 3, 10 + 3));

  d.Layers[1].On = 1;
  d.Space(8, 9, 10) = 1;
  d.Space(12, 11, 10) = 1;
  ASSERT_TRUE(AutoFarBox(s, d, msg));
  EXPECT_EQ(std::tuple(s.spFarXmin, s.spFarXmax, s.spFarYmin, s.spFarZmax),
            std::tuple(d.ObjXMin - 3, d.ObjXMax + 3, d.ObjYMin - 3, d.ObjZMax + 3));
  // A PEC face Y=1 and a symmetry face X=max pull their bounds to the walls.
  s.ComboBox[0] = BorderPEC;
  s.ComboBox[4] = BorderSymH;
  ASSERT_TRUE(AutoFarBox(s, d, msg));
  EXPECT_EQ(std::tuple(s.spFarYmin, s.spFarXmax, s.spFarYmax), std::tuple(1, 20, d.ObjYMax + 3));
}

// A stored step above its cells' limit (or no number, or a number with a decimal comma) gives way to the limit with a line
// naming both; a step within the limit, or one that RT-ABC fixes anyway, says nothing.
TEST(GridSettings, StoredTimeStepAboveTheLimitIsNamed) {
  MainSettings s;
  s.spX = s.spY = s.spZ = 50;
  const std::string limit = ComputeGridSettings(s, 1, 0).eddT;
  s.eddT = "0.05";
  EXPECT_EQ(StoredTimeStepNote(s),
            "Шаг по времени из проекта 0.05 нс больше предела устойчивости " + limit + " нс: вместо него взят предел.");
  s.eddT = "abc";
  EXPECT_EQ(StoredTimeStepNote(s),
            "Шаг по времени из проекта \"abc\" не является положительным числом: взят предел устойчивости " + limit + " нс.");
  // A decimal comma reads as the point.
  s.eddT = "0,05";
  EXPECT_EQ(StoredTimeStepNote(s),
            "Шаг по времени из проекта 0,05 нс больше предела устойчивости " + limit + " нс: вместо него взят предел.");
  s.eddT = "1,2,3";
  EXPECT_NE(StoredTimeStepNote(s).find("не является положительным числом"), std::string::npos);
  for (const std::string& ok : {limit, std::string("0.001")}) {
    s.eddT = ok;
    EXPECT_EQ(StoredTimeStepNote(s), "") << ok;
  }
  s.eddT = "0.05";
  s.ComboBox[0] = BorderRTABC;
  EXPECT_EQ(StoredTimeStepNote(s), "");
}

// What a new project keeps of the one before fits its own defaults: no far field under the
// field over the whole volume, a box only where it lies inside the new grid; and the
// settings' own checks pass.
TEST(NewProject, KeepsOnlyWhatFitsItsDefaults) {
  MainSettings before;
  before.rgSources = SourceTFSF;
  before.cbFarDiagram = before.cbFarPoints = before.cbPX = true;
  before.edFarDiagrR = "7";
  before.spX = before.spY = before.spZ = 60;
  before.spFarXmin = before.spFarYmin = before.spFarZmin = 5;
  before.spFarXmax = before.spFarYmax = before.spFarZmax = 55;
  MainSettings s = NewProjectSettings(before);
  EXPECT_EQ(std::tuple(s.rgSources, s.cbFarDiagram, s.cbFarPoints, s.cbPX, s.edFarDiagrR, s.spFarXmax, s.spFarXmin),
            std::tuple(int(SourceExternalField), false, false, true, "7", 1, 1));
  s.eddT = ComputeGridSettings(s, 1, 0).eddT;  // as the window writes it for a new grid
  EXPECT_EQ(SettingsRefusalStatus(s), "");
  before.spFarXmax = before.spFarYmax = before.spFarZmax = 45;
  s = NewProjectSettings(before);
  EXPECT_EQ(std::tuple(s.spFarXmin, s.spFarZmax), std::tuple(5, 45));
}
