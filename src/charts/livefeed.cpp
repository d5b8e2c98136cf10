#include "charts/livefeed.h"

namespace rv {

LiveFeed::Buffer* LiveFeed::find(Handle h) const {
  if (h < base_ || h - base_ >= buffers_.size()) return nullptr;
  return buffers_[std::size_t(h - base_)].get();
}

LiveFeed::Handle LiveFeed::Open(CurveId curve) {
  std::unique_lock g(reg_);
  auto b = std::make_unique<Buffer>();
  b->curve = curve;
  buffers_.push_back(std::move(b));
  return base_ + buffers_.size() - 1;
}

void LiveFeed::Append(Handle h, double x, double y) {
  std::shared_lock g(reg_);
  Buffer* b = find(h);
  if (!b || b->closed.load(std::memory_order_relaxed)) return;
  std::lock_guard bl(b->lock);
  if (b->closed.load(std::memory_order_relaxed)) return;
  b->x.push_back(x);
  b->y.push_back(y);
  pending_.fetch_add(1, std::memory_order_relaxed);
}

void LiveFeed::Close(Handle h) {
  std::shared_lock g(reg_);
  Buffer* b = find(h);
  if (!b) return;
  std::lock_guard bl(b->lock);
  b->closed = true;
  pending_.fetch_sub(b->x.size(), std::memory_order_relaxed);
  b->x.clear();
  b->y.clear();
  b->x.shrink_to_fit();
  b->y.shrink_to_fit();
}

void LiveFeed::CloseAll() {
  std::unique_lock g(reg_);
  base_ += buffers_.size();
  buffers_.clear();
  pending_ = 0;
}

std::vector<LiveFeed::Delivered> LiveFeed::Drain(ChartModel& m) {
  std::vector<Delivered> out;
  std::shared_lock g(reg_);
  std::vector<double> xs, ys;
  for (auto& bp : buffers_) {
    Buffer& b = *bp;
    if (b.closed.load(std::memory_order_relaxed)) continue;
    const int idx = m.IndexOf(b.curve);
    {
      std::lock_guard bl(b.lock);
      if (idx < 0) b.closed = true;
      xs.swap(b.x);
      ys.swap(b.y);
      pending_.fetch_sub(xs.size(), std::memory_order_relaxed);
    }
    if (idx >= 0 && !xs.empty()) {
      ChartSeries& s = m.Series[std::size_t(idx)];
      out.push_back({idx, s.Count()});
      s.X.insert(s.X.end(), xs.begin(), xs.end());
      s.Y.insert(s.Y.end(), ys.begin(), ys.end());
    }
    xs.clear();
    ys.clear();
  }
  return out;
}

}  // namespace rv
