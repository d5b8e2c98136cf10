// The chart window ("График"): draws the chart model with QCustomPlot and turns menu
// commands into calls on the model and the curve files. It holds no algorithm of its own.
#pragma once
#include <QMainWindow>
#include <QSharedPointer>
#include <QStringList>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "charts/chartmodel.h"
#include "charts/chartsettings.h"
#include "charts/curvefile.h"
#include "charts/livefeed.h"
#include "charts/progress.h"

class QAction;
class QCheckBox;
class QCPAbstractPlottable;
class QCPAxis;
class QCPAxisTicker;
class QCPItemLine;
class QCPItemText;
class QCPLayoutGrid;
class QCPTextElement;
class QCustomPlot;
class QFileDialog;
class QFrame;
class QLabel;
class QColorDialog;
class QLineEdit;
class QMenu;
class QMouseEvent;
class QPrinter;
class QStatusBar;
class QTimer;
class QToolBar;
class QToolButton;

namespace rv {

class ChartAxisTicker;
class Prompter;
class TfmSelectGr;
class TfmSelectGrParam;
class TfmBackSpectr;
class TfmChartRC;
struct SpectrumOptions;
class TfmSelectTwoGr;
class TfmSpectr;
class TfmValue;
class TfmCalcZ;
class Tfm3expDLG;
class TfmPolarDielectric;
class TfmDistance;
class MeasureOverlay;
class TfmEditComments;
class TfmLegend;
class TfmLines;
class TfmShowTextGr;
class TfmPrinOptions;
class TfmAboutChart;
struct GeneratedCurve;

class TfmChart : public QMainWindow {
  Q_OBJECT
public:
  struct Options {
    std::string settingsPath;      // the chart settings file (INI)
    std::string valueHistoryPath;  // "TmpVal.txt"
    std::string defaultDir;        // the folder dialogs start in when none is stored
    QStringList arguments;         // command-line arguments after the program's name
    Prompter* prompter = nullptr;  // message boxes; nullptr: real ones over this window
  };
  // Where the settings live on this machine: the user's configuration folder.
  static Options DefaultOptions(const QStringList& arguments = {});

  explicit TfmChart(const Options& options, QWidget* parent = nullptr);
  ~TfmChart() override;

  ChartModel& model() { return model_; }
  const ChartModel& model() const { return model_; }
  ChartSettings& settings() { return settings_; }
  const std::string& IniDir() const { return settings_.IniDir; }

  // The series of a running calculation: made on the GUI thread at run start (default
  // colour, the title as its file name, the active graph); the returned handle is what the
  // calculation thread appends to through liveFeed(). Closed curves are skipped.
  LiveFeed::Handle AddRunSeries(const std::string& title);
  LiveFeed& liveFeed() { return feed_; }
  // Moves waiting points of the run into the chart (the timer does this every 50 ms).
  void DrainLiveFeed();

  // Loads one file into new series, reporting any failure in a message box. Returns the
  // result so that a command opening several files stops after a malformed one.
  CurveLoadResult LoadGraphFile(const QString& fileName);
  // The open command after its dialog: remembers the folder and loads the files in order.
  void OpenFiles(const QStringList& files);
  // Saves one series as a curve file; false with a message on failure.
  bool SaveGraphFile(const QString& fileName, int seriesIndex);
  // Reads a temporary generated curve into a new graph ("Без имени-" and the counter).
  bool LoadTempGraph(const QString& fileName, const QString& displayName = {});
  // A generated curve goes through the temporary curve file ("Streem.txt"), made here as a
  // private temporary file of this machine and removed afterwards; false with a message.
  bool LoadGeneratedCurve(const std::vector<double>& x, const std::vector<double>& y,
                          const std::string& title, const std::string& xTitle, const std::string& yTitle);

  // Redraws every series from the model and refreshes the status and menus.
  void RefreshChart();
  void ShowActiveGraph();
  void UpdateMenus();
  void ArrangeLegend();
  // Fits both axes to the data again ("Показать все").
  void BitBtn3Click();

  // Long commands: the stop button shows with a hint naming what it stops, StopRequested
  // clears, every other command is disabled (and the live feed waits) until EndLongCommand.
  void BeginLongCommand(const QString& stopHint);
  void EndLongCommand();
  bool LongCommandRunning() const { return longDepth_ > 0; }
  // Writes the caption and the whole percentage into the status bar.
  void ShowProgress(int percent);
  void SetProgressCaption(const QString& caption) { progressCaption_ = caption; }
  // Set by "СТОП" on the GUI thread, read by a worker.
  std::atomic<bool> StopRequested{false};
  // Runs a job of a long command on a worker thread (shows "СТОП" and clears the flag
  // first) while this window stays live: the job's progress comes back by queued calls.
  // Returns when the job has ended; rethrows what it threw. The job must not touch the
  // model or any widget.
  void RunOffGuiThread(const std::function<void(ILongTask&)>& job);

