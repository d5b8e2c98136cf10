// Curve files: the text format of every result curve (one point per line: X, a blank, Y,
// then an optional text; the texts of lines 1..5 carry the title, the X-axis title, the
// Y-axis title and two footer lines), the oscilloscope CSV exports, and the temporary
// curve file that generators write and read back.
#pragma once
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "charts/chartmodel.h"

namespace rv {

// Numbers of the chart viewer: the general format with p significant digits, plain
// decimal from 1e-4 up, the exponent padded to d digits (d of 5 or more: no padding).
std::string ChartNumber(double v, int p, int d = 0);
// Curve-file numbers: ChartNumber(v, 15).
std::string CurveNumber(double v);
// Curve-file number text: the general format, and also NAN, INF, -INF as this program
// writes them (a saved curve with a division by zero must load again).
bool ParseCurveNumber(std::string_view s, double& v);

struct CurveLoadResult {
  bool ok = true;           // false: `message` says what went wrong
  bool fileOpened = true;   // false: the file could not be read at all (nothing added)
  std::string message;      // for the user (Russian)
  bool noPoints = false;   // a readable file without a single point (nothing added)
  int seriesAdded = 0;      // series the call added (kept also when ok is false)
  bool declined = false;    // the user chose not to add a file of very many channels
  // For the user even when ok: a last line cut short (no line end, numbers shorter than
  // this program writes them) that was not read.
  std::string note;
};

// More channels than the chart window shows usefully: the legend under the plot, one line
// per graph, no longer fits a screen (100 lines of 14 pixels), and the 14 colours repeat
// over and over. A file of more asks before it adds them.
inline constexpr int kManyChannels = 100;
// Asked with the channel count; false: nothing is added.
using ConfirmChannels = std::function<bool(int channels)>;
// The question for a file of `channels` channels.
std::string ManyChannelsQuestion(const std::string& path, int channels);

// Loads one file into new series, by extension: ".gpj" (exactly) is ignored, ".csv" in any
// letter case is an oscilloscope export, anything else a curve file. A file that cannot be
// opened adds nothing. A malformed line ends the load with a message; a series keeps the
// points read before it. Only curves (channels) that got a point are added: a load that
// yields none leaves the chart as it was and says so. When something was added, the last
// series is the active graph. An export of more than kManyChannels channels adds them
// only when `confirm` agrees (no `confirm`: always). A curve file whose last line has no
// line end and whose numbers there are not whole in the 23-character form of the lines
// before (a run killed while writing) loses that line, with a note; a last line of other
// numbers is read as it stands.
CurveLoadResult LoadGraphFile(ChartModel& m, const std::string& path, const ConfirmChannels& confirm = {});

// Loads a temporary generated curve (lines of blank-separated words: X, Y, the labels from
// word 3 on) into one new graph named "Без имени-" and the counter. The title defaults to
// `displayName` (the file's own name when empty). A word that is not a number, or a file
// without a point, gives a message and changes nothing.
CurveLoadResult LoadTempGraph(ChartModel& m, const std::string& path,
                              const std::string& displayName = {});

// Writes one series as a curve file (cp1251, CR LF), replacing the file in one piece.
// Line i: X, " ", Y, " ", then the label of line i: the series title, the bottom-axis title,
// the Y-axis title, the first and the second footer line.
bool SaveGraphFile(const ChartModel& m, int seriesIndex, const std::string& path, std::string& err);

// Writes a temporary curve as the generators do: each line X and Y in the 23-character
// real form, a blank and a text on lines 1..4 (title, X title, Y title, empty), blanks
// normalised, CR LF.
bool WriteTempCurve(const std::string& path, const std::vector<double>& x,
                    const std::vector<double>& y, const std::string& title,
                    const std::string& xTitle, const std::string& yTitle, std::string& err);

// The first command-line argument opens as a curve file when it names an existing file
// whose extension is not exactly ".fdt" (a project).
bool IsCommandLineGraph(const std::string& arg, bool fileExists);

// Path helpers ("/" and "\" both separate folders).
std::string ExtractFileName(const std::string& path);
std::string ExtractFileDir(const std::string& path);  // with its trailing separator
std::string ExtractFileExt(const std::string& path);  // with the dot; empty when none
std::string ChangeFileExt(const std::string& path, const std::string& ext);

}  // namespace rv
