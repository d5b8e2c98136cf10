// The main window: the project's settings pages, the run start, pause and stop, the
// progress display and the journal of runs.
#pragma once
#include <QMainWindow>
#include <QThread>

#include <functional>
#include <memory>
#include <string>

#include "project/appsettings.h"
#include "project/mainsettings.h"
#include "project/runfeatures.h"
#include "project/runstart.h"
#include "project/tables.h"
#include "solver/timeloop.h"

class QAction;
class QButtonGroup;
class QCheckBox;
class QComboBox;
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
class SignalSource;
class TfmNew3dMain;

// The calculation thread of one run: runs the time loop and hands progress and the end of
// the run to the main window with blocking calls on the GUI thread.
class Tcalculatethread : public QThread {
  Q_OBJECT
public:
  Tcalculatethread(TfmNew3dMain& window, SolverData& d, StepHooks hooks, PauseControl& pause);
  const RunOutcome& Outcome() const { return outcome_; }

protected:
  void run() override;

private:
  TfmNew3dMain& window_;
  SolverData& d_;
  StepHooks hooks_;
  PauseControl& pause_;
  RunOutcome outcome_;
};

// The other windows and the shared tables the main window works with. Anything left null is
// either made by the main window itself (the tables) or not available (the windows).
struct MainWindowLinks {
  OutPointTables* outputs = nullptr;
  LampedTables* lamped = nullptr;
  SignalSource* signal = nullptr;
  QDialog* fmOutPoint = nullptr;  // "Точки вывода"
  QDialog* fmLamped = nullptr;    // "Сосредоточенные элементы"
  QWidget* fmChart = nullptr;     // the chart window
  // Closes every curve of the chart window; tells whether the chart holds a curve.
  std::function<void()> chartDeleteAll;
  std::function<bool()> chartHasSeries;
  // The windows show their tables again after a change made here.
  std::function<void()> refreshTables;
};

class TfmNew3dMain : public QMainWindow {
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
  // Saving and loading a project by name, once they exist: the close question and the
  // history menu use them. save() answers whether the project was saved.
  void SetProjectFileHandlers(std::function<bool()> save, std::function<void()> loadByName);

  // The settings as the controls hold them, and back into the controls (derived labels
  // follow; nothing here marks the project modified).
  MainSettings ReadSettings() const;
  void WriteSettings(const MainSettings& s);

  std::string ProjectFileName;
  uint8_t ProjectReady = 1;  // 0 while a project is being loaded
  const AppSettings& Settings() const { return app_; }
  std::string IniFileName() const { return iniFileName_; }
  OutPointTables& Outputs() { return *outputs_; }
  LampedTables& Lamped() { return *lamped_; }
  bool Running() const;

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
  void spXChange(bool userEdit);
  void sePMLCountChange(bool userEdit);
  void seStepCountChange(bool userEdit);
  void Timer1Timer();
  void TabSheet2Show();

  // ---- run thread hand-offs (GUI thread)
  void ShowProgress(const ProgressInfo& p);
  void FinishCalculation(const RunOutcome& o);

  // ---- controls
  QTabWidget* PageControl1 = nullptr;
  QWidget *TabSheet1 = nullptr, *TabSheetBorders = nullptr, *TabSheet2 = nullptr,
          *TabSheetFar = nullptr, *TabSheetReport = nullptr;
  // page "Геометрия"
  QSpinBox *spX = nullptr, *spY = nullptr, *spZ = nullptr;
  QLineEdit *edX = nullptr, *edY = nullptr, *edZ = nullptr, *eddT = nullptr;
  QLabel *lbKurant = nullptr, *lbSummary = nullptr, *lbMaxFreq = nullptr;
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
  QWidget* Chart1 = nullptr;
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

private:
  void buildPages();
  void buildPanel();
  void buildMenus();
  void connectHandlers();
  void markModified();
  void setRunningLook(bool running);
  void showMemoryLabels();
  void showStatus(const std::string& text);
  void memoAdd(const std::string& line);
  void writeAppSettings();
  bool closeQuery();
  void waitForThread();
  std::array<QComboBox*, 6> combos() const;

  SolverData& d_;
  MainWindowLinks links_;
  std::unique_ptr<OutPointTables> ownOutputs_;
  std::unique_ptr<LampedTables> ownLamped_;
  std::unique_ptr<SignalSource> ownSignal_;
  OutPointTables* outputs_ = nullptr;
  LampedTables* lamped_ = nullptr;
  SignalSource* signal_ = nullptr;
  std::unique_ptr<Prompter> ownPrompter_;
  Prompter* prompter_ = nullptr;
  RunFeatures features_;
  std::function<bool()> saveProject_;
  std::function<void()> loadProjectByName_;

  AppSettings app_;
  std::string iniFileName_;
  std::string openDlgFileName_, saveDlgFileName_;
  bool settingControls_ = false;  // controls are being set by the program, not the user
  bool starting_ = false;

  // the current run
  Tcalculatethread* CalcThread = nullptr;
  std::unique_ptr<RunKernels> kernels_;
  PreparedRun run_;
  PauseControl pause_;
};

}  // namespace rv
