// The live view's colour scale, slices and frame files.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "project/liveview.h"
#include "solver/file_fixture.h"
#include "solver/solverdata.h"

namespace rv {
namespace {

TEST(LiveView, ColourIndexOnBothScales) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const LiveScale lin = MakeLiveScale(1, 0, false), lg = MakeLiveScale(1, 0, true);
  struct Case { const LiveScale* s; double field; int index; };
  const Case cases[] = {
      {&lin, 1, 0},     {&lin, 0.5, 4},   {&lin, 0, 9},     {&lin, -1, 18},  {&lin, 7, 0},
      {&lin, -7, 18},   {&lin, nan, 9},   {&lin, inf, 0},   {&lin, -inf, 18},
      {&lg, 1, 0},      {&lg, 1e-3, 9},   {&lg, 0, 9},      {&lg, -1, 18},   {&lg, -1e-3, 9},
      {&lg, 0.1, 3},    {&lg, -0.1, 15},  {&lg, nan, 9},    {&lg, inf, 0},   {&lg, -inf, 18}};
  for (const Case& c : cases)
    EXPECT_EQ(FieldColorIndex(*c.s, c.field), c.index) << c.field << (c.s->log ? " log" : " lin");
  // A zero or negative maximum never gives an index outside the palette.
  for (LiveScale s : {MakeLiveScale(0, 0, false), MakeLiveScale(0, 0, true),
                      LiveScale{-1, 1, true}})
    for (double v : {-inf, -1.0, 0.0, 1.0, inf, nan}) {
      const int i = ColorIndex(s, v);
      EXPECT_TRUE(i >= 0 && i <= 18) << v;
    }
}

TEST(LiveView, IndexerAgreesWithColourIndexEverywhere) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double big = std::numeric_limits<double>::max(), tiny = std::numeric_limits<double>::denorm_min();
  const LiveScale scales[] = {MakeLiveScale(1, 0, true),     MakeLiveScale(7, -3, true),
                              MakeLiveScale(3, 250, true),   MakeLiveScale(1, -300, true),
                              MakeLiveScale(0, 0, true),     LiveScale{-1, 1, true},
                              LiveScale{2, -0.5, true},      LiveScale{inf, -inf, true},
                              LiveScale{nan, nan, true},     MakeLiveScale(1, 0, false)};
  std::mt19937_64 rng(7);
  std::uniform_real_distribution<double> exponent(-320, 320), mant(1, 10);
  for (const LiveScale& s : scales) {
    std::vector<double> mags = {0, tiny, big, inf, nan, std::abs(s.max), std::abs(s.min)};
    for (int i = 0; i < 20000; ++i) mags.push_back(mant(rng) * std::pow(10.0, exponent(rng)));
    // Where the step changes, and the margins around it, ulp by ulp.
    for (double m : {std::abs(s.max), std::abs(s.min)})
      for (int n = 1; n <= 9; ++n)
        for (double t : {m * std::exp(-n / 1.35), m * std::exp(-n / 1.35) * (1 - 1e-9),
                         m * std::exp(-n / 1.35) * (1 + 1e-9)}) {
          double lo = t, hi = t;
          for (int k = 0; k < 40; ++k, lo = std::nextafter(lo, 0.0), hi = std::nextafter(hi, inf))
            mags.insert(mags.end(), {lo, hi});
        }
    const ColorIndexer colour(s);
    int differ = 0;
    for (double a : mags)
      for (double v : {a, -a}) differ += colour(v) != ColorIndex(s, v);
    EXPECT_EQ(differ, 0) << s.max << " " << s.min << (s.log ? " log" : " lin");
  }
}

TEST(LiveView, ScaleLabels) {
  // The middle labels are 1/19 of the maximum (linear) and 2 / e^(20/27) (logarithmic).
  const auto lin = ScaleLabels(MakeLiveScale(1, -3, false)), lg = ScaleLabels(MakeLiveScale(2, 0, true));
  EXPECT_EQ(std::vector<std::string>({lin[0], lin[19], lin[9], lin[10], lg[0], lg[1], lg[18]}),
            std::vector<std::string>({"0.001", "-0.001", "0.000053", "-0.000053", "2", "0.95", "-0.95"}));
}

