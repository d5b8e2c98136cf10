#include <gtest/gtest.h>

#include <cmath>

#include "charts/chartmodel.h"

using namespace rv;

namespace {
// A model of n named graphs; graph k holds the points (0,k) and (1,k).
ChartModel Graphs(int n) {
  ChartModel m;
  for (int k = 0; k < n; ++k) {
    const int i = m.AddNamedSeries(std::string("g").append(std::to_string(k)).append(".srg"));
    m.Series[std::size_t(i)].AddXY(0, k);
    m.Series[std::size_t(i)].AddXY(1, k);
  }
  return m;
}
}  // namespace

TEST(ChartModel, PaletteAndNamedSeries) {
  ChartModel m;
  m.Texts.YAxisCaption = "U, В";
  EXPECT_EQ(m.SeriesDefaultColor(), 0x000000u);
  const TColor expected[14] = {0x000000, 0x0000FF, 0xFF0000, 0x008000, 0x0080FF, 0xFFFF00, 0xFF00FF,
                               0x808000, 0x404080, 0x00FF00, 0x000080, 0x800000, 0x008080, 0x800080};
  for (int i = 0; i < 15; ++i) {
    const int idx = m.AddNamedSeries("C:\\data/run:" + std::to_string(i));
    EXPECT_EQ(idx, i);
    EXPECT_EQ(m.Series[std::size_t(i)].Color, expected[i % 14]) << i;  // the 15th is black again
    EXPECT_EQ(m.ActiveGraph, i);
  }
  // The file name loses "/", "\" and ":".
  EXPECT_EQ(m.Series[0].Title, "C:\\data/run:0");
  EXPECT_EQ(m.FileNames[0], "Cdatarun0");
  EXPECT_EQ(m.UnnamedGraphCounter, 16);
  EXPECT_EQ(m.Texts.BottomAxisTitle, "t, нс");
  EXPECT_EQ(m.Texts.YAxisCaption, "U, В");  // only curve files and exports set it
  EXPECT_EQ(m.IndexOf(m.LastSeries), 14);
  EXPECT_EQ(m.NextUnnamedName(), "Без имени-16");
  EXPECT_EQ(m.UnnamedGraphCounter, 17);

  // A run's series: the title is its file-name entry, the counter stays.
  const int r = m.AddRunSeries("ex(10,12,3)");
  EXPECT_EQ(m.FileNames[std::size_t(r)], "ex(10,12,3)");
  EXPECT_EQ(m.Series[std::size_t(r)].Color, expected[15 % 14]);
  EXPECT_EQ(m.ActiveGraph, r);
  EXPECT_EQ(m.UnnamedGraphCounter, 17);
}

TEST(ChartModel, StatusLegendAndDeleteAll) {
  ChartModel m = Graphs(3);
  EXPECT_EQ(m.ActiveGraphText(), "Активен график № 3 (2 точек)");
  EXPECT_EQ(m.LegendText(2), "3. g2.srg");
  m.PickFromLegend(1, false);
  EXPECT_EQ(m.ActiveGraph, 1);
  int wide = 0;
  for (const auto& s : m.Series) wide += s.PenWidth == 2;
  EXPECT_EQ(wide, 1);
  EXPECT_EQ(m.Series[1].PenWidth, 2);
  m.PickFromLegend(0, true);  // lines fixed: widths stay
  EXPECT_EQ(m.ActiveGraph, 0);
  EXPECT_EQ(m.Series[1].PenWidth, 2);

  m.DeleteAll();
  EXPECT_EQ(m.SeriesCount(), 0);
  EXPECT_TRUE(m.FileNames.empty());
  EXPECT_EQ(m.ActiveGraph, -1);
  EXPECT_EQ(m.ActiveGraphText(), "");
  m.DeleteAll();
  EXPECT_EQ(m.ActiveGraph, -1);
}

