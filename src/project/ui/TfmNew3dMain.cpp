// The main window: its state, the settings to and from its controls, the grid page, the
// side windows, the project commands, closing and activation. Its pages are built in
// TfmNew3dMainPages.cpp and its runs live in TfmNew3dMainRun.cpp.
#include "project/ui/TfmNew3dMain.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabWidget>
#include <QTextBlock>
#include <QTimer>
#include <QToolTip>
#include <qcustomplot.h>

#include "charts/ui/TfmChart.h"
#include "editor/ui/TfmOpenGL.h"
#include "editor/view3d.h"
#include "platform/filedialog.h"
#include "platform/help.h"
#include "platform/platform.h"
#include "platform/prompter.h"
#include "platform/shellchannel.h"
#include "project/appsettings.h"
#include "project/borderdecode.h"
#include "project/doublevolume.h"
#include "project/gridsettings.h"
#include "project/projectfile.h"
#include "project/tornsave.h"
#include "project/ui/ChildSignals.h"
#include "project/ui/MainWindowText.h"
#include "project/ui/TfmInputSource.h"
#include "project/ui/TfmVisual.h"
#include "solver/numtext.h"
#include "solver/pendingfile.h"
#include "solver/resultpaths.h"
#include "solver/runsetup.h"
#include "solver/solverdata.h"