  // What the menu "FDTD" does (show the main window); set by the program.
  void setShowMainWindow(std::function<void()> f) { showMainWindow_ = std::move(f); }
  // The current project's results folder: the first open dialog of a session starts there.
  void setResultsFolder(std::function<std::string()> f) { resultsFolder_ = std::move(f); }

  // Components other windows and the tests reach.
  QCustomPlot* Chart = nullptr;
  QMenu* File1 = nullptr;
  QMenu* Edit1 = nullptr;
  QMenu* mnVid = nullptr;
  QAction* mnFDTD = nullptr;
  QAction* actOpen = nullptr;
  QAction* Save1 = nullptr;
  QAction* Close1 = nullptr;
  QAction* DeleteAll1 = nullptr;
  QAction* N42 = nullptr;  // "Сохранить проект.."
  QAction* N38 = nullptr;  // "Ассоциация файлов..."
  QAction* Exit1 = nullptr;
  QAction* mnSelectActive = nullptr;
  QAction* N26 = nullptr;
  // "Вид" → "Графики": the axes of time curves, spectra or impedance; each shows the curves
  // of its kind and keeps the others.
  QAction *mnKindTime = nullptr, *mnKindFrequency = nullptr, *mnKindImpedance = nullptr;
  QAction* Legend1 = nullptr;
  QMenu* mnTransform = nullptr;  // "Редактировать" > "Преобразование"
  QAction* mnSpectr = nullptr;
  QAction* N18 = nullptr;
  QAction* ToolButton15 = nullptr;
  QAction* ToolButton16 = nullptr;
  QToolBar* ToolBar1 = nullptr;
  QToolBar* ToolBar2 = nullptr;
  QAction* LogX1 = nullptr;
  QAction* LogY1 = nullptr;
  QToolButton* btnStop = nullptr;
  QCheckBox* cbFixLine = nullptr;
  QLineEdit* Edit2 = nullptr;
  QToolButton* SpeedButton4 = nullptr;
  QStatusBar* StatusBar1 = nullptr;
  QLabel* Label1 = nullptr;
  QFrame* paColor = nullptr;
  QLabel* lbCoopd = nullptr;
  QLabel* lbHint = nullptr;  // how many curves are kept off the axes shown
  QLabel* lbProgress = nullptr;
  QFileDialog* OpenD = nullptr;
  QFileDialog* SaveD = nullptr;

  TfmSelectGr* fmSelectGr = nullptr;
  TfmValue* fmValue = nullptr;
  TfmSelectTwoGr* fmSelectTwoGr = nullptr;
  TfmSelectGrParam* fmSelectGrParam = nullptr;
  TfmSpectr* fmSpectr = nullptr;
  TfmBackSpectr* fmBackSpectr = nullptr;
  TfmChartRC* fmChartRC = nullptr;
  TfmCalcZ* fmCalcZ = nullptr;
  Tfm3expDLG* fm3expDLG = nullptr;
  TfmPolarDielectric* fmPolarDielectric = nullptr;
  TfmDistance* fmDistance = nullptr;
  QAction* mnIzmerit = nullptr;
  QAction* N37 = nullptr;

  // Appearance, pictures and printing.
  QAction* Titles1 = nullptr;
  QAction* Legengs1 = nullptr;
  QAction* Lines1 = nullptr;
  QAction* Fon1 = nullptr;
  QAction* N4 = nullptr;   // "Текущий график на весь экран"
  QAction* N35 = nullptr;  // "Исходный текст"
  QAction* btnLegend = nullptr;
  QAction* SpeedButton9 = nullptr;
  QAction* BitBtn1 = nullptr;
  QAction* BitBtn2 = nullptr;
  QAction* BitBtn3 = nullptr;
  QAction* SpeedButton5 = nullptr;
  QAction* btnN4 = nullptr;
  QAction* SaveaBitmap1 = nullptr;
  QAction* SaveaMetafile1 = nullptr;  // the vector picture: SVG
  QAction* CopytoClipboardBMP1 = nullptr;
  QAction* CopytoClipboard1 = nullptr;
  QAction* PrintOption1 = nullptr;
  QAction* Print1 = nullptr;
  QAction* About1 = nullptr;
  QToolButton* btnEdit = nullptr;
  QColorDialog* ColorD = nullptr;
  QFileDialog* SaveBMP = nullptr;
  QFileDialog* SaveWMF = nullptr;  // saves SVG
  TfmEditComments* fmEditComments = nullptr;
  TfmLegend* fmLegend = nullptr;
  TfmLines* fmLines = nullptr;
  TfmShowTextGr* fmShowTextGr = nullptr;
  TfmPrinOptions* fmPrinOptions = nullptr;
  TfmAboutChart* fmAboutChart = nullptr;

