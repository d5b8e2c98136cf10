#include "project/runstart.h"

#include <algorithm>
#include <cmath>

#include "boundaries/externalfield.h"
#include "boundaries/pml.h"
#include "project/borderdecode.h"
#include "project/gridsettings.h"
#include "project/outputfiles.h"
#include "project/runvalues.h"
#include "project/signalvalues.h"
#include "solver/constants.h"
#include "solver/numtext.h"
#include "solver/resultpaths.h"
#include "solver/textutils.h"
#include "solver/yee.h"

namespace rv {

namespace {

constexpr long double Pi = 3.141592653589793238462643383279502884L;

// Where the user changes a setting: the page of the main window and the caption on it.
std::string ChangeOn(const std::string& page, const std::string& field) {
  return "\nИзмените «" + field + "» на странице «" + page + "».";
}

RunRefusal NotAvailable(const std::string& what, const std::string& page, const std::string& field) {
  return {what + " в этой версии программы не поддерживается. Выберите другое." + ChangeOn(page, field),
          what + " не поддерживается"};
}

// A material whose cells a run updates exactly as vacuum: no conductivity, a permittivity
// of 1 (also at high frequency when its Debye term is on), mu 1 when mu is used.
bool ActsAsVacuum(const tLayer& L, bool polar, bool magnetic) {
  return L.Sigma == 0 && L.EpsStatic == 1 && !(polar && L.Tau > 0 && L.EpsInf != L.EpsStatic) &&
         !(magnetic && L.Mu != 1);
}

using CellCounts = std::array<int32_t, MaxLayers - 1>;  // entry m-1 for material m

// No cell of the model differs from vacuum (after the material census).
bool ModelIsVacuum(const SolverData& d) {
  for (int m = 1; m < MaxLayers; ++m)
    if (d.MaterialCellCount[size_t(m) - 1] > 0 &&
        !ActsAsVacuum(d.Layers[size_t(m)], d.PolarDielectrics, d.MagneticMaterials))
      return false;
  return true;
}

// Calls f(i, j, k, m) for every cell of the grid nx x ny x nz (as far as the model reaches)
// whose material m is switched on.
template <class F>
void ForEachMaterialCell(const SolverData& d, int nx, int ny, int nz, F f) {
  const int ni = std::min(nx, d.Space.len1() - 1);
  const int nj = std::min(ny, d.Space.len2() - 1);
  const int nk = std::min(nz, d.Space.len3() - 1);
  for (int i = 1; i <= ni; ++i)
    for (int j = 1; j <= nj; ++j)
      for (int k = 1; k <= nk; ++k) {
        const uint8_t m = d.Space(i, j, k);
        if (m != 0 && m < MaxLayers && d.Layers[m].On) f(i, j, k, m);
      }
}

// The material in use in which a wave runs fastest: the least product of permittivity
// (the high-frequency one too, where its Debye term is on) and mu (where mu is used). A wave
// in it runs sqrt(1/EpsMu) times as fast as in vacuum, so the step's limit shrinks by
// sqrt(EpsMu). Layer 0: every material in use has EpsMu >= 1, and the vacuum limit holds.
struct FastestMedium {
  int Layer = 0;
  double EpsMu = 1;
};

double PermittivityOf(const tLayer& L, bool polar) {
  const bool debye = polar && L.Tau > 0 && L.EpsInf != L.EpsStatic;
  return debye ? std::min(L.EpsStatic, L.EpsInf) : L.EpsStatic;
}

FastestMedium FindFastestMedium(const std::array<tLayer, MaxLayers>& layers, const CellCounts& counts,
                                bool polar, bool magnetic) {
  FastestMedium f;
  for (int m = 1; m < MaxLayers; ++m) {
    if (counts[size_t(m) - 1] <= 0) continue;
    const tLayer& L = layers[size_t(m)];
    const double epsMu = PermittivityOf(L, polar) * (magnetic ? L.Mu : 1.0);
    // NaN, too, is no medium a step can run in.
    if (!(epsMu >= f.EpsMu)) f = {m, epsMu};
  }
  return f;
}

// The limit with as many digits as it takes to read below the step.
std::string LimitBelow(double stepNs, double limitNs) {
  std::string limit;
  for (int p = 5; p <= 15; ++p) {
    limit = FormatGeneral(limitNs, p);
    double shown = 0;
    if (TryStrToFloat(limit, shown) && shown < stepNs) break;
  }
  return limit;
}

// A record of a table row the run uses (an empty or unreadable row has X = 0).
template <class V>
bool AnyRecord(const V& records) {
  return std::any_of(records.begin(), records.end(), [](const auto& r) { return r.X != 0; });
}

// Builds the result of one start; a refusal frees what the start reserved.
class Start {
public:
  Start(SolverData& d, RunStartResult& r) : d_(d), r_(r) {}

