#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "charts/chartmodel.h"
#include "charts/livefeed.h"
#include "output_fixture.h"
#include "project/outputfiles.h"
#include "project/recording.h"
#include "solver/numtext.h"

using namespace rv;
using namespace outtest;

namespace {

struct HalfVolt : ISignal {
  double GetSignal(double t) const override { return t < 0 ? 0 : 0.5; }
};

}  // namespace

// Every check of a row: failed rows are reported and left out, later rows still get their
// files; plotting makes one series per usable row in row order, then the current regions,
// the voltage lines and the source signal. Without files nothing is written and repeated
// names pass.
TEST(OutputSetup, RowChecksFilesAndSeriesOrder) {
  Scratch tmp;
  SolverData d;
  MakeGrid(d, 11, 1e-3, 1e-3, 1e-3, false);  // cells 1..10
  d.ResultDir = tmp.Results();
  OutPointTables t;
  StringGrid& g = t.sgOutPoint;
  AddRow(g, {"e", "x", "10", "10", "3", "ex1"});      // 1 usable, gets ".srg"
  AddRow(g, {"Q", "", "1", "1", "1", "q.srg"});       // kind
  AddRow(g, {"h", "w", "1", "1", "1", "h3"});         // direction
  AddRow(g, {"h", "", "1.5", "1", "1", "h4"});        // not a whole number
  AddRow(g, {"h", "", "11", "1", "1", "h5"});         // beyond the last cell
  AddRow(g, {"p", "", "2", "2", "2", "p6"});          // SAR is off
  AddRow(g, {"Q", "W", "x", "", "", ""});             // no file: left out silently
  AddRow(g, {"i", "x", "10", "9", "9", "ix8.dat"});   // 8 usable, keeps its extension
  AddRow(g, {"j", "", "10", "9", "9", "j9"});         // the loop would leave the grid
  AddRow(g, {"H", "Z", "3", "3", "3", "EX1.SRG"});    // the file of row 1
  AddRow(g, {"u", "y", "4", "4", "4", "../escape"});  // outside the results folder
  AddRow(g, {"d", "", "5", "5", "5", "d12"});         // 12 usable
  AddRow(t.sgCurrent, {"2", "2", "2", "2", "5", "5", "cur"});
  AddRow(t.sgCurrent, {"2", "2", "2", "2", "12", "5", "bad"});  // corner outside the grid
  AddRow(t.sgCurrent, {"a", "2", "2", "2", "5", "5", "bad2"});  // not a number
  AddRow(t.sgVoltage, {"10", "5", "5", "7", "5", "5", "U1.txt"});
  AddRow(t.sgVoltage, {"0", "5", "5", "7", "5", "5", "u2"});
  ChartModel chart;
  LiveFeed feed;
  OutputRun run;
  const Messages m =
      PrepareOutputFiles(d, t, OutputOptions{true, true, true}, nullptr, &chart, &feed, run);

  // Refused rows say so (the start refuses them first); rows left out go silently; both
  // are named for the end of the run.
  const char* refused[] = {"в строке 2 таблицы «Одиночные точки»: «Что» = \"Q\"",
                           "в строке 3 таблицы «Одиночные точки»: «Направл» = \"w\"",
                           "в строке 4 таблицы «Одиночные точки»: «X» = \"1.5\"",
                           "в строке 10 таблицы «Одиночные точки»: файл \"EX1.SRG\" уже пишет строка 1 таблицы «Одиночные точки»",
                           "в строке 11 таблицы «Одиночные точки»: имя файла \"../escape\"",
                           "в строке 3 таблицы «Токовые регионы»: «X1» = \"a\""};
  ASSERT_EQ(m.size(), std::size(refused));
  for (size_t i = 0; i < m.size(); ++i) EXPECT_NE(m[i].find(refused[i]), std::string::npos) << m[i];
  EXPECT_EQ(std::tuple(run.NotWritten.size(), run.FilesNotMade.size()), std::tuple(12u, 0u));
  EXPECT_EQ(run.NotWritten[6], "Одиночные точки, строка 9: ячейка (10, 9, 9) вне пределов 1..9, 1..9, 1..9");
  std::vector<int> opened;
  for (size_t r = 0; r < run.OutPointFiles.size(); ++r)
    if (run.OutPointFiles[r].Opened) opened.push_back(int(r));
  EXPECT_EQ(opened, (std::vector<int>{1, 8, 12}));
  EXPECT_EQ(std::tuple(run.OutPointFiles.size(), run.CurrentFiles[1].Region.Plane, run.VoltageFiles[1].Region.FileName),
            std::tuple(size_t(g.RowCount()), 'X', "U1.TXT"));
  std::vector<std::string> files;
  for (const auto& e : fs::directory_iterator(d.ResultDir)) files.push_back(e.path().filename());
  std::sort(files.begin(), files.end());
  EXPECT_EQ(files, (std::vector<std::string>{"U1.txt", "cur.grf", "d12.srg", "ex1.srg", "ix8.dat"}));
  EXPECT_FALSE(fs::exists(tmp.dir / "escape"));
  std::vector<std::string> titles;
  for (const ChartSeries& s : chart.Series) titles.push_back(s.Title);
  EXPECT_EQ(titles, (std::vector<std::string>{"Ex(10,10,3)", "Ix(10,9,9)", "PML(5,5,5)", "cur",
                                              "U1.txt", "Исходный сигнал"}));
  EXPECT_EQ(chart.FileNames, titles);
  EXPECT_EQ(std::tuple(chart.ActiveGraph, chart.Texts.BottomAxisTitle), std::tuple(5, "t, нс"));
  EXPECT_TRUE(CloseOutputFiles(run).empty());

  // "Не записывать файлы результатов на диск": no folder, no file, repeated names pass.
  fs::remove_all(d.ResultDir);
  chart.DeleteAll();
  AddRow(g, {"E", "", "2", "2", "2", "ex1"});
  EXPECT_EQ(PrepareOutputFiles(d, t, OutputOptions{false, true, false}, nullptr, &chart, &feed, run).size(), 5u);  // row 10 passes now
  EXPECT_EQ(std::tuple(fs::exists(d.ResultDir), run.OutPointFiles[13].Opened, bool(run.OutPointFiles[13].F),
                       run.OpenedCount(), chart.SeriesCount()), std::tuple(false, true, false, 7, 7));

  // A results folder that takes no file (a file stands in its place): named once among the
  // files not made, which the start asks about; the rows record without files.
  WriteBytes((tmp.dir / "blocked").string(), "x");
  d.ResultDir = (tmp.dir / "blocked").string() + "/";
  const Messages b = PrepareOutputFiles(d, t, OutputOptions{true, false, false}, nullptr, nullptr, nullptr, run);
  EXPECT_EQ(b.size(), 7u);  // row 13 repeats row 1's file again
  EXPECT_EQ(run.FilesNotMade,
            std::vector<std::string>{"папка результатов " + d.ResultDir + " недоступна для записи: файлы не создаются"});
  EXPECT_EQ(run.NotWritten.back(), run.FilesNotMade[0]);
  EXPECT_TRUE(run.OutPointFiles[1].Opened && !run.OutPointFiles[1].F);
}

