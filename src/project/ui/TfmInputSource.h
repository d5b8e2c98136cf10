// "Выбор сигнала": the source signal's kind and parameters, its preview with the pulse
// measurement, its amplitude spectrum, the signal file and three preset pulses. What the
// window shows is what the solver gets: ShowSignalClick hands the kind and the parameters
// to the program's SignalSource.
#pragma once
#include <QWidget>

#include <atomic>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "project/signalmeasure.h"
#include "project/signalsettings.h"
#include "project/signalsource.h"
#include "project/signalvalues.h"

class QCheckBox;
class QComboBox;
class QCPGraph;
class QCPTextElement;
class QCustomPlot;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QStackedWidget;
class QToolButton;
class QCPAbstractItem;

namespace rv {

class Prompter;

class TfmInputSource : public QWidget {
  Q_OBJECT
public:
  TfmInputSource(SignalSource& source, Prompter& prompter, QWidget* parent = nullptr);
  ~TfmInputSource() override;

  // The run's duration for "Как время счета в проекте": the main window's step count and
  // time-step text (nanoseconds). Without it that choice reports the time step as wrong.
  void SetRunTime(std::function<void(int& stepCount, std::string& dT)> f) { runTime_ = std::move(f); }
  // What the run as set now would make of the signal (its step, step count, sources): the
  // preview refuses what the run start would. Without it the step comes from SetRunTime.
  void SetRunUse(std::function<SignalRunUse()> f) { runUse_ = std::move(f); }
  // The hidden label that stands in a chart's place for a refused signal (this window's and
  // the main window's source page).
  static QLabel* NewRefusalLabel(QWidget* parent);
  // Asks for a preset's peak amplitude (the dialog "Амплитуда" unless replaced); empty
  // when cancelled.
  void SetAmplitudeAsker(std::function<std::optional<std::string>()> f) { askAmplitude_ = std::move(f); }
  // Chooses a signal file (the open dialog unless replaced); empty when cancelled.
  void SetFileChooser(std::function<std::optional<std::string>()> f) { chooseFile_ = std::move(f); }
  // Called when the window closes (the main window redraws its signal page).
  void SetOnClose(std::function<void()> f) { onClose_ = std::move(f); }
  // The project's "unsaved changes" flag, set by the user's edits here.
  void SetModifiedFlag(std::atomic<uint8_t>* f) { modified_ = f; }
  // Folder a signal file name without one is taken from (the program's own by default).
  void SetProgramDir(std::string dir) { programDir_ = std::move(dir); }

  // ---- what the project stores
  SignalPageSettings GetSettings() const;
  // Puts the settings into the controls without running their handlers.
  void SetSettings(const SignalPageSettings& s);
  // The settings of a project: into the controls, then the kind's page and the preview
  // (cbExpressionChange), which loads the signal file for "Из файла". A signal file that
  // can't be read is reported and left unloaded; false then.
  bool ApplyProjectSettings(const SignalPageSettings& s);
  // Section "Signal" of a project file by name, through the core.
  bool SaveSignalSettings(const std::string& fileName);
  bool LoadSignalSettings(const std::string& fileName);

  // ---- handlers
  void cbExpressionChange();
  // Hands the kind and parameters to the signal source and redraws the preview and the
  // spectrum. False when a message stopped it (a bad parameter, a bad signal file, a bad
  // interval).
  bool ShowSignalClick();
  // The run start's refresh: the kind and parameters as the controls hold them go to the
  // signal source, nothing is drawn. A parameter that is not a number, or a signal file
  // with a bad line, refuses the run: false with the reason in `refusal` and what came
  // before it in `warnings`.
  bool RefreshForRun(std::string& refusal, std::vector<std::string>& warnings);
  // Whether RefreshForRun would take the parameters as they stand; nothing of the signal
  // changes (a bare file name is completed as RefreshForRun completes it).
  bool SignalReady();
  // The settings RefreshForRun would hand the run, into s; false where it would refuse.
  bool SignalForRun(SignalSettings& s);
  void ShowSpectrum();
  void CheckBox2Click();
  void btnOpenFileClick();
  void cbTimeChange();
  void SpeedButton1Click(int tag);  // presets: odd tags the Exp page, even Exp_radio
  void ZoomPercent(int tag, double percent);
  void ShowAll(int tag);
  void WidenVertical(int tag);
  void SpinEdit1Change(int tag);

