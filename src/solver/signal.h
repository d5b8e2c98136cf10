// What the solver asks of the signal source: the waveform's value at a time in seconds.
// Implementations answer 0 for a negative time, a time outside a table, or any
// arithmetic failure, and may be called from the calculation thread.
#pragma once

namespace rv {

class ISignal {
public:
  virtual ~ISignal() = default;
  virtual double GetSignal(double timeSec) const = 0;
};

}  // namespace rv
