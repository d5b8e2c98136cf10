// The main window: the project's settings pages, the project commands, the run start,
// pause and stop, the progress display and the journal of runs.
#pragma once
#include <QMainWindow>
#include <QStringList>

#include <functional>
#include <memory>
#include <string>

#include "project/appsettings.h"
#include "project/mainsettings.h"
#include "project/runfeatures.h"
#include "project/outputfiles.h"
#include "project/progresstext.h"
#include "project/runfinish.h"
#include "project/runstart.h"
#include "project/signalsource.h"
#include "project/tables.h"
#include "project/ui/ProjectHost.h"
#include "solver/timeloop.h"

class QAction;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QCPGraph;
class QCPTextElement;
class QCustomPlot;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QSlider;
class QSpinBox;
class QStatusBar;
class QTabWidget;
class QTimer;
class QToolButton;
class QWidget;

namespace rv {

struct SolverData;
struct RunKernels;
class Prompter;
class TfmChart;
class TfmInputSource;
class TfmNew3dMain;
class TfmOpenGL;
class Tcalculatethread;
class TfmVisual;
namespace platform { class HelpViewer; }

// The other windows and the shared tables the main window works with. Anything left null is
// either made by the main window itself (the tables) or not available (the windows).
struct MainWindowLinks {
  OutPointTables* outputs = nullptr;
  LampedTables* lamped = nullptr;
  SignalSource* signal = nullptr;
  QDialog* fmOutPoint = nullptr;           // "Точки вывода"
  QDialog* fmLamped = nullptr;             // "Сосредоточенные элементы"
  TfmChart* fmChart = nullptr;             // the chart window: the run's series go there
  TfmInputSource* fmInputSource = nullptr; // "Выбор сигнала"; drives `signal`
  TfmOpenGL* fmOpenGL = nullptr;           // "Объект": holds the editor's state
  TfmVisual* fmVisual = nullptr;           // "Визуализация": the live field view
  QDialog* fmLayers = nullptr;             // "Параметры материалов"
  QDialog* fmAbout = nullptr;              // "О программе" (shown, not modal)
  QDialog* fmWaveLenCalc = nullptr;        // "Калькулятор длины волны" (modal)
  platform::HelpViewer* help = nullptr;    // "Содержание", "Указатель" while it has a file
  std::string versionText;                 // shown by Label9 at every activation
  // The windows show their tables again after a change made here.
  std::function<void()> refreshTables;
};

class TfmNew3dMain : public QMainWindow, public ProjectHost {
  Q_OBJECT
public:
  explicit TfmNew3dMain(SolverData& data, QWidget* parent = nullptr);
  ~TfmNew3dMain() override;
  static QString DefaultCaption();

  void SetLinks(const MainWindowLinks& links);
  // Message boxes go through this (a scripted one in tests); null restores the real one.
  void SetPrompter(Prompter* p);
  // Features of the run provided by other parts of the program.
  void SetRunFeatures(const RunFeatures& f);
  // The project file commands: the menu, the close question, the new-project command, the
  // history and the command line use them.
  void SetProjectFileHandlers(ProjectFileHandlers h);
  // The program's command-line arguments (after its name): a project named first, with the
  // extension exactly ".fdt", is loaded at the first activation.
  void SetCommandLine(const QStringList& args) { commandLine_ = args; }
  // The desktop's request to open a project in this program (the first line of its macro).
  // Dropped during a run, while a project loads and while a question or dialog is open.
  void ddeFdtdExecuteMacro(const std::string& firstLine);

  // The settings as the controls hold them, and back into the controls (derived labels
  // follow; nothing here marks the project modified).
  MainSettings ReadSettings() const;
  void WriteSettings(const MainSettings& s);

  const AppSettings& Settings() const { return app_; }
  std::string IniFileName() const { return iniFileName_; }
  bool Running() const;

  // ---- what the project commands reach (ProjectHost)
  SolverData& Data() override { return d_; }
  MainSettings GetMainSettings() override { return ReadSettings(); }
  void SetMainSettings(const MainSettings& s) override {
    typedStep_.clear();  // a project's own step replaces what the user had typed
    WriteSettings(s);
  }
  OutPointTables& Outputs() override { return *outputs_; }
  LampedTables& Lamped() override { return *lamped_; }
  void TablesLoaded() override;
  EditorState GetEditorState() override;
  void SetEditorState(const EditorState& s) override;
  void EditorFormActivate() override;
  VizualSettings GetVizual() override;
  void SetVizual(const VizualSettings& v) override;
  TfmInputSource* SignalWindow() override { return links_.fmInputSource; }
  std::string& ProjectFileName() override { return projectFileName_; }
  uint8_t& ProjectReady() override { return projectReady_; }  // 0 while a project loads
  ProjectDialogState& Dialogs() override { return dlg_; }
  void AddToHistory(const std::string& fileName) override;
  void SetCaption(const std::string& text) override;
  std::string Caption() override;
  void AddToJournal(const std::string& line) override;
  void ProjectLoaded() override;

