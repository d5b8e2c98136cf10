// Curve arithmetic, derivative, integral, RC transforms and the combining commands.
#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "charts/chartedit.h"
#include "charts/convolution.h"
#include "charts_testutil.h"

using namespace rv;
using V = std::vector<double>;

namespace {
ChartSeries G(std::vector<double> x, std::vector<double> y, std::string title = "g") {
  ChartSeries g;
  g.Title = std::move(title);
  g.X = std::move(x);
  g.Y = std::move(y);
  return g;
}
}  // namespace

TEST(ChartEdit, PointOps) {
  struct Case {
    PointOp op;
    double v;
    ChartSeries in;
    std::vector<double> x, y;
    std::string title;
  };
  const std::vector<Case> cases = {
      {PointOp::InvY, 0, G({1, 2, 3, 4}, {2, 0, 0, 4}), {1, 4}, {0.5, 0.25}, "g"},
      {PointOp::InvX, 0, G({0, 2}, {1, 1}), {0.5}, {1}, "g"},
      {PointOp::XdivY, 0, G({4, 6}, {2, 0}), {2, 0}, {2, 0}, "g (X/Y)"},
      {PointOp::YdivX, 0, G({0, 2}, {3, 6}), {0, 2}, {0, 3}, "g (Y/X)"},
      {PointOp::DB, 10, G({1, 2, 3, 4}, {-1, 0, 10, 100}), {3, 4}, {0, 20}, "g (dB)"},
      {PointOp::XFromZero, 0, G({5, 7, 10}, {1, 1, 1}), {0, 2, 5}, {1, 1, 1}, "g"},
      {PointOp::SwapXY, 0, G({1, 2}, {3, 4}), {3, 4}, {1, 2}, "g (Y<->X)"},
      {PointOp::SqrtAbsY, 0, G({1}, {-4}), {1}, {2}, "g"},
      {PointOp::ShiftY, 1.5, G({1}, {1}), {1}, {2.5}, "g"},
      {PointOp::DivX, 0, G({1, -1}, {0, 0}), {INFINITY, -INFINITY}, {0, 0}, "g"},
      {PointOp::UtoI, 0, G({0, 1, 2}, {0, 0.001, -1}), {0, 1, 2}, {0, 1.02606e-3, -0.131698}, "g (U-->I ДТ-7)"},
      {PointOp::NegY, 0, G({}, {}), {}, {}, "g"},
      {PointOp::DB, 1, G({}, {}), {}, {}, "g (dB)"},
  };
  for (const Case& c : cases) {
    ChartSeries g = c.in;
    ApplyPointOp(g, c.op, c.v);
    const int id = int(&c - cases.data());
    EXPECT_EQ(g.Title, c.title) << id;
    ASSERT_EQ(g.X.size(), c.x.size()) << id;
    for (std::size_t i = 0; i < c.x.size(); ++i) {
      EXPECT_EQ(g.X[i], c.x[i]) << id;
      EXPECT_NEAR(g.Y[i], c.y[i], 5e-6 * std::fabs(c.y[i])) << id;  // figures to 6 digits
    }
  }
}

