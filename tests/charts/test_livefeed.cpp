#include <gtest/gtest.h>

#include <thread>

#include "charts/livefeed.h"

using namespace rv;

namespace {
// Three run curves "c0".."c2" in `m`, each with its feed handle.
std::vector<LiveFeed::Handle> OpenThree(ChartModel& m, LiveFeed& feed) {
  std::vector<LiveFeed::Handle> h;
  for (const char* t : {"c0", "c1", "c2"}) h.push_back(feed.Open(m.Series[std::size_t(m.AddRunSeries(t))].id));
  return h;
}
}  // namespace

// A calculation thread appends to three curves while the GUI thread drains; every point
// arrives once, in order, in its own curve.
TEST(LiveFeed, ConcurrentAppendAndDrain) {
  ChartModel m;
  LiveFeed feed;
  const std::vector<LiveFeed::Handle> h = OpenThree(m, feed);
  const int n = 20000;
  std::atomic<bool> done{false};
  std::thread calc([&] {
    for (int i = 0; i < n; ++i)
      for (int c = 0; c < 3; ++c) feed.Append(h[std::size_t(c)], i, c * 1e6 + i);
    done = true;
  });
  while (!done || feed.Pending() > 0) {
    feed.Drain(m);
    std::this_thread::yield();
  }
  calc.join();
  feed.Drain(m);
  for (int c = 0; c < 3; ++c) {
    const ChartSeries& s = m.Series[std::size_t(c)];
    ASSERT_EQ(s.Count(), std::size_t(n));
    for (int i = 0; i < n; ++i) {
      ASSERT_EQ(s.X[std::size_t(i)], i);
      ASSERT_EQ(s.Y[std::size_t(i)], c * 1e6 + i);
    }
  }
  EXPECT_EQ(feed.Pending(), 0u);
}

// The user closes the middle curve during a run: closing moves the third curve into its
// slot. The closed curve's points are dropped; none of them lands in the moved curve.
TEST(LiveFeed, CurveClosedDuringRunIsSkipped) {
  ChartModel m;
  LiveFeed feed;
  const std::vector<LiveFeed::Handle> h = OpenThree(m, feed);
  std::atomic<int> step{0};
  std::atomic<bool> stop{false};
  std::thread calc([&] {
    for (int i = 0; !stop; ++i) {
      for (int c = 0; c < 3; ++c) feed.Append(h[std::size_t(c)], i, c);  // Y names the curve
      step = i;
      if (i > 200000) break;
    }
  });
  while (step < 1000) feed.Drain(m);
  m.CloseGraphs({1});  // GUI thread, between two drains
  const int closedAt = step;
  while (step < closedAt + 2000) feed.Drain(m);
  stop = true;
  calc.join();
  feed.Drain(m);
  ASSERT_EQ(m.SeriesCount(), 2);
  EXPECT_EQ(m.Series[1].Title, "c2");
  for (double y : m.Series[0].Y) ASSERT_EQ(y, 0);
  for (double y : m.Series[1].Y) ASSERT_EQ(y, 2);
  EXPECT_GT(m.Series[1].Count(), std::size_t(closedAt + 1000));
  // The stale handle takes nothing more.
  feed.Append(h[1], 0, 1);
  EXPECT_EQ(feed.Pending(), 0u);

  // A new run makes the old handles stale.
  feed.CloseAll();
  feed.Append(h[0], 1, 1);
  EXPECT_EQ(feed.Pending(), 0u);
  m.DeleteAll();
  const LiveFeed::Handle nh = feed.Open(m.Series[std::size_t(m.AddRunSeries("new"))].id);
  EXPECT_NE(nh, h[0]);
  feed.Append(h[2], 5, 5);
  feed.Append(nh, 1, 1);
  const auto d = feed.Drain(m);
  ASSERT_EQ(d.size(), 1u);
  EXPECT_EQ(std::tuple(d[0].series, d[0].first, m.Series[0].Count()), std::tuple(0, 0u, 1u));
}
