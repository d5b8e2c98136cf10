#include <gtest/gtest.h>

#include "charts/chartaxes.h"
#include "charts/chartsettings.h"
#include "charts/progress.h"
#include "charts/valuehistory.h"
#include "charts_testutil.h"
#include "solver/codepage.h"
#include "solver/inifile.h"

using namespace rv;
using rv::test::ReadBytes;
using rv::test::TempDir;
using rv::test::WriteBytes;

TEST(ChartAxes, LabelsStepAndCaption) {
  for (auto [v, text] : {std::pair{9e-16, "0"}, {-9.99e-16, "0"}, {1e-15, "1E-15"}, {0.25, "0.25"},
                         {1.0 / 3, "0.3333333333"}, {12345678901.0, "1.23456789E10"}, {-2e-5, "-2E-5"}})
    EXPECT_EQ(AxisLabelText(v), text) << v;
  // On an axis of tiny values the ticks read as themselves; a rounding residue still reads 0.
  EXPECT_EQ(std::tuple(AxisLabelText(5e-45, 5e-45), AxisLabelText(3e-60, 5e-45), AxisLabelText(9e-16, 0.25)),
            std::tuple("5E-45", "0", "0"));

  const struct { double lo, hi; int px, font; double step; } steps[] = {
      {-2, 10, 300, 12, 2.5},  // range 12 on 300 px with 12 px labels: n = 10
      {0, 100, 60, -12, 25},   // n = 5, 0.25e2 = 25 fits (4 labels)
      {0, 9, 30, 12, 8},       // n = 2; 0.25 doubles while 9/step > 2
      {0, 9.9999999999999999, 1000, 12, 2.5},  // that is 1E+01 in exponent notation
      {0, 1, 3, 12, 1},        // a tiny plot still gets one label
      {5, 5, 300, 12, 0.25},   // a flat range
      {0, INFINITY, 300, 12, 0}};
  for (const auto& c : steps) EXPECT_DOUBLE_EQ(LeftAxisStep(c.lo, c.hi, c.px, c.font), c.step) << c.lo << ".." << c.hi;

  EXPECT_EQ(ChartCaption(640, 480), "График 640x480 (16.9x12.7) см");
}

TEST(ChartSettingsFile, DefaultsRoundTripAndKeepsOtherKeys) {
  TempDir dir;
  const std::string p = dir.file("ravelin.INI");
  ChartSettings s;
  ASSERT_TRUE(ReadChartSettings(p, "/home/u/", s));
  // The place and size: the window's test.
  EXPECT_EQ(std::tuple(s.IniDir, s.LeftAxisLabelsFont.Name, s.BottomLegendFont.Size, s.Spectr.edFMax, s.Spectr.CheckBox3,
                       s.Spectr.CheckBox1, s.SpectrZ.cbDeleteSpectr),
            std::tuple("/home/u/", "Arial", 10, "1e9", true, false, true));

  // A key of someone else stays; the folder is written at once and alone.
  WriteBytes(p, "[Other]\r\nKey=1\r\n[Form]\r\nLeft=-5\r\nWidth=abc\r\nHeight=3\r\n");
  ASSERT_TRUE(WriteIniDir(p, "/data/Данные/"));
  ASSERT_TRUE(ReadChartSettings(p, "/home/u/", s));
  // A left edge off screen is kept; a width that is no number and a height too small to use
  // take their defaults.
  EXPECT_EQ(std::tuple(s.IniDir, s.Left, s.Width, s.Height), std::tuple("/data/Данные/", -5, 683, 506));
  s.Left = 12;
  s.TitleFont = {"DejaVu Sans", 14};
  s.Spectr.CheckBox1 = true;
  s.Spectr.eddF = "2e6";
  s.SpectrZ.cbTime = 3;
  ASSERT_TRUE(WriteChartSettings(p, s));
  ChartSettings t;
  ASSERT_TRUE(ReadChartSettings(p, "/x/", t));
  EXPECT_TRUE(t == s);
  IniFile ini;
  ASSERT_TRUE(ini.load(p));
  EXPECT_EQ(std::tuple(ini.readString("Other", "Key", ""), ini.readString("Spectr", "CheckBox1", ""),
                       ini.readString("SpectrZ", "cbDeleteSpectr", "")), std::tuple("1", "1", "1"));
  // The sections of a fresh file come in the order the window writes them.
  const std::string text = ReadBytes(p);
  EXPECT_TRUE(text.find("[Fonts]") < text.find("[Spectr]") && text.find("[Spectr]") < text.find("[SpectrZ]"));
  EXPECT_NE(text.find("\r\n"), std::string::npos);
}

TEST(ValueHistory, CapsAtTenAndDropsNonNumbers) {
  TempDir dir;
  const std::string p = dir.file("TmpVal.txt");
  ValueHistory h;
  h.Load(p);  // missing file: empty, no message
  EXPECT_EQ(std::tuple(h.Items().empty(), h.FirstOrZero()), std::tuple(true, "0"));
  for (int i = 1; i <= 12; ++i) EXPECT_TRUE(h.Add(std::to_string(i) + ".5"));
  EXPECT_FALSE(h.Add("12.5") || h.Add("1;5"));  // already listed; not a number
  EXPECT_EQ(h.Items().size(), 12u);
  std::string err;
  ASSERT_TRUE(h.Save(p, err)) << err;
  ValueHistory back;
  back.Load(p);
  ASSERT_EQ(back.Items().size(), 10u);
  EXPECT_EQ(std::tuple(back.Items().front(), back.Items().back(), back.FirstOrZero()), std::tuple("12.5", "3.5", "12.5"));

  WriteBytes(p, "7\r\nseven\r\n-1e-3\r\n\r\n");
  back.Load(p);
  EXPECT_EQ(back.Items(), (std::vector<std::string>{"7", "-1e-3"}));

  // Keys of the value field.
  const struct { const char* text; char key, result; } keys[] = {
      {"1", ',', '.'}, {"1", '.', '.'}, {"1.5", '.', 0}, {"1.5", ',', 0}, {"1.5", 'E', 'E'},
      {"", '-', '-'},  {"1", '\b', '\b'}, {"1", 'x', 0}, {"1", '+', 0}};
  for (const auto& k : keys) EXPECT_EQ(FilterValueKey(k.text, k.key), k.result) << k.text << " " << k.key;
}

namespace {
struct Recorder : ILongTask {
  std::vector<int> seen;
  int stopAt = 1000;
  void Progress(int p) override { seen.push_back(p); }
  bool StopRequested() const override { return !seen.empty() && seen.back() >= stopAt; }
};
}  // namespace

TEST(LongTask, PercentOnlyWhenItChanges) {
  Recorder r;
  PercentCounter pc(r, 12345);
  for (long long i = 0; i <= 12345; ++i) ASSERT_TRUE(pc.Step(i));
  EXPECT_EQ(std::tuple(r.seen.size(), r.seen.back()), std::tuple(101u, 100));
  Recorder s;
  s.stopAt = 30;
  PercentCounter ps(s, 1000);
  long long i = 0;
  while (ps.Step(i)) ++i;
  EXPECT_EQ(i, 300);
}
