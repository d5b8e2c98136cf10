#include "project/projectfile.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <filesystem>
#include <new>

#include "project/modelfile.h"
#include "project/tornsave.h"
#include "solver/textutils.h"
#include "solver/codepage.h"
#include "solver/inifile.h"
#include "solver/pendingfile.h"
#include "solver/numtext.h"
#include "solver/solverdata.h"

namespace rv {

namespace {

const std::array<const char*, 6> BorderKeys = {"1", "2", "3", "4", "5", "6"};
const std::array<const char*, 3> GridSizeKeys = {"NX", "NY", "NZ"};

// Every section a project file may hold ("Project" in files of an older layout).
const std::array<const char*, 23> ProjectSections = {
    "Signal",       "OutPoints",    "sgOutPoint", "sgCurrent",    "sgVoltage", "sgFarPoints",
    "sgResistors",  "sgCapacitors", "sgSourses",  "sgRazraydnic", "sgInductor", "InputSourse",
    "Version",      "Geometry",     "MemLines",   "Borders",      "Materals",  "Layer",
    "Vizual",       "OpenGL",       "FarField",   "Addition",     "Project"};

// Free texts (note lines, material names) keep their blanks at both ends through the INI
// class, which trims values: such a text is written in double quotes, and a value in
// double quotes is read without them.
std::string QuoteText(const std::string& s) {
  const bool edgeBlank = !s.empty() && (s.front() == ' ' || s.front() == '\t' ||
                                        s.back() == ' ' || s.back() == '\t');
  const bool quoted = s.size() >= 2 && s.front() == '"' && s.back() == '"';
  return edgeBlank || quoted ? '"' + s + '"' : s;
}

std::string UnquoteText(const std::string& s) {
  if (s.size() >= 2 && s.front() == '"' && s.back() == '"') return s.substr(1, s.size() - 2);
  return s;
}

// A spin value: kept within the spin box's range.
int ReadSpin(const IniFile& ini, const char* sec, const char* key, int def, int lo, int hi) {
  return std::clamp(ini.readInteger(sec, key, def), lo, hi);
}

// A list choice: one the list does not hold reads as the default.
int ReadItem(const IniFile& ini, const char* sec, const char* key, int def, int count) {
  const int v = ini.readInteger(sec, key, def);
  return v < 0 || v >= count ? def : v;
}

// Reads the float values a load can't do without, remembering the first that is no number.
class FloatReader {
public:
  explicit FloatReader(const IniFile& ini) : ini_(ini) {}
  double Read(const std::string& sec, const char* key, const std::string& defText) {
    const std::string text = ini_.readString(sec, key, defText);
    double v = 0;
    if (TryStrToFloat(text, v)) return v;
    if (bad_.empty())
      bad_ = "в разделе [" + sec + "] значение " + key + " = \"" + TextPiece(text) + "\" не является числом";
    return TryStrToFloat(defText, v) ? v : 0;
  }
  // A value for a single-precision field: beyond its range it is as bad as no number. The
  // range ends where a value would round to infinity, so the largest Single, written with
  // 15 digits (a little above it), reads back.
  float ReadSingle(const std::string& sec, const char* key, const std::string& defText) {
    const double v = Read(sec, key, defText);
    if (std::fabs(v) >= 0x1.ffffffp+127 && bad_.empty())
      bad_ = "в разделе [" + sec + "] значение " + key + " вне допустимых пределов";
    return float(std::clamp(v, -double(FLT_MAX), double(FLT_MAX)));
  }
  const std::string& Bad() const { return bad_; }

private:
  const IniFile& ini_;
  std::string bad_;
};

std::string LayerSection(int i) { return "Layer" + IntToStr(i); }

void WriteVizual(IniFile& ini, const VizualSettings& v) {
  const char* s = "Vizual";
  ini.writeInteger(s, "X", v.spX);
  ini.writeInteger(s, "Y", v.spY);
  ini.writeInteger(s, "Z", v.spZ);
  ini.writeInteger(s, "OutputItem", v.imageRGroup);
  ini.writeBool(s, "Log", v.cbLog);
  ini.writeInteger(s, "OutputRate", v.seOutputRate);
  ini.writeInteger(s, "SpinEdit1", v.SpinEdit1);
  ini.writeInteger(s, "SpinEdit2", v.SpinEdit2);
  ini.writeBool(s, "cbVisualOn", v.cbVisualOn);
  ini.writeBool(s, "cbXPlane", v.cbXPlane);
  ini.writeBool(s, "cbYPlane", v.cbYPlane);
  ini.writeBool(s, "cbZPlane", v.cbZPlane);
}

void ReadVizual(const IniFile& ini, VizualSettings& v) {
  const char* s = "Vizual";
  v.spX = ReadSpin(ini, s, "X", 1, 0, GridCellsMax);
  v.spY = ReadSpin(ini, s, "Y", 1, 0, GridCellsMax);
  v.spZ = ReadSpin(ini, s, "Z", 1, 0, GridCellsMax);
  v.imageRGroup = ReadItem(ini, s, "OutputItem", 1, VizualQuantityCount);
  v.cbLog = ini.readBool(s, "Log", false);
  v.seOutputRate = ReadSpin(ini, s, "OutputRate", 1, 1, VizualRateMax);
  v.SpinEdit1 = ReadSpin(ini, s, "SpinEdit1", 1, -VizualScaleDigitsMax, VizualScaleDigitsMax);
  v.SpinEdit2 = ReadSpin(ini, s, "SpinEdit2", 1, -VizualScaleDigitsMax, VizualScaleDigitsMax);
  v.cbVisualOn = ini.readBool(s, "cbVisualOn", true);
  v.cbXPlane = ini.readBool(s, "cbXPlane", true);
  v.cbYPlane = ini.readBool(s, "cbYPlane", true);
  v.cbZPlane = ini.readBool(s, "cbZPlane", true);
}

// Blanks, tabs or an end-of-file mark (Ctrl-Z) after the last line break are what a file
// picks up in editors and copies, not a line cut short: no line a save writes begins with
// a blank.
void DropBlankTail(std::string& text) {
  const size_t nl = text.find_last_of("\r\n");
  if (nl != std::string::npos && text.find_first_not_of(" \t\x1A", nl + 1) == std::string::npos)
    text.resize(nl + 1);
}

// True when the text begins with the mark line, or is all a piece of it (a file cut inside
// its first line).
bool HasMark(std::string_view text) {
  const size_t end = text.find_first_of("\r\n");
  for (const std::string_view mark : {ProjectFileMark, ProjectFileOrderMark}) {
    if (end == std::string_view::npos ? !text.empty() && mark.substr(0, text.size()) == text
                                      : text.substr(0, end) == mark)
      return true;
  }
  return false;
}

bool HasOrderMark(std::string_view text) {
  const std::string_view mark = ProjectFileOrderMark;
  return text.substr(0, mark.size()) == mark && text.substr(mark.size(), 1).find_first_of("\r\n") == 0;
}

// Every section and key a save writes for p, in the save's order.
void WriteAll(IniFile& ini, const ProjectData& p, const std::array<tLayer, MaxLayers>& layers);

// The order a save leaves the sections in: those it writes in its own order, then the ones
// it keeps from an earlier save (materials beyond the count by number, the rest by name).
std::vector<std::string> SavedSectionOrder(const std::vector<std::string>& present,
                                           const std::vector<std::string>& written) {
  std::vector<std::string> order;
  std::vector<std::string> rest;
  for (const std::string& w : written)
    if (std::any_of(present.begin(), present.end(), [&](const std::string& s) { return FoldCase(s) == FoldCase(w); }))
      order.push_back(w);
  for (const std::string& s : present)
    if (std::none_of(written.begin(), written.end(), [&](const std::string& w) { return FoldCase(s) == FoldCase(w); }))
      rest.push_back(s);
  auto layerNo = [](const std::string& s) {
    int n = 0;
    return FoldCase(s.substr(0, 5)) == "layer" && TryStrToInt(s.substr(5), n) && n >= 0 ? n : -1;
  };
  std::stable_sort(rest.begin(), rest.end(), [&](const std::string& a, const std::string& b) {
    const int x = layerNo(a), y = layerNo(b);
    if ((x < 0) != (y < 0)) return x >= 0;
    if (x >= 0) return x < y;
    return FoldCase(a) < FoldCase(b);
  });
  order.insert(order.end(), rest.begin(), rest.end());
  return order;
}

// The bytes of a project file: the mark line first (in place of an older one), then the
// text, in the code page that keeps every character of it.
std::string ProjectBytes(std::string text) {
  for (const std::string_view mark : {ProjectFileOrderMark, ProjectFileMark})
    if (text.rfind(std::string(mark) + "\r\n", 0) == 0) {
      text.erase(0, mark.size() + 2);
      break;
    }
  return EncodeText(ProjectFileOrderMark + ("\r\n" + text));
}

// The main window's sections with materials 1..LayerCount taken from `layers`.
void WriteMain(IniFile& ini, const ProjectData& p, const std::array<tLayer, MaxLayers>& layers);

}  // namespace

std::string ModelFileName(const std::string& projectFile) {
  const size_t slash = projectFile.find_last_of('/');
  const size_t dot = projectFile.find_last_of('.');
  const bool hasExt = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  return (hasExt ? projectFile.substr(0, dot) : projectFile) + ".bin";
}

void WriteMainSections(IniFile& ini, const ProjectData& p, const SolverData& d) {
  WriteMain(ini, p, d.Layers);
}

namespace {

void WriteAll(IniFile& ini, const ProjectData& p, const std::array<tLayer, MaxLayers>& layers) {
  SaveSignalSection(ini, p.Signal);
  SaveOutPointSettings(p.Outputs, ini);
  SaveLampedSettings(p.Lamped, ini);
  WriteMain(ini, p, layers);
}

void WriteMain(IniFile& ini, const ProjectData& p, const std::array<tLayer, MaxLayers>& layers) {
  const MainSettings& m = p.Main;
  ini.writeString("InputSourse", "edIncAngle", NumberText(m.edIncAngle));
  ini.writeInteger("InputSourse", "rgSources", m.rgSources);
  ini.writeInteger("InputSourse", "TrackBar1", m.TrackBar1);
  ini.writeInteger("InputSourse", "TrackBar2", m.TrackBar2);
  ini.writeInteger("InputSourse", "rgEOrient", m.rgEOrient);

  ini.writeString("Version", "FileFormat", ProjectFileFormat);

  ini.writeInteger("Geometry", "NX", m.spX);
  ini.writeInteger("Geometry", "NY", m.spY);
  ini.writeInteger("Geometry", "NZ", m.spZ);
  ini.writeString("Geometry", "dX", NumberText(m.edX));
  ini.writeString("Geometry", "dY", NumberText(m.edY));
  ini.writeString("Geometry", "dZ", NumberText(m.edZ));
  ini.writeString("Geometry", "dT", NumberText(m.eddT));
  ini.writeInteger("Geometry", "StepCount", m.seStepCount);

  ini.writeInteger("MemLines", "Count", (long long)m.memoProjectNote.size());
  for (size_t k = 0; k < m.memoProjectNote.size(); ++k)
    ini.writeString("MemLines", "St" + IntToStr((long long)k), QuoteText(m.memoProjectNote[k]));

  for (int f = 0; f < 6; ++f) ini.writeInteger("Borders", BorderKeys[size_t(f)], m.ComboBox[size_t(f)]);
  ini.writeInteger("Borders", "X", m.spCenterI);
  ini.writeInteger("Borders", "Y", m.spCenterJ);
  ini.writeInteger("Borders", "Z", m.spCenterK);
  ini.writeInteger("Borders", "sePmlCount", m.sePMLCount);
  ini.writeString("Borders", "edpmlR", NumberText(m.edpmlR));
  ini.writeInteger("Borders", "rgPMLprofile", m.rgPMLprofile);

  ini.writeBool("Materals", "cbBioMaterals", m.cbBioMaterals);
  ini.writeBool("Materals", "cbMagneticMaterals", m.cbMagneticMaterals);

  const int count = std::clamp(p.Editor.LayerCount, 0, MaxLayers - 1);
  ini.writeInteger("Layer", "Count", count);
  for (int i = 1; i <= count; ++i) {
    const tLayer& L = layers[size_t(i)];
    const std::string s = LayerSection(i);
    ini.writeFloat(s, "Eps", L.EpsStatic);
    ini.writeFloat(s, "Sig", L.Sigma);
    ini.writeFloat(s, "EpsInf", L.EpsInf);
    ini.writeFloat(s, "t0", L.Tau);
    ini.writeFloat(s, "Mu", L.Mu);
    ini.writeBool(s, "Visible", L.On != 0);
    ini.writeInteger(s, "Color", int32_t(L.Color));
    ini.writeString(s, "Comment", QuoteText(L.Name));
    ini.writeFloat(s, "density", L.Density);
  }

  WriteVizual(ini, p.Vizual);

  const EditorState& e = p.Editor;
  // The editor's section planes follow a grid made smaller only when the editor is next
  // shown: written as a load brings them inside the grid, so the file holds what it reads.
  ini.writeInteger("OpenGL", "X", std::clamp(e.X, 1, std::max(1, m.spX)));
  ini.writeInteger("OpenGL", "Y", std::clamp(e.Y, 1, std::max(1, m.spY)));
  ini.writeInteger("OpenGL", "Z", std::clamp(e.Z, 1, std::max(1, m.spZ)));
  ini.writeFloat("OpenGL", "Xo", e.EyeX);
  ini.writeFloat("OpenGL", "Yo", e.EyeY);
  ini.writeFloat("OpenGL", "Zo", e.EyeZ);
  ini.writeFloat("OpenGL", "Xv", e.CenterX);
  ini.writeFloat("OpenGL", "Yv", e.CenterY);
  ini.writeFloat("OpenGL", "Zv", e.CenterZ);

  ini.writeBool("FarField", "cbFarDiagram", m.cbFarDiagram);
  ini.writeBool("FarField", "cbPX", m.cbPX);
  ini.writeBool("FarField", "cbPY", m.cbPY);
  ini.writeBool("FarField", "cbPZ", m.cbPZ);
  ini.writeInteger("FarField", "edFarStep", m.edFarStep);
  ini.writeString("FarField", "edFarDiagrR", NumberText(m.edFarDiagrR));
  ini.writeBool("FarField", "cbCalcFarH", m.cbCalcFarH);
  ini.writeBool("FarField", "cbFarPoints", m.cbFarPoints);
  ini.writeInteger("FarField", "spFarXmin", m.spFarXmin);
  ini.writeInteger("FarField", "spFarYmin", m.spFarYmin);
  ini.writeInteger("FarField", "spFarZmin", m.spFarZmin);
  ini.writeInteger("FarField", "spFarXmax", m.spFarXmax);
  ini.writeInteger("FarField", "spFarYmax", m.spFarYmax);
  ini.writeInteger("FarField", "spFarZmax", m.spFarZmax);
  ini.writeBool("FarField", "cbFastDigramm", m.cbFastDigramm);

  ini.writeBool("Addition", "cbEnergy", m.cbEnergy);
  ini.writeInteger("Addition", "seSarDelay", m.seSarDelay);
}

}  // namespace

bool SaveProject(const std::string& path, const ProjectData& p, const SolverData& d,
                 std::string& err) {
  IniFile ini;
  std::string e;
  if (!ini.load(path, &e)) {
    err = "Не удалось прочитать файл проекта " + path + ": " + e;
    return false;
  }
  WriteAll(ini, p, d.Layers);
  {
    IniFile fresh;
    WriteAll(fresh, p, d.Layers);
    ini.orderSections(SavedSectionOrder(ini.sections(), fresh.sections()));
  }
  std::string counts;
  for (const char* sec : CountedSections) counts += (counts.empty() ? "" : " ") + ini.readString(sec, "Count", "");
  ini.writeString("Version", CountsKey, counts);
  // The older note key was read as the note's first line, which the note's own keys now
  // hold: kept, it would add that line again on every load.
  ini.deleteKey("Project", "Name");

  // Both files are written under temporary names and replace the old pair only when both
  // are complete, the model first: a failure leaves the old pair as it was. The project
  // file names the model file it belongs with, so a pair that an interrupted save tore
  // apart (the model replaced, the project not yet) is told on loading.
  PendingFile fdt, bin;
  ModelFileStamp stamp;
  const std::string model = ModelFileName(path);
  bool ok = fdt.Open(path, e) && bin.Open(model, e) &&
            WriteModel(bin, d.Space, p.Main.spX, p.Main.spY, p.Main.spZ, e, &stamp) && bin.Finish(e);
  if (ok) {
    ini.writeString("Version", ModelStampKey, StampText(stamp));
    fdt.Write(ProjectBytes(ini.text()));
    ok = fdt.Finish(e);
  }
  if (ok) {
    // What saves of this project killed before their end left beside it goes with the pair
    // this save replaces; nothing goes while a file of the pair is missing.
    RemoveTornSaveLeftovers(path);
    ok = CommitFiles({&bin, &fdt}, e);
  }
  if (!ok) {
    err = "Проект не сохранён: " + e;
    return false;
  }
  return true;
}

namespace {

// The edits kept as typed that the program reads as numbers (an empty time step is the
// stability limit).
bool NumberEdit(const std::string& sec, const std::string& key) {
  if (sec == "Signal")
    return key != "edFileName" && std::find(SignalSectionEdits.begin(), SignalSectionEdits.end(),
                                            std::string_view(key)) != SignalSectionEdits.end();
  return (sec == "Geometry" && (key == "dX" || key == "dY" || key == "dZ" || key == "dT")) ||
         (sec == "InputSourse" && key == "edIncAngle") || (sec == "Borders" && key == "edpmlR") ||
         (sec == "FarField" && key == "edFarDiagrR");
}

// Why a value of the file is not the one a save of what was read writes (`saved`): empty
// when it is, or when both read as the same number.
std::string ValueFault(const std::string& sec, const std::string& key, const std::string& text,
                       const std::string& saved) {
  double x = 0, y = 0;
  int i = 0;
  if (NumberEdit(sec, key))
    return TryStrToFloat(text, x) || (text.empty() && key == "dT") ? "" : "не число";
  if (text == saved) return "";
  if (!TryStrToFloat(saved, y)) return "недопустимое значение";
  if (!TryStrToFloat(text, x)) return NotNumberReason(text);
  // A count is never written "0.0" or "1e-999": such a text reads as no count, and the rows
  // it stands for are dropped.
  if (FoldCase(key) == "count" && !TryStrToInt(text, i)) return "не целое число";
  if (x == y) return "";
  if (TryStrToInt(saved, i) && !TryStrToInt(text, i)) return "не целое число";
  return OutOfRangeReason;
}

std::string KeyText(const std::string& sec, const std::string& key, const std::string& text) {
  return "[" + sec + "] " + key + " = \"" + TextPiece(text) + "\"";
}

// A project file this program wrote checked against what a save of what was read writes.
struct SaveCheck {
  std::string missing;             // the keys it lacks, or empty
  std::vector<std::string> wrong;  // values, table keys and counts a save would not write
  // Tables whose count is whole but not the one saved: rows added or taken away by hand.
  std::vector<std::string> recounted;
};

// The keys a save writes for what was read (the counts it gives) are run through in the
// order a save writes them: what the file lacks is counted from the first (or its whole
// section, when that is missing); a value it holds must be the one the save writes. A table
// section may hold only its count and cells of its columns (rows beyond the count are an
// earlier save's), and the counts must be those the save recorded.
SaveCheck CheckAgainstSave(const IniFile& ini, ProjectData n, const std::array<tLayer, MaxLayers>& layers,
                           size_t noteLines, bool ordered) {
  n.Main.memoProjectNote.resize(noteLines);  // without the older note key
  IniFile full;
  WriteAll(full, n, layers);
  full.writeString("Version", ModelStampKey, "");
  SaveCheck c;
  if (ordered) {
    const std::vector<std::string> present = ini.sections();
    const std::vector<std::string> order = SavedSectionOrder(present, full.sections());
    for (size_t i = 0; i < present.size(); ++i)
      if (FoldCase(present[i]) != FoldCase(order[i])) {
        c.wrong.push_back("раздел [" + TextPiece(present[i]) + "] стоит на месте раздела [" + TextPiece(order[i]) +
                          "]: сохранение пишет разделы в другом порядке (заголовки разделов переставлены?)");
        break;
      }
  }
  long long missing = 0;
  std::string first;
  std::vector<std::string> lacking;  // sections with keys missing
  for (const std::string& sec : full.sections())
    for (const std::string& key : full.readSection(sec))
      if (!ini.valueExists(sec, key)) {
        if (missing++ == 0)
          first = ini.sectionExists(sec) ? "ключа " + key + " раздела [" + sec + "]" : "раздела [" + sec + "]";
        if (lacking.empty() || lacking.back() != sec) lacking.push_back(sec);
      }
  for (const std::string& sec : full.sections())
    for (const std::string& key : full.readSection(sec)) {
      if (!ini.valueExists(sec, key)) continue;
      if (sec == "Version" && key == ModelStampKey) continue;  // checked on its own
      // In a section with keys missing, what is read from the others (a count the rows
      // present can't meet, a radio button read from its pair) follows from that.
      if (std::find(lacking.begin(), lacking.end(), sec) != lacking.end()) continue;
      const std::string text = ini.readString(sec, key, "");
      const std::string why = ValueFault(sec, key, text, full.readString(sec, key, ""));
      if (!why.empty()) c.wrong.push_back(KeyText(sec, key, text) + " " + why);
    }
  if (missing > 0)
    c.missing = "не хватает ключей, которые пишет каждое сохранение: " + IntToStr(missing) + ", начиная с " + first;

  const std::array<const StringGrid*, 9> grids = {
      &n.Outputs.sgOutPoint, &n.Outputs.sgCurrent, &n.Outputs.sgVoltage, &n.Outputs.sgFarPoints,
      &n.Lamped.sgResistors, &n.Lamped.sgCapacitors, &n.Lamped.sgSourses, &n.Lamped.sgRazraydnic,
      &n.Lamped.sgInductor};
  for (const StringGrid* g : grids)
    for (const std::string& key : ini.readSection(g->Name())) {
      if (FoldCase(key) == "count") continue;
      int col = -1, row = 0;
      const size_t x = key.find_first_of("xX", 4);
      const bool cell = FoldCase(key.substr(0, 4)) == "cell" && x != std::string::npos &&
                        TryStrToInt(key.substr(4, x - 4), col) && TryStrToInt(key.substr(x + 1), row) &&
                        col >= 0 && row >= 1 && FoldCase(key) == FoldCase(GridCellKey(col, row));
      if (cell && col < g->ColCount()) continue;
      c.wrong.push_back(KeyText(g->Name(), key, ini.readString(g->Name(), key, "")) +
                        (cell ? ": столбцов в таблице " + IntToStr(g->ColCount())
                              : ": такого ключа сохранение не пишет"));
    }

  // The save's own section holds nothing but what the save writes there.
  for (const std::string& key : ini.readSection("Version"))
    if (FoldCase(key) != "fileformat" && FoldCase(key) != FoldCase(ModelStampKey) &&
        FoldCase(key) != FoldCase(CountsKey))
      c.wrong.push_back(KeyText("Version", key, ini.readString("Version", key, "")) +
                        ": такого ключа сохранение не пишет");
  if (ini.valueExists("Version", CountsKey)) {
    const std::string record = ini.readString("Version", CountsKey, "");
    std::vector<int> saved;
    bool readable = true;
    for (size_t at = 0; at <= record.size() && readable;) {
      const size_t end = std::min(record.find(' ', at), record.size());
      int v = 0;
      readable = TryStrToInt(record.substr(at, end - at), v);
      saved.push_back(v);
      at = end + 1;
    }
    if (!readable || saved.size() != CountedSections.size()) {
      c.wrong.push_back(KeyText("Version", CountsKey, record) + " не читается");
    } else {
      for (size_t k = 0; k < saved.size(); ++k) {
        const std::string text = ini.readString(CountedSections[k], "Count", "");
        int v = 0;
        if (TryStrToInt(text, v) && v != saved[k])
          c.recounted.push_back("[" + std::string(CountedSections[k]) + "] Count = " + IntToStr(v) +
                                ", а сохранено " + IntToStr(saved[k]));
      }
    }
  }
  return c;
}

// The damage of a project file this program wrote, as the question and the journal tell
// it; empty when it is whole. cutLine: the line a cut left unfinished (not read), at
// number `lines` + 1 after the whole ones.
std::string ProjectFileDamage(const std::string& path, const IniFile& ini, const SaveCheck& check,
                              bool cut, const std::string& cutLine, size_t lines) {
  std::vector<std::string> faults;
  const std::string& missing = check.missing;
  if (cut)
    faults.push_back("оборван на середине строки " + IntToStr((long long)lines + 1) + " («" + TextPiece(cutLine) +
                     "»)" + (missing.empty() ? "" : "; " + missing));
  else if (!missing.empty())
    faults.push_back("кончается строкой " + IntToStr((long long)lines) + ", и в нем " + missing);
  if (!check.wrong.empty())
    faults.push_back(check.wrong.front() +
                     (check.wrong.size() > 1
                          ? " (поврежденных мест всего: " + IntToStr((long long)check.wrong.size()) + ")"
                          : ""));
  if (!check.recounted.empty()) {
    std::string list;
    for (const std::string& t : check.recounted) list += (list.empty() ? "" : "; ") + t;
    faults.push_back("число строк не то, что было сохранено (" + list + "): файл, видимо, правили вручную");
  }
  ModelFileStamp stamp;
  const std::string stampText = ini.readString("Version", ModelStampKey, "");
  if (ini.valueExists("Version", ModelStampKey) && !ParseStamp(stampText, stamp))
    faults.push_back(std::string("значение ") + ModelStampKey + " раздела [Version] «" + TextPiece(stampText) +
                     "» не читается (там должны быть размер файла модели в байтах и 8 шестнадцатеричных "
                     "цифр его контрольной суммы), так что не проверить, с этим ли файлом модели он сохранен");
  if (faults.empty()) return "";
  // A count changed alone is an edit, not damage.
  const bool edited = !cut && missing.empty() && check.wrong.empty() && !check.recounted.empty() && faults.size() == 1;
  std::string s = "Файл проекта " + path + (edited ? " изменен после сохранения: " : " поврежден: ");
  for (size_t i = 0; i < faults.size(); ++i) s += (i ? "; " : "") + faults[i];
  return s + ".";
}

ProjectLoadResult ReadProject(const std::string& path, ProjectData& p, SolverData& d,
                              const std::function<void(int)>& progress,
                              const ModelMismatchChoice& chooseMismatch) {
  ProjectLoadResult r;
  auto refuse = [&](const std::string& why) {
    r.Status = ProjectLoadStatus::Refused;
    r.Msgs.push_back("Проект " + path + " не загружен: " + why);
    return r;
  };
  std::error_code ec;
  if (path.empty()) return r;  // NotFound
  if (!std::filesystem::is_regular_file(path, ec)) {
    // A save killed between its renames on a disk without hard links leaves the project
    // file missing and its copies beside it.
    const std::string left = std::filesystem::exists(path, ec) ? "" : TornSaveNote(path);
    if (left.empty()) return r;  // NotFound
    return refuse("файла нет, а " + left + ".");
  }

  std::string text, e;
  if (!ReadTextFile(path, text, e)) return refuse(e);
  DropBlankTail(text);
  IniFile ini;
  ini.parse(text);
  // A file this program wrote ends with a whole line: one that does not was cut in it, and
  // its piece is not read (a value cut short would pass for a whole one).
  const bool ours = HasMark(text) || ini.valueExists("Version", ModelStampKey);
  const bool cut = ours && !text.empty() && text.back() != '\n' && text.back() != '\r';
  std::string cutLine;
  if (cut) {
    const size_t nl = text.find_last_of("\r\n");
    const size_t start = nl == std::string::npos ? 0 : nl + 1;
    cutLine = text.substr(start);
    text.resize(start);
    ini.parse(text);
  }
  // Any file reads as an INI text; one holding none of a project's sections is some other
  // file, not a project of default settings.
  if (!ours && std::none_of(ProjectSections.begin(), ProjectSections.end(),
                            [&](const char* s) { return ini.sectionExists(s); }))
    return refuse("это не файл проекта (в нём нет ни одного раздела проекта).");

  // Everything goes into new objects; the caller's data change only at the end.
  ProjectData n = p;
  LoadSignalSection(ini, n.Signal);
  ModifiedFlag scratch{0};
  Messages tableMsgs;
  if (!LoadOutPointSettings(n.Outputs, ini, scratch, tableMsgs) ||
      !LoadLampedSettings(n.Lamped, ini, scratch, tableMsgs)) {
    r.Status = ProjectLoadStatus::Refused;
    r.Msgs.push_back("Проект " + path + " не загружен: таблицы в файле повреждены.");
    r.Msgs.insert(r.Msgs.end(), tableMsgs.begin(), tableMsgs.end());
    return r;
  }

  MainSettings& m = n.Main;
  m.edIncAngle = NumberText(ini.readString("InputSourse", "edIncAngle", "0"));
  m.rgSources = ReadItem(ini, "InputSourse", "rgSources", 0, 3);
  m.TrackBar1 = ReadSpin(ini, "InputSourse", "TrackBar1", 90, TrackBar1Min, TrackBar1Max);
  m.TrackBar2 = ReadSpin(ini, "InputSourse", "TrackBar2", 90, TrackBar2Min, TrackBar2Max);
  m.rgEOrient = ReadItem(ini, "InputSourse", "rgEOrient", 0, 2);
  // Without the key, a file of this program is still of the present layout.
  n.FileFormat = ini.readString("Version", "FileFormat", ours ? ProjectFileFormat : "0");

  // The grid: the model arrays are sized by it, so a size the window can't show or the
  // machine can't hold is refused rather than clamped or attempted.
  // A size that is there but no whole number is refused too: the model file is laid out by
  // it, and a default in its place would scramble the model. The message quotes the texts.
  std::array<std::string, 3> sizeText;
  std::array<int, 3> size{};
  bool sizesOk = true;
  for (size_t a = 0; a < 3; ++a) {
    sizeText[a] = ini.readString("Geometry", GridSizeKeys[a], "100");  // missing: 100
    sizesOk = sizesOk && TryStrToInt(sizeText[a], size[a]) && size[a] >= GridCellsMin &&
              size[a] <= GridCellsMax;
  }
  if (!sizesOk)
    return refuse("неверный размер сетки NX=" + sizeText[0] + ", NY=" + sizeText[1] +
                  ", NZ=" + sizeText[2] + " (допустимо от " + IntToStr(GridCellsMin) + " до " +
                  IntToStr(GridCellsMax) + " по каждой оси).");
  const int nx = size[0], ny = size[1], nz = size[2];
  const uint64_t cells = uint64_t(nx + 1) * uint64_t(ny + 1) * uint64_t(nz + 1);
  const uint64_t phys = PhysicalMemoryBytes();
  // The model and its undo copy, one byte per cell each.
  if (phys != 0 && 2 * cells > phys)
    return refuse("для модели " + IntToStr(nx) + " x " + IntToStr(ny) + " x " + IntToStr(nz) +
                  " не хватает памяти.");
  m.spX = nx;
  m.spY = ny;
  m.spZ = nz;
  m.cbBioMaterals = ini.readBool("Materals", "cbBioMaterals", false);
  m.cbMagneticMaterals = ini.readBool("Materals", "cbMagneticMaterals", false);

  m.edX = NumberText(ini.readString("Geometry", "dX", "1"));
  m.edY = NumberText(ini.readString("Geometry", "dY", "1"));
  m.edZ = NumberText(ini.readString("Geometry", "dZ", "1"));
  m.eddT = NumberText(ini.readString("Geometry", "dT", "0"));
  m.seStepCount = ReadSpin(ini, "Geometry", "StepCount", 100, StepCountMin, StepCountMax);

  for (int f = 0; f < 6; ++f)
    m.ComboBox[size_t(f)] = ReadItem(ini, "Borders", BorderKeys[size_t(f)], BorderRTABC, BorderKindCount);
  m.spCenterI = ReadSpin(ini, "Borders", "X", 3, 1, CenterMax);
  m.spCenterJ = ReadSpin(ini, "Borders", "Y", 3, 1, CenterMax);
  m.spCenterK = ReadSpin(ini, "Borders", "Z", 3, 1, CenterMax);
  m.sePMLCount = ReadSpin(ini, "Borders", "sePmlCount", 8, PMLCountMin, PMLCountMax);
  m.edpmlR = NumberText(ini.readString("Borders", "edpmlR", "0.01"));
  m.rgPMLprofile = ReadItem(ini, "Borders", "rgPMLprofile", 0, 2);

  ReadVizual(ini, n.Vizual);

  // The note: the count can't ask for more lines than the section holds keys.
  const long long keys = (long long)ini.readSection("MemLines").size();
  const long long lines = std::clamp<long long>(ini.readInteger("MemLines", "Count", 0), 0, keys);
  m.memoProjectNote.clear();
  const std::string older = ini.readString("Project", "Name", "");
  if (!older.empty()) m.memoProjectNote.push_back(UnquoteText(older));
  for (long long k = 0; k < lines; ++k)
    m.memoProjectNote.push_back(UnquoteText(ini.readString("MemLines", "St" + IntToStr(k), "")));

  FloatReader fr(ini);
  EditorState& ed = n.Editor;
  ed.X = ReadSpin(ini, "OpenGL", "X", 1, 1, nx);
  ed.Y = ReadSpin(ini, "OpenGL", "Y", 1, 1, ny);
  ed.Z = ReadSpin(ini, "OpenGL", "Z", 1, 1, nz);
  ed.EyeX = fr.ReadSingle("OpenGL", "Xo", "50");
  ed.EyeY = fr.ReadSingle("OpenGL", "Yo", "50");
  ed.EyeZ = fr.ReadSingle("OpenGL", "Zo", "100");
  ed.CenterX = fr.ReadSingle("OpenGL", "Xv", "50");
  ed.CenterY = fr.ReadSingle("OpenGL", "Yv", "50");
  ed.CenterZ = fr.ReadSingle("OpenGL", "Zv", "50");

  m.cbFarDiagram = ini.readBool("FarField", "cbFarDiagram", false);
  m.cbPX = ini.readBool("FarField", "cbPX", false);
  m.cbPY = ini.readBool("FarField", "cbPY", false);
  m.cbPZ = ini.readBool("FarField", "cbPZ", false);
  m.edFarStep = ReadSpin(ini, "FarField", "edFarStep", 36, FarStepMin, FarStepMax);
  m.edFarDiagrR = NumberText(ini.readString("FarField", "edFarDiagrR", "1000"));
  m.cbCalcFarH = ini.readBool("FarField", "cbCalcFarH", false);
  m.cbFarPoints = ini.readBool("FarField", "cbFarPoints", false);
  m.spFarXmin = ReadSpin(ini, "FarField", "spFarXmin", 1, 1, CenterMax);
  m.spFarYmin = ReadSpin(ini, "FarField", "spFarYmin", 1, 1, CenterMax);
  m.spFarZmin = ReadSpin(ini, "FarField", "spFarZmin", 1, 1, CenterMax);
  m.spFarXmax = ReadSpin(ini, "FarField", "spFarXmax", 1, 1, CenterMax);
  m.spFarYmax = ReadSpin(ini, "FarField", "spFarYmax", 1, 1, CenterMax);
  m.spFarZmax = ReadSpin(ini, "FarField", "spFarZmax", 1, 1, CenterMax);
  m.cbFastDigramm = ini.readBool("FarField", "cbFastDigramm", false);
  m.cbEnergy = ini.readBool("Addition", "cbEnergy", false);
  m.seSarDelay = ReadSpin(ini, "Addition", "seSarDelay", 0, 0, SarDelayMax);

  // Materials: at most the 254 entries the table has.
  const int asked = ini.readInteger("Layer", "Count", 1);
  const int count = std::clamp(asked, 0, MaxLayers - 1);
  if (count != asked)
    r.Msgs.push_back("Число материалов в файле проекта (" + IntToStr(asked) +
                     ") вне пределов от 0 до " + IntToStr(MaxLayers - 1) + "; загружено " +
                     IntToStr(count) + ".");
  ed.LayerCount = count;
  std::array<tLayer, MaxLayers> layers = d.Layers;
  for (int i = 1; i <= count; ++i) {
    tLayer& L = layers[size_t(i)];
    const std::string s = LayerSection(i);
    const std::string epsText = ini.readString(s, "Eps", "1");
    L.EpsStatic = fr.Read(s, "Eps", "1");
    L.Sigma = fr.Read(s, "Sig", "0");
    L.EpsInf = fr.Read(s, "EpsInf", epsText);
    L.Tau = fr.Read(s, "t0", "6.67e-9");
    L.Mu = fr.Read(s, "Mu", "1");
    L.On = ini.readBool(s, "Visible", true) ? 1 : 0;
    L.Color = uint32_t(ini.readInteger(s, "Color", 0));
    L.Name = UnquoteText(ini.readString(s, "Comment", ""));
    L.Density = fr.Read(s, "density", "1000");
  }
  // In a file of this program such a value is damage, asked about below.
  if (!ours && !fr.Bad().empty()) return refuse(fr.Bad() + ".");

  // The model: read into a new array, so a refused load leaves the old model alone.
  tSpace space, undo;
  if (!space.allocate(nx + 1, ny + 1, nz + 1) || !undo.allocate(nx + 1, ny + 1, nz + 1))
    return refuse("для модели " + IntToStr(nx) + " x " + IntToStr(ny) + " x " + IntToStr(nz) +
                  " не хватает памяти.");
  const std::string model = ModelFileName(path);
  ModelFileCheck mc = ReadModelFile(model, n.FileFormat, nx, ny, nz, nz, space, progress);
  // A file damaged in itself says so; one that is whole but not the file the project was
  // saved with (an interrupted save, a model of another grid put beside it) says that.
  // Either way, the copies a killed save left are named by the file each fits.
  bool torn = false;
  if (ModelFileStamp saved; mc.Opened && !mc.Damaged &&
                            ParseStamp(ini.readString("Version", ModelStampKey, ""), saved) &&
                            mc.Stamp != saved) {
    mc.Faults.insert(mc.Faults.begin(), StampFault(mc.Stamp, saved));
    torn = true;
  } else if (!mc.Opened && !std::filesystem::exists(model, ec)) {
    mc.Faults.assign(1, "не найден");
    torn = true;
  }
  if (torn) mc.Copies = TornSaveNote(path, true);
  std::string damage;
  SaveCheck check;
  if (ours) {
    size_t whole = 0;
    LineReader reader(text);
    for (std::string_view line; reader.Next(line);) ++whole;
    check = CheckAgainstSave(ini, n, layers, size_t(lines), HasOrderMark(text));
    damage = ProjectFileDamage(path, ini, check, cut, cutLine, whole);
  } else if (!mc.Exact()) {
    // An older file without the keys that lay out the model (cut short, say) is named with
    // what it lacks, so that the model file is not blamed alone.
    std::string lacks;
    for (const auto& [sec, key] : {std::pair("Geometry", "NX"), std::pair("Geometry", "NY"),
                                   std::pair("Geometry", "NZ"), std::pair("Version", "FileFormat")})
      if (!ini.valueExists(sec, key)) lacks += std::string(lacks.empty() ? "" : ", ") + "[" + sec + "] " + key;
    if (!lacks.empty())
      damage = "В файле проекта " + path + " нет ключей " + lacks +
               ": сетка и формат файла модели взяты по умолчанию (файл, возможно, оборван).";
  }
  if (!mc.Exact() || !damage.empty()) {
    // A damaged project file, or a model file missing, damaged, torn from its project or of
    // another grid: the user decides, before anything changes.
    const std::string ask = !ours || damage.empty() ? ""
                            : !check.recounted.empty() && check.wrong.empty() && check.missing.empty() && !cut
                                ? "«Да» загрузит проект так, как он записан в файле: в каждой такой таблице "
                                  "столько строк, сколько сказано в ее Count. Загрузить?"
                            : !check.wrong.empty() || !check.recounted.empty()
                                ? "Загрузить то, что удалось прочитать, а остальное взять по умолчанию?"
                            : check.missing.empty() ? "Загрузить то, что есть?"
                                                    : "Загрузить то, что есть, а недостающее взять по умолчанию?";
    if (!chooseMismatch || !chooseMismatch(ModelFileQuestion(model, mc, damage, ask))) {
      ProjectLoadResult refused;
      refused.Status = ProjectLoadStatus::Refused;
      return refused;
    }
    r.ModelComplete = false;
    r.ModelNote = damage;
    if (!mc.Exact()) r.ModelNote += (damage.empty() ? "" : " ") + ModelFileNote(model, mc);
  }

  SetGridSize(d, nx, ny, nz);
  d.Space = std::move(space);
  d.UndoSpace = std::move(undo);
  for (int i = 1; i <= count; ++i) d.Layers[size_t(i)] = std::move(layers[size_t(i)]);
  p = std::move(n);
  r.Status = ProjectLoadStatus::Loaded;
  return r;
}

}  // namespace

ProjectLoadResult LoadProject(const std::string& path, ProjectData& p, SolverData& d,
                              const std::function<void(int)>& progress,
                              const ModelMismatchChoice& chooseMismatch) {
  // Everything is read into new objects and moved in only at the end, so running out of
  // memory anywhere on the way leaves the caller's project as it was.
  try {
    return ReadProject(path, p, d, progress, chooseMismatch);
  } catch (const std::bad_alloc&) {
    ProjectLoadResult r;
    r.Status = ProjectLoadStatus::Refused;
    r.Msgs.push_back("Проект " + path + " не загружен: не хватает памяти.");
    return r;
  }
}

}  // namespace rv
