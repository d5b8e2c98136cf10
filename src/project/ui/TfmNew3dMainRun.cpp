// The main window's runs: the calculation thread, what the run start asks of the windows,
// starting, pausing and stopping a run, its progress and its end.
#include "project/ui/TfmNew3dMain.h"

#include <QAction>
#include <QCoreApplication>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolButton>

#include <algorithm>

#include "charts/ui/TfmChart.h"
#include "editor/elementarrays.h"
#include "editor/ui/TfmOpenGL.h"
#include "platform/platform.h"
#include "platform/prompter.h"
#include "project/gridsettings.h"
#include "project/recording.h"
#include "project/ui/MainWindowText.h"
#include "project/ui/Tcalculatethread.h"
#include "project/ui/TfmInputSource.h"
#include "project/ui/TfmVisual.h"
#include "solver/runsetup.h"
#include "solver/solverdata.h"

namespace rv {

using mainui::Q;
using mainui::S;

namespace {

// Progress and the end of the run cross to the GUI thread and wait there.
class GuiRunCallbacks : public RunCallbacks {
public:
  explicit GuiRunCallbacks(TfmNew3dMain& w) : w_(w) {}
  void ShowProgress(const ProgressInfo& p) override {
    QMetaObject::invokeMethod(&w_, [this, &p] { w_.ShowProgress(p); },
                              Qt::BlockingQueuedConnection);
  }
  void FinishCalculation(const RunOutcome& o) override {
    // The files, the reports (the 1-g averaging may take a while) and the freeing happen
    // here, so the windows stay live meanwhile; then the window takes over.
    const EndOfRunReport r = w_.FinishRunWork(o);
    QMetaObject::invokeMethod(&w_, [this, &o, &r] { w_.FinishCalculation(o, r); },
                              Qt::BlockingQueuedConnection);
  }

private:
  TfmNew3dMain& w_;
};

}  // namespace

// ---------------------------------------------------------------- calculation thread

Tcalculatethread::Tcalculatethread(TfmNew3dMain& window, SolverData& d, StepHooks hooks,
                                   PauseControl& pause)
    : window_(window), d_(d), hooks_(std::move(hooks)), pause_(pause) {}

void Tcalculatethread::run() {
  GuiRunCallbacks cb(window_);
  // The platform's millisecond tick count, carried past its 32-bit wrap.
  uint32_t last = platform::GetTickCount();
  int64_t ticks = 0;
  TickSource tick = [&last, &ticks] {
    const uint32_t now = platform::GetTickCount();
    ticks += int64_t(uint32_t(now - last));
    last = now;
    return ticks;
  };
  outcome_ = RunTimeLoop(d_, hooks_, cb, &pause_, tick);
}

// ---------------------------------------------------------------- run start host

namespace {

class WindowRunHost : public RunStartHost {
public:
  WindowRunHost(TfmNew3dMain& w, OutPointTables& out, LampedTables& lamped, Prompter& prompter,
                SignalSource& programSignal, SignalSource& runSignal, OutputRun& outputs,
                TfmChart* chart, TfmOpenGL* editor, TfmVisual* visual)
      : w_(w), out_(out), lamped_(lamped), prompter_(prompter), programSignal_(programSignal),
        runSignal_(runSignal), outputs_(outputs), chart_(chart), editor_(editor), visual_(visual) {}
  bool RefreshSignal(std::string& message) override {
    // What the signal window holds now is what the run uses.
    if (TfmInputSource* sw = w_.SignalWindow()) {
      std::vector<std::string> warnings;
      const bool ok = sw->RefreshForRun(message, warnings);
      ShowMessages(prompter_, warnings);
      if (!ok) return false;
    }
    runSignal_.Set(programSignal_.Get());
    refreshed_ = true;
    return true;
  }
  bool RunSignal(SignalSettings& s) override {
    TfmInputSource* sw = w_.SignalWindow();
    if (refreshed_ || !sw) {
      s = (refreshed_ ? runSignal_ : programSignal_).Get();
      return true;
    }
    return sw->SignalForRun(s);
  }
  void ClearProgressLabels() override {
    for (QLabel* l : {w_.lbStep, w_.lbLapTime, w_.lbLeftTime, w_.lbOneTime}) l->clear();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  }
  std::vector<std::string> LoadElementArrays(const SolverData& d, ElementArrays& a) override {
    return rv::LoadElementArrays(d, out_, lamped_, a);
  }
  bool ConfirmRowsLeftOut(const std::string& question) override {
    return prompter_.question(question, PromptButton::Yes | PromptButton::No) == PromptButton::Yes;
  }
  bool SignalReady() override {
    TfmInputSource* sw = w_.SignalWindow();
    return !sw || sw->SignalReady();
  }
  void ClearCharts() override {
    if (chart_) chart_->DeleteAll1Click();
  }
  void EditorGridChanged() override {
    if (editor_) editor_->GridChanged();
  }
  void ResetLiveFrames() override {
    if (visual_) visual_->StartRun();
  }
  void ShowPreparing() override {
    w_.lbStep->setText(Q("Подготовка к расчету. Распределение памяти."));
    for (QLabel* l : {w_.lbLapTime, w_.lbLeftTime, w_.lbOneTime}) l->clear();
    w_.repaint();
  }
  bool PrepareOutputFiles(SolverData& d, std::string&) override {
    // The start has refused or asked about every row already; what is left is files that
    // could not be made, which the user is asked about.
    const Messages msgs = rv::PrepareOutputFiles(
        d, out_, OutputOptions{!out_.cbNoWriteFile, out_.cbShowGr, out_.cbShowInput}, &runSignal_,
        chart_ ? &chart_->model() : nullptr, chart_ ? &chart_->liveFeed() : nullptr, outputs_);
    filesPrepared = true;
    ShowMessages(prompter_, msgs);
    if (chart_) chart_->RefreshChart();
    return outputs_.FilesNotMade.empty() ||
           prompter_.question(FilesNotMadeQuestion(outputs_), PromptButton::Yes | PromptButton::No) ==
               PromptButton::Yes;
  }
  bool filesPrepared = false;

private:
  bool refreshed_ = false;  // RefreshSignal copied the signal for the run
  TfmNew3dMain& w_;
  OutPointTables& out_;
  LampedTables& lamped_;
  Prompter& prompter_;
  SignalSource& programSignal_;
  SignalSource& runSignal_;
  OutputRun& outputs_;
  TfmChart* chart_;
  TfmOpenGL* editor_;
  TfmVisual* visual_;
};

}  // namespace

// ---------------------------------------------------------------- run control

void TfmNew3dMain::setRunningLook(bool running) {
  btnPusk->setEnabled(!running);
  btnStop->setEnabled(running);
  btnPauza->setEnabled(running);
  StaticText1->setVisible(running);
  if (!running) {
    const QSignalBlocker block(btnPauza);
    btnPauza->setChecked(false);
  }
  for (int i = 0; i < PageControl1->count() - 1; ++i) PageControl1->widget(i)->setEnabled(!running);
  mnNewProject->setEnabled(!running);
  mnHistory->setEnabled(!running);
  mnDoubleVolum->setEnabled(!running);
  mnLoadPrj->setEnabled(!running && bool(files_.Load));
  mnSavePrj->setEnabled(!running && bool(files_.Save));
}

void TfmNew3dMain::showStatus(const std::string& text) {
  if (!text.empty()) lbStep->setText(Q(text));
}

void TfmNew3dMain::clearRunStatus() {
  for (QLabel* l : {lbStep, lbLapTime, lbLeftTime, lbOneTime}) l->clear();
  refusalStatus_.clear();
  // A note of the load before goes too; a message of the program's own settings stays.
  if (!journalNote_.isEmpty() && StatusBar1->currentMessage() == journalNote_) StatusBar1->clearMessage();
  journalNote_.clear();
}

void TfmNew3dMain::memoAdd(const std::string& line) { Memo1->appendPlainText(Q(line)); }

RunStartInputs TfmNew3dMain::runStartInputs() {
  RunStartInputs in;
  in.settings = ReadSettings();
  in.outputs = outputs_;
  in.lamped = lamped_;
  in.projectReady = projectReady_ != 0;
  in.nowMs = NowEpochMs();
  platform::MemoryStatus st;
  if (platform::GetMemoryStatus(st)) in.totalPhysBytes = st.totalPhys;
  return in;
}

SignalRunUse TfmNew3dMain::signalRunUse() {
  WindowRunHost host(*this, *outputs_, *lamped_, *prompter_, *signal_, runSignal_, outputRun_,
                     links_.fmChart, links_.fmOpenGL, links_.fmVisual);
  return SettingsSignalUse(ReadSettings(), host);
}

void TfmNew3dMain::recheckRefusal() {
  if (typing_ || refusalStatus_.empty() || Running()) return;
  WindowRunHost host(*this, *outputs_, *lamped_, *prompter_, *signal_, runSignal_, outputRun_,
                     links_.fmChart, links_.fmOpenGL, links_.fmVisual);
  if (RefusalHolds(refusalStatus_, runStartInputs(), d_, features_, host)) return;
  if (S(lbStep->text()) == refusalStatus_) lbStep->clear();
  refusalStatus_.clear();
}

void TfmNew3dMain::btnPuskClick() {
  if (starting_ || Running()) return;
  starting_ = true;
  struct Reset {
    bool& f;
    ~Reset() { f = false; }
  } reset{starting_};

  const RunStartInputs in = runStartInputs();
  platform::MemoryStatus st;
  if (platform::GetMemoryStatus(st)) {
    const MemoryLabels m = FormatMemoryLabels(st.totalPhys, st.availPhys, st.memoryLoad);
    lbTotalMem->setText(Q(m.lbTotalMem));
    lbMemoryLoad->setText(Q(m.lbMemoryLoad));
    lbMemoryFree->setText(Q(m.lbMemoryFree));
  }

  WindowRunHost host(*this, *outputs_, *lamped_, *prompter_, *signal_, runSignal_, outputRun_,
                     links_.fmChart, links_.fmOpenGL, links_.fmVisual);
  RunStartResult r = StartRun(d_, in, host, features_);

  // The solver's own items for the run: coefficient cache and lumped elements.
  std::unique_ptr<RunKernels> kernels;
  if (r.started) {
    kernels = std::make_unique<RunKernels>();
    std::string err;
    const RunSettings& rs = r.run.settings;
    kernels->Centre = tScatterCentre{rs.CenterI, rs.CenterJ, rs.CenterK};
    kernels->Wave.IncAngle = rs.IncAngle;
    for (const tOutFile& f : outputRun_.OutPointFiles)
      if (f.Opened && f.Kind == 'P') kernels->PowerReadCells.push_back({f.X, f.Y, f.Z});
    if (!PrepareRunKernels(d_, r.run.elements, &runSignal_, *kernels, &err)) {
      // The start refused every value the elements cannot use: what is left is memory.
      FreeFieldArrays(d_);
      r.started = false;
      r.restore = true;
      r.status = err.empty() ? std::string(runmsg::AllocFailed) : err;
      r.messages.push_back({true, runmsg::AllocRefusal(r.status)});
    }
  }
  Messages closeErrors;
  if (!r.started) {
    // A refusal late in the start leaves nothing of the run behind: what the PML and the
    // far field reserved, the output files opened, the series waiting for points.
    if (features_.FreeRunFeatures) features_.FreeRunFeatures(d_);
    if (host.filesPrepared) {
      closeErrors = CloseOutputFiles(outputRun_);
      if (links_.fmChart) links_.fmChart->liveFeed().CloseAll();
    }
  }
  // A refusal and a caution of the start alike stand out from a plain notice.
  for (const RunStartMessage& m : r.messages) prompter_->warning(m.text);
  ShowMessages(*prompter_, closeErrors);
  if (!r.started) {
    // Every refusal leaves the window idle, also one made after the arrays were reserved;
    // the labels of the run before go, and the status names the refusal's own cause.
    d_.Stopped = 1;
    setRunningLook(false);
    for (QLabel* l : {lbStep, lbLapTime, lbLeftTime, lbOneTime}) l->clear();
    showStatus(r.status);
    refusalStatus_ = r.status;
    return;
  }

  refusalStatus_.clear();
  run_ = std::move(r.run);
  kernels_ = std::move(kernels);
  runLayerCount_ = std::clamp(GetEditorState().LayerCount, 0, MaxLayers - 1);
  pause_.Resume();
  ProgressBar1->setValue(0);
  ProgressBar1->setMaximum(d_.StepCount);
  ProgressBar1->show();
  d_.Stopped = 0;
  d_.CalcRunning = 1;
  setRunningLook(true);
  StepHooks hooks = DefaultStepHooks(d_, *kernels_);
  run_.settings.Signal = &runSignal_;
  if (features_.AddStepHooks) features_.AddStepHooks(d_, run_.settings, hooks);
  outputRun_.DProbe = features_.DProbe;
  AttachRecording(hooks, d_, outputRun_);
  if (links_.fmVisual) links_.fmVisual->AddStepHook(hooks);
  CalcThread = new Tcalculatethread(*this, d_, std::move(hooks), pause_);
  connect(CalcThread, &QThread::finished, this, [this] {
    CalcThread->deleteLater();
    CalcThread = nullptr;
    kernels_.reset();
  });
  runClock_.Start(RunClockMs());
  CalcThread->start();
  lbStep->setText(Q("Счет запущен."));
  memoAdd("------------------");
  memoAdd("Запускается проект " + projectFileName_);
  memoAdd("Счет запущен в " + DateTimeText(in.nowMs));
}

void TfmNew3dMain::ShowProgress(const ProgressInfo& p) {
  if (!p.FullRefresh) return;
  ProgressInput in;
  in.ProgressStep = p.ProgressStep;
  in.StepCount = p.StepCount;
  in.CurTime = p.CurTime;
  in.MsPerStep = runClock_.StepMs(p.ProgressStep, RunClockMs());
  in.ElapsedMs = NowEpochMs() - run_.settings.RunStartTimeMs;
  const ProgressTexts t = FormatProgress(in);
  lbStep->setText(Q(t.lbStep));
  showMemoryLabels();
  lbLapTime->setText(Q(t.lbLapTime));
  lbOneTime->setText(Q(t.lbOneTime));
  lbLeftTime->setText(Q(t.lbLeftTime));
  ProgressBar1->setValue(std::min(p.ProgressStep, ProgressBar1->maximum()));
  ProgressBar1->setFormat(QString::number(t.Percent) + "%");  // as the step label rounds it
}

EndOfRunReport TfmNew3dMain::FinishRunWork(const RunOutcome& o) {
  // Every frame the run handed to the live view is on disk before the run is over.
  if (links_.fmVisual) links_.fmVisual->FinishRun();
  finishNowMs_ = NowEpochMs();
  loopEndMs_ = RunClockMs();
  EndOfRunInput in;
  in.Outcome = o;
  in.Sar.LayerCount = runLayerCount_;
  if (!run_.space.empty()) in.Sar.Model = {&run_.space, &run_.layers};
  if (kernels_) {
    in.Sar.Sources = &kernels_->Lumped.VoltageSources;
    in.Sar.Resistors = &kernels_->Lumped.Resistors;
    in.Sar.SourcePower = &kernels_->Lumped.SourcePower;
    in.Sar.ResistorPower = &kernels_->Lumped.ResistorPower;
    in.Sar.OtherPower = kernels_->Lumped.OtherPower();
    in.Sar.OtherCount = kernels_->Lumped.OtherCount();
  }
  if (features_.FinishFarField)
    in.SaveFarField = [this](std::string& message) {
      return features_.FinishFarField(d_, run_.settings, message);
    };
  if (features_.FarFieldFinite) in.FarFieldFinite = [this] { return features_.FarFieldFinite(d_); };
  if (features_.FreeRunFeatures) in.FreeRunFeatures = [this] { features_.FreeRunFeatures(d_); };
  in.NowMs = finishNowMs_;
  try {
    return FinishRun(d_, outputRun_, in);
  } catch (const std::exception& e) {
    // Whatever went wrong, the run is over and the window gets itself back.
    EndOfRunReport r;
    CloseOutputFiles(outputRun_);
    FreeFieldArrays(d_);
    d_.CalcRunning = 0;
    d_.Stopped = 1;
    r.LeftTimeText = "Счет прерван по внутренней ошибке.";
    r.MemoLines.push_back(std::string("Ошибка при завершении счета: ") + e.what());
    r.StoppedLine = "Счет прерван в " + TimeOfDayText(finishNowMs_);
    r.Messages.push_back(std::string("Ошибка при завершении счета: ") + e.what());
    return r;
  }
}

void TfmNew3dMain::FinishCalculation(const RunOutcome&, const EndOfRunReport& r) {
  run_.space.free();  // the model copy of the report
  if (TfmChart* c = links_.fmChart) {
    // The last points of the run, then no more for its series.
    c->DrainLiveFeed();
    c->liveFeed().CloseAll();
    if (run_.settings.ShowGraphs && c->model().HasSeries()) N6Click();
  }
  btnPusk->setEnabled(true);
  btnStop->setEnabled(false);
  StaticText1->hide();
  ProgressBar1->setValue(0);
  ProgressBar1->hide();
  lbLeftTime->setText(Q(r.LeftTimeText));
  lbOneTime->setText(Q(MeanStepTimeText(runClock_.RunningMs(loopEndMs_), d_.CurStep)));
  for (const std::string& line : r.MemoLines) memoAdd(line);
  memoAdd(S(lbOneTime->text()));
  memoAdd(S(lbStep->text()));
  memoAdd(S(lbLapTime->text()));
  memoAdd(r.StoppedLine);
  showMemoryLabels();
  pause_.Resume();
  setRunningLook(false);
  for (const std::string& e : r.Messages) prompter_->error(e);  // each a failure of the run
}

void TfmNew3dMain::btnPauzaClick() {
  if (!CalcThread) return;
  if (pause_.Paused()) {
    pause_.Resume();
    runClock_.Resume(RunClockMs());
  } else {
    pause_.Pause();
    runClock_.Pause(RunClockMs());
  }
  const bool paused = pause_.Paused();
  lbLeftTime->setText(Q(paused ? "Пауза" : "Возобновление счета"));
  btnPauza->setChecked(paused);
}

void TfmNew3dMain::btnStopClick() {
  if (!CalcThread) return;
  if (prompter_->question("Остановить?", PromptButton::Yes | PromptButton::No) != PromptButton::Yes)
    return;
  if (!d_.CalcRunning) return;  // the run ended while the question was open
  pause_.Resume();
  runClock_.Resume(RunClockMs());
  btnPauza->setChecked(false);
  RequestStop(d_, &pause_);
  lbLeftTime->setText(Q("Ожидание остановки счета"));
}

void TfmNew3dMain::waitForThread() {
  if (!CalcThread) return;
  RequestStop(d_, &pause_);
  // The thread may be waiting in a blocking call to this thread: keep serving it.
  while (CalcThread && !CalcThread->wait(10)) QCoreApplication::processEvents();
  QCoreApplication::processEvents();
  delete CalcThread;
  CalcThread = nullptr;
}

}  // namespace rv
