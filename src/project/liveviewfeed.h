// The live view's way from the fields to the window and the disk. After a step the
// calculation thread only copies the values of the three slices; a helper thread of the
// feed colours them, writes the frame files and hands the finished frame to the window.
//
// The run never waits for the display: a frame only for the eye is taken at most every
// DisplayIntervalMs, after a pause of 19 times what the last one took, and only while the
// helper has nothing queued, so such frames are skipped when the run is fast, the quantity
// costly or the helper behind. Disk frames are never skipped: the run
// waits for the helper when a few of them are queued already.
#pragma once
#include <array>
#include <atomic>
#include <climits>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "project/liveview.h"

namespace rv {

struct SolverData;

// What the view draws and writes, as its window's controls say.
struct LiveViewSettings {
  bool On = true;       // drawing on
  bool Shown = false;   // the window is on screen
  bool ToDisk = false;  // frames written as files
  std::array<bool, 3> Planes{true, true, true};  // the X, Y, Z slices written
  int Rate = 1;         // every Rate-th step
  LiveQuantity Quantity = LiveQuantity::Ey;
  std::array<int, 3> Pos{25, 25, 25};  // slice planes i, j, k
  LiveScale Scale;
  std::string ImagesDir;  // where the frame files go, ending in "/"
};

// A finished frame for the window.
struct LiveFrame {
  int Step = 0;
  float Time = 0;        // c*t, metres
  bool NoScale = false;  // the scale's maximum equals its minimum: nothing drawn
  bool Failed = false;   // a frame file could not be written
  // The X, Y and Z slices; none where the plane lies outside the grid.
  std::array<std::optional<SlicePicture>, 3> Slices;
};

class LiveViewFeed {
public:
  static constexpr int64_t DisplayIntervalMs = 40;

  // `diskBacklog`: disk frames that may wait for the helper before the run waits.
  explicit LiveViewFeed(int diskBacklog = 4);
  // Finishes the frames queued, then ends the helper.
  ~LiveViewFeed();
  LiveViewFeed(const LiveViewFeed&) = delete;
  LiveViewFeed& operator=(const LiveViewFeed&) = delete;

  void SetSettings(const LiveViewSettings& s);
  LiveViewSettings Settings() const;
  // Called on the helper thread whenever a frame for the window is ready.
  void SetFrameReady(std::function<void()> f);

  // A run starts: its frames are numbered from 1 again.
  void ResetFrames();
  // The number of the last frame written (or queued to be).
  int FrameNumber() const { return frameNumber_.load(); }

  // After step `step` (1-based), time c*t: takes the slices when the step is due, or when
  // a redraw was asked for. Called by the thread that writes the fields, or by another
  // while they hold still.
  void DrawSlices(const SolverData& d, int step, double time);
  // The next DrawSlices takes a frame for the window whatever the rate (the settings
  // changed during a run).
  void RequestRedraw() { redraw_ = true; }
  // A frame for the window at once (the fields hold still: a paused run).
  void Redraw(const SolverData& d, int step, double time);
  // Waits until every frame taken is coloured, written and handed over.
  void Flush();
  // The newest finished frame not yet taken.
  std::optional<LiveFrame> TakeFrame();

private:
  struct Capture;
  void capture(const SolverData& d, int step, double time, bool display, int frame,
               const LiveViewSettings& s);
  void publish(LiveFrame f);
  void helperLoop();
  void finish(Capture& c);

  const size_t backlog_;
  mutable std::mutex settingsM_;
  LiveViewSettings settings_;
  std::atomic<int> frameNumber_{0};
  std::atomic<bool> redraw_{false};
  int64_t nextDisplayMs_ = INT64_MIN;  // no frame only for the eye before this time

  std::mutex m_;
  std::condition_variable cv_;      // the helper waits for work
  std::condition_variable doneCv_;  // the run and Flush wait for the helper
  std::deque<std::unique_ptr<Capture>> queue_;
  std::vector<std::unique_ptr<Capture>> spare_;  // buffers to reuse
  bool busy_ = false;  // the helper works on a frame
  bool quit_ = false;
  std::optional<LiveFrame> latest_;
  std::function<void()> frameReady_;
  std::thread helper_;
};

}  // namespace rv
