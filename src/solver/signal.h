// What the solver asks of the signal source: the waveform's value at a time in seconds.
// Implementations answer 0 for a negative time, a time outside a table, or any
// arithmetic failure, and may be called from the calculation thread.
#pragma once
#include <memory>

namespace rv {

class ISignal {
public:
  virtual ~ISignal() = default;
  virtual double GetSignal(double timeSec) const = 0;
  // v[i] := GetSignal(t[i]) for i < n: one call for a row of values.
  virtual void GetSignals(const double* t, double* v, int n) const {
    for (int i = 0; i < n; ++i) v[i] = GetSignal(t[i]);
  }
  // An object giving the same values without taking a lock per value, for a pass that asks
  // many at once (and from several threads); null when this object takes none.
  virtual std::shared_ptr<const ISignal> Snapshot() const { return nullptr; }
};

// The signal one pass reads: the source's snapshot when it offers one, else the source.
class SignalPass {
public:
  explicit SignalPass(const ISignal* s) : snap_(s ? s->Snapshot() : nullptr), s_(snap_ ? snap_.get() : s) {}
  const ISignal* get() const { return s_; }

private:
  std::shared_ptr<const ISignal> snap_;
  const ISignal* s_;
};

}  // namespace rv
