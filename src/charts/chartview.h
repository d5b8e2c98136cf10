// How the chart window's view commands change the model and the axes: zoom, fitting the
// active graph, the print rectangle, legend texts, the point table and the mouse edits.
#pragma once
#include <string>
#include <utility>
#include <vector>

#include "charts/chartmodel.h"

namespace rv {

// An axis range: min below max for a sound axis.
struct AxisSpan {
  double Min = 0, Max = 1;
};

// "Увеличить" (factor 1.15) and "Уменьшить" (0.85): the span divided by the factor about
// its centre.
AxisSpan ZoomSpan(AxisSpan a, double factor);
inline constexpr double kZoomIn = 1.15, kZoomOut = 0.85;
// "Уменьшить по вертикали": d = the larger of |Max| and |Min| over 20 added on both sides.
AxisSpan StretchVertical(AxisSpan a);
// Extremes of the finite values; false when there are none.
bool FiniteRange(const std::vector<double>& v, double& lo, double& hi);
// Fits an axis to the graph's extremes lo..hi in two passes; each limit moves only while the
// minimum stays below the maximum, so the result is lo..hi whatever the axis was before
// (unless lo equals hi).
AxisSpan FitSpan(AxisSpan a, double lo, double hi);

// The print rectangle on a page of w x h printer pixels: 5 % margins, the top 1/n of the
// printable height (n = 2 for half a page, 1 for a whole one).
struct PrintRect {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;
};
PrintRect ChartPrintRect(int w, int h, int n);

// The legend editor's lines as titles: line k names the k-th user graph; a graph with no
// line keeps its title, extra lines are ignored.
void ApplyLegendTexts(ChartModel& m, const std::vector<std::string>& lines);

// The point table: at most this many points are shown.
inline constexpr std::size_t kMaxTablePoints = 10000;
inline constexpr const char* kTooManyPoints = "Больше 10000 точек нецелесобразно показывать - очень долго!!";
// A cell's text: 10 significant digits, exponent unpadded.
std::string PointCellText(double v);
// Reads every row (X, Y texts) before anything changes; a row whose two cells are blank is
// skipped. On a cell that is not a number returns false with a message naming its row
// (1-based) and leaves `g` as it was; else `g` holds the rows' points in order.
bool ReadPointRows(const std::vector<std::pair<std::string, std::string>>& rows, ChartSeries& g,
                   std::string& err);

// Moves every point of the graph by (dx, dy).
void ShiftSeries(ChartSeries& g, double dx, double dy);
// Sets Y := y for the points whose X lies in [xlo, xhi) (one pixel column of the chart);
// returns their indices.
std::vector<std::size_t> SetColumnY(ChartSeries& g, double xlo, double xhi, double y);
// The pointer's position and the rubber line's difference in the status line.
std::string PointerText(double x, double y);
std::string RubberText(double dx, double dy);

}  // namespace rv