TEST(ChartModel, CloseCompactsIntoEarlierSlots) {
  // Closing the first of three: two series keep the first two colours and hold the
  // points, titles, names (and identities) of the former second and third graphs.
  ChartModel m = Graphs(3);
  const CurveId id1 = m.Series[1].id, id2 = m.Series[2].id, id0 = m.Series[0].id;
  m.Series[1].PenWidth = 3;
  m.ActiveGraph = 1;
  m.CloseGraphs({0});
  ASSERT_EQ(m.SeriesCount(), 2);
  ASSERT_EQ(m.FileNames.size(), 2u);
  EXPECT_EQ(m.Series[0].Color, PaletteColor(0));
  EXPECT_EQ(m.Series[1].Color, PaletteColor(1));
  EXPECT_EQ(m.Series[1].PenWidth, 3);  // a slot keeps its pen
  EXPECT_EQ(m.Series[0].Title, "g1.srg");
  EXPECT_EQ(m.Series[1].Title, "g2.srg");
  EXPECT_EQ(m.FileNames[0], "g1.srg");
  EXPECT_EQ(m.FileNames[1], "g2.srg");
  EXPECT_EQ(m.Series[0].Y[0], 1);
  EXPECT_EQ(m.Series[1].Y[1], 2);
  EXPECT_EQ(m.Series[0].id, id1);
  EXPECT_EQ(m.Series[1].id, id2);
  EXPECT_EQ(m.IndexOf(id0), -1);
  EXPECT_EQ(m.ActiveGraph, 0);  // the active curve moved with its points

  // Closing the active graph: it moves to the series that took its place...
  m = Graphs(4);
  m.ActiveGraph = 1;
  m.CloseGraphs({1});
  EXPECT_EQ(m.ActiveGraph, 1);
  EXPECT_EQ(m.Series[1].Title, "g2.srg");
  // ...or to the last series when nothing took it.
  m.ActiveGraph = 2;
  m.CloseGraphs({2});
  EXPECT_EQ(m.SeriesCount(), 2);
  EXPECT_EQ(m.ActiveGraph, 1);

  // Several at once, and an auxiliary series is never taken by a selection.
  m = Graphs(5);
  m.Series[4].Tag = 7;
  m.CloseGraphs({0, 2, 4});
  ASSERT_EQ(m.SeriesCount(), 3);
  EXPECT_EQ(m.Series[0].Title, "g1.srg");
  EXPECT_EQ(m.Series[1].Title, "g3.srg");
  EXPECT_EQ(m.Series[2].Tag, 7);

  // Everything closed: no active graph.
  m = Graphs(2);
  m.CloseGraphs({0, 1});
  EXPECT_EQ(m.SeriesCount(), 0);
  EXPECT_EQ(m.ActiveGraph, -1);
  EXPECT_TRUE(m.FileNames.empty());
}

TEST(ChartModel, UserGraphsAndRepair) {
  ChartModel m = Graphs(3);
  m.Series[1].Tag = 2;
  EXPECT_EQ(m.UserGraphIndices(), (std::vector<int>{0, 2}));
  EXPECT_EQ(m.UserGraphCount(), 2);
  EXPECT_EQ(m.RepairFileNames(), "");
  m.FileNames.pop_back();
  const std::string msg = m.RepairFileNames();
  EXPECT_EQ(msg, "Ошибка: SeriesCount = 3\nFileNames.Count =  2");
  ASSERT_EQ(m.FileNames.size(), 3u);
  EXPECT_EQ(m.FileNames[2], "Error");
}

TEST(ChartModel, ResampleIsLinearInterpolationWithZeroOutside) {
  ChartSeries src;
  // y = 3x - 1 on 0..2, then y = 5 - 0 * x up to 4 (a kink at x = 2).
  for (int i = 0; i <= 20; ++i) {
    const double x = i * 0.2;
    src.AddXY(x, x <= 2 ? 3 * x - 1 : 5.0);
  }
  ChartSeries t;
  const int n = 61;
  ResampleSeries(src, t, n, -1.0, 5.0);
  ASSERT_EQ(t.Count(), std::size_t(n));
  for (int i = 0; i < n; ++i) {
    const double x = -1.0 + i * 0.1;
    EXPECT_NEAR(t.X[std::size_t(i)], x, 1e-12);
    double expect;
    if (x < -1e-9 || x > 4 + 1e-9) expect = 0;
    else expect = x <= 2 ? 3 * x - 1 : 5.0;
    EXPECT_NEAR(t.Y[std::size_t(i)], expect, 1e-9) << "x=" << x;
  }

  // A source of one point appends nothing; so does n = 0.
  ChartSeries one, t1;
  one.AddXY(1, 1);
  ResampleSeries(one, t1, 10, 0, 2);
  EXPECT_EQ(t1.Count(), 0u);
  ResampleSeries(src, t1, 0, 0, 2);
  EXPECT_EQ(t1.Count(), 0u);
  // One target point sits at the start, not at a division by zero.
  ResampleSeries(src, t1, 1, 1.0, 3.0);
  ASSERT_EQ(t1.Count(), 1u);
  EXPECT_DOUBLE_EQ(t1.X[0], 1.0);
  EXPECT_NEAR(t1.Y[0], 2.0, 1e-12);
  // A vertical step (two points at one X) gives a value, not 0/0.
  ChartSeries step, t2;
  step.AddXY(0, 0);
  step.AddXY(1, 0);
  step.AddXY(1, 1);
  step.AddXY(2, 1);
  ResampleSeries(step, t2, 3, 0, 2);
  ASSERT_EQ(t2.Count(), 3u);
  for (double y : t2.Y) EXPECT_FALSE(std::isnan(y));
}

TEST(ChartModel, RangesIgnoreNaNAndDirection) {
  ChartSeries s;
  s.AddXY(0, NAN);
  s.AddXY(NAN, 2);
  s.AddXY(1, -INFINITY);
  s.AddXY(3, 4);
  double lo, hi;
  ASSERT_TRUE(s.XRange(lo, hi));
  EXPECT_EQ(lo, 0);
  EXPECT_EQ(hi, 3);
  ASSERT_TRUE(s.YRange(lo, hi));
  EXPECT_EQ(lo, -INFINITY);
  EXPECT_EQ(hi, 4);
  EXPECT_TRUE(s.XNonDecreasing());
  s.AddXY(2, 0);
  EXPECT_FALSE(s.XNonDecreasing());
}
