// The run start ("Пуск"): the settings of the main window and its side windows turned into
// the solver's values, checked, and the run's arrays reserved. Either the run is prepared,
// ready for the calculation thread, or it is refused with one message; warnings that do not
// stop the start come before, all in the order the checks are made.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "project/mainsettings.h"
#include "project/runfeatures.h"
#include "project/runvalues.h"
#include "project/signalsource.h"
#include "project/signalvalues.h"
#include "project/tables.h"
#include "solver/elements.h"
#include "solver/solverdata.h"

namespace rv {

// What the run start asks of the windows on its way. Every call has a harmless default.
class RunStartHost {
public:
  virtual ~RunStartHost() = default;
  // The four progress labels are cleared and pending window events handled.
  virtual void ClearProgressLabels() {}
  // The signal window's kind and parameters are copied for the run. False, with the
  // message for the user, when a parameter is not a number: the run is refused.
  virtual bool RefreshSignal(std::string& message) { (void)message; return true; }
  // The element records of the run, built from the output and lumped-element tables; the
  // texts returned are shown as warnings.
  virtual std::vector<std::string> LoadElementArrays(const SolverData& d, ElementArrays& a) {
    (void)d; (void)a;
    return {};
  }
  // Rows of the lumped-element tables the run would leave out: the question is put to the
  // user. False ("Нет") stops the start.
  virtual bool ConfirmRowsLeftOut(const std::string& question) {
    (void)question;
    return true;
  }
  // Whether the signal window's parameters would pass RefreshSignal, changing nothing.
  virtual bool SignalReady() { return true; }
  // The signal the run reads, for the check of its values: after RefreshSignal what it
  // copied, else what the signal window holds now (changing nothing). False: none to check.
  virtual bool RunSignal(SignalSettings& s) { (void)s; return false; }
  // The model was re-sized to the grid: the editor holds its section planes to it.
  virtual void EditorGridChanged() {}
  // The live view numbers the frames of this run from 1 again.
  virtual void ResetLiveFrames() {}
  // The chart window's curves are closed (the run plots its outputs afresh).
  virtual void ClearCharts() {}
  // "Подготовка к расчету. Распределение памяти." is shown while the arrays are reserved.
  virtual void ShowPreparing() {}
  // The output files are opened and their chart series made. False, with a message,
  // refuses the run; false without one: the user chose not to run without some files.
  virtual bool PrepareOutputFiles(SolverData& d, std::string& message) {
    (void)d; (void)message;
    return true;
  }
};

struct RunStartInputs {
  MainSettings settings;
  // the output window's tables and options, and the lumped-element tables
  const OutPointTables* outputs = nullptr;
  const LampedTables* lamped = nullptr;
  bool projectReady = true;    // false while a project is being loaded
  uint64_t totalPhysBytes = 0; // the machine's physical memory; 0 when it cannot be told
  int64_t nowMs = 0;           // wall clock at the start, ms since the epoch
};

struct RunStartMessage {
  bool refusal = false;
  std::string text;
};

// What a prepared run carries besides SolverData: the settings copied from the windows and
// the element records built from the tables. The calculation thread works on this copy.
struct PreparedRun {
  RunSettings settings;
  ElementArrays elements;
  // The model and materials as they stood at the start, for the end-of-run reports (taken
  // when SAR is on): the editor may change the live ones meanwhile.
  tSpace space;
  std::array<tLayer, MaxLayers> layers;
};

struct RunStartResult {
  bool started = false;
  // Shown in order, each in its own message box; a refusal is always the last one.
  std::vector<RunStartMessage> messages;
  // Text for the step label after a refusal; empty leaves the label alone.
  std::string status;
  // The refusal came after the controls would have switched to the running state.
  bool restore = false;
  PreparedRun run;

