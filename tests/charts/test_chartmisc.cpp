#include <gtest/gtest.h>

#include <cmath>

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
  EXPECT_EQ(AxisLabelText(9e-16), "0");
  EXPECT_EQ(AxisLabelText(-9.99e-16), "0");
  EXPECT_EQ(AxisLabelText(1e-15), "1E-15");
  EXPECT_EQ(AxisLabelText(0.25), "0.25");
  EXPECT_EQ(AxisLabelText(1.0 / 3), "0.3333333333");
  EXPECT_EQ(AxisLabelText(12345678901.0), "1.23456789E10");
  EXPECT_EQ(AxisLabelText(-2e-5), "-2E-5");

  // Range 12 on 300 px with 12 px labels: n = 10, step 2.5.
  EXPECT_DOUBLE_EQ(LeftAxisStep(-2, 10, 300, 12), 2.5);
  // Range 100 on 60 px: n = 5, 0.25e2 = 25 fits (4 labels).
  EXPECT_DOUBLE_EQ(LeftAxisStep(0, 100, 60, -12), 25);
  // Range 9 on 30 px: n = 2; 0.25 doubles while 9/step > 2: 0.5, 1, 2, 4, 8.
  EXPECT_DOUBLE_EQ(LeftAxisStep(0, 9, 30, 12), 8);
  // 9.9999999999999999 is 1E+01 in exponent notation: the step starts at 2.5.
  EXPECT_DOUBLE_EQ(LeftAxisStep(0, 9.9999999999999999, 1000, 12), 2.5);
  // A tiny plot still gets one label; a flat range a step of 0.25.
  EXPECT_DOUBLE_EQ(LeftAxisStep(0, 1, 3, 12), 1);
  EXPECT_DOUBLE_EQ(LeftAxisStep(5, 5, 300, 12), 0.25);
  EXPECT_EQ(LeftAxisStep(0, INFINITY, 300, 12), 0);

  EXPECT_EQ(ChartCaption(640, 480), "График 640x480 (16.9x12.7) см");
}

TEST(ChartSettingsFile, DefaultsRoundTripAndKeepsOtherKeys) {
  TempDir dir;
  const std::string p = dir.file("ravelin.INI");
  ChartSettings s;
  ASSERT_TRUE(ReadChartSettings(p, "/home/u/", s));
  EXPECT_EQ(s.IniDir, "/home/u/");  // the place and size: the window's test
  EXPECT_EQ(s.LeftAxisLabelsFont.Name, "Arial");
  EXPECT_EQ(s.BottomLegendFont.Size, 10);
  EXPECT_EQ(s.Spectr.edFMax, "1e9");
  EXPECT_TRUE(s.Spectr.CheckBox3);
  EXPECT_FALSE(s.Spectr.CheckBox1);
  EXPECT_TRUE(s.SpectrZ.cbDeleteSpectr);

  // A key of someone else stays; the folder is written at once and alone.
  WriteBytes(p, "[Other]\r\nKey=1\r\n[Form]\r\nLeft=-5\r\nWidth=abc\r\nHeight=3\r\n");
  ASSERT_TRUE(WriteIniDir(p, "/data/Данные/"));
  ASSERT_TRUE(ReadChartSettings(p, "/home/u/", s));
  EXPECT_EQ(s.IniDir, "/data/Данные/");
  EXPECT_EQ(s.Left, -5);      // a left edge off screen is kept
  EXPECT_EQ(s.Width, 683);    // not a number
  EXPECT_EQ(s.Height, 506);   // too small to use
  s.Left = 12;
  s.TitleFont = {"DejaVu Sans", 14};
  s.Spectr.CheckBox1 = true;
  s.Spectr.eddF = "2e6";
  s.SpectrZ.cbTime = 3;
  ASSERT_TRUE(WriteChartSettings(p, s));
  ChartSettings t;
  ASSERT_TRUE(ReadChartSettings(p, "/x/", t));
  EXPECT_EQ(t.Left, 12);
  EXPECT_EQ(t.TitleFont.Name, "DejaVu Sans");
  EXPECT_EQ(t.TitleFont.Size, 14);
  EXPECT_TRUE(t.Spectr.CheckBox1);
  EXPECT_EQ(t.Spectr.eddF, "2e6");
  EXPECT_EQ(t.SpectrZ.cbTime, 3);
  EXPECT_EQ(t.IniDir, "/data/Данные/");
  IniFile ini;
  ASSERT_TRUE(ini.load(p));
  EXPECT_EQ(ini.readString("Other", "Key", ""), "1");
  EXPECT_EQ(ini.readString("Spectr", "CheckBox1", ""), "1");
  EXPECT_EQ(ini.readString("SpectrZ", "cbDeleteSpectr", ""), "1");
  // The sections of a fresh file come in the order the window writes them.
  const std::string text = ReadBytes(p);
  EXPECT_LT(text.find("[Fonts]"), text.find("[Spectr]"));
  EXPECT_LT(text.find("[Spectr]"), text.find("[SpectrZ]"));
  EXPECT_NE(text.find("\r\n"), std::string::npos);
}

TEST(ValueHistory, CapsAtTenAndDropsNonNumbers) {
  TempDir dir;
  const std::string p = dir.file("TmpVal.txt");
  ValueHistory h;
  h.Load(p);  // missing file: empty, no message
  EXPECT_TRUE(h.Items().empty());
  EXPECT_EQ(h.FirstOrZero(), "0");
  for (int i = 1; i <= 12; ++i) EXPECT_TRUE(h.Add(std::to_string(i) + ".5"));
  EXPECT_FALSE(h.Add("12.5"));   // already listed
  EXPECT_FALSE(h.Add("1,5"));    // not a number
  EXPECT_EQ(h.Items().size(), 12u);
  std::string err;
  ASSERT_TRUE(h.Save(p, err)) << err;
  ValueHistory back;
  back.Load(p);
  ASSERT_EQ(back.Items().size(), 10u);
  EXPECT_EQ(back.Items().front(), "12.5");
  EXPECT_EQ(back.Items().back(), "3.5");
  EXPECT_EQ(back.FirstOrZero(), "12.5");

  WriteBytes(p, "7\r\nseven\r\n-1e-3\r\n\r\n");
  back.Load(p);
  EXPECT_EQ(back.Items(), (std::vector<std::string>{"7", "-1e-3"}));

  // Keys of the value field.
  EXPECT_EQ(FilterValueKey("1", ','), '.');
  EXPECT_EQ(FilterValueKey("1", '.'), '.');
  EXPECT_EQ(FilterValueKey("1.5", '.'), 0);
  EXPECT_EQ(FilterValueKey("1.5", ','), 0);
  EXPECT_EQ(FilterValueKey("1.5", 'E'), 'E');
  EXPECT_EQ(FilterValueKey("", '-'), '-');
  EXPECT_EQ(FilterValueKey("1", '\b'), '\b');
  EXPECT_EQ(FilterValueKey("1", 'x'), 0);
  EXPECT_EQ(FilterValueKey("1", '+'), 0);
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
  EXPECT_EQ(r.seen.size(), 101u);
  EXPECT_EQ(r.seen.back(), 100);
  Recorder s;
  s.stopAt = 30;
  PercentCounter ps(s, 1000);
  long long i = 0;
  while (ps.Step(i)) ++i;
  EXPECT_EQ(i, 300);
}
