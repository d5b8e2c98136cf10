#include <gtest/gtest.h>

#include "charts/chartmodel.h"
#include "charts_testutil.h"

using namespace rv;

namespace {
std::vector<std::string> Titles(const ChartModel& m) {
  std::vector<std::string> t;
  for (const auto& s : m.Series) t.push_back(s.Title);
  return t;
}
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
    const int idx = m.AddNamedSeries("C:\\data/run:" + std::to_string(i));  // the 15th is black again
    EXPECT_EQ(std::tuple(idx, m.Series[std::size_t(i)].Color, m.ActiveGraph), std::tuple(i, expected[i % 14], i));
  }
  // The file name loses "/", "\" and ":"; only curve files and exports set the Y caption.
  EXPECT_EQ(std::tuple(m.Series[0].Title, m.FileNames[0], m.UnnamedGraphCounter, m.Texts.BottomAxisTitle,
                       m.Texts.YAxisCaption, m.IndexOf(m.LastSeries)),
            std::tuple("C:\\data/run:0", "Cdatarun0", 16, "t, нс", "U, В", 14));
  EXPECT_EQ(m.NextUnnamedName(), "Без имени-16");
  EXPECT_EQ(m.UnnamedGraphCounter, 17);

  // A run's series: the title is its file-name entry, the counter stays.
  const int r = m.AddRunSeries("ex(10,12,3)");
  EXPECT_EQ(std::tuple(m.FileNames[std::size_t(r)], m.Series[std::size_t(r)].Color, m.ActiveGraph, m.UnnamedGraphCounter),
            std::tuple("ex(10,12,3)", expected[15 % 14], r, 17));
}

TEST(ChartModel, StatusLegendAndDeleteAll) {
  ChartModel m = Graphs(3);
  EXPECT_EQ(std::tuple(m.ActiveGraphText(), m.LegendText(2)), std::tuple("Активен график № 3 (2 точек)", "3. g2.srg"));
  auto widths = [&] {
    std::vector<int> w;
    for (const auto& s : m.Series) w.push_back(s.PenWidth);
    return w;
  };
  m.PickFromLegend(1, false);
  const std::vector<int> picked = widths();
  EXPECT_EQ(std::tuple(m.ActiveGraph, picked), std::tuple(1, std::vector<int>{1, 2, 1}));
  m.PickFromLegend(0, true);  // lines fixed: widths stay
  EXPECT_EQ(std::tuple(m.ActiveGraph, widths()), std::tuple(0, picked));

  m.DeleteAll();
  EXPECT_EQ(std::tuple(m.SeriesCount(), m.FileNames.empty(), m.ActiveGraph, m.ActiveGraphText()),
            std::tuple(0, true, -1, ""));
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
  EXPECT_EQ(Titles(m), (std::vector<std::string>{"g1.srg", "g2.srg"}));
  EXPECT_EQ(m.FileNames, Titles(m));
  // A slot keeps its colour and pen; the active curve moved with its points.
  EXPECT_EQ(std::tuple(m.Series[0].Color, m.Series[1].Color, m.Series[1].PenWidth, m.Series[0].Y[0], m.Series[1].Y[1]),
            std::tuple(PaletteColor(0), PaletteColor(1), 3, 1.0, 2.0));
  EXPECT_EQ(std::tuple(m.Series[0].id, m.Series[1].id, m.IndexOf(id0), m.ActiveGraph), std::tuple(id1, id2, -1, 0));

  // Closing the active graph: it moves to the series that took its place...
  m = Graphs(4);
  m.ActiveGraph = 1;
  m.CloseGraphs({1});
  EXPECT_EQ(std::tuple(m.ActiveGraph, m.Series[1].Title), std::tuple(1, "g2.srg"));
  // ...or to the last series when nothing took it.
  m.ActiveGraph = 2;
  m.CloseGraphs({2});
  EXPECT_EQ(std::tuple(m.SeriesCount(), m.ActiveGraph), std::tuple(2, 1));

  // Several at once, and an auxiliary series is never taken by a selection.
  m = Graphs(5);
  m.Series[4].Tag = 7;
  m.CloseGraphs({0, 2, 4});
  ASSERT_EQ(m.SeriesCount(), 3);
  EXPECT_EQ(std::tuple(m.Series[0].Title, m.Series[1].Title, m.Series[2].Tag), std::tuple("g1.srg", "g3.srg", 7));

  // Everything closed: no active graph.
  m = Graphs(2);
  m.CloseGraphs({0, 1});
  EXPECT_EQ(std::tuple(m.SeriesCount(), m.ActiveGraph, m.FileNames.empty()), std::tuple(0, -1, true));
}

