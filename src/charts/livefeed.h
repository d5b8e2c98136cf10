// Points of a running calculation on their way to the chart.
// The calculation thread never touches the chart model: it appends to a locked buffer per
// curve, found by a handle; the GUI thread drains the buffers on a short timer. A handle
// names a curve, not a slot of the chart, so points of a curve the user closed during the
// run are dropped instead of landing in whatever series took its place.
#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <vector>

#include "charts/chartmodel.h"

namespace rv {

class LiveFeed {
public:
  using Handle = std::uint64_t;  // 0 is never a valid handle
  static constexpr Handle NoHandle = 0;

  LiveFeed() = default;
  LiveFeed(const LiveFeed&) = delete;
  LiveFeed& operator=(const LiveFeed&) = delete;

  // GUI thread: a buffer for the curve (made through the model, usually by AddRunSeries).
  Handle Open(CurveId curve);
  // Any thread: one point. A stale, closed or unknown handle is ignored.
  void Append(Handle h, double x, double y);
  // Any thread: no more points for this handle; pending ones are dropped.
  void Close(Handle h);
  // GUI thread, at a run's start or end: every handle becomes stale.
  void CloseAll();

  // Points waiting to be drained (any thread; a hint, not a promise).
  std::size_t Pending() const { return pending_.load(std::memory_order_relaxed); }

  // What a drain added to a series: its index and the first new point's index.
  struct Delivered {
    int series;
    std::size_t first;
  };
  // GUI thread: moves the waiting points into their curves' series. A curve that is no
  // longer in the model closes its handle and its points are dropped.
  std::vector<Delivered> Drain(ChartModel& m);

private:
  struct Buffer {
    std::mutex lock;
    CurveId curve = 0;
    std::atomic<bool> closed{false};
    std::vector<double> x, y;
  };
  Buffer* find(Handle h) const;  // caller holds reg_ (shared or unique)

  mutable std::shared_mutex reg_;
  std::vector<std::unique_ptr<Buffer>> buffers_;
  Handle base_ = 1;  // handle of buffers_[0]; handles below it are stale
  std::atomic<std::size_t> pending_{0};
};

}  // namespace rv