TEST(ChartEdit, RunningValuesAndReshaping) {
  ChartSeries d = G({0, 1, 3}, {0, 2, 2});
  Derivative(d);
  EXPECT_EQ(std::tuple(d.X, d.Y, d.Title), std::tuple(V{0.5, 2}, V{2, 0}, "g(произв.)"));
  ChartSeries s = G({0, 1, 2}, {1, 1, 3});
  RunningIntegral(s);
  EXPECT_EQ(std::tuple(s.X, s.Y), std::tuple(V{1, 2}, V{1, 3}));
  ChartSeries e = G({}, {});
  RunningIntegral(e);
  EXPECT_EQ(e.Count(), 0u);
  // Mean and RMS of a constant, also when X does not start at 0.
  for (double x0 : {0.0, 100.0}) {
    ChartSeries mean = G({x0, x0 + 10, x0 + 20}, {-2, -2, -2}), rms = mean;
    RunningMean(mean);
    RunningRms(rms);
    for (double y : mean.Y) EXPECT_DOUBLE_EQ(y, -2);
    for (double y : rms.Y) EXPECT_DOUBLE_EQ(y, 2);
  }
  ChartSeries h6 = G({0, 1, 2, 3, 4, 5}, {0, 1, 2, 3, 4, 5}), h5 = G({0, 1, 2, 3, 4}, {0, 1, 2, 3, 4});
  ChartSeries c = G({0, 1, 2, 3}, {0, 1, 2, 3});
  HalvePoints(h6);
  HalvePoints(h5);
  Crop(c, 1, 2);
  EXPECT_EQ(std::tuple(h6.X, h5.X, c.X), std::tuple(V{0, 2, 4, 5}, V{0, 2, 4}, V{1, 2}));

  ChartModel m;
  m.AddSeries("a", 0, "a");
  m.AddSeries("b", 0, "b");
  m.Series[0].Y = {1, 2};
  m.Series[1].Y = {-8, 4};
  Normalize(m, {0, 1});
  EXPECT_EQ(std::tuple(m.Series[0].Y, m.Series[1].Y), std::tuple(V{0.125, 0.25}, V{-1, 0.5}));
}

// RC differentiation against the exact zero-order-hold response of sτ/(1+sτ) (its low-pass
// state stepped in long double), over a random walk; integration gives the walk back.
TEST(ChartEdit, RcTransforms) {
  const double tau = 15e-9;
  std::mt19937 rng(11);
  std::normal_distribution<double> step(0, 1);
  for (double x0 : {0.0, -20000.0}) {
    ChartSeries g;
    double w = 0;
    for (int i = 0; i <= 3000; ++i) g.AddXY(x0 + 10.0 * i, w += step(rng));
    const ChartSeries input = g;
    RcDifferentiate(g, tau, 1e-9);
    long double x = 0;
    double peak = 0, worst = 0;
    for (std::size_t i = 0; i < g.Count(); ++i) {
      if (i > 0) {
        const long double e = std::exp(-(long double)(input.X[i] - input.X[i - 1]) * 1e-9L / tau);
        x = x * e + (long double)input.Y[i - 1] * (1 - e);
      }
      const double want = double((long double)input.Y[i] - x);
      ASSERT_TRUE(std::isfinite(g.Y[i]));
      peak = std::max(peak, std::fabs(want));
      worst = std::max(worst, std::fabs(g.Y[i] - want));
    }
    EXPECT_LT(worst, 1e-12 * peak) << x0;
    RcIntegrate(g, tau, 1e-9);
    for (std::size_t i = 0; i < g.Count(); ++i) ASSERT_NEAR(g.Y[i], input.Y[i], 1e-12 * peak) << i;
  }
  ChartSeries one = G({0, 15, 30}, {1, 1, 1});
  RcDifferentiate(one, tau, 1e-9);
  EXPECT_EQ(one.Y[0], 1);
  EXPECT_NEAR(one.Y[1], std::exp(-1.0), 1e-15);

  ChartSeries q = G({0, 1, 2, 3}, {0, 0.37, 0.9, 1});
  Quantize(q, 100, 5);
  for (double y : q.Y) EXPECT_NEAR(std::remainder(y, 0.01), 0, 1e-12);
  ChartSeries flat = G({0, 1}, {3, 3});
  Quantize(flat, 100, 5);
  EXPECT_EQ(flat.Y, (V{3, 3}));
}