TEST(ChartModel, UserGraphsAndRepair) {
  ChartModel m = Graphs(3);
  m.Series[1].Tag = 2;
  EXPECT_EQ(m.UserGraphIndices(), (std::vector<int>{0, 2}));
  EXPECT_EQ(std::tuple(m.UserGraphCount(), m.RepairFileNames()), std::tuple(2, ""));
  m.FileNames.pop_back();
  EXPECT_EQ(m.RepairFileNames(), "Ошибка: SeriesCount = 3\nFileNames.Count =  2");
  EXPECT_EQ(m.FileNames, (std::vector<std::string>{"g0.srg", "g1.srg", "Error"}));
}

TEST(ChartModel, ResampleIsLinearInterpolationWithZeroOutside) {
  // y = 3x - 1 on 0..2, then 5 up to 4 (a kink at x = 2); 0 outside.
  auto f = [](double x) { return x <= 2 ? 3 * x - 1 : 5.0; };
  const ChartSeries src = test::Sampled(0, 4, 0.2, f);
  ChartSeries t;
  ResampleSeries(src, t, 61, -1.0, 5.0);
  ASSERT_EQ(t.Count(), 61u);
  for (std::size_t i = 0; i < 61; ++i) {
    const double x = -1.0 + double(i) * 0.1;
    EXPECT_NEAR(t.X[i], x, 1e-12);
    EXPECT_NEAR(t.Y[i], x < -1e-9 || x > 4 + 1e-9 ? 0 : f(x), 1e-9) << "x=" << x;
  }

  // A source of one point appends nothing; so does n = 0.
  ChartSeries one, t1;
  one.AddXY(1, 1);
  ResampleSeries(one, t1, 10, 0, 2);
  ResampleSeries(src, t1, 0, 0, 2);
  EXPECT_EQ(t1.Count(), 0u);
  // One target point sits at the start, not at a division by zero.
  ResampleSeries(src, t1, 1, 1.0, 3.0);
  ASSERT_EQ(t1.Count(), 1u);
  EXPECT_EQ(std::tuple(t1.X[0], t1.Y[0]), std::tuple(1.0, 2.0));
  // A vertical step (two points at one X) gives a value, not 0/0.
  ChartSeries step, t2;
  for (auto [x, y] : {std::pair{0, 0}, {1, 0}, {1, 1}, {2, 1}}) step.AddXY(x, y);
  ResampleSeries(step, t2, 3, 0, 2);
  ASSERT_EQ(t2.Count(), 3u);
  for (double y : t2.Y) EXPECT_FALSE(std::isnan(y));
}

TEST(ChartModel, RangesIgnoreNaNAndDirection) {
  ChartSeries s;
  for (auto [x, y] : {std::pair{0.0, NAN}, {NAN, 2.0}, {1.0, -INFINITY}, {3.0, 4.0}}) s.AddXY(x, y);
  double lo, hi;
  double ylo, yhi;
  ASSERT_TRUE(s.XRange(lo, hi) && s.YRange(ylo, yhi) && s.XNonDecreasing());
  EXPECT_EQ(std::tuple(lo, hi, ylo, yhi), std::tuple(0.0, 3.0, -INFINITY, 4.0));
  s.AddXY(2, 0);
  EXPECT_FALSE(s.XNonDecreasing());
}