// Probes of every kind written sample by sample: the title rides on the first line, "t, нс"
// on the second, the unit on the third; numbers are 23-character reals; E and U belong half
// a step after H; a mean-power probe writes 0 while no step is accumulated. Chart points go
// to each row's own series, none to a curve already in the chart.
TEST(Recording, LinesTextsTimesAndSeries) {
  Scratch tmp;
  SolverData d;
  MakeGrid(d, 11, 1e-3, 2e-3, 1.5e-3, true);
  d.ResultDir = tmp.Results();
  ASSERT_GT(AllocFieldArrays(d), 0);
  OutPointTables t;
  const char* probes[][3] = {{"H", "X", "hx"}, {"h", "", "h"}, {"E", "Y", "ey"}, {"e", "", "e"},
                             {"I", "Z", "iz"}, {"i", "", "i"}, {"J", "X", "jx"}, {"j", "", "j"},
                             {"U", "Z", "uz"}, {"u", "", "u"}, {"P", "", "p"},  {"D", "", "d"}};
  for (auto& p : probes) AddRow(t.sgOutPoint, {p[0], p[1], "5", "6", "7", p[2]});
  AddRow(t.sgCurrent, {"3", "2", "2", "3", "6", "5", "Cur"});
  AddRow(t.sgVoltage, {"2", "2", "2", "6", "4", "3", "Volt"});
  HalfVolt sig;
  ChartModel chart;
  chart.AddRunSeries("old curve");
  LiveFeed feed;
  OutputRun run;
  ASSERT_TRUE(PrepareOutputFiles(d, t, OutputOptions{true, true, true}, &sig, &chart, &feed, run).empty());
  std::mt19937 rng(5);
  std::uniform_real_distribution<float> u(-1, 1);
  for (t3DSpaceArray* a : {&d.Ex, &d.Ey, &d.Ez, &d.Hx, &d.Hy, &d.Hz, &d.PowerX, &d.PowerY, &d.PowerZ})
    for (size_t n = 0; n < a->size(); ++n) a->data()[n] = u(rng);
  d.SARDelay = 0;
  const int samples = 5;
  for (int s = 0; s < samples; ++s) {
    d.CurStep = s + 1;
    d.CurTime = s * d.TimeStep;
    RecordOutputPoints(d, run, s);
  }
  ASSERT_TRUE(CloseOutputFiles(run).empty());
  feed.Drain(chart);

  auto T = [&](int s, bool half) {
    return FormatTextReal(float((s + (half ? 0.5 : 0)) * d.TimeStep / (1e-9 * double(LightSpeed))));
  };
  auto mag = [](double a, double b, double c) { return std::sqrt(a * a + b * b + c * c); };
  const int x = 5, y = 6, z = 7;
  const double Ix = ProbeLoopCurrent(d, 'X', x, y, z), Iy = ProbeLoopCurrent(d, 'Y', x, y, z),
               Iz = ProbeLoopCurrent(d, 'Z', x, y, z);
  const double ax = 4 * d.Dy * d.Dz, ay = 4 * d.Dx * d.Dz, az = 4 * d.Dx * d.Dy;  // 2 x 2 cells
  struct Want { const char* file; std::string title, unit; bool half; double v; };
  const std::vector<Want> want = {
      {"hx", " Hx(5,6,7)", " H", false, d.Hx(x, y, z)},
      {"h", " |H|(5,6,7)", " H", false, mag(d.Hx(x, y, z), d.Hy(x, y, z), d.Hz(x, y, z))},
      {"ey", " Ey(5,6,7)", " E", true, d.Ey(x, y, z)},
      {"e", " |E|(5,6,7)", " E", true, mag(d.Ex(x, y, z), d.Ey(x, y, z), d.Ez(x, y, z))},
      {"iz", " Iz(5,6,7)", " I", false, Iz},
      {"i", " |I|(5,6,7)", " I", false, mag(Ix, Iy, Iz)},
      {"jx", " Jx(5,6,7)", " J", false, Ix / ax},
      {"j", " |J|(5,6,7)", " J", false, mag(Ix / ax, Iy / ay, Iz / az)},
      {"uz", " Uz(5,6,7)", " U", true, d.Ez(x, y, z) * d.Dz},
      {"u", " |U|(5,6,7)", " U", true, mag(d.Ex(x, y, z) * d.Dx, d.Ey(x, y, z) * d.Dy, d.Ez(x, y, z) * d.Dz)},
      {"d", " PML(5,6,7)", " PML", true, 0},  // no PML regions in this run
  };
  for (const Want& w : want) {
    bool crlf = false;
    const auto lines = ReadLines(d.ResultDir + w.file + ".srg", &crlf);
    ASSERT_EQ(lines.size(), size_t(samples)) << w.file;
    EXPECT_TRUE(crlf);
    for (int s = 0; s < samples; ++s)
      EXPECT_EQ(lines[size_t(s)], T(s, w.half) + " " + FormatTextReal(float(w.v)) +
                                      (s == 0 ? " " + w.title : s == 1 ? " t, нс" : s == 2 ? " " + w.unit : ""))
          << w.file << " " << s;
  }
  // Mean power: at step s the sums hold the steps 0 .. s-1, none at step 0; the file has
  // the lines and texts of the others.
  const auto p = ReadLines(d.ResultDir + "p.srg");
  const double psum = double(d.PowerX(x, y, z)) + d.PowerY(x, y, z) + d.PowerZ(x, y, z);
  ASSERT_EQ(p.size(), size_t(samples));
  for (auto [s, v, text] : {std::tuple{0, 0.0, "  P средняя(5,6,7), Вт"}, {1, psum, " t, нс"}, {2, psum / 2, "  P, Вт"},
                            {4, psum / 4, ""}})
    EXPECT_EQ(p[size_t(s)], T(s, false) + " " + FormatTextReal(float(v)) + text) << s;
  const auto cur = ReadLines(d.ResultDir + "Cur.grf");
  ASSERT_EQ(cur.size(), size_t(samples));
  EXPECT_EQ(cur[0], T(0, false) + " " + FormatTextReal(float(RegionCurrent(d, run.CurrentFiles[1].Region))) + " CUR");
  EXPECT_EQ(cur[2].substr(47), "  I");
  const auto volt = ReadLines(d.ResultDir + "Volt.grf");
  ASSERT_EQ(volt.size(), size_t(samples));
  EXPECT_EQ(volt[1], T(1, true) + " " + FormatTextReal(float(LineVoltage(d, run.VoltageFiles[1].Region))) + " t, нс");

  ASSERT_EQ(chart.SeriesCount(), 1 + 12 + 1 + 1 + 1);
  // The old curve, mean power, the source signal.
  EXPECT_EQ(std::tuple(chart.Series[0].Count(), chart.Series[11].Count(), chart.Series[15].Title,
                       chart.Series[15].Count()),
            std::tuple(0u, size_t(samples), "Исходный сигнал", size_t(samples)));
  EXPECT_EQ(std::tuple(chart.Series[1].Y[3], chart.Series[15].Y[1]), std::tuple(double(float(d.Hx(x, y, z))), 0.5));

  // Plotting off, the source signal on: its points still go to its own series.
  chart.DeleteAll();
  chart.AddRunSeries("user curve");
  PrepareOutputFiles(d, t, OutputOptions{false, false, true}, &sig, &chart, &feed, run);
  for (int s = 0; s < 3; ++s) RecordOutputPoints(d, run, s);
  feed.Drain(chart);
  ASSERT_EQ(chart.SeriesCount(), 2);
  EXPECT_EQ(std::tuple(chart.Series[0].Count(), chart.Series[1].Count()), std::tuple(0u, 3u));
}

