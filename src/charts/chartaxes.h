// Axis labels, the left axis' label step and the window caption of the chart viewer.
#pragma once
#include <string>

namespace rv {

// Label of a linear axis: the value with at most 10 significant digits (plain decimal from
// 1e-4 up, exponent unpadded); a value strictly between -1e-15 and 1e-15 reads "0", or,
// given the axis's tick step, one within 1e-9 of a step of 0 when that is less.
std::string AxisLabelText(double v, double step = 0);

// Label step of the left axis for the range min..max: 0.25 times the power of ten of the
// range's decimal exponent, doubled while more than n labels would fit, n being the plot
// height over the label font height, limited to 1..10. Returns 0 (automatic) for a range
// that is not finite.
double LeftAxisStep(double axisMin, double axisMax, int plotHeightPx, int labelFontHeightPx);
// Minor ticks between two labels of a linear axis.
inline constexpr int AxisMinorTicks = 4;

// The window caption: "График " + w + "x" + h + " (" + w/37.8 + "x" + h/37.8 + ") см"
// (pixels of the chart, centimetres at 37.8 pixels per centimetre, one decimal).
std::string ChartCaption(int chartWidthPx, int chartHeightPx);

}  // namespace rv