  // ---- handlers, named as the window's events
  void btnPuskClick();
  void btnPauzaClick();
  void btnStopClick();
  void btnCloseClick();
  void N6Click();
  void N14Click();
  void N15Click();
  void btnCleareClick();
  void btnSaveResultClick();
  void mnDoubleVolumClick();
  void mnNewProjectClick();
  void mnHistoryClick();
  void HistoryItemClick(int index);
  void Button1Click();
  void rgSourcesClick();
  void cbFarDiagramClick();
  void TrackBar1Change();
  void ComboBox1Change();
  void N4Click(int tag);
  // Recomputes the grid page; a time step within the new limit stays, one that cannot stay
  // gives way with a line in the journal and the status bar.
  void spXChange(bool userEdit);
  void sePMLCountChange(bool userEdit);
  void seStepCountChange(bool userEdit);
  void Timer1Timer();
  void TabSheet2Show();
  void btnShowSignalClick();
  void FormActivate();

  // ---- run thread hand-offs
  // GUI thread, after every step.
  void ShowProgress(const ProgressInfo& p);
  // Calculation thread, once the loop has ended: files closed, reports written, the run's
  // arrays freed (nothing on the GUI thread reads them meanwhile).
  EndOfRunReport FinishRunWork(const RunOutcome& o);
  // GUI thread, right after: the chart, the labels, the journal, the idle window.
  void FinishCalculation(const RunOutcome& o, const EndOfRunReport& r);

  // ---- controls
  QTabWidget* PageControl1 = nullptr;
  QWidget *TabSheet1 = nullptr, *TabSheetBorders = nullptr, *TabSheet2 = nullptr,
          *TabSheetFar = nullptr, *TabSheetReport = nullptr;
  // page "Геометрия"
  QSpinBox *spX = nullptr, *spY = nullptr, *spZ = nullptr;
  QLineEdit *edX = nullptr, *edY = nullptr, *edZ = nullptr, *eddT = nullptr;
  QLabel *lbKurant = nullptr, *lbSummary = nullptr, *lbMaxFreq = nullptr;
  // Beside the cell sizes and the step: why what was typed gives no run ("" hidden).
  QLabel *lbSizeError = nullptr, *lbStepError = nullptr;
  QLabel *lbMemory = nullptr, *lbBordersMem = nullptr, *lbMemory1 = nullptr, *lbFarMem = nullptr,
         *lbTotal = nullptr, *lbTop = nullptr;
  QCheckBox *cbBioMaterals = nullptr, *cbMagneticMaterals = nullptr, *cbEnergy = nullptr;
  QSpinBox* seSarDelay = nullptr;
  QPlainTextEdit* memoProjectNote = nullptr;
  // page "Гранич. услов."
  QComboBox *ComboBox1 = nullptr, *ComboBox2 = nullptr, *ComboBox3 = nullptr, *ComboBox4 = nullptr,
            *ComboBox5 = nullptr, *ComboBox6 = nullptr;
  QGroupBox* cbCenter = nullptr;
  QSpinBox *spCenterI = nullptr, *spCenterJ = nullptr, *spCenterK = nullptr;
  QGroupBox* gbPML = nullptr;
  QSpinBox* sePMLCount = nullptr;
  QLineEdit* edpmlR = nullptr;
  QLabel *lbPMLFreq = nullptr, *lbPMLTime = nullptr;
  QGroupBox* rgPMLprofile = nullptr;
  QButtonGroup* rgPMLprofileGroup = nullptr;
  QMenu* PopupBorders = nullptr;
  // page "Источник"
  QGroupBox* rgSources = nullptr;
  QButtonGroup* rgSourcesGroup = nullptr;
  QGroupBox* gbAngle = nullptr;
  QLineEdit* edIncAngle = nullptr;
  QGroupBox* gbTFSF = nullptr;
  QSlider *TrackBar1 = nullptr, *TrackBar2 = nullptr;
  QLabel *Label44 = nullptr, *Label45 = nullptr;
  QGroupBox* rgEOrient = nullptr;
  QButtonGroup* rgEOrientGroup = nullptr;
  QPushButton* btnShowSignal = nullptr;
  QCustomPlot* Chart1 = nullptr;  // a copy of the signal window's preview
  QCPGraph* Series1 = nullptr;
  QCPTextElement* Chart1Title = nullptr;
  QLabel* lbPreviewRefusal = nullptr;  // the signal window's refusal, in the chart's place
  // page "Дальнее поле"
  QCheckBox *cbFarDiagram = nullptr, *cbFarPoints = nullptr, *cbCalcFarH = nullptr,
            *cbFastDigramm = nullptr;
  QGroupBox *gbFarDiag = nullptr, *gbFarPoint = nullptr;
  QCheckBox *cbPX = nullptr, *cbPY = nullptr, *cbPZ = nullptr;
  QSpinBox* edFarStep = nullptr;
  QLineEdit* edFarDiagrR = nullptr;
  QPushButton* btnSetFarPoints = nullptr;
  QSpinBox *spFarXmin = nullptr, *spFarYmin = nullptr, *spFarZmin = nullptr, *spFarXmax = nullptr,
           *spFarYmax = nullptr, *spFarZmax = nullptr;
  QPushButton* Button1 = nullptr;
  // page "Отчет"
  QPlainTextEdit* Memo1 = nullptr;
  QPushButton *btnCleare = nullptr, *btnSaveResult = nullptr;
  // the panel under the pages
  QSpinBox* seStepCount = nullptr;
  QLabel* Label33 = nullptr;
  QPushButton *btnPusk = nullptr, *btnStop = nullptr, *btnClose = nullptr, *Button3 = nullptr,
              *Button4 = nullptr, *btnVisual = nullptr;
  QToolButton* btnPauza = nullptr;
  QLabel* StaticText1 = nullptr;
  QProgressBar* ProgressBar1 = nullptr;
  QLabel *lbStep = nullptr, *lbLapTime = nullptr, *lbLeftTime = nullptr, *lbOneTime = nullptr;
  QLabel *lbTotalMem = nullptr, *lbMemoryLoad = nullptr, *lbMemoryFree = nullptr;
  QLabel* Label9 = nullptr;
  QStatusBar* StatusBar1 = nullptr;
  QTimer* Timer1 = nullptr;
  // menu items
  QAction *mnNewProject = nullptr, *mnLoadPrj = nullptr, *mnSavePrj = nullptr,
          *mnDoubleVolum = nullptr, *mnExit = nullptr;
  QMenu* mnHistory = nullptr;
  QAction *N16 = nullptr, *N17 = nullptr, *N18 = nullptr, *N20 = nullptr, *N14 = nullptr,
          *N15 = nullptr, *N19 = nullptr, *N7 = nullptr;
  QAction *mnAbout = nullptr, *mnHelp = nullptr, *mnIndex = nullptr;

protected:
  void closeEvent(QCloseEvent* e) override;
  void changeEvent(QEvent* e) override;
  void showEvent(QShowEvent* e) override;

private:
  // Shows a field's refusal beside it; "" hides the line.
  void showFieldError(QLabel* label, const std::string& text);
  void buildPages();
  void buildPanel();
  void buildMenus();
  void connectHandlers();
  void markModified();
  void setRunningLook(bool running);
  void showMemoryLabels();
  void showStatus(const std::string& text);
  // The run labels of the project before go with it.
  void clearRunStatus();
  // What the run start reads from the windows, as they stand.
  RunStartInputs runStartInputs();
  // The use the run as set now would make of the signal, for the signal window's preview.
  SignalRunUse signalRunUse();
  // A refused start's status line goes once the cause of the refusal is mended.
  void recheckRefusal();
  void memoAdd(const std::string& line);
  void writeAppSettings();
  bool closeQuery();
  // "На всякий случай сохраним проект?" while modified; false: the command asking stops.
  bool askSaveFirst();
  void waitForThread();
  std::array<QComboBox*, 6> combos() const;