  // The chart as a picture of its own size; false with a message when it cannot be written.
  bool SaveBmp(const QString& fileName);
  bool SaveSvg(const QString& fileName);
  QByteArray SvgData();
  // Prints on a printer already set up (the print dialog's, or a PDF file in tests) with
  // the print options; false with a message when the printer cannot be started.
  bool PrintTo(QPrinter& printer);
  bool LegendRight() const { return legendRight_; }
  void SetLegendRight(bool right);

  // The measurement text of the last drawing; empty when none was drawn.
  std::string MeasureText() const;

  // Seconds per X unit and the time constant of the RC transforms.
  double RCTimeUnit = 1e-9;
  double RCTimeConstant = 1.5e-8;

public slots:
  void btnOpenClick();
  void Save1Click();
  void Close1Click();
  void DeleteAll1Click();
  void Exit1Click();
  void mnSelectActiveClick();
  void btnStopClick();
  void Edit2Change();
  void N26Click();
  void mnFDTDClick();
  void Legend1Click();
  // Spectra of chosen graphs; the signal rebuilt from the last two graphs.
  void mnSpectrClick();
  void N18Click();
  // Derivative, integral and the RC transforms.
  void mnDifferClick();
  void N5Click();
  void RC1Click();
  void RC2Click();
  void RC3Click();
  // Combining and reshaping.
  void SummaClick();
  void N17Click();
  void N21Click();
  void N33Click();
  void N23Click();
  void N25Click();
  void Y2Click();
  void ToolButton27Click();
  void ToolButton28Click();
  void N40Click();
  void ToolButton31Click();
  // Measuring, impedance, convolution, energy, the FFT self-test.
  void mnIzmeritClick();
  void N37Click();
  void N34Click();
  void ToolButton32Click();
  void Button1Click();
  // The "Новый" generators and moving the active graph.
  void ImpRectClick();
  void N31Click();
  void Re1Click();
  void Im1Click();
  void N28Click();
  void N32Click();
  void SinXX1Click();
  void SpeedButton7Click();
  void SpeedButton8Click();
  // Logarithmic axes.
  void LogX1Click();
  void LogY1Click();
  void ShowKindClick(AxisKind k);
  // Appearance, zoom, pictures, printing.
  void File1Click();
  void Titles1Click();
  void Legengs1Click();
  void Lines1Click();
  void Fon1Click();
  void SpeedButton9Click();
  void paColorClick();
  void BitBtn1Click();
  void BitBtn2Click();
  void SpeedButton5Click();
  void N4Click();
  void N35Click();
  void SaveaBitmap1Click();
  void SaveaMetafile1Click();
  void CopytoClipboardBMP1Click();
  void CopytoClipboard1Click();
  void PrintOption1Click();
  void Print1Click();
  void About1Click();

protected:
  void closeEvent(QCloseEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void showEvent(QShowEvent* e) override;
  void changeEvent(QEvent* e) override;
  bool eventFilter(QObject* o, QEvent* e) override;

private:
  void BuildMenus();
  void BuildToolBar();
  void BuildStatusBar();
  void BuildChart();
  void ApplyFonts();
  void ReadFontsBack();
  void WriteIniDirOf(const QString& file);
  void SyncTexts();
  QCPAbstractPlottable* MakePlottable(int index);
  void StyleOf(int index, QCPAbstractPlottable* p);
  // The legend's items, rebuilt or removed in one pass each (linear in the graphs).
  void SyncLegend();
  void ClearLegend();
  void ClearPlots();
  void UpdateCaption();
  void BeforeReplot();
  void AutoRange();
  // Every command but the stop button, switched off for a long command.
  void EnableCommands(bool on);
  void OpenCommandLineGraph(const QStringList& args);
  // A file of very many channels: the question; true adds them.
  bool ConfirmManyChannels(const std::string& path, int channels);
  // The "X", "Y" and reshaping menus, the arithmetic tool buttons and the second tool bar.
  void BuildEditCommands();
  // The common start of a command on chosen graphs: nothing without a user graph, the
  // selection dialog with the caption; the chosen series, empty when there is nothing to do.
  std::vector<int> ChooseGraphs(const QString& caption);
  // The value dialog until it gives a number `ok` accepts (the error text after each one it
  // does not) or is cancelled (false).
  bool AskValue(const QString& caption, const std::string& errorText, double& v,
                const std::function<bool(double)>& ok = {});
  // The sum or the product of the chosen graphs as a new graph.
  void CombineChosen(const QString& caption, bool product);
  // Runs a member on every chosen graph and redraws.
  // skipsNanX: the member leaves out points whose X is NaN, and the message counts them.
  void EachChosen(const QString& caption, const std::function<void(ChartSeries&)>& f, bool skipsNanX = false);
  // The message of points left out for their NaN X, when there were any.
  void ReportSkipped(const std::vector<std::pair<std::string, std::size_t>>& graphs);
  // True, with the refusal shown, when one of the graphs has X that both rise and fall: a
  // command that reads graphs in time order cannot take it.
  bool RefuseUnordered(const std::vector<int>& graphs);
  void SetLogAxis(QAction* item, bool xAxis);
  // The measuring, impedance and circuit commands; the "Новый" menu and the move buttons.
  void BuildMeasureCommands();
  void BuildNewCommands();
  // The measurement of the visible part of the active graph, before each drawing.
  void UpdateMeasurement();
  bool LoadGenerated(const GeneratedCurve& c);
  void AddGeneratedSeries(const GeneratedCurve& c);
  // The spectrum command's rebuilding of a source curve from the two graphs just made.
  void SpectrumInverseCheck(const SpectrumOptions& o, const ChartSeries& source);
  // The appearance commands, the pictures and printing; the mouse.
  void BuildViewCommands();
  void BuildMouse();
  QFont ElementFont(int element) const;
  void SetElementFont(int element, const QFont& f);
  void ZoomBy(double factor);
  void ApplyBackColor();
  // Draws the chart on `painter` at w x h layout pixels (the painter may scale them).
  void PaintChart(QPainter& painter, int w, int h);
  void ChartMouseDown(QMouseEvent* e);
  void ChartMouseMove(QMouseEvent* e);
  void ChartMouseUp(QMouseEvent* e);
  // The active graph's points in the pointer's pixel column take the pointer's Y.
  void EditColumn(int px, int py);
  void SetCancel(bool cancel);
  void DrawDragLine(int x, int y);

  ChartModel model_;
  LiveFeed feed_;
  ChartSettings settings_;
  Options opt_;
  std::unique_ptr<Prompter> ownPrompter_;
  Prompter* prompter_ = nullptr;
  std::function<void()> showMainWindow_;
  std::function<std::string()> resultsFolder_;
  bool folderChosen_ = false;  // a curve file was opened or saved in this session

  std::vector<QCPAbstractPlottable*> plots_;  // one per series, same order
  QObject* plotHolder_ = nullptr;              // the QObject parent of plots_
  ChartAxisTicker* xTicker_ = nullptr;
  ChartAxisTicker* yTicker_ = nullptr;
  QCPTextElement* title_ = nullptr;
  QCPTextElement* foot_ = nullptr;
  QCPItemText* yCaption_ = nullptr;
  QCPLayoutGrid* rightHolder_ = nullptr;
  QCPLayoutGrid* bottomHolder_ = nullptr;
  bool legendRight_ = false;
  bool zoomed_ = false;  // the user zoomed or scrolled: new data leave the axes alone
  bool settingRange_ = false;

  QTimer* feedTimer_ = nullptr;
  int longDepth_ = 0;
  int lastPercent_ = -1;
  QString progressCaption_;
  QSharedPointer<QCPAxisTicker> linearTicker_[2];  // the axes' own tickers while they are logarithmic
  std::vector<QWidget*> minimizedWithUs_;
  MeasureOverlay* overlay_ = nullptr;
  std::string lastMeasureMessage_;  // the measurement message last shown, with its graph and value
  std::unique_ptr<QPrinter> printer_;  // kept, so the print dialog's choices stay

  // Mouse: pixels where the button went down and of the line drawn last; axis values where
  // a drag or measurement began and where the pointer is.
  int StartX = 0, StartY = 0, LastX = 0, LastY = 0;
  double DownX = 0, DownY = 0, CurX = 0, CurY = 0;
  bool ShiftDragActive = false, RubberActive = false, EditDragActive = false;
  QCPItemLine* dragLine_ = nullptr;  // on the overlay layer, replotted alone
  QCPItemText* emptyHint_ = nullptr;  // in the plot while it has no curves
};

// The stop button's hints: what a long command stops.
inline constexpr const char* kStopFourier = "Остановить преобразование Фурье";
inline constexpr const char* kStopConvolution = "Остановить вычисление свертки";

// Runs a long command of the chart window: shows "СТОП" with its hint and disables the
// other commands for its lifetime; reports percentages to the status bar.
class ChartLongCommand : public ILongTask {
public:
  ChartLongCommand(TfmChart& w, const char* stopHint) : w_(w) { w_.BeginLongCommand(QString::fromUtf8(stopHint)); }
  ~ChartLongCommand() override { w_.EndLongCommand(); }
  ChartLongCommand(const ChartLongCommand&) = delete;
  ChartLongCommand& operator=(const ChartLongCommand&) = delete;
  void Progress(int percent) override { w_.ShowProgress(percent); }
  bool StopRequested() const override { return w_.StopRequested; }

private:
  TfmChart& w_;
};

}  // namespace rv
