// Point-wise arithmetic, derivative, integral, RC transforms and the commands that combine
// or reshape graphs: the rules of the "Редактировать" commands on plain series and on the
// chart model. Points are deleted in one pass, so every member stays O(n).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "charts/chartmodel.h"

namespace rv {

// The in-place members of the "X" and "Y" menus and their tool buttons.
enum class PointOp {
  ShiftX, MulX, DivX, InvX, ShiftY, MulY, DivY, SqrtAbsY, SquareY, AbsY, NegY, InvY,
  UtoI, XdivY, YdivX, SwapXY, XFromZero, DB
};

// The current sensor whose output voltage U→I turns into its input current.
inline constexpr const char* kSensorName = "ДТ-7";

// Changes the graph point by point (v: the number typed, where the member takes one) and
// appends the member's title suffix. A reciprocal or a ratio leaves its axis' title empty;
// a swap swaps the titles, those of `axes` standing for the ones the graph has not.
void ApplyPointOp(ChartSeries& g, PointOp op, double v = 0, const ChartTexts* axes = nullptr);
// The member's title suffix ("" for none).
std::string PointOpSuffix(PointOp op);
// The sensor's current (A) for its output voltage (V); NaN stays NaN.
double SensorCurrent(double volts);

// Derivative: slopes of the intervals at their middles (n−1 points), title "(произв.)".
void Derivative(ChartSeries& g);
// Running integral by trapezoids at each interval's right end (n−1 points), " (интегр.)".
void RunningIntegral(ChartSeries& g);
// The running sums (integral, mean, RMS, the RC transforms) first drop the points whose X
// is NaN (NanXCount tells how many that will be).
// Running mean from the first X (" (среднее)") and running RMS (" (среднеквадратич.)"),
// both over X − X0.
void RunningMean(ChartSeries& g);
void RunningRms(ChartSeries& g);

// RC differentiation (input → output of a high-pass RC with time constant tau seconds, X
// times timeUnit in seconds), title "(дифф)"; and its exact inverse, "(интегр.)". Local
// recurrences: finite for any X.
void RcDifferentiate(ChartSeries& g, double tau, double timeUnit);
void RcIntegrate(ChartSeries& g, double tau, double timeUnit);
// The quantisation-error model after an RC differentiation: Y to multiples of
// q = (Ymax − Ymin)/levels, then −q with probability 0.2 and +q with probability 0.2.
// q = 0 leaves the points as they are.
void Quantize(ChartSeries& g, int levels, std::uint32_t seed);

// Values of the graph at n evenly spaced X from x1 to x2, linearly interpolated from the
// graph read in time order (TimeOrdered); 0 where it gives none (outside its range, or a
// graph whose X rise and fall).
std::vector<double> ValuesOnGrid(const ChartSeries& g, int n, double x1, double x2);
// Sum ("Сумма") or product ("Произведение") of the chosen series on the common grid over
// the X range of every series; a new graph with the first one's X title and, for a sum of
// curves of one Y title, that one (else none the program can name). Returns its index, −1
// with no series chosen.
int CombineGraphs(ChartModel& m, const std::vector<int>& chosen, bool product);
// Splice: a's points with X <= t, then b's with X > t, as a new graph titled like a.
int SpliceGraphs(ChartModel& m, int a, int b, double t);
// Clone of series k resampled onto `points` points over its own X range.
int CloneGraph(ChartModel& m, int k, int points);
inline constexpr int kMaxClonePoints = 10'000'000;
// Normalisation by the one largest |Y| of the chosen series (nothing when it is 0).
void Normalize(ChartModel& m, const std::vector<int>& chosen);
// Keeps the points of even index and the last one.
void HalvePoints(ChartSeries& g);
// Keeps the points with lo <= X <= hi.
void Crop(ChartSeries& g, double lo, double hi);
// Every file name becomes the series' title followed by ".grf".
void FileNamesFromTitles(ChartModel& m);
// The list division's file lines as divisors, one per series; "" when they are sound, else
// the message (nothing is divided then).
std::string ListDivisors(const std::vector<std::string>& lines, int seriesCount, std::vector<double>& d);

// The active graph changes places with its neighbour (step −1: the one before, +1: the one
// after), file names too, and stays active; false (nothing changed) at either end.
bool MoveActiveGraph(ChartModel& m, int step);

}  // namespace rv
