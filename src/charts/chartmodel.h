// The curves of the chart window and every rule that adds, closes and picks them.
// The window only draws this model; every command is a function here, so it is testable
// without a window. Everything runs on the GUI thread; points from a running calculation
// arrive through LiveFeed.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace rv {

// Colours as 0x00BBGGRR: 0x0000FF is red, 0xFF0000 is blue.
using TColor = std::uint32_t;
inline constexpr int PaletteSize = 14;
// Palette entry (index taken modulo 14).
TColor PaletteColor(int index);

enum class PenStyle { Solid, Dash, Dot, DashDot, DashDotDot };

// Identity of a curve. It travels with the points (closing a graph moves later curves
// into earlier slots), never repeats, and is what a run's live feed writes to.
using CurveId = std::uint64_t;

// Tag of a series: 0 a user graph, any other value an auxiliary series; 1 also marks a
// series that Close is about to remove.
inline constexpr int UserGraphTag = 0;
inline constexpr int RemoveMarkTag = 1;

struct ChartSeries {
  CurveId id = 0;
  std::string Title;
  int Tag = UserGraphTag;
  TColor Color = 0;
  int PenWidth = 1;
  PenStyle Style = PenStyle::Solid;
  bool ShowInLegend = true;
  // Points in the order they were added; X need not increase.
  std::vector<double> X, Y;
  // A modulus graph made by a spectrum command: what its moduli were divided by (1 for a
  // spectral density, T/2 for amplitudes), so a rebuilt signal can undo it. 0: not known
  // (any other curve, or one read from a file). It travels with the points.
  double SpectrumDivisor = 0;
  // A graph made by a spectrum command: the unit of its X (0 Hz, 1 kHz, 2 MHz, 3 GHz), so
  // a rebuilt signal reads its frequencies right. -1: not known. It travels with the points.
  int SpectrumFreqUnit = -1;
  // The titles of the curve's own X and Y ("t, нс", "f, ГГц", "Z, Ом"; empty: a quantity
  // the program cannot name), written with it to a file whatever the axes show then.
  // None: the curve is of what the axes show. They travel with the points.
  std::optional<std::string> XTitle, YTitle;

  std::size_t Count() const { return X.size(); }
  void AddXY(double x, double y) { X.push_back(x); Y.push_back(y); }
  void Clear() { X.clear(); Y.clear(); }
  // Extremes over the points that are not NaN; false when there are none.
  bool XRange(double& lo, double& hi) const;
  bool YRange(double& lo, double& hi) const;
  // True when X never decreases (NaN X ignored): such a curve can be drawn as a function.
  bool XNonDecreasing() const;
};

// Texts of the chart that curve files carry (title, axis titles, footer).
struct ChartTexts {
  std::vector<std::string> Title;
  std::vector<std::string> Foot;
  std::string BottomAxisTitle = "Ось X";
  // The Y-axis title (line 3 of a curve file), drawn horizontally above the plot.
  std::string YAxisCaption;
  // The top and right axes are hidden; their titles are kept for the titles dialog.
  std::string TopAxisTitle, RightAxisTitle;
  // Title angles in degrees, kept as the user set them (titles are drawn along their axes).
  int LeftAngle = 90, RightAngle = 270, TopAngle = 0, BottomAngle = 0;
};

// What an X and Y axis title pair measures: time ("t, …"), frequency ("f, …"), impedance
// (frequency with "Z, Ом"); Other for any title the program does not make itself.
enum class AxisKind { Time, Frequency, Impedance, Other };
AxisKind AxisKindOf(const std::string& xTitle, const std::string& yTitle);

class ChartModel {
public:
  // Series and their file names are kept side by side, index for index.
  std::vector<ChartSeries> Series;
  std::vector<std::string> FileNames;
  int ActiveGraph = -1;
  int UnnamedGraphCounter = 1;
  CurveId LastSeries = 0;  // curve made last by AddNamedSeries and the graph builders
  ChartTexts Texts;
  TColor BackColor = 0xFFFFFF;  // the chart's background; the legend takes it too

  int SeriesCount() const { return int(Series.size()); }
  bool HasSeries() const { return !Series.empty(); }
  // Index of the series that holds the curve, -1 when it was closed.
  int IndexOf(CurveId id) const;
  // The series made last, or nullptr when it is gone.
  ChartSeries* LastSeriesPtr();

  // Palette entry for the current number of series (before a new one is added).
  TColor SeriesDefaultColor() const;

  // A new series at the end: solid pen of width 1, the given colour, Tag 0, a fresh curve
  // identity, the file name entry beside it; becomes LastSeries. Returns its index.
  int AddSeries(const std::string& title, TColor color, const std::string& fileName);
  // A named graph: default colour, becomes the active graph, the bottom-axis title "t, нс"
  // (SetAxisTitles), the file name entry without "/", "\" and ":", the unnamed-graph
  // counter increased. Returns the new index.
  int AddNamedSeries(const std::string& name);
  // A series of a calculation's output: default colour, the title as file name entry, its
  // X in nanoseconds ("t, нс"), becomes the active graph. Returns the new index.
  int AddRunSeries(const std::string& title);
  // "Без имени-" and the counter, and the counter increased.
  std::string NextUnnamedName();

