#include "project/liveviewfeed.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "solver/solverdata.h"
#include "solver/timeloop.h"
#include "solver/workpool.h"

namespace rv {

namespace {

constexpr SliceAxis kAxes[3] = {SliceAxis::X, SliceAxis::Y, SliceAxis::Z};
// Slices of fewer values are copied on the calling thread.
constexpr size_t kParallelPlane = 4096;
// Frames for the eye take at most about 1/20 of the run's time.
constexpr int64_t kDisplayCostShare = 20;

// A slice's picture axes as BuildSlice lays them out: `a` across (1..na-1), `b` up
// (1..nb-1).
struct PlaneShape {
  int na, nb;
};
PlaneShape ShapeOf(SliceAxis axis, int nx, int ny, int nz) {
  return {axis == SliceAxis::Z ? nx : nz, axis == SliceAxis::Y ? nx : ny};
}
int AxisLength(SliceAxis axis, int nx, int ny, int nz) {
  return axis == SliceAxis::X ? nx : axis == SliceAxis::Y ? ny : nz;
}

const t3DSpaceArray* ComponentOf(const SolverData& d, LiveQuantity q) {
  switch (q) {
    case LiveQuantity::Ex: return &d.Ex;
    case LiveQuantity::Ey: return &d.Ey;
    case LiveQuantity::Ez: return &d.Ez;
    case LiveQuantity::Hx: return &d.Hx;
    case LiveQuantity::Hy: return &d.Hy;
    case LiveQuantity::Hz: return &d.Hz;
    default: return nullptr;
  }
}

// The values of quantity `q` on one slice, value (a, b) at [(b-1)·(na-1) + a-1]. A field
// component the arrays cover is read straight from its array (this runs between two steps
// of the run); anything else cell by cell. Where every value is a cache line of its own
// (the Z-slice, and the derived quantities), the work threads share the slice.
void CopyPlane(const SolverData& d, LiveQuantity q, SliceAxis axis, int pos, int step, int nx,
               int ny, int nz, std::vector<float>& out) {
  const PlaneShape sh = ShapeOf(axis, nx, ny, nz);
  const size_t w = size_t(sh.na - 1);
  out.resize(w * size_t(sh.nb - 1));
  auto cell = [&](int a, int b) -> std::array<int, 3> {
    if (axis == SliceAxis::X) return {pos, b, a};
    if (axis == SliceAxis::Y) return {b, pos, a};
    return {a, b, pos};
  };
  const bool parallel = out.size() >= kParallelPlane;
  const t3DSpaceArray* c = ComponentOf(d, q);
  if (c && c->inside(nx - 1, ny - 1, nz - 1)) {
    const float* p = c->data();
    if (axis == SliceAxis::Z) {
      // Across the picture runs x, the array's slowest index: walk the picture's columns.
      ParallelFor(1, sh.na, [&](int a) {
        const float* src = p + size_t(a) * c->strideX() + size_t(pos);
        for (int b = 1; b < sh.nb; ++b) out[size_t(b - 1) * w + size_t(a - 1)] = src[size_t(b) * c->strideY()];
      }, parallel);
    } else {
      // Across runs z, the fastest index: rows are contiguous.
      for (int b = 1; b < sh.nb; ++b) {
        const std::array<int, 3> s = cell(1, b);
        const float* src = &(*c)(s[0], s[1], s[2]);
        std::copy(src, src + w, out.begin() + std::ptrdiff_t(size_t(b - 1) * w));
      }
    }
    return;
  }
  ParallelFor(1, sh.nb, [&](int b) {
    for (int a = 1; a < sh.na; ++a) {
      const std::array<int, 3> s = cell(a, b);
      out[size_t(b - 1) * w + size_t(a - 1)] = float(SliceValue(d, q, s[0], s[1], s[2], step));
    }
  }, parallel);
}

}  // namespace

struct LiveViewFeed::Capture {
  int Step = 0;
  float Time = 0;
  bool Display = false;
  int Frame = 0;  // the frame's number on disk; 0: not written
  int Nx = 0, Ny = 0, Nz = 0;
  LiveScale Scale;
  std::array<bool, 3> Planes{};
  std::array<int, 3> Pos{};
  std::array<bool, 3> Inside{};
  std::string Dir;
  std::array<std::vector<float>, 3> Values;
};

LiveViewFeed::LiveViewFeed(int diskBacklog)
    : backlog_(size_t(std::max(1, diskBacklog))), helper_([this] { helperLoop(); }) {}

LiveViewFeed::~LiveViewFeed() {
  {
    std::lock_guard<std::mutex> lk(m_);
    quit_ = true;
  }
  cv_.notify_all();
  doneCv_.notify_all();
  helper_.join();
}

void LiveViewFeed::SetSettings(const LiveViewSettings& s) {
  std::lock_guard<std::mutex> lk(settingsM_);
  settings_ = s;
}

LiveViewSettings LiveViewFeed::Settings() const {
  std::lock_guard<std::mutex> lk(settingsM_);
  return settings_;
}

void LiveViewFeed::SetFrameReady(std::function<void()> f) {
  std::lock_guard<std::mutex> lk(m_);
  frameReady_ = std::move(f);
}

void LiveViewFeed::ResetFrames() { frameNumber_ = 0; }

void LiveViewFeed::DrawSlices(const SolverData& d, int step, double time) {
  LiveViewSettings s;
  bool due = false;
  {
    std::lock_guard<std::mutex> lk(settingsM_);
    const LiveViewSettings& c = settings_;
    if (!c.On || (!c.Shown && !c.ToDisk)) return;
    due = step % std::max(1, c.Rate) == 0;
    if (!due && !(redraw_ && c.Shown)) return;
    s = c;
  }
  const bool disk = due && s.ToDisk;
  const bool redraw = redraw_.exchange(false);
  if (!disk) {
    // For the eye only: no faster than a screen shows them, no more of the run's time than
    // its share, and never queued behind others.
    const int64_t now = MonotonicMilliseconds();
    bool skip = !redraw && now < nextDisplayMs_;
    if (!skip) {
      std::lock_guard<std::mutex> lk(m_);
      skip = !queue_.empty();
    }
    if (skip) {
      if (redraw) redraw_ = true;  // asked for: taken at a later step
      return;
    }
  }
  const int64_t start = MonotonicMilliseconds();
  capture(d, step, time, s.Shown, disk ? frameNumber_ + 1 : 0, s);
  if (!disk) {
    const int64_t end = MonotonicMilliseconds();
    nextDisplayMs_ = end + std::max(DisplayIntervalMs, (end - start) * (kDisplayCostShare - 1));
  }
}

void LiveViewFeed::Redraw(const SolverData& d, int step, double time) {
  const LiveViewSettings s = Settings();
  if (!s.On || !s.Shown) return;
  redraw_ = false;
  capture(d, step, time, true, 0, s);
}

void LiveViewFeed::capture(const SolverData& d, int step, double time, bool display, int frame,
                           const LiveViewSettings& s) {
  if (!(s.Scale.max != s.Scale.min)) {
    // Nothing to draw on an empty scale, and nothing written.
    if (display) {
      LiveFrame f;
      f.Step = step;
      f.Time = float(time);
      f.NoScale = true;
      publish(std::move(f));
    }
    return;
  }
  if (frame > 0) frameNumber_ = frame;
  std::unique_ptr<Capture> c;
  {
    std::unique_lock<std::mutex> lk(m_);
    // A disk frame waits for room; the helper is never stopped before the queue is empty.
    if (frame > 0) doneCv_.wait(lk, [&] { return queue_.size() < backlog_ || quit_; });
    if (!spare_.empty()) {
      c = std::move(spare_.back());
      spare_.pop_back();
    }
  }
  if (!c) c = std::make_unique<Capture>();
  c->Step = step;
  c->Time = float(time);
  c->Display = display;
  c->Frame = frame;
  c->Nx = d.Nx, c->Ny = d.Ny, c->Nz = d.Nz;
  c->Scale = s.Scale;
  c->Planes = s.Planes;
  c->Pos = s.Pos;
  c->Dir = s.ImagesDir;
  for (int p = 0; p < 3; ++p) {
    const int n = AxisLength(kAxes[p], c->Nx, c->Ny, c->Nz);
    c->Inside[size_t(p)] = c->Pos[size_t(p)] >= 1 && c->Pos[size_t(p)] <= n - 1 && c->Nx >= 2 &&
                           c->Ny >= 2 && c->Nz >= 2;
    // The window shows all three slices; the disk gets the ones chosen.
    if (c->Inside[size_t(p)] && (display || c->Planes[size_t(p)]))
      CopyPlane(d, s.Quantity, kAxes[p], c->Pos[size_t(p)], step, c->Nx, c->Ny, c->Nz,
                c->Values[size_t(p)]);
    else
      c->Inside[size_t(p)] = false;
  }
  {
    std::lock_guard<std::mutex> lk(m_);
    queue_.push_back(std::move(c));
  }
  cv_.notify_one();
}

void LiveViewFeed::helperLoop() {
  std::unique_lock<std::mutex> lk(m_);
  for (;;) {
    cv_.wait(lk, [&] { return quit_ || !queue_.empty(); });
    if (queue_.empty()) return;  // asked to end, and nothing left to finish
    std::unique_ptr<Capture> c = std::move(queue_.front());
    queue_.pop_front();
    busy_ = true;
    lk.unlock();
    doneCv_.notify_all();  // room for another disk frame
    finish(*c);
    lk.lock();
    busy_ = false;
    spare_.push_back(std::move(c));
    doneCv_.notify_all();
  }
}

void LiveViewFeed::finish(Capture& c) {
  LiveFrame f;
  f.Step = c.Step;
  f.Time = c.Time;
  for (int p = 0; p < 3; ++p) {
    if (!c.Inside[size_t(p)]) continue;
    const std::vector<float>& v = c.Values[size_t(p)];
    const size_t w = size_t(ShapeOf(kAxes[p], c.Nx, c.Ny, c.Nz).na - 1);
    auto field = [&](int i, int j, int k) -> double {
      const std::array<int, 3> ab = p == 0 ? std::array<int, 3>{k, j, 0}
                                    : p == 1 ? std::array<int, 3>{k, i, 0}
                                             : std::array<int, 3>{i, j, 0};
      return v[size_t(ab[1] - 1) * w + size_t(ab[0] - 1)];
    };
    f.Slices[size_t(p)] = BuildSlice(kAxes[p], c.Pos[size_t(p)], c.Nx, c.Ny, c.Nz, field, c.Scale);
  }
  if (c.Frame > 0) {
    std::error_code ec;
    std::filesystem::create_directories(c.Dir, ec);
    for (int p = 0; p < 3; ++p)
      if (c.Planes[size_t(p)] && f.Slices[size_t(p)] &&
          !WriteSliceBmp(c.Dir + FrameFileName("XYZ"[p], c.Frame), *f.Slices[size_t(p)]))
        f.Failed = true;
  }
  if (c.Display || f.Failed) {
    if (!c.Display) f.Slices = {};  // the pictures shown stay
    publish(std::move(f));
  }
}

void LiveViewFeed::publish(LiveFrame f) {
  std::function<void()> ready;
  {
    std::lock_guard<std::mutex> lk(m_);
    latest_ = std::move(f);
    ready = frameReady_;
  }
  if (ready) ready();
}

void LiveViewFeed::Flush() {
  std::unique_lock<std::mutex> lk(m_);
  doneCv_.wait(lk, [&] { return queue_.empty() && !busy_; });
}

std::optional<LiveFrame> LiveViewFeed::TakeFrame() {
  std::lock_guard<std::mutex> lk(m_);
  std::optional<LiveFrame> f = std::move(latest_);
  latest_.reset();
  return f;
}

}  // namespace rv
