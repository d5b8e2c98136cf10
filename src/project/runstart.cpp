#include "project/runstart.h"

#include <algorithm>
#include <cmath>

#include "boundaries/externalfield.h"
#include "boundaries/pml.h"
#include "project/borderdecode.h"
#include "project/gridsettings.h"
#include "solver/constants.h"
#include "solver/numtext.h"
#include "solver/resultpaths.h"
#include "solver/yee.h"

namespace rv {

namespace {

constexpr long double Pi = 3.141592653589793238462643383279502884L;

// Where the user changes a setting: the page of the main window and the caption on it.
std::string ChangeOn(const std::string& page, const std::string& field) {
  return "\nИзмените «" + field + "» на странице «" + page + "».";
}

std::string NotAvailable(const std::string& what, const std::string& page, const std::string& field) {
  return what + " в этой версии программы не поддерживается. Выберите другое." + ChangeOn(page, field);
}

// A material whose cells a run updates exactly as vacuum: no conductivity, a permittivity
// of 1 (also at high frequency when its Debye term is on), mu 1 when mu is used.
bool ActsAsVacuum(const tLayer& L, bool polar, bool magnetic) {
  return L.Sigma == 0 && L.EpsStatic == 1 && !(polar && L.Tau > 0 && L.EpsInf != L.EpsStatic) &&
         !(magnetic && L.Mu != 1);
}

// No cell of the model differs from vacuum (after the material census).
bool ModelIsVacuum(const SolverData& d) {
  for (int m = 1; m < MaxLayers; ++m)
    if (d.MaterialCellCount[size_t(m) - 1] > 0 &&
        !ActsAsVacuum(d.Layers[size_t(m)], d.PolarDielectrics, d.MagneticMaterials))
      return false;
  return true;
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

FastestMedium FindFastestMedium(const SolverData& d) {
  FastestMedium f;
  for (int m = 1; m < MaxLayers; ++m) {
    if (d.MaterialCellCount[size_t(m) - 1] <= 0) continue;
    const tLayer& L = d.Layers[size_t(m)];
    const double epsMu = PermittivityOf(L, d.PolarDielectrics) * (d.MagneticMaterials ? L.Mu : 1.0);
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
  RunStartResult& Refuse(const std::string& text, const std::string& status = "",
                         bool restore = false) {
    r_.messages.push_back({true, text});
    r_.status = status;
    r_.restore = restore;
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

}  // namespace

std::string SettingsRefusalStatus(const MainSettings& s) {
  double angle = 0;
  bool number = false;
  if (!ReadIncAngle(s, angle, number)) return runmsg::BadAngleStatus;
  if (s.spX < 2 || s.spY < 2 || s.spZ < 2) return runmsg::GridTooSmallStatus;
  const bool rtabc = AnyBorder(s.ComboBox, BorderRTABC);
  if (rtabc && (s.spX < 3 || s.spY < 3 || s.spZ < 3)) return runmsg::RTABCTooSmallStatus;
  double dx = 0, dy = 0, dz = 0, dtNs = 0;
  if (!ReadCellSizes(s, dx, dy, dz)) return runmsg::BadCellSizeStatus;
  if (!ReadTimeStep(s, dtNs)) return runmsg::BadTimeStepStatus;
  if (!rtabc && !WithinStabilityLimit(dtNs, StabilityLimit(dx, dy, dz)))
    return runmsg::TimeStepAboveLimitStatus;
  if (AnyBorder(s.ComboBox, BorderDissipation) && !CentreInside(s)) return runmsg::CentreOutsideStatus;
  return "";
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
  if (!(limitNs > 0))
    return head + ": диэлектрическая и магнитная проницаемости материала должны быть больше 0. "
                  "Работа невозможна!\nИзмените материал в окне материалов.";
  return head + ": волна в нем быстрее, чем в вакууме, и предел устойчивости для него " +
         LimitBelow(stepNs, limitNs) + " нс, а шаг по времени " + FormatGeneral(stepNs, 15) +
         " нс больше: поле в расчете будет расти без ограничения. Работа невозможна!" +
         (rtabc ? "\nШаг RT-ABC равен Dx/2 и не меняется: измените материал в окне материалов."
                : "\nИзмените «Шаг по времени, нс:» на странице «Геометрия» или материал в окне материалов.");
}

RunStartResult StartRun(SolverData& d, const RunStartInputs& in, RunStartHost& host,
                        const RunFeatures& f) {
  RunStartResult r;
  Start st(d, r);
  const MainSettings& s = in.settings;
  RunSettings& rs = r.run.settings;

  // 1-2: faces and source mode
  ReadBorders(s.ComboBox, d);
  d.ExternalField = s.rgSources == SourceExternalField;
  d.TFSFSource = s.rgSources == SourceTFSF;
  d.InternalSourcesOnly = s.rgSources == SourceInternalOnly;
  d.FarFieldOn = (s.cbFarDiagram || s.cbFarPoints) ? 1 : 0;
  rs.EVertical = s.rgEOrient == 0;
  rs.WaveTheta = float(s.TrackBar1);
  rs.WavePhi = float(s.TrackBar2);
  rs.CalcFarH = s.cbCalcFarH;
  rs.FastDiagram = s.cbFastDigramm;
  SetGridSize(d, s.spX, s.spY, s.spZ);

  // 3: the TF-SF box
  if (d.TFSFSource) {
    if (!f.SetupTFSF)
      return st.Refuse(NotAvailable("Источник \"TF-SF (деление поля на полное-рассеянное)\"",
                                    "Источник", "Источник поля"));
    std::string msg;
    if (!f.SetupTFSF(d, s, rs, msg))
      return st.Refuse(msg + ChangeOn("Дальнее поле", "Область интегрирования (бокс TF-SF)"));
  }
  // 4-5
  d.NoExternalField = !d.ExternalField;
  if (d.FarFieldOn && d.ExternalField) return st.Refuse(runmsg::FarFieldWithExternal);
  if (d.AnyPECOrSym && d.FarFieldOn) return st.Refuse(runmsg::FarFieldWithPECOrSym);
  if (!in.projectReady) return st.Refuse(runmsg::ProjectLoading);
  // Features this build does not have yet are refused before anything is reserved.
  if (d.ExternalField && !f.ExternalField)
    return st.Refuse(NotAvailable("Источник \"Внешнее поле по всему объему (вдоль оси Х)\"",
                                  "Источник", "Источник поля"));
  if (d.FarFieldOn && !f.SetupFarField)
    return st.Refuse(NotAvailable("Расчет дальнего поля", "Дальнее поле", "Диаграммы направленности"));
  if (d.AnyPML && (!f.SetupPML || !f.PMLLowFrequency))
    return st.Refuse(NotAvailable("Граничное условие \"PML (Perfectly Matched Layer)\"",
                                  "Гранич. услов.", "Граничные условия"));
  if (d.AnyDissipation && !f.Dissipation)
    return st.Refuse(NotAvailable("Граничное условие \"Dissipation 1/R\"", "Гранич. услов.",
                                  "Граничные условия"));
  if (d.AnyRTABC && !f.RTABC)
    return st.Refuse(NotAvailable("Граничное условие \"RT-ABC\"", "Гранич. услов.", "Граничные условия"));

  // 6: the PML layer
  rs.PMLParabolic = s.rgPMLprofile == 0;
  host.ClearProgressLabels();
  rs.PMLCount = std::clamp(s.sePMLCount, PMLCountMin, PMLCountMax);
  double refl = 0;
  if (TryStrToFloat(s.edpmlR, refl)) {
    rs.PMLReflection = float(refl);
    // Outside 0 < R <= 1 the layer's tables turn to NaN or the layer amplifies.
    if (d.AnyPML && !PMLReflectionValid(rs.PMLReflection))
      return st.Refuse("Коэффициент отражения PML должен быть больше 0 и не больше 1: \"" +
                       s.edpmlR + "\"" + ChangeOn("Гранич. услов.", "Коэффициент отражения:"));
  } else if (d.AnyPML) {
    // The layer's edits are shown only with a PML face: a bad text elsewhere does not count.
    return st.Refuse("Ошибка в задании коэффициента отражения PML: \"" + s.edpmlR +
                     "\" не является числом" + ChangeOn("Гранич. услов.", "Коэффициент отражения:"));
  }

  // 7: memory
  const int farRows = in.outputs ? in.outputs->sgFarPoints.RowCount() - 1 : 0;
  const MemoryEstimate est = EstimateMemory(s, farRows);
  if (in.totalPhysBytes) {
    const uint64_t usable = in.totalPhysBytes - in.totalPhysBytes / 10;
    if (double(usable) < est.MemoryNeed)
      return st.Refuse(runmsg::NoMemory, runmsg::NoMemoryStatus);
  }

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
                       "\nИсправьте параметры сигнала: кнопка «Выбор формы сигнала» на странице «Источник».");
  }
  for (const std::string& m : host.LoadElementArrays(d, r.run.elements)) st.Warn(m);
  if (in.lamped) {
    const std::string leftOut = LumpedRowsLeftOut(*in.lamped, d);
    if (!leftOut.empty()) st.Warn(leftOut);
  }

  // 10 (with the external field that mix is refused below)
  if ((d.AnyRTABC || d.AnyMur || d.AnyDissipation) && d.AnyPML && !d.ExternalField)
    st.Warn(runmsg::PMLConflict);

  // 11: angle of incidence, tested whatever the source
  double angle = 0;
  bool angleNumber = false;
  const bool angleOk = ReadIncAngle(s, angle, angleNumber);
  if (!angleNumber)
    return st.Refuse("Ошибка в задании угла падения волны: \"" + s.edIncAngle +
                         "\" не является числом" + ChangeOn("Источник", "Угол падения волны, град."),
                     runmsg::BadAngleStatus);
  rs.IncAngle = double((long double)angle * Pi / 180.0L);
  if (!angleOk) return st.Refuse(runmsg::BadAngle, runmsg::BadAngleStatus);
  // The external field fills the box with its wave only where every face carries it.
  if (d.ExternalField) {
    const std::string faces = ExternalFieldFaceConflict(d, angle);
    if (!faces.empty()) return st.Refuse(faces + ChangeOn("Гранич. услов.", "Граничные условия"));
  }

  // 12
  d.MagneticMaterials = s.cbMagneticMaterals;
  d.SAROn = s.cbEnergy;
  host.ResetLiveFrames();

  // 13
  if (s.spX < 2 || s.spY < 2 || s.spZ < 2)
    return st.Refuse(runmsg::GridTooSmall, runmsg::GridTooSmallStatus);
  // The RT-ABC history reaches three planes into the grid on every axis.
  if (d.AnyRTABC && (s.spX < 3 || s.spY < 3 || s.spZ < 3))
    return st.Refuse(runmsg::RTABCTooSmall, runmsg::RTABCTooSmallStatus);
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
  if (s.cbFarPoints && in.outputs)
    for (int r = 1; r < in.outputs->sgFarPoints.RowCount(); ++r)
      rs.FarPointRows.push_back({in.outputs->sgFarPoints.Cells(0, r),
                                 in.outputs->sgFarPoints.Cells(1, r),
                                 in.outputs->sgFarPoints.Cells(2, r)});
  host.ShowPreparing();

  // 18 (17, the running look, is the window's)
  rs.CenterI = s.spCenterI;
  rs.CenterJ = s.spCenterJ;
  rs.CenterK = s.spCenterK;
  ClearFields(d);

  // 19: cell sizes. A size of zero, a negative one or one beyond the number range gives no
  // grid the updates can step: refused as well.
  double dx = 0, dy = 0, dz = 0;
  if (!ReadCellSizes(s, dx, dy, dz))
    return st.Refuse(runmsg::BadCellSize, runmsg::BadCellSizeStatus, true);
  d.Dx = dx;
  d.Dy = dy;
  d.Dz = dz;

  // 20: time step in ns; a step that is not above zero runs nothing
  double dtNs = 0;
  if (!ReadTimeStep(s, dtNs)) return st.Refuse(runmsg::BadTimeStep, runmsg::BadTimeStepStatus, true);
  d.TimeStepSec = dtNs / 1e9;
  // Above the stability limit every field grows without bound until it is INF and NaN.
  // Under RT-ABC the run's step is Dx/2 on cells of Dx, always below the limit.
  if (!d.AnyRTABC) {
    const double limit = StabilityLimit(dx, dy, dz);
    if (!WithinStabilityLimit(dtNs, limit))
      return st.Refuse(runmsg::TimeStepAboveLimit(dtNs, limit * 1e9),
                       runmsg::TimeStepAboveLimitStatus, true);
  }

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

  // 21: the scatter centre of the 1/R faces. A centre on node 1 or below puts the low
  // face's inner edges farther out than its boundary edges, and the face then amplifies
  // every step: it must lie inside the nodes 2..N-1.
  if (d.AnyDissipation && !CentreInside(s))
    return st.Refuse(runmsg::CentreOutside, runmsg::CentreOutsideStatus, true);

  // 22: far field (the hook validates the box before it sizes anything)
  if (d.FarFieldOn) {
    std::string msg;
    if (!f.SetupFarField(d, s, rs, msg))
      // The hook's message names the box, a far point's row or the radius itself.
      return st.Refuse(msg.empty() ? std::string(runmsg::BadFarBox)
                                   : msg + "\nЭто задается на странице «Дальнее поле».",
                       "", true);
  }

  // 23: material census
  d.MaterialCellCount.fill(0);
  d.ObjectCellCount = 0;
  d.CellVolume = d.Dx * d.Dy * d.Dz;
  {
    const int ni = std::min(d.Nx, d.Space.len1() - 1);
    const int nj = std::min(d.Ny, d.Space.len2() - 1);
    const int nk = std::min(d.Nz, d.Space.len3() - 1);
    const bool mag = d.MagneticMaterials && !d.HCoefCell.empty();
    for (int i = 1; i <= ni; ++i)
      for (int j = 1; j <= nj; ++j)
        for (int k = 1; k <= nk; ++k) {
          const uint8_t m = d.Space(i, j, k);
          if (m == 0 || m >= MaxLayers || !d.Layers[m].On) continue;
          if (mag && d.HCoefCell.inside(i, j, k))
            d.HCoefCell(i, j, k) = float(double(d.HCoefCell(i, j, k)) / d.Layers[m].Mu);
          ++d.MaterialCellCount[size_t(m) - 1];
          ++d.ObjectCellCount;
        }
  }

  // A medium faster than vacuum lowers the limit the step was checked against.
  {
    const FastestMedium fast = FindFastestMedium(d);
    if (fast.Layer != 0) {
      const double stepNs = d.TimeStepSec * 1e9;
      const double limit = fast.EpsMu > 0 ? StabilityLimit(d.Dx, d.Dy, d.Dz) * std::sqrt(fast.EpsMu) : 0;
      if (!(limit > 0) || !WithinStabilityLimit(stepNs, limit))
        return st.Refuse(runmsg::MediumFasterThanStep(fast.Layer, d.Layers[size_t(fast.Layer)],
                                                      d.PolarDielectrics, d.MagneticMaterials,
                                                      d.AnyRTABC, stepNs, limit * 1e9),
                         runmsg::TimeStepAboveLimitStatus, true);
    }
  }

  if (d.SAROn) {
    r.run.layers = d.Layers;
    r.run.space = d.Space;
    if (r.run.space.size() != d.Space.size())
      return st.Refuse(runmsg::AllocFailedHint, runmsg::AllocFailed);
  }

  // 24: voltage sources against the source mode
  const int sourceRows = in.lamped ? in.lamped->sgSourses.RowCount() - 1 : 0;
  if ((d.ExternalField || d.TFSFSource) && sourceRows > 0) st.Warn(runmsg::SourcesWithField);
  if (d.InternalSourcesOnly && sourceRows <= 0)
    return st.Refuse(runmsg::NoSources, "", true);
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
    if (!host.PrepareOutputFiles(d, msg))
      return st.Refuse(msg.empty() ? "Ошибка при подготовке файлов результатов" : msg, "", true);
    if (d.AnyPML && !f.SetupPML(d, rs, msg))
      return st.Refuse((msg.empty() ? std::string(runmsg::AllocFailed) : msg) +
                           ChangeOn("Гранич. услов.", "Число слоев:"),
                       runmsg::AllocFailed, true);
  }

  r.started = true;
  return r;
}

}  // namespace rv