TEST(ChartEdit, CombiningGraphs) {
  ChartModel m;
  for (auto [x0, x1, n] : {std::tuple{0.0, 10.0, 100}, {5.0, 15.0, 100}, {-10.0, 20.0, 1000}}) {
    const int i = m.AddSeries("s", 0, "f");
    m.Series[std::size_t(i)] = test::Sampled(x0, x1, (x1 - x0) / (n - 1), [](double x) { return x; });
  }
  const int sum = CombineGraphs(m, {0, 1}, false);
  const ChartSeries& s = m.Series[std::size_t(sum)];
  ASSERT_EQ(s.Count(), 256u);
  EXPECT_EQ(std::tuple(s.Title, m.FileNames[std::size_t(sum)], s.X.front()), std::tuple("Сумма", "Без имени-1", -10.0));
  EXPECT_DOUBLE_EQ(s.X.back(), 20);
  for (std::size_t j = 0; j < s.Count(); ++j) {
    const double x = s.X[j];
    const double want = (x >= 0 && x <= 10 ? x : 0) + (x >= 5 && x <= 15 ? x : 0);
    EXPECT_NEAR(s.Y[j], want, 1e-9) << x;
  }
  EXPECT_EQ(m.Series[std::size_t(CombineGraphs(m, {0, 2}, false))].Count(), 1000u);
  const int prod = CombineGraphs(m, {2, 2}, true);
  for (std::size_t j = 0; j < 1000; ++j)
    EXPECT_NEAR(m.Series[std::size_t(prod)].Y[j], std::pow(m.Series[std::size_t(prod)].X[j], 2), 1e-9);

  const int sp = SpliceGraphs(m, 0, 1, 5);
  for (std::size_t i = 0; i < m.Series[std::size_t(sp)].Count(); ++i) {
    const double x = m.Series[std::size_t(sp)].X[i];
    EXPECT_TRUE(i < 50 ? x <= 5 : x > 5) << i;
  }
  const int cl = CloneGraph(m, 0, 1000);
  EXPECT_EQ(std::tuple(m.Series[std::size_t(cl)].Count(), m.Series[std::size_t(cl)].X.back(), m.FileNames[std::size_t(cl)]),
            std::tuple(1000u, 10.0, "f (Клон)"));

  std::vector<double> d;
  EXPECT_EQ(ListDivisors({"2", " 4 "}, 2, d), "");
  EXPECT_EQ(d, (V{2, 4}));
  EXPECT_NE(ListDivisors({"2"}, 2, d), "");
  EXPECT_NE(ListDivisors({"2", "x"}, 2, d), "");
}

// A point whose X is NaN has no place on the X axis: whatever resamples or sums a curve
// gives what the curve without it gives. U→I keeps a NaN reading NaN.
TEST(ChartEdit, NanXPointsLeftOutAndNanReadingKept) {
  const ChartSeries clean = test::Sampled(0, 10, 0.5, [](double x) { return std::sin(x) + 2; });
  // The graph a chart command adds to a model that holds g alone.
  const auto added = [](ChartSeries& g, const std::function<int(ChartModel&)>& command) {
    ChartModel m;
    m.Series[std::size_t(m.AddSeries("s", 0, "f"))].X = g.X;
    m.Series[0].Y = g.Y;
    g = m.Series[std::size_t(command(m))];
  };
  const std::vector<std::pair<const char*, std::function<void(ChartSeries&)>>> commands = {
      {"integral", RunningIntegral},
      {"mean", RunningMean},
      {"rms", RunningRms},
      {"rc diff", [](ChartSeries& g) { RcDifferentiate(g, 1.5e-8, 1e-9); }},
      {"rc int", [](ChartSeries& g) { RcIntegrate(g, 1.5e-8, 1e-9); }},
      {"energy", [](ChartSeries& g) { EnergyInLoad(g, 1e-9, 1); }},
      {"sum", [&](ChartSeries& g) { added(g, [](ChartModel& m) { return CombineGraphs(m, {0}, false); }); }},
      {"product", [&](ChartSeries& g) { added(g, [](ChartModel& m) { return CombineGraphs(m, {0}, true); }); }},
      {"clone", [&](ChartSeries& g) { added(g, [](ChartModel& m) { return CloneGraph(m, 0, 50); }); }},
  };
  for (const auto& [name, command] : commands) {
    ChartSeries a = clean, b = test::WithNanXPoint(clean, 7, 5.0);
    command(a);
    command(b);
    EXPECT_EQ(std::tuple(b.X, b.Y, b.Title), std::tuple(a.X, a.Y, a.Title)) << name;
  }
  EXPECT_EQ(std::tuple(SkippedNanXText({{"A", 2}, {"B", 0}}), SkippedNanXText({{"A", 0}})),
            std::tuple("Пропущены точки, у которых X не число (NaN):\n\"A\": 2", ""));

  ChartSeries u = G({0}, {NAN});
  ApplyPointOp(u, PointOp::UtoI);
  EXPECT_TRUE(std::isnan(u.Y[0]));
}