  double GetSignal(double t) const { return EvaluateSignal(cur_, t); }
  bool FileLoaded() const { return cur_.FileLoaded; }
  const SignalSettings& Current() const { return cur_; }
  const std::vector<double>& PreviewX() const { return px_; }  // ns
  const std::vector<double>& PreviewY() const { return py_; }
  const SpectrumResult& Spectrum() const { return spectrum_; }
  // The measurement drawn on the preview and its text ("" when none is drawn).
  const PulseMeasure& Measure() const { return measure_; }
  QString MeasureText() const { return measureText_; }

  // ---- controls, named as the window's
  QComboBox* cbExpression = nullptr;
  QStackedWidget* Notebook1 = nullptr;
  std::map<std::string, QLineEdit*> edits;  // every edit of SignalSectionEdits by name
  QComboBox* cbTime = nullptr;
  QLineEdit* edFileName = nullptr;
  QPushButton* btnOpenFile = nullptr;
  QLabel* lbNoFile = nullptr;  // shown while no signal file is named
  // In place of the preview's curve: why the signal cannot be used ("" while it can).
  QLabel* lbPreviewRefusal = nullptr;
  const std::string& PreviewRefusal() const { return previewRefusal_; }
  QRadioButton *RadioButton1 = nullptr, *RadioButton2 = nullptr;
  QLineEdit *edMaxTime = nullptr, *edFMin = nullptr, *edFMax = nullptr, *eddF = nullptr;
  QCheckBox *CheckBox1 = nullptr, *CheckBox2 = nullptr, *CheckBox3 = nullptr;
  QSpinBox *SpinEdit1 = nullptr, *SpinEdit2 = nullptr;
  QLabel* Label29 = nullptr;
  QPushButton *ShowSignal = nullptr, *btnClose = nullptr;
  QToolButton *SpeedButton1 = nullptr, *SpeedButton2 = nullptr, *SpeedButton3 = nullptr,
              *SpeedButton7 = nullptr, *SpeedButton8 = nullptr, *SpeedButton9 = nullptr;
  QToolButton *BitBtn1 = nullptr, *BitBtn2 = nullptr, *BitBtn3 = nullptr, *BitBtn4 = nullptr,
              *BitBtn5 = nullptr, *BitBtn6 = nullptr, *SpeedButton4 = nullptr,
              *SpeedButton5 = nullptr;
  QWidget* Panel2 = nullptr;
  QCustomPlot *Chart1 = nullptr, *Chart2 = nullptr;
  QCPGraph *Series1 = nullptr, *FastLineSeries1 = nullptr;
  QCPTextElement *Chart1Title = nullptr, *Chart2Title = nullptr;

protected:
  void closeEvent(QCloseEvent* e) override;
  void changeEvent(QEvent* e) override;

private:
  QWidget* buildPages();
  QWidget* buildCharts();
  QLineEdit* edit(const char* name);
  QCustomPlot* chartOf(int tag) const;
  void resolveFileName();
  void updateMeasurement();
  void clearMeasurement();
  void userChanged();
  bool previewInterval(double& T);
  SignalRunUse previewUse();
  void showPreviewRefusal(const std::string& text);
  void showMessages(const std::vector<std::string>& m);
  void say(const std::string& m);
  // An edit changed the signal: redraw the preview without message boxes.
  void changedPreview();
  void refreshPreview();

  SignalSource& source_;
  Prompter& prompter_;
  SignalSettings cur_;
  std::vector<double> px_, py_;
  SpectrumResult spectrum_;
  PulseMeasure measure_;
  QString measureText_;
  std::vector<QCPAbstractItem*> measureItems_;
  bool autoY1_ = true, autoY2_ = true;
  bool setting_ = false;  // controls are being set by the program
  bool stale_ = false;    // the preview predates a typed edit
  bool quiet_ = false;    // messages are held, not shown in boxes
  std::vector<std::string> held_;
  std::function<void(int&, std::string&)> runTime_;
  std::function<SignalRunUse()> runUse_;
  std::string previewRefusal_;
  std::function<std::optional<std::string>()> askAmplitude_;
  std::function<std::optional<std::string>()> chooseFile_;
  std::function<void()> onClose_;
  std::atomic<uint8_t>* modified_ = nullptr;
  std::string programDir_;
};

}  // namespace rv