  SolverData& d_;
  MainWindowLinks links_;
  bool ddeBusy_ = false;
  std::unique_ptr<OutPointTables> ownOutputs_;
  std::unique_ptr<LampedTables> ownLamped_;
  std::unique_ptr<SignalSource> ownSignal_;
  OutPointTables* outputs_ = nullptr;
  LampedTables* lamped_ = nullptr;
  SignalSource* signal_ = nullptr;
  std::unique_ptr<Prompter> ownPrompter_;
  Prompter* prompter_ = nullptr;
  RunFeatures features_;
  ProjectFileHandlers files_;

  AppSettings app_;
  std::string iniFileName_;
  std::string projectFileName_;
  uint8_t projectReady_ = 1;
  ProjectDialogState dlg_;
  EditorState editor_;  // the editor's view and material count when there is no editor
  QStringList commandLine_;
  bool firstActivate_ = true;
  bool settingControls_ = false;  // controls are being set by the program, not the user
  bool starting_ = false;
  // The status line a refused start left, until the check that refused passes.
  std::string refusalStatus_;
  // A line edit is being typed in: the status line waits for the edit's end.
  bool typing_ = false;
  // The step typed before an RT-ABC face fixed the field, and whether a change of the step
  // made while the controls are set is told (the commands that rewrite the whole page).
  std::string typedStep_;
  bool announceStep_ = false;
  // While WriteSettings fills the controls one by one the step waits for the whole page.
  bool holdStep_ = false;
  QString stepNote_;  // the last line that said why the step changed
  QString journalNote_;  // the last journal line the status bar shows

  // the current run
  Tcalculatethread* CalcThread = nullptr;
  std::unique_ptr<RunKernels> kernels_;
  PreparedRun run_;
  PauseControl pause_;
  // The run's own signal: what the signal window held at the start, so that editing it
  // during a run does not change the run under way.
  SignalSource runSignal_;
  OutputRun outputRun_;   // output files and series of the run
  int runLayerCount_ = 1; // materials the SAR report lists
  int64_t finishNowMs_ = 0;
  // The run's wall time from its thread's start to the loop's end, pauses left out: the
  // time per step, the time left and the mean step come from it.
  RunClock runClock_;
  double loopEndMs_ = 0;  // written by the calculation thread before its last hand-off
};

}  // namespace rv
