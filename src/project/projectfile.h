// The project: an INI text file (".fdt", cp1251, CR LF) with every setting of the main
// window, the signal, output, lumped-element and live-view windows, the materials and the
// editor's view, plus the binary model file of the same name with ".bin".
//
// Saving updates an existing file key by key, so keys an earlier save wrote and this one
// does not (materials above the present count, note lines, table cells) stay; readers go by
// the "Count" keys. Loading reads everything into new objects first and changes the
// caller's data only when the project file could be read as a whole, so a refused file
// never leaves half a project behind.
#pragma once
#include <array>
#include <functional>
#include <string>
#include <vector>

#include "project/mainsettings.h"
#include "project/signalsettings.h"
#include "project/stringgrid.h"
#include "project/tables.h"

namespace rv {

struct SolverData;
class IniFile;

// "FileFormat" of section "Version" in every file written.
inline constexpr const char* ProjectFileFormat = "6";
// The key of section "Version" that holds the stamp (size and CRC-32) of the model file
// the project was saved with. A project file without it loads its model file unchecked.
inline constexpr const char* ModelStampKey = "ModelFile";
// The key of section "Version" that holds the "Count" values the save wrote, in the order
// of CountedSections, blank-separated: a count changed after the save is told from the rows
// an earlier save left beyond it (the file keeps those on purpose).
inline constexpr const char* CountsKey = "Counts";
// The sections with a "Count" key: the nine tables, the note and the materials.
inline constexpr std::array<const char*, 11> CountedSections = {
    "sgOutPoint",  "sgCurrent",    "sgVoltage",  "sgFarPoints", "sgResistors", "sgCapacitors",
    "sgSourses",   "sgRazraydnic", "sgInductor", "MemLines",    "Layer"};
// The first line of every project file saved: it tells a file of this program from one of
// an older version however short the file was cut, since any cut keeps a piece of it.
inline constexpr const char* ProjectFileMark = "; Ravelin project file";
// The first line of every project file saved now, in place of ProjectFileMark: its sections
// stand in the order the save writes them (SavedSectionOrder), so a file in another order
// had its section headers moved or swapped. Files with the older mark are not checked so.
inline constexpr const char* ProjectFileOrderMark = "; Ravelin project file, sections in saved order";

// The live field view's settings kept in the project (section "Vizual"), at the window's
// own defaults.
struct VizualSettings {
  int spX = 25, spY = 25, spZ = 25;  // slice positions
  int imageRGroup = 1;               // quantity 0..12 (Ex .. dT)
  bool cbLog = false;
  int seOutputRate = 1;              // draw every n-th step
  int SpinEdit1 = 1, SpinEdit2 = 0;  // scale maximum: mantissa and exponent
  bool cbVisualOn = true;
  bool cbXPlane = true, cbYPlane = true, cbZPlane = true;
  bool operator==(const VizualSettings&) const = default;
};
inline constexpr int VizualQuantityCount = 13;
inline constexpr int VizualRateMax = 1000000;
inline constexpr int VizualScaleDigitsMax = 99;  // |mantissa| and |exponent| of the scale

// The editor's view kept in the project (section "OpenGL") and its material count.
struct EditorState {
  int X = 1, Y = 1, Z = 1;                         // section planes (SpinEdit1..3)
  float EyeX = 50, EyeY = 50, EyeZ = 100;          // camera, in cells
  float CenterX = 50, CenterY = 50, CenterZ = 50;  // the point looked at
  int LayerCount = 1;                              // materials 1..LayerCount in use
  bool operator==(const EditorState&) const = default;
};

// Everything of a project but the model and the materials, which live in SolverData.
struct ProjectData {
  MainSettings Main;
  SignalPageSettings Signal;
  OutPointTables Outputs;
  LampedTables Lamped;
  VizualSettings Vizual;
  EditorState Editor;
  std::string FileFormat = ProjectFileFormat;  // as read; decides the model file's layout
};

// The model file beside a project file: its extension replaced by ".bin" (added when the
// name has none).
std::string ModelFileName(const std::string& projectFile);

// ---- the main window's own sections, on an open INI file (for tests and the fixtures)

// Sections "InputSourse" .. "Addition" in the file's order, with materials 1..LayerCount
// taken from d.Layers.
void WriteMainSections(IniFile& ini, const ProjectData& p, const SolverData& d);

// ---- whole projects

// Writes the project file (sections "Signal", "OutPoints" and the output grids, the
// lumped-element grids, then the main window's sections) in one update of the file, and
// the model file from d.Space over the grid p.Main.spX × spY × spZ, with the model file's
// stamp under ModelStampKey, ProjectFileMark put first. Both replace the old pair together
// or not at all. False with err when either cannot be written or is read-only; both old
// files are then as they were. Before the pair is replaced, what saves of this project
// killed halfway left beside it is removed, but never while its target is missing.
bool SaveProject(const std::string& path, const ProjectData& p, const SolverData& d,
                 std::string& err);

enum class ProjectLoadStatus {
  Loaded,    // p and d hold the project (messages may still tell of repairs)
  NotFound,  // no such file and nothing a killed save left: nothing changed, nothing to say
  Refused,   // the project can't be loaded: nothing changed, messages say why
};

struct ProjectLoadResult {
  ProjectLoadStatus Status = ProjectLoadStatus::NotFound;
  Messages Msgs;              // for the user, in order
  bool ModelComplete = true;  // false: a damaged project file, or a model file that is not
                              // exactly what the grid's layout needs, was loaded as it is
  // For the journal when such files were loaded: what was wrong and how many cells were
  // read, left empty, possibly shifted or dropped.
  std::string ModelNote;
};

// Asked when a project file this program wrote is damaged (cut short, without keys every
// save writes, with a value, table key or count a save of what was read would not write,
// with a model stamp that can't be read) or when the model file is not exactly
// what the grid's layout needs: missing, damaged, cut, too long, with a material outside
// the format, or not the one the project was saved with. The text names the damaged file,
// what is wrong and where, and the cells that would be read, left empty, possibly shifted
// or dropped. True loads what the files hold (what the project file lacks at its
// defaults); false (or no choice given) refuses the project, leaving everything as it was.
using ModelMismatchChoice = std::function<bool(const std::string& question)>;

// Reads a project. p must hold the current settings on entry: the signal edits whose keys
// are missing keep their texts. A project file this program wrote (it begins with
// ProjectFileMark, or a piece of it, or holds the model stamp key) must hold every key a
// save writes, each with the value a save of what was read writes back (or the same
// number), and end with a whole line; a line cut in the middle is not read. Blanks, tabs
// or Ctrl-Z after the last line break are no cut. Files of older versions load with
// defaults for what they lack. A missing project file with what a
// killed save left beside it is refused, naming those files. On Loaded, p holds the
// project read, d the grid size (SetGridSize), the model (Space read from the model file,
// UndoSpace empty of the same size) and materials 1..LayerCount; the materials above it
// are left alone. Refused when the file can't be read, the grid size is below 3 or above
// GridCellsMax on an axis or needs more memory than the machine has, a table section is
// damaged, or a material or camera value of an older file is not a number (in a file of
// this program that is damage like any other), and when the project file is
// damaged or the model file is not exactly what the layout needs and chooseMismatch does
// not take them as they are. Counts the file gives are kept within what the program holds
// ("Layer" "Count" 0..254); list choices outside their lists read as the defaults; spin
// values are kept to their ranges. progress(percent) follows the model file's planes.
ProjectLoadResult LoadProject(const std::string& path, ProjectData& p, SolverData& d,
                              const std::function<void(int)>& progress = {},
                              const ModelMismatchChoice& chooseMismatch = {});

}  // namespace rv
