// How a long chart computation reports progress and learns that the user pressed "СТОП".
#pragma once

namespace rv {

class ILongTask {
public:
  virtual ~ILongTask() = default;
  // A whole percentage, reported only when it changes (the window repaints and lets
  // pending events through at that moment).
  virtual void Progress(int percent) = 0;
  virtual bool StopRequested() const = 0;
};

// Turns a running count into whole-percent reports: Step(i) calls Progress only when the
// percentage of i out of total differs from the last one reported.
class PercentCounter {
public:
  PercentCounter(ILongTask& task, long long total) : task_(task), total_(total > 0 ? total : 1) {}
  // Returns false when the computation should stop.
  bool Step(long long done) {
    const int p = int(done * 100 / total_);
    if (p != last_) {
      last_ = p;
      task_.Progress(p);
    }
    return !task_.StopRequested();
  }

private:
  ILongTask& task_;
  long long total_;
  int last_ = -1;
};

}  // namespace rv