// Ampère: on H = (-c y + b z, c x - a z, a y - b x), whose curl is 2 (a, b, c), the probe
// loops give the curl times the 2 x 2 cells they enclose, J gives the curl itself, and a
// current region in each plane the curl times its rectangle. Stokes: on any H a loop is
// the sum of the circulations round the E edges it encloses.
TEST(Recording, CurrentLoopsAmpereAndStokes) {
  SolverData d;
  MakeGrid(d, 12, 1e-3, 2e-3, 1.5e-3, false);
  ASSERT_GT(AllocFieldArrays(d), 0);
  const double a = 3.0e3, b = -2.0e3, c = 5.0e3, dx = d.Dx, dy = d.Dy, dz = d.Dz;
  auto each = [](t3DSpaceArray& A, auto f) {
    for (int i = 0; i < A.len1(); ++i)
      for (int j = 0; j < A.len2(); ++j)
        for (int k = 0; k < A.len3(); ++k) A(i, j, k) = float(f(i, j, k));
  };
  // Hx at (node i, cell j, cell k), Hy at (cell, node, cell), Hz at (cell, cell, node).
  each(d.Hx, [&](int, int j, int k) { return -c * (j + 0.5) * dy + b * (k + 0.5) * dz; });
  each(d.Hy, [&](int i, int, int k) { return c * (i + 0.5) * dx - a * (k + 0.5) * dz; });
  each(d.Hz, [&](int i, int j, int) { return a * (j + 0.5) * dy - b * (i + 0.5) * dx; });
  auto near = [](double got, double want) { EXPECT_NEAR(got / want, 1.0, 1e-4) << got << " " << want; };
  for (auto [ax, want] : {std::pair{'X', a * dy * dz}, {'Y', b * dx * dz}, {'Z', c * dx * dy}})
    near(ProbeLoopCurrent(d, ax, 5, 5, 5), 2 * want * 4);
  auto region = [](int x1, int y1, int z1, int x2, int y2, int z2, char plane) {
    tCurrentRegion r;
    r.X1 = x1; r.Y1 = y1; r.Z1 = z1; r.X2 = x2; r.Y2 = y2; r.Z2 = z2; r.Plane = plane;
    return r;
  };
  near(RegionCurrent(d, region(4, 2, 3, 4, 7, 9, 'X')), 2 * a * (5 * dy) * (6 * dz));
  near(RegionCurrent(d, region(2, 6, 1, 10, 6, 4, 'Y')), 2 * b * (8 * dx) * (3 * dz));
  near(RegionCurrent(d, region(3, 3, 8, 5, 10, 8, 'Z')), 2 * c * (2 * dx) * (7 * dy));
  near(RegionCurrent(d, region(4, 4, 4, 4, 5, 5, 'X')), 2 * a * dy * dz);  // one term of each
  EXPECT_EQ(RegionCurrent(d, region(4, 7, 7, 4, 5, 5, 'X')), 0.0);         // descending: nothing

  // The J probe through the recorder: the current density is the curl.
  Scratch tmp;
  d.ResultDir = tmp.Results();
  OutPointTables t;
  AddRow(t.sgOutPoint, {"J", "Y", "4", "6", "3", "jy"});
  OutputRun run;
  PrepareOutputFiles(d, t, OutputOptions{}, nullptr, nullptr, nullptr, run);
  RecordOutputPoints(d, run, 3);
  CloseOutputFiles(run);
  double jy = 0;
  ASSERT_TRUE(TryStrToFloat(ReadLines(d.ResultDir + "jy.srg").at(0).substr(24), jy));
  near(jy, 2 * b);

  // Stokes on random H.
  std::mt19937 rng(7);
  std::uniform_real_distribution<float> u(-1, 1);
  for (t3DSpaceArray* h : {&d.Hx, &d.Hy, &d.Hz}) each(*h, [&](int, int, int) { return u(rng); });
  auto H = [](const t3DSpaceArray& A, int i, int j, int k) { return double(A(i, j, k)); };
  auto edge = [&](char ax, int i, int j, int k) {
    if (ax == 'X') return (H(d.Hz, i, j, k) - H(d.Hz, i, j - 1, k)) * dz - (H(d.Hy, i, j, k) - H(d.Hy, i, j, k - 1)) * dy;
    if (ax == 'Y') return (H(d.Hx, i, j, k) - H(d.Hx, i, j, k - 1)) * dx - (H(d.Hz, i, j, k) - H(d.Hz, i - 1, j, k)) * dz;
    return (H(d.Hy, i, j, k) - H(d.Hy, i - 1, j, k)) * dy - (H(d.Hx, i, j, k) - H(d.Hx, i, j - 1, k)) * dx;
  };
  double sx = 0, sy = 0, sz = 0;
  for (int p = 0; p < 2; ++p)
    for (int q = 0; q < 2; ++q) {
      sx += edge('X', 5, 6 + p, 4 + q);
      sy += edge('Y', 5 + p, 6, 4 + q);
      sz += edge('Z', 5 + p, 6 + q, 4);
    }
  for (auto [ax, s] : {std::pair{'X', sx}, {'Y', sy}, {'Z', sz}}) EXPECT_NEAR(ProbeLoopCurrent(d, ax, 5, 6, 4), s, 1e-9);
  double s1 = 0, s2 = 0, s3 = 0;
  for (int p = 1; p <= 6; ++p)
    for (int q = 1; q <= 5; ++q) {
      s1 += edge('X', 3, 2 + p, 4 + q);
      s2 += edge('Y', 1 + p, 9, 2 + q);
      s3 += edge('Z', 2 + p, 1 + q, 11);
    }
  EXPECT_NEAR(RegionCurrent(d, region(3, 2, 4, 3, 8, 9, 'X')), s1, 1e-9);
  EXPECT_NEAR(RegionCurrent(d, region(1, 9, 2, 7, 9, 7, 'Y')), s2, 1e-9);
  EXPECT_NEAR(RegionCurrent(d, region(2, 1, 11, 8, 6, 11, 'Z')), s3, 1e-9);
}