  const RunStartMessage* refusal() const {
    return !messages.empty() && messages.back().refusal ? &messages.back() : nullptr;
  }
};

// Runs the start's checks and preparations on `d`. On success every run value of `d` is
// set, the field arrays are reserved and cleared, and `run` holds the copies; the caller
// then sets Stopped := 0, CalcRunning := 1 and starts the calculation thread. On a refusal
// the arrays reserved on the way are released again and the run flags are left as they
// were (Stopped stays 1).
RunStartResult StartRun(SolverData& d, const RunStartInputs& in, RunStartHost& host,
                        const RunFeatures& features);

// The status line of the first start check that the settings alone fail (angle, grid,
// cell sizes, time step, scatter centre), in the start's order; empty when they pass.
std::string SettingsRefusalStatus(const MainSettings& s);

// The use the run the settings describe would make of the signal (SignalUseOf over their
// source mode, grid, cells, step and step count; Dx/2/c under RT-ABC), with the voltage
// sources of the element records the host builds. A size or a step that is no positive
// number gives a use without a step, against which nothing is checked.
SignalRunUse SettingsSignalUse(const MainSettings& s, RunStartHost& host);

// Whether the cause of the refusal whose status line reads `status` still holds for these
// inputs (d: the model and materials). Every check that reserves nothing is made again:
// modes and features, the TF-SF and far-field boxes, the PML's reflection, the memory
// estimate, the signal (host.SignalReady), the angle and faces, the grid, cells and step,
// the lumped rows and sources, the materials. A refusal for memory that could not be
// reserved, or for the files, does not hold once anything changes. Call it only while no
// run is going on: the TF-SF hook keeps the box it checks.
bool RefusalHolds(const std::string& status, const RunStartInputs& in, const SolverData& d,
                  const RunFeatures& features, RunStartHost& host);

// Texts of the refusals and warnings, as the user reads them.
namespace runmsg {
inline constexpr const char* FarFieldWithExternal =
    "Заданный в проекте расчет дальнего поля не совместим с выбранным источником сигнала.\n"
    "Снимите флажки «Диаграммы направленности» и «Поле в дальних точках» на странице "
    "«Дальнее поле» или выберите другой «Источник поля» на странице «Источник».";
inline constexpr const char* FarFieldWithExternalStatus = "Дальнее поле не совместимо с источником поля";
inline constexpr const char* FarFieldWithPECOrSym =
    "При вычислении дальнего поля НЕ ДОПУСТИМО применение граничных условий симметрии или PEC.\n"
    "Задайте поглощающие «Граничные условия» на странице «Гранич. услов.» или снимите флажки "
    "«Диаграммы направленности» и «Поле в дальних точках» на странице «Дальнее поле».";
inline constexpr const char* FarFieldWithPECOrSymStatus = "Дальнее поле не допускает граней PEC и симметрии";
inline constexpr const char* ProjectLoading =
    "Пожалуйста, не спешите, дождитесь загрузки проекта и повторите Пуск.";
inline constexpr const char* ProjectLoadingStatus = "Проект еще загружается";
inline constexpr const char* BadTFSFBoxStatus = "Ошибка в задании бокса TF-SF";
inline constexpr const char* BadPMLReflectionStatus = "Ошибка в задании коэффициента отражения PML";
inline constexpr const char* BadSignalStatus = "Ошибка в параметрах сигнала";
inline constexpr const char* ExternalFieldFacesStatus = "Грани не пропускают внешнее поле";
inline constexpr const char* BadFarFieldStatus = "Ошибка в задании дальнего поля";
inline constexpr const char* RowsLeftOutStatus = "Пуск отменен: строки элементов не войдут в расчет";
inline constexpr const char* OutputFilesStatus = "Ошибка при подготовке файлов результатов";
inline constexpr const char* OutputRowsLeftOutStatus = "Пуск отменен: строки точек вывода не войдут в расчет";
inline constexpr const char* FilesNotMadeStatus = "Пуск отменен: файлы результатов не созданы";
inline constexpr const char* NoMemory =
    "Не хватает памяти для нормальной работы!!!\n"
    "Измените «Число ячеек:» на странице «Геометрия».";
inline constexpr const char* NoMemoryStatus = "Не хватает памяти!!!";
inline constexpr const char* PMLConflict =
    "Условия \"PML\" конфликтуют с условиями \"Mur's\", \"Dissipation\" и \"RT-ABC\",\n"
    "если граничат с ними.";
inline constexpr const char* BadAngle =
    "Недопустимый угол падения волны (д.б. от -90 до +90 градусов)\n"
    "Измените «Угол падения волны, град.» на странице «Источник».";
inline constexpr const char* BadAngleStatus = "Недопустимый угол падения волны";
inline constexpr const char* GridTooSmallStatus = "Размер счетного объема маловат";
inline constexpr const char* GridTooSmall =
    "Размер счетного объема маловат\nИзмените «Число ячеек:» на странице «Геометрия».";
inline constexpr const char* AllocFailed = "Ошибка резервирования памяти";
inline constexpr const char* AllocFailedHint =
    "Ошибка резервирования памяти\nИзмените «Число ячеек:» на странице «Геометрия».";
// Memory the run could not get: the cause, then where to change the grid.
std::string AllocRefusal(const std::string& cause);
// A cell size or the time step that gives no run, with the page's reason (axis and text).
std::string BadCellSizeText(const std::string& why);
inline constexpr const char* BadCellSizeStatus = "Ошибка в задании шагов по пространству.";
std::string BadTimeStepText(const std::string& why);
inline constexpr const char* BadTimeStepStatus = "Ошибка в задании шага по времени.";
// A time step above the stability limit of the run's cells, both in ns.
std::string TimeStepAboveLimit(double stepNs, double limitNs);
// A material in use in which a wave runs faster than the step allows (limitNs: the limit
// scaled for it).
std::string MediumFasterThanStep(int layer, const tLayer& L, bool polar, bool magnetic, bool rtabc,
                                 double stepNs, double limitNs);
inline constexpr const char* TimeStepAboveLimitStatus =
    "Шаг по времени больше предела устойчивости.";
inline constexpr const char* CentreOutsideStatus =
    "Ошибка: центр рассеяния за пределами счетного объема.";
inline constexpr const char* CentreOutside =
    "Ошибка: центр рассеяния за пределами счетного объема.\n"
    "Измените «Центр рассеяния (Dissipation 1/R)» на странице «Гранич. услов.».";
inline constexpr const char* BadFarBox =
    "Ошибка в задании границ области интегрирования дальнего поля\n"
    "Это задается на странице «Дальнее поле».";
inline constexpr const char* SourcesWithField =
    "Предупреждение: Имеются внутренние источники напряжения, но задано и ВНЕШНЕЕ поле";
inline constexpr const char* NoSources =
    "Ошибка: Источники напряжения не заданы, но поле задано от источников!\n"
    "Задайте источники в окне «Сосредоточенные элементы» или выберите другой «Источник поля» "
    "на странице «Источник».";
inline constexpr const char* NoSourcesStatus = "Источники напряжения не заданы";
inline constexpr const char* OnlyVacuum =
    "Предупреждение: в модели нет ничего, кроме вакуума: ни одна ее ячейка не отличается от "
    "вакуума (у материалов σ = 0 и ε = 1, или они выключены), сосредоточенных элементов нет. "
    "Плоской волне не на чем рассеиваться: рассеянного поля не будет, и составляющие поля, "
    "которых нет в самой волне (например, Ez при E вдоль оси Y), на выходах останутся "
    "равными нулю.";
inline constexpr const char* RTABCTooSmallStatus =
    "Для RT-ABC нужно не менее 3 узлов сетки по каждой оси";
inline constexpr const char* RTABCTooSmall =
    "Для RT-ABC нужно не менее 3 узлов сетки по каждой оси\n"
    "Измените «Число ячеек:» на странице «Геометрия».";
inline constexpr const char* RTABCUnequal =
    "Различие в шагах по X,Y,Z для RT-ABC недопустимо\nВсе шаги приравниваются к шагу по X";
}  // namespace runmsg

}  // namespace rv
