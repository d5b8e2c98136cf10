// The output files and chart series of a run: one curve file and one series per usable row
// of the probe, current-region and voltage-line tables, then the source-signal series.
//
// Everything the recorder needs of a row is copied here at run start (cell, kind, corners,
// file, series handle), so a run never reads the live tables again: rows the user adds or
// deletes during a run change nothing under it.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "charts/livefeed.h"
#include "project/runvalues.h"
#include "project/stringgrid.h"
#include "solver/codepage.h"
#include "solver/elements.h"
#include "solver/signal.h"
#include "solver/solverdata.h"

namespace rv {

class ChartModel;
struct OutPointTables;

// One output file of a run; entry r of its array belongs to table row r (entry 0, the title
// row, is never opened).
struct tOutFile {
  std::string Path;                   // the curve file's full path
  std::unique_ptr<TextFileWriter> F;  // open while the run writes files
  bool Opened = false;                // the row passed every check; only such rows record
  // Probe rows: the cell, the kind letter and the direction letter (0 for none).
  int32_t X = 0, Y = 0, Z = 0;
  char Kind = 0, Dir = 0;
  // Current-region and voltage-line rows: the corners, the flat axis (0 for none) and the
  // file name upper-cased, which is also the curve's title.
  tCurrentRegion Region;
  LiveFeed::Handle Series = LiveFeed::NoHandle;  // the row's chart series, when plotted
};

struct OutputOptions {
  bool WriteOutputFiles = true;  // not "Не записывать файлы результатов на диск"
  bool ShowGraphs = false;       // "Показать графики"
  bool ShowInput = false;        // plot the source signal
};

// What the recorder works on during a run.
struct OutputRun {
  std::vector<tOutFile> OutPointFiles, CurrentFiles, VoltageFiles;
  bool WriteOutputFiles = false, ShowGraphs = false, ShowInput = false;
  LiveFeed* Feed = nullptr;
  LiveFeed::Handle SourceSeries = LiveFeed::NoHandle;  // "Исходный сигнал"
  const ISignal* Signal = nullptr;
  // Kind "D" reads two split H parts of the PML face regions Y=max and X=max; the owner of
  // the PML regions supplies the reading. Without one, or when it answers false (those
  // regions or cells do not exist in this run), kind "D" records 0.
  std::function<bool(const SolverData&, double&)> DProbe;
  // The recorder's scratch: the values of one sample, all taken before any is written.
  struct RowSample {
    tOutFile* File;
    char Group;  // 'P' probe, 'I' current region, 'U' voltage line
    float T, V;
  };
  std::vector<RowSample> Samples;
  // The outputs of the tables this run does not record, or records without their file:
  // one line each, naming the table, the row and why. The end of the run names them.
  std::vector<std::string> NotWritten;
  // Of those, the rows whose file could not be created (the start asks before it goes on).
  std::vector<std::string> FilesNotMade;

  // How many rows record (probe, current-region, voltage-line rows with Opened set).
  int OpenedCount() const;
};

// The rows of the output tables («Одиночные точки», «Токовые регионы», «Разности
// потенциалов») read for d's grid (Nx, Ny, Nz), with SAR on or off and files written or not.
struct OutputRowsCheck {
  // The first row, table by table, that no run can use as typed: a «Что» or «Направл» not
  // among the letters allowed, a coordinate that is no whole number, a current region that
  // is not flat or has no area or whose corner 1 is not below corner 2 in its plane, a
  // voltage line from a cell to itself, a file name that would leave the results folder or
  // that an earlier row writes already. Names the row and what to type.
  RunRefusal refusal;
  // Rows a run leaves out as the tables allow (no file name, a cell outside the grid, P
  // without SAR): one line each, naming the table, the row and why.
  std::string leftOut;
};
OutputRowsCheck CheckOutputRows(const OutPointTables& t, const SolverData& d, bool sarOn, bool writeFiles);

// The question before a run that leaves output rows out (check.leftOut not empty).
std::string OutputRowsLeftOutQuestion(const OutputRowsCheck& check);
// The question before a run whose rows' files could not be created (run.FilesNotMade).
std::string FilesNotMadeQuestion(const OutputRun& run);

// Sets up the run's output files and series (GUI thread, at run start, after the grid, SAROn
// and ResultDir are set). A row CheckOutputRows refuses is reported (its refusal) and left
// out; rows it leaves out are left out without a message (the start asked); both go to
// run.NotWritten. A row whose file cannot be created records without it and goes to
// run.FilesNotMade. A results folder that takes no file is reported once, by name, and the
// rows then record without files. Nothing is written, and no folder created, when files are not
// written; the series are made all the same. chart and feed may be null when there is no chart window
// (no series are made then). Any handles of an earlier run in feed are closed first.
// Returns the messages to show, in order.
Messages PrepareOutputFiles(const SolverData& d, const OutPointTables& t, const OutputOptions& o,
                            const ISignal* signal, ChartModel* chart, LiveFeed* feed,
                            OutputRun& run);

// Closes every opened file of the run (flushing what is left). Returns the messages of the
// files whose lines could not all be written; the run is left with no file open.
Messages CloseOutputFiles(OutputRun& run);

// The path of an output file: the folder, "/" when it does not end in one, the name as
// typed, and defaultExt when the name has no extension (no "." in it).
std::string OutputFilePath(const std::string& folder, const std::string& name,
                           const char* defaultExt);

}  // namespace rv