  // A command turns the axes to other titles: the curves without titles of their own keep
  // the ones the axes showed, on each axis whose title changes.
  void SetAxisTitles(const std::string& x, const std::string& y);
  // The user renamed the axes (Texts already hold the new titles): the curves whose own
  // titles were the old ones take the new ones.
  void AxisTitlesRenamed(const std::string& oldX, const std::string& oldY);
  // The titles a file of the curve carries: its own, else the axes'.
  std::string XTitleOf(const ChartSeries& s) const { return s.XTitle.value_or(Texts.BottomAxisTitle); }
  std::string YTitleOf(const ChartSeries& s) const { return s.YTitle.value_or(Texts.YAxisCaption); }

  // The kind of a series (its own titles, else the axes') and of the axes.
  AxisKind KindOf(const ChartSeries& s) const { return AxisKindOf(XTitleOf(s), YTitleOf(s)); }
  AxisKind ShownKind() const { return AxisKindOf(Texts.BottomAxisTitle, Texts.YAxisCaption); }
  // A series is drawn on axes of its own kind: a time curve is no line on a frequency axis.
  // A title the program did not make gives no kind, and such a series or axes show all.
  bool OnAxes(int index) const;
  // How many series are kept but not drawn on the axes shown.
  int OffAxesCount() const;
  // Turns the axes to the kind k, titled as the last series of that kind; false when no
  // series is of it.
  bool ShowKind(AxisKind k);

  // "Закрыть все": every series and file name gone, no active graph.
  void DeleteAll();
  // Closes the chosen series (indices into Series; only user graphs are taken): marks
  // them, moves the later user graphs' points, titles, names and identities into the
  // freed slots (each slot keeps its colour and pen), removes what is left marked and
  // keeps the active graph on the curve it was on, else on the last series.
  void CloseGraphs(const std::vector<int>& chosen);

  // Indices of the user graphs (Tag 0), in chart order: list entry k is series [k].
  std::vector<int> UserGraphIndices() const;
  int UserGraphCount() const;

  // Makes a series the active one (clamped into range; -1 with no series).
  void SetActiveGraph(int index);
  // Legend click: the series becomes active; unless lines are fixed every pen gets width 1
  // and the active one width 2.
  void PickFromLegend(int index, bool fixLines);

  // Status text of the active graph: "Активен график № k (n точек)", empty without one.
  std::string ActiveGraphText() const;
  // Legend entry: position plus one, ". " and the title (a path: its file name).
  std::string LegendText(int index) const;

  // Series and file names out of step: the message for the user and the list padded with
  // "Error" entries (or cut) until they agree. Empty when they agree.
  std::string RepairFileNames();

private:
  CurveId nextId_ = 1;
};

// Appends to `target` n points with evenly spaced X from xStart to xEnd and Y linearly
// interpolated from `source`; 0 outside the source's X range. The source is read in time
// order (TimeOrdered); one whose X rise and fall, or of fewer than 2 points, gives nothing.
void ResampleSeries(const ChartSeries& source, ChartSeries& target, int n, double xStart, double xEnd);

// Points whose X is NaN have no place on the X axis: every command that resamples or sums
// a curve leaves them out and says how many it left out.
std::size_t NanXCount(const std::vector<double>& X);
// Removes the points whose X is NaN; returns how many went.
std::size_t DropNanX(std::vector<double>& X, std::vector<double>& Y);
// The message for points left out, one line per graph (title, count); empty when none were.
std::string SkippedNanXText(const std::vector<std::pair<std::string, std::size_t>>& graphs);

// Every command that samples a curve in time reads it with X rising. A curve written with
// falling times (a file from another tool) is the same curve read backwards: TimeOrdered
// copies it with NaN X left out and, when no X rises, in reverse. False, with the copies
// left empty, when X both rises and falls: no order of the points is the curve as drawn.
// Repeated X (a vertical step) are kept in their order.
bool TimeOrdered(const std::vector<double>& X, const std::vector<double>& Y, std::vector<double>& outX,
                 std::vector<double>& outY);
// True when X never falls and holds no NaN: the curve can be read as it stands.
bool InTimeOrder(const std::vector<double>& X);
// The refusal for such a curve, naming it.
std::string UnorderedTimeText(const std::string& title);

// What the legend shows of a title: an absolute path gives its file name (the title keeps
// the path for the graph lists and the saved file); any other title as it is.
std::string LegendName(const std::string& title);

// File name entry of a named graph: every "/", "\" and ":" removed.
std::string StripPathChars(const std::string& name);

}  // namespace rv
