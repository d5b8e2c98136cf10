// The live view's hand-off: which steps become frames, their files, and what the window gets.
#include <gtest/gtest.h>

#include <filesystem>

#include "common/bmp_read.h"
#include "common/scratch.h"
#include "project/liveviewfeed.h"
#include "solver/solverdata.h"

namespace rv {
namespace {

namespace fs = std::filesystem;

// A grid of 7 x 6 x 5 nodes with one cell of Ey at (3, 2, 4) set to `hot`.
struct Fields {
  SolverData d;
  explicit Fields(float hot) {
    SetGridSize(d, 7, 6, 5);
    for (auto* f : {&d.Ex, &d.Ey, &d.Ez, &d.Hx, &d.Hy, &d.Hz}) {
      EXPECT_TRUE(f->allocate(8, 7, 6));
      f->fill(0.0f);
    }
    d.Ey(3, 2, 4) = hot;
  }
};

LiveViewSettings Settings(const std::string& dir) {
  LiveViewSettings s;
  s.Quantity = LiveQuantity::Ey;
  s.Pos = {3, 2, 4};
  s.Scale = MakeLiveScale(1, 0, false);
  s.ImagesDir = dir;
  return s;
}

std::string Scratch(const char* name) {
  // Not there: the feed makes the folder itself.
  const fs::path p = rvtest::ScratchRoot() / "liveviewfeed" / name;
  fs::remove_all(p);
  return p.string() + "/";
}

TEST(LiveViewFeed, DiskFramesAtTheRateNumberedFromOneAndNeverDropped) {
  const std::string dir = Scratch("disk");
  Fields F(1);
  LiveViewFeed feed(1);  // the run waits for the helper at once
  LiveViewSettings s = Settings(dir);
  s.ToDisk = true;
  s.Rate = 10;
  feed.SetSettings(s);
  for (int step = 1; step <= 200; ++step) feed.DrawSlices(F.d, step, 0);
  feed.Flush();
  EXPECT_EQ(feed.FrameNumber(), 20);
  for (const char* f : {"X_____1.bmp", "Y_____1.bmp", "Z_____1.bmp", "X____20.bmp", "Z____20.bmp"})
    EXPECT_TRUE(fs::exists(dir + f)) << f;
  EXPECT_FALSE(fs::exists(dir + "X____21.bmp"));
  EXPECT_FALSE(feed.TakeFrame());  // the window is hidden: nothing for it

  // X-slice: (Nz-1) x (Ny-1) pixels, the hot cell at (k-1, Ny-1-j) red, all else black.
  const rvtest::Bitmap x = rvtest::ReadBitmap(dir + "X_____1.bmp");
  ASSERT_EQ(std::pair(x.width, x.height), std::pair(4, 5));
  const Rgb red = LivePalette()[0], black = LivePalette()[9], magenta = LivePalette()[18];
  EXPECT_EQ(x.at(3, 3), red);
  EXPECT_EQ(std::count(x.pixels.begin(), x.pixels.end(), black), 19);

  // The next run numbers from 1 again and overwrites.
  F.d.Ey(3, 2, 4) = -1;
  feed.ResetFrames();
  feed.DrawSlices(F.d, 10, 0);
  feed.Flush();
  EXPECT_EQ(rvtest::ReadBitmap(dir + "X_____1.bmp").at(3, 3), magenta);
  EXPECT_EQ(feed.FrameNumber(), 1);
}

TEST(LiveViewFeed, WindowFramesRedrawsPlanesOutsideAndEmptyScale) {
  const std::string dir = Scratch("window");
  Fields F(1);
  LiveViewFeed feed;
  LiveViewSettings s = Settings(dir);
  s.Shown = true;
  s.Rate = 1000;
  s.Pos[0] = 0;  // outside the grid: the X picture shown stays
  // What the window gets from one step, once the helper is done.
  auto step = [&](int n, double t) {
    feed.SetSettings(s);
    feed.DrawSlices(F.d, n, t);
    feed.Flush();
    return feed.TakeFrame();
  };
  EXPECT_FALSE(step(5, 0));
  // A change of settings is drawn at the next step whatever the rate, for the window only.
  feed.RequestRedraw();
  std::optional<LiveFrame> f = step(6, 0.3);
  ASSERT_TRUE(f);
  EXPECT_EQ(std::tuple(f->Step, f->Time, bool(f->Slices[0]), bool(f->Slices[1]), bool(f->Slices[2]), f->Failed),
            std::tuple(6, 0.3f, false, true, true, false));
  EXPECT_EQ(f->Slices[2]->at(2, 6 - 1 - 2), 0);  // Z-slice pixel (i-1, Ny-1-j)
  EXPECT_FALSE(fs::exists(dir));

  // Maximum = minimum: the window is told, nothing is drawn or written.
  s.Scale = MakeLiveScale(0, 0, false);
  s.ToDisk = true;
  s.Rate = 1;
  f = step(7, 0);
  EXPECT_TRUE(f && f->NoScale && feed.FrameNumber() == 0 && !fs::exists(dir));

  // A folder that cannot be made: the window hears of it.
  s.Scale = MakeLiveScale(1, 0, false);
  s.ImagesDir = "/proc/rv_no_such/";
  f = step(8, 0);
  EXPECT_TRUE(f && f->Failed);
}

}  // namespace
}  // namespace rv