// Voltage lines: a constant field gives E times the length walked (from (10,5,5) back to
// (7,5,5): -3 E0 Dx); on E = -grad phi every staircase gives phi(start) - phi(end).
TEST(Recording, VoltageLinesOnKnownFields) {
  SolverData d;
  MakeGrid(d, 12, 1e-3, 2e-3, 1.5e-3, false);
  ASSERT_GT(AllocFieldArrays(d), 0);
  const float E0 = 7.25f;
  d.Ex.fill(E0);
  tCurrentRegion r;
  r.X1 = 10; r.Y1 = 5; r.Z1 = 5; r.X2 = 7; r.Y2 = 5; r.Z2 = 5;
  EXPECT_DOUBLE_EQ(LineVoltage(d, r), -3 * double(E0) * d.Dx);
  r.X2 = 10;
  EXPECT_EQ(LineVoltage(d, r), 0.0);

  std::mt19937 rng(11);
  std::uniform_real_distribution<double> u(-1, 1);
  std::vector<double> phi(12 * 12 * 12);
  for (double& v : phi) v = u(rng);
  auto P = [&](int i, int j, int k) { return phi[size_t((i * 12 + j) * 12 + k)]; };
  for (int i = 0; i < 12; ++i)
    for (int j = 0; j < 12; ++j)
      for (int k = 0; k < 12; ++k) {
        if (i < 11) d.Ex(i, j, k) = float(-(P(i + 1, j, k) - P(i, j, k)) / d.Dx);
        if (j < 11) d.Ey(i, j, k) = float(-(P(i, j + 1, k) - P(i, j, k)) / d.Dy);
        if (k < 11) d.Ez(i, j, k) = float(-(P(i, j, k + 1) - P(i, j, k)) / d.Dz);
      }
  for (auto& q : {std::array<int, 6>{1, 1, 1, 9, 6, 4}, {9, 6, 4, 1, 1, 1}, {3, 10, 2, 8, 2, 10}, {5, 5, 9, 5, 5, 2}}) {
    r.X1 = q[0]; r.Y1 = q[1]; r.Z1 = q[2]; r.X2 = q[3]; r.Y2 = q[4]; r.Z2 = q[5];
    EXPECT_NEAR(LineVoltage(d, r), P(q[0], q[1], q[2]) - P(q[3], q[4], q[5]), 1e-5);
  }
}