  void Warn(const std::string& text) { r_.messages.push_back({false, text}); }
  RunStartResult& Refuse(const std::string& text, const std::string& status, bool restore = false) {
    r_.messages.push_back({true, text});
    r_.restore = restore;
    return Cancel(status);
  }
  RunStartResult& Refuse(const RunRefusal& f, bool restore = false) {
    return Refuse(f.text, f.status, restore);
  }
  // Not started without a message (the user chose so); the status says why.
  RunStartResult& Cancel(const std::string& status) {
    r_.status = status;
    r_.started = false;
    if (reserved_) FreeFieldArrays(d_);
    return r_;
  }
  void Reserved() { reserved_ = true; }

private:
  SolverData& d_;
  RunStartResult& r_;
  bool reserved_ = false;
};

// The angle of incidence as typed: a number from -90 to +90 degrees.
bool ReadIncAngle(const MainSettings& s, double& angle, bool& number) {
  number = TryStrToFloat(s.edIncAngle, angle);
  return number && angle >= -90 && angle <= 90;
}

// Cell sizes the updates can step: positive numbers whose product is a number.
bool ReadCellSizes(const MainSettings& s, double& dx, double& dy, double& dz) {
  const bool ok = TryStrToFloat(s.edX, dx) && TryStrToFloat(s.edY, dy) && TryStrToFloat(s.edZ, dz);
  return ok && dx > 0 && dy > 0 && dz > 0 && std::isfinite(dx * dy * dz);
}

// The time step in ns: a positive finite number.
bool ReadTimeStep(const MainSettings& s, double& dtNs) {
  return TryStrToFloat(s.eddT, dtNs) && dtNs > 0 && std::isfinite(dtNs);
}

// A 1/R face's scatter centre must lie inside the nodes 2..N-1.
bool CentreInside(const MainSettings& s) {
  auto inside = [](int c, int n) { return c >= 2 && c <= n - 1; };
  return inside(s.spCenterI, s.spX) && inside(s.spCenterJ, s.spY) && inside(s.spCenterK, s.spZ);
}

// Steps 1-2: the faces, the source mode and the grid size.
void ReadModeAndGrid(const MainSettings& s, SolverData& d) {
  ReadBorders(s.ComboBox, d);
  d.ExternalField = s.rgSources == SourceExternalField;
  d.TFSFSource = s.rgSources == SourceTFSF;
  d.InternalSourcesOnly = s.rgSources == SourceInternalOnly;
  d.FarFieldOn = (s.cbFarDiagram || s.cbFarPoints) ? 1 : 0;
  SetGridSize(d, s.spX, s.spY, s.spZ);
}

// The plane wave's and the far field's settings of the run.
void ReadWave(const MainSettings& s, RunSettings& rs) {
  rs.EVertical = s.rgEOrient == 0;
  rs.WaveTheta = float(s.TrackBar1);
  rs.WavePhi = float(s.TrackBar2);
  rs.CalcFarH = s.cbCalcFarH;
  rs.FastDiagram = s.cbFastDigramm;
}

// The rows of the far-point table the run's far field reads (only with user far points).
std::vector<std::array<std::string, 3>> FarPointRows(const MainSettings& s, const OutPointTables* outputs) {
  std::vector<std::array<std::string, 3>> rows;
  if (s.cbFarPoints && outputs)
    for (int r = 1; r < outputs->sgFarPoints.RowCount(); ++r)
      rows.push_back({outputs->sgFarPoints.Cells(0, r), outputs->sgFarPoints.Cells(1, r),
                      outputs->sgFarPoints.Cells(2, r)});
  return rows;
}

int FarRowCount(const RunStartInputs& in) { return in.outputs ? in.outputs->sgFarPoints.RowCount() - 1 : 0; }

// A source or feature chosen that this build lacks, in the start's order.
RunRefusal MissingFeature(const SolverData& d, const RunFeatures& f) {
  if (d.TFSFSource && !f.SetupTFSF)
    return NotAvailable("Источник \"TF-SF (деление поля на полное-рассеянное)\"", "Источник", "Источник поля");
  if (d.ExternalField && !f.ExternalField)
    return NotAvailable("Источник \"Внешнее поле по всему объему (вдоль оси X)\"", "Источник",
                        "Источник поля");
  if (d.FarFieldOn && !f.SetupFarField)
    return NotAvailable("Расчет дальнего поля", "Дальнее поле", "Диаграммы направленности");
  if (d.AnyPML && (!f.SetupPML || !f.PMLLowFrequency))
    return NotAvailable("Граничное условие \"PML (Perfectly Matched Layer)\"", "Гранич. услов.",
                        "Граничные условия");
  if (d.AnyDissipation && !f.Dissipation)
    return NotAvailable("Граничное условие \"Dissipation 1/R\"", "Гранич. услов.", "Граничные условия");
  if (d.AnyRTABC && !f.RTABC)
    return NotAvailable("Граничное условие \"RT-ABC\"", "Гранич. услов.", "Граничные условия");
  return {};
}

// Step 3: the TF-SF box (its hook keeps the box for the run).
RunRefusal TFSFBoxRefusal(SolverData& d, const MainSettings& s, RunSettings& rs, const RunFeatures& f) {
  std::string msg;
  if (!d.TFSFSource || !f.SetupTFSF || f.SetupTFSF(d, s, rs, msg)) return {};
  return {msg + ChangeOn("Дальнее поле", "Область интегрирования (бокс TF-SF)"), runmsg::BadTFSFBoxStatus};
}

// Step 5.
RunRefusal ModeRefusal(const SolverData& d, bool projectReady) {
  if (d.FarFieldOn && d.ExternalField) return {runmsg::FarFieldWithExternal, runmsg::FarFieldWithExternalStatus};
  if (d.AnyPECOrSym && d.FarFieldOn) return {runmsg::FarFieldWithPECOrSym, runmsg::FarFieldWithPECOrSymStatus};
  if (!projectReady) return {runmsg::ProjectLoading, runmsg::ProjectLoadingStatus};
  return {};
}

// Step 6: the PML's reflection, read into R when it is a number. Its edit is shown only with
// a PML face: a bad text elsewhere does not count.
RunRefusal PMLReflectionRefusal(const MainSettings& s, bool anyPML, float& R) {
  double refl = 0;
  if (!TryStrToFloat(s.edpmlR, refl)) {
    if (!anyPML) return {};
    return {"Ошибка в задании коэффициента отражения PML: \"" + TextPiece(s.edpmlR) + "\" не является числом" +
                ChangeOn("Гранич. услов.", "Коэффициент отражения:"),
            runmsg::BadPMLReflectionStatus};
  }
  R = float(refl);
  // Outside 0 < R <= 1 the layer's tables turn to NaN or the layer amplifies.
  if (!anyPML || PMLReflectionValid(R)) return {};
  return {"Коэффициент отражения PML должен быть больше 0 и не больше 1: \"" + TextPiece(s.edpmlR) + "\"" +
              ChangeOn("Гранич. услов.", "Коэффициент отражения:"),
          runmsg::BadPMLReflectionStatus};
}

// Step 7: the estimate against 90 % of the machine's memory (0: not known, not checked).
RunRefusal MemoryRefusal(const MainSettings& s, int farRows, uint64_t totalPhysBytes) {
  if (!totalPhysBytes) return {};
  const uint64_t usable = totalPhysBytes - totalPhysBytes / 10;
  if (double(usable) < EstimateMemory(s, farRows).MemoryNeed) return {runmsg::NoMemory, runmsg::NoMemoryStatus};
  return {};
}

// Step 11: the angle, read into `angle` when it is a number.
RunRefusal AngleRefusal(const MainSettings& s, double& angle) {
  bool number = false;
  if (ReadIncAngle(s, angle, number)) return {};
  if (!number)
    return {"Ошибка в задании угла падения волны: \"" + TextPiece(s.edIncAngle) + "\" не является числом" +
                ChangeOn("Источник", "Угол падения волны, град."),
            runmsg::BadAngleStatus};
  return {runmsg::BadAngle, runmsg::BadAngleStatus};
}

// The external field fills the box with its wave only where every face carries it.
RunRefusal ExternalFacesRefusal(const SolverData& d, double angle) {
  if (!d.ExternalField) return {};
  const std::string faces = ExternalFieldFaceConflict(d, angle);
  if (faces.empty()) return {};
  return {faces + ChangeOn("Гранич. услов.", "Граничные условия"), runmsg::ExternalFieldFacesStatus};
}

// Step 13. The RT-ABC history reaches three planes into the grid on every axis.
RunRefusal GridRefusal(const MainSettings& s) {
  if (s.spX < 2 || s.spY < 2 || s.spZ < 2) return {runmsg::GridTooSmall, runmsg::GridTooSmallStatus};
  const bool rtabc = AnyBorder(s.ComboBox, BorderRTABC);
  if (rtabc && (s.spX < 3 || s.spY < 3 || s.spZ < 3)) return {runmsg::RTABCTooSmall, runmsg::RTABCTooSmallStatus};
  return {};
}

// Steps 19-20: cell sizes and the time step. A size of zero, a negative one or one beyond
// the number range gives no grid the updates can step; a step that is not above zero runs
// nothing, and one above the stability limit makes every field grow until it is INF and
// NaN. Under RT-ABC the run's step is Dx/2 on cells of Dx, always below the limit.
RunRefusal StepRefusal(const MainSettings& s) {
  double dx = 0, dy = 0, dz = 0, dtNs = 0;
  if (!ReadCellSizes(s, dx, dy, dz)) {
    // The page's own check names the axis and the text.
    std::string why;
    for (const std::string& r : ComputeGridSettings(s, 1, 0).sizeRefusals)
      if (!r.empty()) why += (why.empty() ? "" : "; ") + r;
    return {runmsg::BadCellSizeText(why), runmsg::BadCellSizeStatus};
  }
  if (!ReadTimeStep(s, dtNs)) return {runmsg::BadTimeStepText(TimeStepRefusal(s.eddT)), runmsg::BadTimeStepStatus};
  if (AnyBorder(s.ComboBox, BorderRTABC)) return {};
  const double limit = StabilityLimit(dx, dy, dz);
  if (WithinStabilityLimit(dtNs, limit)) return {};
  return {runmsg::TimeStepAboveLimit(dtNs, limit * 1e9), runmsg::TimeStepAboveLimitStatus};
}

// Step 21: the scatter centre of the 1/R faces. A centre on node 1 or below puts the low
// face's inner edges farther out than its boundary edges, and the face then amplifies
// every step: it must lie inside the nodes 2..N-1.
RunRefusal CentreRefusal(const MainSettings& s) {
  if (!AnyBorder(s.ComboBox, BorderDissipation) || CentreInside(s)) return {};
  return {runmsg::CentreOutside, runmsg::CentreOutsideStatus};
}

// Step 22: the far field's own message names the box, a far point's row or the radius.
RunRefusal FarFieldRefusal(const std::string& msg) {
  return {msg.empty() ? std::string(runmsg::BadFarBox) : msg + "\nЭто задается на странице «Дальнее поле».",
          runmsg::BadFarFieldStatus};
}

// A medium faster than vacuum lowers the limit the step was checked against. The cells
// and the step are those the run steps with; every value is usable (checked before).
RunRefusal FastMediumRefusal(const std::array<tLayer, MaxLayers>& layers, const CellCounts& counts, bool polar,
                             bool magnetic, bool rtabc, double dx, double dy, double dz, double stepSec) {
  const FastestMedium fast = FindFastestMedium(layers, counts, polar, magnetic);
  if (fast.Layer == 0) return {};
  const double stepNs = stepSec * 1e9;
  const double limit = StabilityLimit(dx, dy, dz) * std::sqrt(fast.EpsMu);
  if (WithinStabilityLimit(stepNs, limit)) return {};
  return {runmsg::MediumFasterThanStep(fast.Layer, layers[size_t(fast.Layer)], polar, magnetic, rtabc, stepNs,
                                       limit * 1e9),
          "Шаг по времени больше предела устойчивости материала " + std::to_string(fast.Layer)};
}

// Step 24: no source the run can use, while the field comes from the sources only. The
// source rows the run would leave out are named.
RunRefusal NoSourcesRefusal(const LumpedRowsCheck& rows) {
  std::string text = runmsg::NoSources;
  if (!rows.sourcesLeftOut.empty())
    text.insert(text.find('\n'), "\nНе войдут в расчет:" + rows.sourcesLeftOut);
  return {text, runmsg::NoSourcesStatus};
}

}  // namespace

std::string SettingsRefusalStatus(const MainSettings& s) {
  double angle = 0;
  for (const RunRefusal& f : {AngleRefusal(s, angle), GridRefusal(s), StepRefusal(s), CentreRefusal(s)})
    if (f) return f.status;
  return "";
}

std::string runmsg::BadCellSizeText(const std::string& why) {
  return "Ошибка в задании шагов по пространству: размер ячейки " + why + ". Работа невозможна!" +
         ChangeOn("Геометрия", "Размер ячейки, м:");
}

std::string runmsg::BadTimeStepText(const std::string& why) {
  return "Ошибка в задании шага по времени: " + why + ". Работа невозможна!" +
         ChangeOn("Геометрия", "Шаг по времени, нс:");
}

std::string runmsg::TimeStepAboveLimit(double stepNs, double limitNs) {
  return "Шаг по времени " + FormatGeneral(stepNs, 15) + " нс больше предела устойчивости " +
         LimitBelow(stepNs, limitNs) + " нс: поле в расчете будет расти без ограничения. Работа невозможна!" +
         ChangeOn("Геометрия", "Шаг по времени, нс:");
}

std::string runmsg::MediumFasterThanStep(int layer, const tLayer& L, bool polar, bool magnetic,
                                         bool rtabc, double stepNs, double limitNs) {
  std::string values = "εs = " + FormatGeneral(L.EpsStatic, 15);
  if (PermittivityOf(L, polar) != L.EpsStatic) values += ", ε∞ = " + FormatGeneral(L.EpsInf, 15);
  if (magnetic) values += ", μ = " + FormatGeneral(L.Mu, 15);
  const std::string head = "Материал " + std::to_string(layer) + " \"" + L.Name + "\" (" + values + ")";
  return head + ": волна в нем быстрее, чем в вакууме, и предел устойчивости для него " +
         LimitBelow(stepNs, limitNs) + " нс, а шаг по времени " + FormatGeneral(stepNs, 15) +
         " нс больше: поле в расчете будет расти без ограничения. Работа невозможна!" +
         (rtabc ? "\nШаг RT-ABC равен Dx/2 и не меняется: измените материал в окне материалов."
                : "\nИзмените «Шаг по времени, нс:» на странице «Геометрия» или материал в окне материалов.");
}

std::string runmsg::AllocRefusal(const std::string& cause) {
  return cause + ChangeOn("Геометрия", "Число ячеек:");
}

RunStartResult StartRun(SolverData& d, const RunStartInputs& in, RunStartHost& host,
                        const RunFeatures& f) {
  RunStartResult r;
  Start st(d, r);
  const MainSettings& s = in.settings;
  RunSettings& rs = r.run.settings;

  // 1-2: faces and source mode
  ReadModeAndGrid(s, d);
  ReadWave(s, rs);

  // 3: the TF-SF box
  if (d.TFSFSource && !f.SetupTFSF) return st.Refuse(MissingFeature(d, f));
  if (const RunRefusal no = TFSFBoxRefusal(d, s, rs, f)) return st.Refuse(no);
  // 4-5; features this build does not have yet are refused before anything is reserved.
  d.NoExternalField = !d.ExternalField;
  if (const RunRefusal no = ModeRefusal(d, in.projectReady)) return st.Refuse(no);
  if (const RunRefusal no = MissingFeature(d, f)) return st.Refuse(no);

  // 6: the PML layer
  rs.PMLParabolic = s.rgPMLprofile == 0;
  host.ClearProgressLabels();
  rs.PMLCount = std::clamp(s.sePMLCount, PMLCountMin, PMLCountMax);
  if (const RunRefusal no = PMLReflectionRefusal(s, d.AnyPML, rs.PMLReflection)) return st.Refuse(no);

  // 7: memory
  if (const RunRefusal no = MemoryRefusal(s, FarRowCount(in), in.totalPhysBytes)) return st.Refuse(no);

  // 8: the model covers the grid
  if (!ResizeSpace(d)) return st.Refuse(runmsg::AllocFailedHint, runmsg::AllocFailed);
  host.EditorGridChanged();

  // 9: object box, signal, element records
  d.SARDelay = std::max(0, s.seSarDelay);
  d.HeatingOn = 0;
  FindObjectBounds(d);
  {
    std::string msg;
    if (!host.RefreshSignal(msg))
      return st.Refuse((msg.empty() ? std::string("Обнаружены ошибки в значениях параметров сигналов") : msg) +
                           "\nИсправьте параметры сигнала: кнопка «Выбор формы сигнала» на странице «Источник».",
                       runmsg::BadSignalStatus);
  }
  // The output rows before the element records, whose warnings they would repeat: a row
  // no run can use is refused, rows a run leaves out are asked about.
  if (in.outputs) {
    const OutputRowsCheck out = CheckOutputRows(*in.outputs, d, s.cbEnergy, !in.outputs->cbNoWriteFile);
    if (out.refusal) return st.Refuse(out.refusal);
    if (!out.leftOut.empty() && !host.ConfirmRowsLeftOut(OutputRowsLeftOutQuestion(out)))
      return st.Cancel(runmsg::OutputRowsLeftOutStatus);
  }
  for (const std::string& m : host.LoadElementArrays(d, r.run.elements)) st.Warn(m);
  if (in.outputs)
    if (const std::string w = OutputsOnFacePlanesWarning(*in.outputs, d); !w.empty()) st.Warn(w);
  // Values no element update can use are refused; rows the tables may keep incomplete or
  // outside the grid are left out when the user agrees. With no source left where the
  // field comes from the sources alone, the sources' own refusal follows instead.
  LumpedRowsCheck rows;
  if (in.lamped) {
    rows = CheckLumpedRows(*in.lamped, d);
    if (rows.refusal) return st.Refuse(rows.refusal);
    if (const RunRefusal no = SharedGapEdgeRefusal(*in.lamped, d)) return st.Refuse(no);
    if (const RunRefusal no = ElementOnFacePlaneRefusal(*in.lamped, d)) return st.Refuse(no);
    const bool noSourceLeft = d.InternalSourcesOnly && rows.sourcesUsed == 0;
    if (!rows.leftOut.empty() && !noSourceLeft && !host.ConfirmRowsLeftOut(RowsLeftOutQuestion(rows)))
      return st.Cancel(runmsg::RowsLeftOutStatus);
  }

  // 10 (with the external field that mix is refused below)
  if ((d.AnyRTABC || d.AnyMur || d.AnyDissipation) && d.AnyPML && !d.ExternalField)
    st.Warn(runmsg::PMLConflict);

  // 11: angle of incidence, tested whatever the source
  double angle = 0;
  if (const RunRefusal no = AngleRefusal(s, angle)) return st.Refuse(no);
  rs.IncAngle = double((long double)angle * Pi / 180.0L);
  if (const RunRefusal no = ExternalFacesRefusal(d, angle)) return st.Refuse(no);

  // 12
  d.MagneticMaterials = s.cbMagneticMaterals;
  d.SAROn = s.cbEnergy;
  host.ResetLiveFrames();

  // 13
  if (const RunRefusal no = GridRefusal(s)) return st.Refuse(no);
  d.PolarDielectrics = s.cbBioMaterals;

  // 14
  if (AllocFieldArrays(d) == 0) return st.Refuse(runmsg::AllocFailedHint, runmsg::AllocFailed);
  st.Reserved();

  // 15
  if (d.SAROn)
    for (t3DSpaceArray* a : {&d.PowerX, &d.PowerY, &d.PowerZ}) a->fill(0.0f);

  // 16
  rs.OutputRate = in.outputs ? std::max(1, in.outputs->seOutputRate) : 1;
  d.OutputRate = rs.OutputRate;
  rs.ShowGraphs = in.outputs && in.outputs->cbShowGr;
  rs.ShowInput = in.outputs && in.outputs->cbShowInput;
  rs.WriteOutputFiles = !(in.outputs && in.outputs->cbNoWriteFile);
  rs.RunStartTimeMs = in.nowMs;
  d.StepCount = std::max(1, s.seStepCount);
  rs.FarSeriesLength = d.StepCount;
  rs.FarPointRows = FarPointRows(s, in.outputs);
  host.ShowPreparing();

  // 18 (17, the running look, is the window's)
  rs.CenterI = s.spCenterI;
  rs.CenterJ = s.spCenterJ;
  rs.CenterK = s.spCenterK;
  ClearFields(d);

  // 19-20: cell sizes and the time step
  if (const RunRefusal no = StepRefusal(s)) return st.Refuse(no, true);
  double dtNs = 0;
  ReadCellSizes(s, d.Dx, d.Dy, d.Dz);
  ReadTimeStep(s, dtNs);
  d.TimeStepSec = dtNs / 1e9;

  // 25-27: c*dt, the RT-ABC rule and the Courant numbers, before anything is computed from
  // the cells or the step (far field, cell volume, material and PML coefficients). RT-ABC
  // steps with c*dt = Dx/2 on cells of Dx whatever was typed (a hand-edited project may
  // hold another step): the step in seconds follows, so every quantity uses that one step.
  d.TimeStep = d.TimeStepSec * double(LightSpeed);
  const bool rtUnequal = d.AnyRTABC && (d.Dx != d.Dy || d.Dx != d.Dz);
  if (d.AnyRTABC) {
    d.Dy = d.Dx;
    d.Dz = d.Dx;
    d.TimeStep = d.Dx / 2;
    d.TimeStepSec = d.TimeStep / double(LightSpeed);
  }
  d.CourantX = d.TimeStep / d.Dx;
  d.CourantY = d.TimeStep / d.Dy;
  d.CourantZ = d.TimeStep / d.Dz;
  d.HalfDx = d.Dx / 2;

  // 21
  if (const RunRefusal no = CentreRefusal(s)) return st.Refuse(no, true);

  // 22: far field (the hook validates the box before it sizes anything)
  if (d.FarFieldOn) {
    std::string msg;
    if (!f.SetupFarField(d, s, rs, msg)) return st.Refuse(FarFieldRefusal(msg), true);
  }

  // 23: material census
  d.MaterialCellCount.fill(0);
  d.ObjectCellCount = 0;
  d.CellVolume = d.Dx * d.Dy * d.Dz;
  {
    const bool mag = d.MagneticMaterials && !d.HCoefCell.empty();
    ForEachMaterialCell(d, d.Nx, d.Ny, d.Nz, [&](int i, int j, int k, uint8_t m) {
      if (mag && d.HCoefCell.inside(i, j, k))
        d.HCoefCell(i, j, k) = float(double(d.HCoefCell(i, j, k)) / d.Layers[m].Mu);
      ++d.MaterialCellCount[size_t(m) - 1];
      ++d.ObjectCellCount;
    });
  }
  // A material value the updates cannot use, then a medium faster than the step allows.
  if (const RunRefusal no = MaterialValueRefusal(d.Layers, d.MaterialCellCount,
                                                 {d.PolarDielectrics != 0, d.MagneticMaterials != 0, d.SAROn != 0,
                                                  d.CellVolume}))
    return st.Refuse(no, true);
  if (const RunRefusal no = FastMediumRefusal(d.Layers, d.MaterialCellCount, d.PolarDielectrics, d.MagneticMaterials,
                                              d.AnyRTABC, d.Dx, d.Dy, d.Dz, d.TimeStepSec))
    return st.Refuse(no, true);
  if (in.lamped)
    if (const RunRefusal no = InductorBoundRefusal(*in.lamped, d, d.Dx, d.Dy, d.Dz, d.TimeStepSec, d.Layers,
                                                   d.MaterialCellCount,
                                                   {d.PolarDielectrics != 0, d.MagneticMaterials != 0, d.SAROn != 0}))
      return st.Refuse(no, true);

  if (d.SAROn) {
    r.run.layers = d.Layers;
    r.run.space = d.Space;
    if (r.run.space.size() != d.Space.size())
      return st.Refuse(runmsg::AllocFailedHint, runmsg::AllocFailed);
  }

  // 24: voltage sources against the source mode
  const int sourceRows = in.lamped ? in.lamped->sgSourses.RowCount() - 1 : 0;
  if ((d.ExternalField || d.TFSFSource) && sourceRows > 0) st.Warn(runmsg::SourcesWithField);
  if (d.InternalSourcesOnly && rows.sourcesUsed <= 0) return st.Refuse(NoSourcesRefusal(rows), true);
  if (const RunRefusal no = RunSignalRefusal(host, SignalUseOf(d, d.Dx, d.Dy, d.Dz, d.TimeStepSec, d.StepCount,
                                                               r.run.elements.VoltageSources)))
    return st.Refuse(no, true);
  // Outputs that can only stay zero. The plane wave enters through the absorbing faces (or
  // the TF-SF box); with nothing but vacuum inside and no element it passes untouched and
  // every component it lacks stays zero. A wall does not change that: the external field
  // takes only walls its wave already satisfies, and TF-SF keeps its wave clear of them.
  {
    const ElementArrays& e = r.run.elements;
    const bool sources = sourceRows > 0 || AnyRecord(e.VoltageSources);
    const bool elements = AnyRecord(e.SparkGaps) || AnyRecord(e.Resistors) ||
                          AnyRecord(e.Capacitors) || AnyRecord(e.Inductors);
    if (!sources && !elements && ModelIsVacuum(d)) st.Warn(runmsg::OnlyVacuum);
  }

  // 26: the RT-ABC rule's warning, in the place of its check
  if (rtUnequal) st.Warn(runmsg::RTABCUnequal);

  // 28: every spark gap starts unfired
  for (tSparkGap& g : r.run.elements.SparkGaps) g.Fired = 0;

  // 29
  if (d.PolarDielectrics && !AllocDebyeArrays(d))
    return st.Refuse(runmsg::AllocFailedHint, runmsg::AllocFailed, true);

  // 30: output files, then the PML. The chart's curves go only now, once every check has
  // passed: a refused start leaves the user's curves where they were.
  if (rs.ShowGraphs) host.ClearCharts();
  {
    std::string msg;
    if (!host.PrepareOutputFiles(d, msg)) {
      if (msg.empty()) {  // the user chose not to run without some files
        r.restore = true;
        return st.Cancel(runmsg::FilesNotMadeStatus);
      }
      return st.Refuse(msg, runmsg::OutputFilesStatus, true);
    }
    if (d.AnyPML && !f.SetupPML(d, rs, msg))
      return st.Refuse((msg.empty() ? std::string(runmsg::AllocFailed) : msg) +
                           ChangeOn("Гранич. услов.", "Число слоев:"),
                       runmsg::AllocFailed, true);
  }

  r.started = true;
  return r;
}

SignalRunUse SettingsSignalUse(const MainSettings& s, RunStartHost& host) {
  SolverData c;  // the mode and grid of the settings, no model
  ReadModeAndGrid(s, c);
  double dx = 0, dy = 0, dz = 0, dtNs = 0;
  if (!ReadCellSizes(s, dx, dy, dz) || !ReadTimeStep(s, dtNs)) return {};
  const bool rtabc = c.AnyRTABC;
  const double stepSec = rtabc ? dx / 2 / double(LightSpeed) : dtNs / 1e9;
  ElementArrays a;
  host.LoadElementArrays(c, a);
  return SignalUseOf(c, dx, rtabc ? dx : dy, rtabc ? dx : dz, stepSec, std::max(1, s.seStepCount), a.VoltageSources);
}

bool RefusalHolds(const std::string& status, const RunStartInputs& in, const SolverData& d,
                  const RunFeatures& f, RunStartHost& host) {
  if (status.empty()) return false;
  auto is = [&status](const RunRefusal& no) { return no && no.status == status; };
  const MainSettings& s = in.settings;
  SolverData c;  // the mode, faces and grid of the settings; the model stays in d
  ReadModeAndGrid(s, c);
  RunSettings rs;
  ReadWave(s, rs);
  float reflection = 0;
  double angle = 0;
  if (is(MissingFeature(c, f)) || is(TFSFBoxRefusal(c, s, rs, f)) || is(ModeRefusal(c, in.projectReady)) ||
      is(PMLReflectionRefusal(s, c.AnyPML, reflection)) || is(MemoryRefusal(s, FarRowCount(in), in.totalPhysBytes)) ||
      is(AngleRefusal(s, angle)) || is(ExternalFacesRefusal(c, angle)) || is(GridRefusal(s)) || is(StepRefusal(s)) ||
      is(CentreRefusal(s)))
    return true;
  if (status == runmsg::BadSignalStatus) return !host.SignalReady();
  if (in.outputs) {
    const OutputRowsCheck out = CheckOutputRows(*in.outputs, c, s.cbEnergy, !in.outputs->cbNoWriteFile);
    if (is(out.refusal)) return true;
    if (status == runmsg::OutputRowsLeftOutStatus) return !out.leftOut.empty();
  }
  LumpedRowsCheck rows;
  if (in.lamped) {
    rows = CheckLumpedRows(*in.lamped, c);
    if (is(rows.refusal) || is(SharedGapEdgeRefusal(*in.lamped, c)) ||
        is(ElementOnFacePlaneRefusal(*in.lamped, c))) return true;
    if (status == runmsg::RowsLeftOutStatus) return !rows.leftOut.empty();
  }
  if (c.InternalSourcesOnly && rows.sourcesUsed <= 0 && status == runmsg::NoSourcesStatus) return true;
  if (c.FarFieldOn && f.CheckFarField) {
    rs.FarPointRows = FarPointRows(s, in.outputs);
    std::string msg;
    if (!f.CheckFarField(c, s, rs, msg) && is(FarFieldRefusal(msg))) return true;
  }
  // The materials: the census of the model on the settings' grid, the run's cells and step.
  CellCounts counts{};
  ForEachMaterialCell(d, c.Nx, c.Ny, c.Nz, [&counts](int, int, int, uint8_t m) { ++counts[size_t(m) - 1]; });
  double dx = 0, dy = 0, dz = 0, dtNs = 0;
  const bool sizes = ReadCellSizes(s, dx, dy, dz);
  const bool rtabc = c.AnyRTABC;
  const double volume = !sizes ? 0 : rtabc ? dx * dx * dx : dx * dy * dz;
  const MaterialUse use{s.cbBioMaterals, s.cbMagneticMaterals, s.cbEnergy, volume};
  if (is(MaterialValueRefusal(d.Layers, counts, use))) return true;
  if (!sizes || !ReadTimeStep(s, dtNs)) return false;
  const double stepSec = rtabc ? dx / 2 / double(LightSpeed) : dtNs / 1e9;
  if (IsSignalValueStatus(status))
    return SignalRefusalHolds(status, host, c, dx, rtabc ? dx : dy, rtabc ? dx : dz, stepSec,
                              std::max(1, s.seStepCount));
  if (is(FastMediumRefusal(d.Layers, counts, use.polar, use.magnetic, rtabc, dx, rtabc ? dx : dy, rtabc ? dx : dz,
                           stepSec)))
    return true;
  return in.lamped &&
         is(InductorBoundRefusal(*in.lamped, c, dx, rtabc ? dx : dy, rtabc ? dx : dz, stepSec, d.Layers, counts, use));
}

}  // namespace rv