namespace rv {

using mainui::Q;
using mainui::S;

namespace {

void SetRadio(QButtonGroup* g, int id) {
  if (QAbstractButton* b = g->button(id)) b->setChecked(true);
}

}  // namespace

// ---------------------------------------------------------------- the window

QString TfmNew3dMain::DefaultCaption() {
  return QString::fromUtf8("Расчет электромагнитных полей методом FDTD");
}

TfmNew3dMain::TfmNew3dMain(SolverData& data, QWidget* parent) : QMainWindow(parent), d_(data) {
  setObjectName("fmNew3dMain");
  setWindowTitle(DefaultCaption());
  resize(980, 720);

  ownOutputs_ = std::make_unique<OutPointTables>();
  ownLamped_ = std::make_unique<LampedTables>();
  ownSignal_ = std::make_unique<SignalSource>();
  outputs_ = ownOutputs_.get();
  lamped_ = ownLamped_.get();
  signal_ = ownSignal_.get();
  ownPrompter_ = std::make_unique<QtPrompter>(this);
  prompter_ = ownPrompter_.get();
  features_ = AvailableRunFeatures();

  settingControls_ = true;
  buildPages();
  buildPanel();
  buildMenus();
  connectHandlers();

  // The results folders of an unnamed project beside the program.
  dlg_.OpenFileName = platform::BesideExecutable("Без имени.fdt");
  projectFileName_ = dlg_.OpenFileName;
  SetResultPaths(d_, projectFileName_);
  // Hints on a light green ground.
  QPalette hints = QToolTip::palette();
  hints.setColor(QPalette::ToolTipBase, QColor(0xCC, 0xFF, 0xCC));
  QToolTip::setPalette(hints);
  showMemoryLabels();

  // The settings file: last folders, last project, history ("C:\" is the home folder).
  const std::string exe = S(QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName());
  iniFileName_ = platform::BesideExecutable((exe.empty() ? std::string("ravelin") : exe) + ".INI");
  std::string err;
  if (!ReadAppSettings(iniFileName_, platform::HomeDir(), app_, err))
    StatusBar1->showMessage(Q(err));
  dlg_.OpenDir = app_.IniDirProjectOpen;
  dlg_.SaveDir = app_.IniDirProjectSave;
  projectFileName_ = app_.LastProjectFileName;
  mnHistoryClick();
  // An unnamed project's results go with the user's projects, not among the program's files.
  dlg_.OpenFileName = NewProjectFolder(app_.History, platform::HomeDir()) + "Без имени.fdt";
  SetResultPaths(d_, dlg_.OpenFileName);

  d_.Stopped = 1;
  PageControl1->setCurrentWidget(TabSheet1);
  for (QLabel* l : {lbStep, lbLapTime, lbLeftTime, lbOneTime}) l->clear();
  settingControls_ = false;

  WriteSettings(MainSettings{});
  spCenterI->setValue((d_.SpaceNx + 1) / 2);
  spCenterJ->setValue((d_.SpaceNy + 1) / 2);
  spCenterK->setValue((d_.SpaceNz + 1) / 2);
  ResizeSpace(d_);
  setRunningLook(false);
  ProgressBar1->hide();
  d_.Modified = 0;
}

TfmNew3dMain::~TfmNew3dMain() {
  waitForThread();
  DetachChildSignals(this);
}

void TfmNew3dMain::SetLinks(const MainWindowLinks& links) {
  links_ = links;
  outputs_ = links.outputs ? links.outputs : ownOutputs_.get();
  lamped_ = links.lamped ? links.lamped : ownLamped_.get();
  signal_ = links.signal ? links.signal : ownSignal_.get();
  N14->setEnabled(links.fmOutPoint != nullptr);
  N15->setEnabled(links.fmLamped != nullptr);
  N17->setEnabled(links.fmChart != nullptr);
  Button3->setEnabled(links.fmChart != nullptr);
  btnSetFarPoints->setEnabled(links.fmOutPoint != nullptr);
  N20->setEnabled(links.fmInputSource != nullptr);
  N16->setEnabled(links.fmOpenGL != nullptr);
  N18->setEnabled(links.fmVisual != nullptr);
  btnVisual->setEnabled(links.fmVisual != nullptr);
  if (links.fmVisual) {
    links.fmVisual->SetPauseControl(&pause_);
    links.fmVisual->SetVizual(vizual_);  // what the project set before the window came
  }
  Button4->setEnabled(links.fmOpenGL != nullptr);
  N19->setEnabled(links.fmLayers != nullptr);
  mnAbout->setEnabled(links.fmAbout != nullptr);
  N7->setEnabled(links.fmWaveLenCalc != nullptr);
  const bool help = links.help && links.help->Available();
  mnHelp->setEnabled(help);
  mnIndex->setEnabled(help);
  btnShowSignal->setEnabled(links.fmInputSource != nullptr);
  if (links.fmChart) links.fmChart->setResultsFolder([this] { return d_.ResultDir; });
  if (TfmInputSource* sw = links.fmInputSource) {
    // "Как время счета в проекте" previews the run's duration as set here.
    sw->SetRunTime([this](int& steps, std::string& dT) {
      steps = seStepCount->value();
      dT = S(eddT->text());
    });
    sw->SetRunUse([this] { return signalRunUse(); });
    sw->SetOnClose([this] {
      TabSheet2Show();
      recheckRefusal();
    });
    sw->SetModifiedFlag(&d_.Modified);
  }
  spXChange(false);
  TabSheet2Show();
}

void TfmNew3dMain::SetPrompter(Prompter* p) { prompter_ = p ? p : ownPrompter_.get(); }

void TfmNew3dMain::SetRunFeatures(const RunFeatures& f) {
  features_ = f;
  sePMLCountChange(false);
}

void TfmNew3dMain::SetProjectFileHandlers(ProjectFileHandlers h) {
  files_ = std::move(h);
  setRunningLook(Running());
  mnHistoryClick();
}

bool TfmNew3dMain::Running() const { return d_.CalcRunning != 0 || CalcThread != nullptr; }

std::array<QComboBox*, 6> TfmNew3dMain::combos() const {
  return {ComboBox1, ComboBox2, ComboBox3, ComboBox4, ComboBox5, ComboBox6};
}

// ---------------------------------------------------------------- settings <-> controls

MainSettings TfmNew3dMain::ReadSettings() const {
  MainSettings s;
  s.spX = spX->value();
  s.spY = spY->value();
  s.spZ = spZ->value();
  s.edX = S(edX->text());
  s.edY = S(edY->text());
  s.edZ = S(edZ->text());
  s.eddT = S(eddT->text());
  s.seStepCount = seStepCount->value();
  s.cbBioMaterals = cbBioMaterals->isChecked();
  s.cbMagneticMaterals = cbMagneticMaterals->isChecked();
  const auto cb = combos();
  for (size_t n = 0; n < 6; ++n) s.ComboBox[n] = cb[n]->currentIndex();
  s.spCenterI = spCenterI->value();
  s.spCenterJ = spCenterJ->value();
  s.spCenterK = spCenterK->value();
  s.sePMLCount = sePMLCount->value();
  s.edpmlR = S(edpmlR->text());
  s.rgPMLprofile = rgPMLprofileGroup->checkedId();
  s.rgSources = rgSourcesGroup->checkedId();
  s.edIncAngle = S(edIncAngle->text());
  s.TrackBar1 = TrackBar1->value();
  s.TrackBar2 = TrackBar2->value();
  s.rgEOrient = rgEOrientGroup->checkedId();
  s.cbFarDiagram = cbFarDiagram->isChecked();
  s.cbPX = cbPX->isChecked();
  s.cbPY = cbPY->isChecked();
  s.cbPZ = cbPZ->isChecked();
  s.edFarStep = edFarStep->value();
  s.edFarDiagrR = S(edFarDiagrR->text());
  s.cbCalcFarH = cbCalcFarH->isChecked();
  s.cbFarPoints = cbFarPoints->isChecked();
  s.spFarXmin = spFarXmin->value();
  s.spFarYmin = spFarYmin->value();
  s.spFarZmin = spFarZmin->value();
  s.spFarXmax = spFarXmax->value();
  s.spFarYmax = spFarYmax->value();
  s.spFarZmax = spFarZmax->value();
  s.cbFastDigramm = cbFastDigramm->isChecked();
  s.cbEnergy = cbEnergy->isChecked();
  s.seSarDelay = seSarDelay->value();
  const QString note = memoProjectNote->toPlainText();
  if (!note.isEmpty())
    for (const QString& line : note.split('\n')) s.memoProjectNote.push_back(S(line));
  return s;
}

void TfmNew3dMain::WriteSettings(const MainSettings& s) {
  const bool was = settingControls_;
  settingControls_ = true;
  holdStep_ = true;
  spX->setValue(s.spX);
  spY->setValue(s.spY);
  spZ->setValue(s.spZ);
  edX->setText(Q(s.edX));
  edY->setText(Q(s.edY));
  edZ->setText(Q(s.edZ));
  eddT->setText(Q(s.eddT));
  seStepCount->setValue(s.seStepCount);
  cbBioMaterals->setChecked(s.cbBioMaterals);
  cbMagneticMaterals->setChecked(s.cbMagneticMaterals);
  const auto cb = combos();
  for (size_t n = 0; n < 6; ++n) {
    const QSignalBlocker block(cb[n]);
    cb[n]->setCurrentIndex(s.ComboBox[n]);
  }
  spCenterI->setValue(s.spCenterI);
  spCenterJ->setValue(s.spCenterJ);
  spCenterK->setValue(s.spCenterK);
  sePMLCount->setValue(s.sePMLCount);
  edpmlR->setText(Q(s.edpmlR));
  SetRadio(rgPMLprofileGroup, s.rgPMLprofile);
  SetRadio(rgSourcesGroup, s.rgSources);
  edIncAngle->setText(Q(s.edIncAngle));
  TrackBar1->setValue(s.TrackBar1);
  TrackBar2->setValue(s.TrackBar2);
  SetRadio(rgEOrientGroup, s.rgEOrient);
  cbFarDiagram->setChecked(s.cbFarDiagram);
  cbPX->setChecked(s.cbPX);
  cbPY->setChecked(s.cbPY);
  cbPZ->setChecked(s.cbPZ);
  edFarStep->setValue(s.edFarStep);
  edFarDiagrR->setText(Q(s.edFarDiagrR));
  cbCalcFarH->setChecked(s.cbCalcFarH);
  cbFarPoints->setChecked(s.cbFarPoints);
  spFarXmin->setValue(s.spFarXmin);
  spFarYmin->setValue(s.spFarYmin);
  spFarZmin->setValue(s.spFarZmin);
  spFarXmax->setValue(s.spFarXmax);
  spFarYmax->setValue(s.spFarYmax);
  spFarZmax->setValue(s.spFarZmax);
  cbFastDigramm->setChecked(s.cbFastDigramm);
  cbEnergy->setChecked(s.cbEnergy);
  seSarDelay->setValue(s.seSarDelay);
  QString note;
  for (size_t i = 0; i < s.memoProjectNote.size(); ++i)
    note += (i ? "\n" : "") + Q(s.memoProjectNote[i]);
  memoProjectNote->setPlainText(note);
  holdStep_ = false;
  ComboBox1Change();
  rgSourcesClick();
  cbFarDiagramClick();
  TrackBar1Change();
  sePMLCountChange(false);
  spXChange(false);
  seStepCountChange(false);
  settingControls_ = was;
}

void TfmNew3dMain::markModified() {
  if (settingControls_) return;
  d_.Modified = 1;
  recheckRefusal();
}

// ---------------------------------------------------------------- grid page

void TfmNew3dMain::spXChange(bool userEdit) {
  // The materials window, the output window and a loaded project come here too.
  if (userEdit) markModified();
  else recheckRefusal();
  const MainSettings s = ReadSettings();
  // The grid of a running calculation is not changed under it.
  const bool running = Running();
  const double eps = MaxStaticPermittivity(d_, GetEditorState().LayerCount);
  GridSettingsView v = ComputeGridSettings(s, eps, outputs_->sgFarPoints.RowCount() - 1);
  if (!running) ApplyGridToSolver(v, s, d_);
  std::string sizeError;
  for (const std::string& r : v.sizeRefusals)
    if (!r.empty()) sizeError += (sizeError.empty() ? "" : "\n") + ("Размер ячейки " + r);
  showFieldError(lbSizeError, sizeError);
  lbKurant->setText(Q(v.lbKurant));
  if (!v.sizesOk) {
    lbSummary->setText(Q(v.lbSummary));
    seStepCountChange(false);
    return;
  }
  eddT->setEnabled(!v.rtabc);
  // A cell size half typed ("0." on the way to "0.005") does not touch the step: it is
  // reconciled when the size's editing ends.
  if (!typing_ && !holdStep_) {
    const TimeStepUpdate t = NextTimeStep(v, s.eddT, typedStep_);
    typedStep_ = t.typedStep;
    if (t.eddT != s.eddT) {
      const QSignalBlocker block(eddT);
      eddT->setText(Q(t.eddT));
    }
    // A step the user set never changes unsaid; a loaded project's is told by the load.
    if (!t.note.empty() && (!settingControls_ || announceStep_)) {
      AddToJournal(t.note);
      stepNote_ = Q(t.note);
    }
  }
  seStepCountChange(false);
  lbSummary->setText(Q(v.lbSummary));
  if (userEdit) sePMLCountChange(false);
  lbMemory->setText(Q(v.lbMemory));
  lbBordersMem->setText(Q(v.lbBordersMem));
  lbMemory1->setText(Q(v.lbMemory1));
  lbFarMem->setText(Q(v.lbFarMem));
  lbTotal->setText(Q(v.lbTotal));
  lbTop->setText(Q(v.lbTop));
  lbMaxFreq->setText(Q(v.lbMaxFreq));
}

void TfmNew3dMain::sePMLCountChange(bool userEdit) {
  if (userEdit) markModified();
  const PMLLabels l = ComputePMLLabels(ReadSettings(), features_);
  // A reflection text that is not a number leaves the labels; the run start reports it.
  if (l.ok) {
    lbPMLFreq->setText(Q(l.lbPMLFreq));
    lbPMLTime->setText(Q(l.lbPMLTime));
  }
  if (userEdit) spXChange(false);
}

void TfmNew3dMain::seStepCountChange(bool userEdit) {
  if (userEdit) markModified();
  const int steps = seStepCount->value();
  d_.StepCount = steps;  // a running loop follows it from its next step
  ProgressBar1->setMaximum(steps);
  Label33->setText(Q(EndTimeText(steps, S(eddT->text()))));
  // Under RT-ABC the field is not the run's step: nothing to say of it.
  showFieldError(lbStepError, eddT->isEnabled() ? TimeStepRefusal(S(eddT->text())) : std::string());
}

void TfmNew3dMain::showFieldError(QLabel* label, const std::string& text) {
  label->setText(Q(text));
  label->setVisible(!text.empty());
}

void TfmNew3dMain::ComboBox1Change() {
  const std::array<int, 6> c = ReadSettings().ComboBox;
  cbCenter->setVisible(AnyBorder(c, BorderDissipation));
  gbPML->setVisible(AnyBorder(c, BorderPML));
  rgPMLprofile->setVisible(AnyBorder(c, BorderPML));
  eddT->setEnabled(!AnyBorder(c, BorderRTABC));
  markModified();
  spXChange(false);
}

void TfmNew3dMain::N4Click(int tag) {
  for (QComboBox* c : combos()) {
    const QSignalBlocker block(c);
    c->setCurrentIndex(tag - 1);
  }
  ComboBox1Change();
}

void TfmNew3dMain::Timer1Timer() {
  showMemoryLabels();
  QPalette p = StaticText1->palette();
  const bool red = p.color(QPalette::WindowText) == Qt::red;
  p.setColor(QPalette::WindowText, red ? Qt::white : Qt::red);
  StaticText1->setPalette(p);
}

void TfmNew3dMain::showMemoryLabels() {
  platform::MemoryStatus st;
  if (!platform::GetMemoryStatus(st)) return;
  const MemoryLabels m = FormatMemoryLabels(st.totalPhys, st.availPhys, st.memoryLoad);
  lbTotalMem->setText(Q(m.lbTotalMem));
  lbMemoryLoad->setText(Q(m.lbMemoryLoad));
  lbMemoryFree->setText(Q(m.lbMemoryFree));
}

// ---------------------------------------------------------------- other pages

void TfmNew3dMain::rgSourcesClick() {
  gbAngle->setVisible(rgSourcesGroup->checkedId() == SourceExternalField);
  gbTFSF->setVisible(rgSourcesGroup->checkedId() == SourceTFSF);
}

void TfmNew3dMain::cbFarDiagramClick() {
  gbFarDiag->setVisible(cbFarDiagram->isChecked());
  gbFarPoint->setVisible(cbFarPoints->isChecked());
  markModified();
  spXChange(false);
}

void TfmNew3dMain::TrackBar1Change() {
  Label44->setText(QString::number(TrackBar1->value()));
  Label45->setText(QString::number(TrackBar2->value()));
  markModified();
}

void TfmNew3dMain::TabSheet2Show() {
  // The page shows the signal window's preview as that window last drew it.
  TfmInputSource* sw = links_.fmInputSource;
  if (!sw) {
    Series1->data()->clear();
    Chart1->replot();
    return;
  }
  lbPreviewRefusal->setText(Q(sw->PreviewRefusal()));
  lbPreviewRefusal->setVisible(!sw->PreviewRefusal().empty());
  Chart1->setVisible(sw->PreviewRefusal().empty());
  const std::vector<double>& x = sw->PreviewX();
  const std::vector<double>& y = sw->PreviewY();
  Series1->setData(QVector<double>(x.begin(), x.end()), QVector<double>(y.begin(), y.end()), true);
  Series1->setPen(sw->Series1->pen());
  Chart1Title->setText(sw->Chart1Title->text());
  Chart1->xAxis->setLabel(sw->Chart1->xAxis->label());
  Chart1->yAxis->setLabel(sw->Chart1->yAxis->label());
  Chart1->xAxis->setRange(sw->Chart1->xAxis->range());
  Chart1->yAxis->setRange(sw->Chart1->yAxis->range());
  Chart1->replot();
}

void TfmNew3dMain::btnShowSignalClick() {
  TfmInputSource* sw = links_.fmInputSource;
  if (!sw) return;
  sw->ShowSignalClick();
  // Modal: the settings it shows are the project's, not to be edited round it.
  sw->setWindowModality(Qt::ApplicationModal);
  sw->show();
  sw->raise();
  sw->activateWindow();
}

void TfmNew3dMain::Button1Click() {
  if (Running()) return;
  MainSettings s = ReadSettings();
  std::string msg;
  if (!AutoFarBox(s, d_, msg)) {
    prompter_->warning(msg);
    return;
  }
  const bool was = settingControls_;
  settingControls_ = true;
  spFarXmin->setValue(s.spFarXmin);
  spFarXmax->setValue(s.spFarXmax);
  spFarYmin->setValue(s.spFarYmin);
  spFarYmax->setValue(s.spFarYmax);
  spFarZmin->setValue(s.spFarZmin);
  spFarZmax->setValue(s.spFarZmax);
  settingControls_ = was;
  spXChange(false);
  markModified();
}

void TfmNew3dMain::btnCleareClick() {
  if (prompter_->question("Очистить?", PromptButton::Yes | PromptButton::No) == PromptButton::Yes)
    Memo1->clear();
}

void TfmNew3dMain::btnSaveResultClick() {
  const QString name = platform::AskFileName(this, true, Q("Сохранить результат"), Q(FolderOf(projectFileName_)),
                                             Q("Текст (*.txt);;Все файлы (*)"), QFileDialog::DontConfirmOverwrite);
  if (name.isEmpty()) return;
  if (QFileInfo::exists(name) &&
      prompter_->question("Файл " + S(name) + " уже есть. Переписать?",
                          PromptButton::Yes | PromptButton::No) != PromptButton::Yes)
    return;
  std::vector<std::string> lines;
  for (QTextBlock b = Memo1->document()->begin(); b.isValid(); b = b.next())
    lines.push_back(S(b.text()));
  std::string err;
  if (!WriteTextLines(S(name), lines, err)) prompter_->message(err);
}

void TfmNew3dMain::N6Click() {
  TfmChart* c = links_.fmChart;
  if (!c) return;
  // A minimised chart window comes back as it was before (maximised or not).
  c->setWindowState(c->windowState() & ~Qt::WindowMinimized);
  c->show();
  c->raise();
  c->activateWindow();
}

void TfmNew3dMain::N14Click() {
  if (!links_.fmOutPoint) return;
  links_.fmOutPoint->exec();
  spXChange(false);  // the far-point rows count in the estimate
}

void TfmNew3dMain::N15Click() {
  if (links_.fmLamped) links_.fmLamped->exec();
  recheckRefusal();
}

// ---------------------------------------------------------------- project commands

void TfmNew3dMain::mnDoubleVolumClick() {
  if (Running()) return;
  MainSettings s = ReadSettings();
  DoubleVolumeTables t{&outputs_->sgOutPoint,   &outputs_->sgCurrent,  &outputs_->sgVoltage,
                       &outputs_->sgFarPoints,  &lamped_->sgResistors, &lamped_->sgRazraydnic,
                       &lamped_->sgCapacitors,  &lamped_->sgSourses,  &lamped_->sgInductor};
  std::string msg;
  if (!DoubleVolume(s, d_, t, msg)) {
    prompter_->warning(msg);
    return;
  }
  // Half the cell, half the step: said, as any change of a typed value is.
  const std::string typedStep = S(eddT->text());
  announceStep_ = true;
  WriteSettings(s);
  announceStep_ = false;
  if (S(eddT->text()) != typedStep && S(eddT->text()) == s.eddT) {
    AddToJournal("Удвоение объема: шаг по времени уменьшен вдвое вместе с ячейкой — " + s.eddT + " нс вместо " +
                 typedStep + " нс; число шагов " + IntToStr(s.seStepCount) + ".");
    stepNote_ = journalNote_;
  }
  if (links_.fmOpenGL) links_.fmOpenGL->GridChanged(2);
  if (links_.refreshTables) links_.refreshTables();
  d_.Modified = 1;
}

bool TfmNew3dMain::askSaveFirst() {
  if (files_.AskSaveFirst) return files_.AskSaveFirst();
  if (!d_.Modified) return true;
  const PromptButton a = prompter_->question(
      "На всякий случай сохраним проект?",
      PromptButton::Yes | PromptButton::No | PromptButton::Cancel);
  if (a == PromptButton::No) return true;
  if (a == PromptButton::Yes)
    prompter_->message("Сохранение проекта в этой версии программы не поддерживается.");
  return false;
}

void TfmNew3dMain::mnNewProjectClick() {
  if (Running()) return;
  // Yes saves first; a cancelled or failed save keeps the project as it is.
  if (!askSaveFirst()) return;
  // The last run's labels and a refusal's status speak of the project left behind.
  clearRunStatus();
  const std::string name = NewProjectFolder(app_.History, platform::HomeDir()) + "Новый проект.fdt";
  dlg_.OpenFileName = name;
  projectFileName_ = name;
  dlg_.SaveFileName = name;
  SetResultPaths(d_, projectFileName_);
  SetCaption(files_.Caption ? files_.Caption(name) : FileNamePart(name));
  d_.Modified = 0;

  // The signal: a sine, the other parameters as they are.
  if (TfmInputSource* sw = links_.fmInputSource) {
    if (sw->cbExpression->currentIndex() != SigSin)
      sw->cbExpression->setCurrentIndex(SigSin);  // redraws through its change handler
    else
      sw->ShowSignalClick();
  }

  // Tables of a project file of that name beside the program, when there is one; then every
  // table but the far points is emptied.
  Messages msgs;
  LoadOutPointSettings(*outputs_, projectFileName_, d_.Modified, msgs);
  LoadLampedSettings(*lamped_, projectFileName_, d_.Modified, msgs);
  for (StringGrid* g : {&outputs_->sgOutPoint, &outputs_->sgCurrent, &outputs_->sgVoltage,
                        &lamped_->sgResistors, &lamped_->sgCapacitors, &lamped_->sgSourses,
                        &lamped_->sgRazraydnic, &lamped_->sgInductor})
    ClearGrid(*g, d_.Modified);
  outputs_->seOutputRate = MinOutputRate;
  outputs_->cbNoWriteFile = outputs_->cbShowInput = outputs_->cbShowGr = false;
  if (links_.refreshTables) links_.refreshTables();
  ShowMessages(*prompter_, msgs);

  NewProjectModel(d_);

  // The new project's step is the limit of its cells; the step it replaces is named.
  const std::string oldStep = S(eddT->text());
  typedStep_.clear();
  WriteSettings(NewProjectSettings(ReadSettings()));
  const std::string step = S(eddT->text());
  // The live view's and the editor's view of a new project.
  VizualSettings v = GetVizual();
  v.spX = v.spY = v.spZ = 25;
  v.imageRGroup = 2;
  v.cbLog = false;
  v.seOutputRate = 1;
  v.SpinEdit1 = 1;
  v.SpinEdit2 = 0;
  SetVizual(v);
  // The camera over the new grid, as the editor starts: a fixed eye would leave the model
  // in a corner of the view.
  EditorState e;
  const Camera c = InitialCamera(d_.SpaceNx, d_.SpaceNy, d_.SpaceNz);
  std::tie(e.EyeX, e.EyeY, e.EyeZ, e.CenterX, e.CenterY, e.CenterZ) =
      std::tuple(c.EyeX, c.EyeY, c.EyeZ, c.CenterX, c.CenterY, c.CenterZ);
  SetEditorState(e);
  memoProjectNote->clear();
  TabSheet2Show();
  d_.Modified = 0;
  if (!oldStep.empty() && step != oldStep) {
    AddToJournal("Новый проект: шаг по времени " + step + " нс — предел устойчивости его ячеек (был " +
                 oldStep + " нс).");
    stepNote_ = journalNote_;
  }
}

void TfmNew3dMain::mnHistoryClick() {
  mnHistory->clear();
  const std::vector<std::string> captions = HistoryCaptions(app_.History);
  for (int i = 0; i < HistorySize; ++i) {
    QAction* a = mnHistory->addAction(Q(captions[size_t(i)]));
    a->setToolTip(Q(app_.History[size_t(i)]));
    a->setVisible(!app_.History[size_t(i)].empty());
    a->setEnabled(bool(files_.LoadByName));
    connect(a, &QAction::triggered, this, [this, i] { HistoryItemClick(i); });
  }
}

void TfmNew3dMain::HistoryItemClick(int index) {
  if (index < 0 || index >= HistorySize) return;
  const std::string name = app_.History[size_t(index)];
  if (!QFileInfo::exists(Q(name))) {
    // What a save killed on a disk without hard links left in its place is named.
    const std::string left = TornSaveNote(name);
    prompter_->message("Файл не найден: " + name + (left.empty() ? "" : "; " + left + "."));
    return;
  }
  if (files_.LoadByName) files_.LoadByName(name);
}

void TfmNew3dMain::btnCloseClick() { close(); }

bool TfmNew3dMain::closeQuery() {
  // No closing while a run is active, nor while a stopped one is still winding down; the
  // user is told why and what to do.
  if (d_.Stopped == 0) {
    prompter_->warning("Идет счет: программу нельзя закрыть до его окончания.\n"
                       "Чтобы закрыть программу, остановите счет кнопкой \"Стоп\".");
    return false;
  }
  if (Running()) {
    prompter_->warning("Счет останавливается: программу можно будет закрыть через несколько "
                       "секунд, когда он завершится.");
    return false;
  }
  // Yes saves: a cancelled or failed save keeps the window open.
  return askSaveFirst();
}

void TfmNew3dMain::closeEvent(QCloseEvent* e) {
  if (!closeQuery()) {
    e->ignore();
    return;
  }
  writeAppSettings();
  e->accept();
}

void TfmNew3dMain::writeAppSettings() {
  AppSettings s = app_;
  // The folders the two dialogs will open in next time (an empty one keeps its key).
  s.IniDirProjectOpen = dlg_.OpenDir.empty() ? FolderOf(dlg_.OpenFileName) : dlg_.OpenDir;
  s.IniDirProjectSave = dlg_.SaveDir.empty() ? FolderOf(dlg_.SaveFileName) : dlg_.SaveDir;
  s.LastProjectFileName = projectFileName_;
  std::string err;
  if (!WriteAppSettings(iniFileName_, s, err)) StatusBar1->showMessage(Q(err));
}

// ---------------------------------------------------------------- project host

void TfmNew3dMain::TablesLoaded() {
  if (links_.refreshTables) links_.refreshTables();
  recheckRefusal();
}

void TfmNew3dMain::AddToHistory(const std::string& fileName) {
  rv::AddToHistory(app_.History, fileName);
}

void TfmNew3dMain::SetCaption(const std::string& text) { setWindowTitle(Q(text)); }

std::string TfmNew3dMain::Caption() { return S(windowTitle()); }

void TfmNew3dMain::AddToJournal(const std::string& line) {
  memoAdd(line);
  journalNote_ = Q(line);
  StatusBar1->showMessage(journalNote_);
}

EditorState TfmNew3dMain::GetEditorState() {
  return links_.fmOpenGL ? links_.fmOpenGL->GetEditorState() : editor_;
}

VizualSettings TfmNew3dMain::GetVizual() {
  return links_.fmVisual ? links_.fmVisual->GetVizual() : vizual_;
}

void TfmNew3dMain::SetVizual(const VizualSettings& v) {
  if (links_.fmVisual) links_.fmVisual->SetVizual(v);
  else vizual_ = v;
}

void TfmNew3dMain::SetEditorState(const EditorState& s) {
  if (links_.fmOpenGL) links_.fmOpenGL->SetEditorState(s);
  else editor_ = s;
}

void TfmNew3dMain::EditorFormActivate() {
  if (links_.fmOpenGL) links_.fmOpenGL->FormActivate();
}

void TfmNew3dMain::ProjectLoaded() {
  clearRunStatus();
  // The controls were set without their handlers' side effects: derived labels and the
  // signal page now.
  spXChange(false);
  TabSheet2Show();
}

// ---------------------------------------------------------------- activation

void TfmNew3dMain::FormActivate() {
  Label9->setText(Q(links_.versionText));
  if (!firstActivate_) return;
  firstActivate_ = false;
  if (commandLine_.isEmpty()) return;
  StatusBar1->setToolTip(commandLine_.join(' '));
  // A project named first, its extension exactly ".fdt" (".FDT" is not one); any other
  // file is the chart window's. A missing one is passed on too: the load names what a
  // killed save left in its place, and does nothing when there is nothing.
  const QFileInfo f(commandLine_.first());
  if ((f.exists() && !f.isFile()) || !commandLine_.first().endsWith(QLatin1String(".fdt"), Qt::CaseSensitive))
    return;
  if (files_.LoadByName) files_.LoadByName(S(f.absoluteFilePath()));
}

void TfmNew3dMain::ddeFdtdExecuteMacro(const std::string& firstLine) {
  if (d_.CalcRunning || ddeBusy_ || QApplication::activeModalWidget()) return;
  ddeBusy_ = true;
  // The project's name changes only with the load itself: a refused request must not leave
  // the next save writing over the file it named.
  const std::string name = platform::MacroFileName(firstLine);
  if (prompter_->question("Загрузить выбранный проект?", PromptButton::Ok | PromptButton::Cancel) ==
      PromptButton::Ok) {
    if (files_.LoadByName) files_.LoadByName(name);
    show();
    raise();
    activateWindow();
  }
  ddeBusy_ = false;
}

void TfmNew3dMain::changeEvent(QEvent* e) {
  QMainWindow::changeEvent(e);
  if (e->type() == QEvent::ActivationChange && isActiveWindow()) FormActivate();
}

void TfmNew3dMain::showEvent(QShowEvent* e) {
  QMainWindow::showEvent(e);
  // Not every desktop activates a new window: the first showing counts as well, once the
  // window is up.
  if (firstActivate_) QTimer::singleShot(0, this, [this] { FormActivate(); });
}

}  // namespace rv
