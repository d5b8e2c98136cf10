// The exponential of the signal's waveforms, one value or a row of values: within one unit
// in the last place of the exact value, and the same bits for a value however it is asked
// (alone, anywhere in a row, on either code path of the row), so a row of the waveform
// equals its values one by one.
#pragma once

namespace rv {

double ExpOf(double x);
// y[i] := ExpOf(x[i]) for i < n; y may be x.
void ExpRow(const double* x, double* y, int n);

}  // namespace rv
