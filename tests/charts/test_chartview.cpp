// Zoom, fitting, the print rectangle, legend texts, the point table and the mouse edits.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "charts/chartview.h"

using namespace rv;

TEST(ChartView, ZoomStretchAndFit) {
  const AxisSpan in = ZoomSpan({0, 100}, kZoomIn);
  EXPECT_NEAR(in.Min, 6.5217391, 1e-6);
  EXPECT_NEAR(in.Max, 93.4782609, 1e-6);
  // Zooming out undoes zooming in by the ratio of the factors, about the same centre.
  const AxisSpan out = ZoomSpan({-10, 30}, kZoomOut);
  EXPECT_DOUBLE_EQ((out.Max - out.Min) * kZoomOut, 40);
  EXPECT_DOUBLE_EQ(out.Min + out.Max, 20);
  const AxisSpan v = StretchVertical({-2, 10});
  EXPECT_DOUBLE_EQ(v.Min, -2.5);
  EXPECT_DOUBLE_EQ(v.Max, 10.5);

  // Fitting ends on the graph's own range from any axis: wider, narrower, off to either side.
  for (AxisSpan a : {AxisSpan{-100, 100}, AxisSpan{4, 5}, AxisSpan{50, 60}, AxisSpan{-60, -50}}) {
    const AxisSpan f = FitSpan(a, 3, 7);
    EXPECT_EQ(std::pair(f.Min, f.Max), std::pair(3.0, 7.0)) << a.Min << ".." << a.Max;
  }
  const double inf = std::numeric_limits<double>::infinity(), nan = std::nan("");
  double lo = 0, hi = 0;
  ASSERT_TRUE(FiniteRange({nan, 2, -inf, -1, inf, 5}, lo, hi));
  EXPECT_EQ(std::pair(lo, hi), std::pair(-1.0, 5.0));
  EXPECT_FALSE(FiniteRange({nan, inf}, lo, hi));
}

TEST(ChartView, PrintRectangle) {
  struct Case { int w, h, n; PrintRect r; };
  for (const Case& c : {Case{4960, 7016, 2, {248, 351, 4712, 3508}}, Case{4960, 7016, 1, {248, 351, 4712, 6665}},
                        Case{7016, 4960, 1, {351, 248, 6665, 4712}}}) {
    const PrintRect r = ChartPrintRect(c.w, c.h, c.n);
    EXPECT_EQ(std::tuple(r.Left, r.Top, r.Right, r.Bottom),
              std::tuple(c.r.Left, c.r.Top, c.r.Right, c.r.Bottom)) << c.w << "x" << c.h << "/" << c.n;
  }
}

TEST(ChartView, LegendTextsKeepTitlesWithoutLines) {
  ChartModel m;
  for (const char* t : {"a", "b", "c"}) m.AddSeries(t, 0, t);
  m.Series[1].Tag = 2;  // an auxiliary series takes no line
  ApplyLegendTexts(m, {"A"});
  EXPECT_EQ(std::tuple(m.Series[0].Title, m.Series[1].Title, m.Series[2].Title), std::tuple("A", "b", "c"));
  ApplyLegendTexts(m, {"1", "2", "3", "4"});
  EXPECT_EQ(std::tuple(m.Series[0].Title, m.Series[1].Title, m.Series[2].Title), std::tuple("1", "b", "2"));
}

TEST(ChartView, PointRowsAreCheckedBeforeTheGraphChanges) {
  ChartSeries g;
  g.AddXY(1, 2);
  std::string err;
  EXPECT_FALSE(ReadPointRows({{"0", "1"}, {"1.5", "2;5"}, {"x", "3"}}, g, err));
  EXPECT_EQ(err, "Строка 2: '2;5' не является числом");
  EXPECT_EQ(g.X, std::vector<double>{1});
  ASSERT_TRUE(ReadPointRows({{" 0", "1E3"}, {"", " "}, {"NAN", "-2.5"}}, g, err));
  ASSERT_EQ(g.Count(), 2u);
  EXPECT_TRUE(std::isnan(g.X[1]));
  EXPECT_EQ(g.Y, (std::vector<double>{1000, -2.5}));
  // What the table shows reads back to the same value.
  for (double v : {1.0 / 3, -1234567.891, 1e-7, 0.0}) {
    double back = 0;
    ASSERT_TRUE(ReadPointRows({{PointCellText(v), "0"}}, g, err));
    back = g.X[0];
    EXPECT_NEAR(back, v, std::fabs(v) * 1e-9) << PointCellText(v);
  }
}

TEST(ChartView, MouseEditsAndTexts) {
  ChartSeries g;
  for (double x : {0.0, 0.4, 0.5, 0.9, 1.0}) g.AddXY(x, 0);
  EXPECT_EQ(SetColumnY(g, 0.4, 0.9, 7), (std::vector<std::size_t>{1, 2}));
  EXPECT_EQ(g.Y, (std::vector<double>{0, 7, 7, 0, 0}));
  ShiftSeries(g, 1, -1);
  EXPECT_EQ(std::pair(g.X[0], g.Y[1]), std::pair(1.0, 6.0));
  EXPECT_EQ(PointerText(1234.5, -0.5), "X: 1.23E03  /  Y:  -0.5");
  EXPECT_EQ(RubberText(0.001, 25000), "dX: 0.001  /  dY:  2.5E04");
}