TEST(LiveView, SlicesPutCellsWhereTheyBelong) {
  const int nx = 5, ny = 4, nz = 6;
  const LiveScale s = MakeLiveScale(1, 0, false);
  // One hot cell at (2, 3, 4): red on each slice through it, black elsewhere.
  auto field = [](int i, int j, int k) { return i == 2 && j == 3 && k == 4 ? 1.0 : 0.0; };
  const auto x = BuildSlice(SliceAxis::X, 2, nx, ny, nz, field, s);
  const auto y = BuildSlice(SliceAxis::Y, 3, nx, ny, nz, field, s);
  const auto z = BuildSlice(SliceAxis::Z, 4, nx, ny, nz, field, s);
  ASSERT_TRUE(x && y && z);
  EXPECT_EQ(std::tuple(x->width, x->height, x->at(4 - 1, ny - 1 - 3), x->at(0, 0), y->at(4 - 1, nx - 1 - 2)),
            std::tuple(nz - 1, ny - 1, 0, 9, 0));
  EXPECT_EQ(std::tuple(z->width, z->at(2 - 1, ny - 1 - 3), std::count(z->index.begin(), z->index.end(), 0)),
            std::tuple(nx - 1, 0, 1L));
  // Out of range: nothing, the shown picture stays.
  EXPECT_FALSE(BuildSlice(SliceAxis::X, 0, nx, ny, nz, field, s));
  EXPECT_FALSE(BuildSlice(SliceAxis::Z, nz, nx, ny, nz, field, s));
}

TEST(LiveView, FrameFiles) {
  EXPECT_EQ(std::vector<std::string>({FrameFileName('X', 1), FrameFileName('Y', 100000), FrameFileName('Y', 1234567)}),
            std::vector<std::string>({"X_____1.bmp", "Y100000.bmp", "Y1234567.bmp"}));

  rvtest::TempDir dir;
  auto field = [](int i, int j, int) { return i == 1 && j == 1 ? -1.0 : 0.0; };
  const auto p = BuildSlice(SliceAxis::Z, 1, 4, 3, 3, field, MakeLiveScale(1, 0, false));
  ASSERT_TRUE(p);
  const std::string path = dir / FrameFileName('Z', 1);
  ASSERT_TRUE(WriteSliceBmp(path, *p));
  const std::string b = rvtest::ReadBytes(path);
  // 3 x 2 pixels, rows of 9 bytes padded to 12, stored bottom-up.
  ASSERT_EQ(b.size(), 54u + 24u);
  EXPECT_EQ(b.substr(0, 2), "BM");
  // Cell (1, 1) is the bottom-left pixel: the first one stored, magenta (blue, green, red);
  // the next pixel is black.
  EXPECT_EQ(b.substr(54, 4), std::string("\xff\x00\xff\x00", 4));
  EXPECT_FALSE(WriteSliceBmp(dir / "missing/x.bmp", *p));
}

TEST(LiveView, CurrentsFollowTheCirculationOfH) {
  // H = (c z, a x, b y) has curl (b, c, a): the current through a cell's face is the curl
  // times the face's area, whatever the cell sizes.
  SolverData d;
  const int n = 6;
  d.Dx = 0.5, d.Dy = 2, d.Dz = 0.25;
  for (auto* f : {&d.Ex, &d.Ey, &d.Ez, &d.Hx, &d.Hy, &d.Hz}) ASSERT_TRUE(f->allocate(n, n, n));
  const double a = 3, b = -2, c = 5;
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j)
      for (int k = 0; k < n; ++k) {
        d.Hx(i, j, k) = float(c * k * d.Dz);
        d.Hy(i, j, k) = float(a * i * d.Dx);
        d.Hz(i, j, k) = float(b * j * d.Dy);
      }
  // The circulation's sign follows the cell's edges as they are stored.
  EXPECT_NEAR(SliceValue(d, LiveQuantity::Ix, 3, 3, 3, 1), b * d.Dy * d.Dz, 1e-9);
  EXPECT_NEAR(SliceValue(d, LiveQuantity::Iy, 3, 3, 3, 1), c * d.Dz * d.Dx, 1e-9);
  EXPECT_NEAR(SliceValue(d, LiveQuantity::Iz, 3, 3, 3, 1), a * d.Dx * d.Dy, 1e-9);
  // The first cells have no neighbour below: nothing; a cell outside the arrays reads 0.
  // SAR and the temperature rise are zero while they are off.
  for (auto [q, i, j, steps] : {std::tuple{LiveQuantity::Ix, 3, 1, 1}, {LiveQuantity::Hz, n, 3, 1},
                                {LiveQuantity::Iz, n + 5, 3, 1}, {LiveQuantity::SAR, 2, 2, 10},
                                {LiveQuantity::dT, 2, 2, 10}})
    EXPECT_EQ(SliceValue(d, q, i, j, 3, steps), 0) << int(q);

  d.Ex(2, 2, 2) = 3;
  d.Ey(2, 2, 2) = -4;
  EXPECT_DOUBLE_EQ(SliceValue(d, LiveQuantity::AbsE, 2, 2, 2, 1), 5);
  EXPECT_DOUBLE_EQ(SliceValue(d, LiveQuantity::Ey, 2, 2, 2, 1), -4);
}

}  // namespace
}  // namespace rv
