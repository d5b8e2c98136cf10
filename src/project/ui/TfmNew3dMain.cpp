#include "project/ui/TfmNew3dMain.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabWidget>
#include <QTextBlock>
#include <QTimer>
#include <QToolButton>
#include <QToolTip>
#include <QVBoxLayout>
#include <qcustomplot.h>

#include "charts/ui/TfmChart.h"
#include "editor/elementarrays.h"
#include "editor/ui/TfmOpenGL.h"
#include "project/ui/TfmVisual.h"
#include "platform/help.h"
#include "platform/platform.h"
#include "platform/prompter.h"
#include "platform/shellchannel.h"
#include "project/borderdecode.h"
#include "project/doublevolume.h"
#include "project/gridsettings.h"
#include "project/progresstext.h"
#include "project/recording.h"
#include "project/signalsource.h"
#include "project/ui/TfmInputSource.h"
#include "solver/codepage.h"
#include "solver/resultpaths.h"
#include "solver/runsetup.h"
#include "solver/solverdata.h"

namespace rv {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }
QString Q(const char* s) { return QString::fromUtf8(s); }
std::string S(const QString& s) { return s.toStdString(); }

template <class W>
W* Named(W* w, const char* name) {
  w->setObjectName(QString::fromLatin1(name));
  return w;
}

QSpinBox* Spin(QWidget* parent, const char* name, int lo, int hi, int value) {
  auto* s = Named(new QSpinBox(parent), name);
  s->setRange(lo, hi);
  s->setValue(value);
  s->setKeyboardTracking(false);  // a value is taken when typed in full, not per digit
  return s;
}

QLineEdit* Edit(QWidget* parent, const char* name, const char* text) {
  return Named(new QLineEdit(Q(text), parent), name);
}

QLabel* Label(QWidget* parent, const char* name, const char* text = "") {
  return Named(new QLabel(Q(text), parent), name);
}

QPushButton* Button(QWidget* parent, const char* name, const char* caption) {
  auto* b = Named(new QPushButton(Q(caption), parent), name);
  b->setAutoDefault(false);
  return b;
}

// A radio group: the box, its buttons in item order and the id group.
QGroupBox* RadioGroup(QWidget* parent, const char* name, const char* caption,
                      std::initializer_list<const char*> items, QButtonGroup*& group) {
  auto* box = Named(new QGroupBox(Q(caption), parent), name);
  auto* lay = new QVBoxLayout(box);
  group = new QButtonGroup(box);
  int id = 0;
  for (const char* it : items) {
    auto* rb = new QRadioButton(Q(it), box);
    rb->setObjectName(QString::fromLatin1(name) + QString::number(id));
    group->addButton(rb, id++);
    lay->addWidget(rb);
  }
  group->button(0)->setChecked(true);
  return box;
}

void SetRadio(QButtonGroup* g, int id) {
  if (QAbstractButton* b = g->button(id)) b->setChecked(true);
}

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
    return true;
  }
  void ClearProgressLabels() override {
    for (QLabel* l : {w_.lbStep, w_.lbLapTime, w_.lbLeftTime, w_.lbOneTime}) l->clear();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  }
  std::vector<std::string> LoadElementArrays(const SolverData& d, ElementArrays& a) override {
    return rv::LoadElementArrays(d, out_, lamped_, a);
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
    // A row that fails is reported and left out; the run goes on.
    const Messages msgs = rv::PrepareOutputFiles(
        d, out_, OutputOptions{!out_.cbNoWriteFile, out_.cbShowGr, out_.cbShowInput}, &runSignal_,
        chart_ ? &chart_->model() : nullptr, chart_ ? &chart_->liveFeed() : nullptr, outputs_);
    filesPrepared = true;
    ShowMessages(prompter_, msgs);
    if (chart_) chart_->RefreshChart();
    return true;
  }
  bool filesPrepared = false;

private:
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

TfmNew3dMain::~TfmNew3dMain() { waitForThread(); }

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
    sw->SetOnClose([this] { TabSheet2Show(); });
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

ProjectFileHandlers TfmNew3dMain::HandlersOf(ProjectIO& io) {
  ProjectFileHandlers h;
  h.Save = [&io] { return io.btnSaveResClick(); };
  h.AskSaveFirst = [&io] { return io.AskSaveFirst(); };
  h.Load = [&io] { io.Button2Click(true); };
  h.LoadByName = [&io](const std::string& name) { io.LoadProjectByName(name); };
  return h;
}

bool TfmNew3dMain::Running() const { return d_.CalcRunning != 0 || CalcThread != nullptr; }

std::array<QComboBox*, 6> TfmNew3dMain::combos() const {
  return {ComboBox1, ComboBox2, ComboBox3, ComboBox4, ComboBox5, ComboBox6};
}

// ---------------------------------------------------------------- building

void TfmNew3dMain::buildPages() {
  auto* central = new QWidget(this);
  auto* main = new QVBoxLayout(central);
  PageControl1 = Named(new QTabWidget(central), "PageControl1");
  main->addWidget(PageControl1, 1);
  setCentralWidget(central);

  // ---- "Геометрия"
  TabSheet1 = Named(new QWidget, "TabSheet1");
  {
    auto* lay = new QGridLayout(TabSheet1);
    auto* gbN = new QGroupBox(Q("Число ячеек:"), TabSheet1);
    auto* fN = new QFormLayout(gbN);
    spX = Spin(gbN, "spX", GridCellsMin, GridCellsMax, 50);
    spY = Spin(gbN, "spY", GridCellsMin, GridCellsMax, 50);
    spZ = Spin(gbN, "spZ", GridCellsMin, GridCellsMax, 50);
    fN->addRow("X:", spX);
    fN->addRow("Y:", spY);
    fN->addRow("Z:", spZ);
    auto* gbD = new QGroupBox(Q("Размер ячейки, м:"), TabSheet1);
    auto* fD = new QFormLayout(gbD);
    edX = Edit(gbD, "edX", "0.01");
    edY = Edit(gbD, "edY", "0.01");
    edZ = Edit(gbD, "edZ", "0.01");
    fD->addRow("X:", edX);
    fD->addRow("Y:", edY);
    fD->addRow("Z:", edZ);
    auto* gbT = new QGroupBox(Q("Шаг по времени, нс:"), TabSheet1);
    auto* vT = new QVBoxLayout(gbT);
    eddT = Edit(gbT, "eddT", "");
    lbKurant = Label(gbT, "lbKurant");
    vT->addWidget(eddT);
    vT->addWidget(lbKurant);
    lbSummary = Label(TabSheet1, "lbSummary");
    auto* maxFreqRow = new QHBoxLayout;
    maxFreqRow->addWidget(new QLabel(Q("Максимальная частота, МГц:"), TabSheet1));
    lbMaxFreq = Label(TabSheet1, "lbMaxFreq");
    maxFreqRow->addWidget(lbMaxFreq);
    maxFreqRow->addStretch(1);

    auto* gbMem = new QGroupBox(Q("Память"), TabSheet1);
    auto* vM = new QVBoxLayout(gbMem);
    lbMemory = Label(gbMem, "lbMemory");
    lbBordersMem = Label(gbMem, "lbBordersMem");
    lbMemory1 = Label(gbMem, "lbMemory1");
    lbFarMem = Label(gbMem, "lbFarMem");
    lbTotal = Label(gbMem, "lbTotal");
    lbTop = Label(gbMem, "lbTop");
    for (QLabel* l : {lbMemory, lbBordersMem, lbMemory1, lbFarMem, lbTotal, lbTop}) vM->addWidget(l);

    auto* gbMat = new QGroupBox(Q("Материалы"), TabSheet1);
    auto* vMat = new QVBoxLayout(gbMat);
    cbBioMaterals = Named(new QCheckBox(Q("Полярные диэлектрики (дисперсия Дебая)"), gbMat), "cbBioMaterals");
    cbMagneticMaterals = Named(new QCheckBox(Q("Магнитные материалы"), gbMat), "cbMagneticMaterals");
    cbEnergy = Named(new QCheckBox(Q("Вычислять поглощенную мощность и SAR"), gbMat), "cbEnergy");
    seSarDelay = Spin(gbMat, "seSarDelay", 0, SarDelayMax, 0);
    auto* sarRow = new QHBoxLayout;
    sarRow->addWidget(new QLabel(Q("Начать вычисление SAR с шага:"), gbMat));
    sarRow->addWidget(seSarDelay);
    vMat->addWidget(cbBioMaterals);
    vMat->addWidget(cbMagneticMaterals);
    vMat->addWidget(cbEnergy);
    vMat->addLayout(sarRow);

    auto* gbNote = new QGroupBox(Q("Примечание к проекту"), TabSheet1);
    auto* vNote = new QVBoxLayout(gbNote);
    memoProjectNote = Named(new QPlainTextEdit(gbNote), "memoProjectNote");
    vNote->addWidget(memoProjectNote);

    lay->addWidget(gbN, 0, 0);
    lay->addWidget(gbD, 0, 1);
    lay->addWidget(gbT, 0, 2);
    lay->addWidget(lbSummary, 1, 0, 1, 3);
    lay->addLayout(maxFreqRow, 2, 0, 1, 3);
    lay->addWidget(gbMem, 3, 0, 1, 2);
    lay->addWidget(gbMat, 3, 2);
    lay->addWidget(gbNote, 4, 0, 1, 3);
    lay->setRowStretch(4, 1);
  }
  PageControl1->addTab(TabSheet1, Q("Геометрия"));

  // ---- "Гранич. услов."
  TabSheetBorders = Named(new QWidget, "TabSheetBorders");
  {
    auto* lay = new QGridLayout(TabSheetBorders);
    auto* gbFaces = new QGroupBox(Q("Граничные условия"), TabSheetBorders);
    auto* f = new QFormLayout(gbFaces);
    const char* faceNames[6] = {"Нижняя (Y=1)",   "Верхняя (Y=max)", "Ближняя  (Z=max)",
                                "Дальняя (Z=1)",  "Правая (X=max)",  "Левая (X=1)"};
    QComboBox** boxes[6] = {&ComboBox1, &ComboBox2, &ComboBox3, &ComboBox4, &ComboBox5, &ComboBox6};
    for (int n = 0; n < 6; ++n) {
      auto* cb = new QComboBox(gbFaces);
      cb->setObjectName(QString("ComboBox%1").arg(n + 1));
      for (const char* item : BorderKindNames()) cb->addItem(Q(item));
      cb->setCurrentIndex(BorderMur);
      cb->setContextMenuPolicy(Qt::CustomContextMenu);
      *boxes[n] = cb;
      f->addRow(Q(faceNames[n]), cb);
    }
    cbCenter = Named(new QGroupBox(Q("Центр рассеяния (Dissipation 1/R)"), TabSheetBorders), "cbCenter");
    auto* fc = new QFormLayout(cbCenter);
    spCenterI = Spin(cbCenter, "spCenterI", 1, CenterMax, 25);
    spCenterJ = Spin(cbCenter, "spCenterJ", 1, CenterMax, 25);
    spCenterK = Spin(cbCenter, "spCenterK", 1, CenterMax, 25);
    fc->addRow("I:", spCenterI);
    fc->addRow("J:", spCenterJ);
    fc->addRow("K:", spCenterK);
    gbPML = Named(new QGroupBox(Q("PML"), TabSheetBorders), "gbPML");
    auto* fp = new QFormLayout(gbPML);
    sePMLCount = Spin(gbPML, "sePMLCount", PMLCountMin, PMLCountMax, 8);
    edpmlR = Edit(gbPML, "edpmlR", "0.01");
    lbPMLFreq = Label(gbPML, "lbPMLFreq");
    lbPMLTime = Label(gbPML, "lbPMLTime");
    fp->addRow(Q("Число слоев:"), sePMLCount);
    fp->addRow(Q("Коэффициент отражения:"), edpmlR);
    fp->addRow(lbPMLFreq);
    fp->addRow(lbPMLTime);
    rgPMLprofile = RadioGroup(TabSheetBorders, "rgPMLprofile", "Профиль PML",
                              {"параболический", "геометрический"}, rgPMLprofileGroup);
    lay->addWidget(gbFaces, 0, 0, 3, 1);
    lay->addWidget(cbCenter, 0, 1);
    lay->addWidget(gbPML, 1, 1);
    lay->addWidget(rgPMLprofile, 2, 1);
    lay->setRowStretch(3, 1);
  }
  PageControl1->addTab(TabSheetBorders, Q("Гранич. услов."));

  // ---- "Источник"
  TabSheet2 = Named(new QWidget, "TabSheet2");
  {
    auto* lay = new QGridLayout(TabSheet2);
    rgSources = RadioGroup(TabSheet2, "rgSources", "Источник поля",
                           {"Внешнее поле по всему объему (вдоль оси Х)",
                            "TF-SF (деление поля на полное-рассеянное)",
                            "Только внутренние источники напряжения"},
                           rgSourcesGroup);
    gbAngle = Named(new QGroupBox(Q("Угол падения волны, град."), TabSheet2), "gbAngle");
    auto* fa = new QFormLayout(gbAngle);
    edIncAngle = Edit(gbAngle, "edIncAngle", "0");
    fa->addRow(Q("от -90 до +90:"), edIncAngle);
    gbTFSF = Named(new QGroupBox(Q("Направление падающей волны"), TabSheet2), "gbTFSF");
    auto* ft = new QGridLayout(gbTFSF);
    TrackBar1 = Named(new QSlider(Qt::Horizontal, gbTFSF), "TrackBar1");
    TrackBar1->setRange(TrackBar1Min, TrackBar1Max);
    TrackBar2 = Named(new QSlider(Qt::Horizontal, gbTFSF), "TrackBar2");
    TrackBar2->setRange(TrackBar2Min, TrackBar2Max);
    Label44 = Label(gbTFSF, "Label44", "0");
    Label45 = Label(gbTFSF, "Label45", "0");
    ft->addWidget(new QLabel(Q("Тета:"), gbTFSF), 0, 0);
    ft->addWidget(TrackBar1, 0, 1);
    ft->addWidget(Label44, 0, 2);
    ft->addWidget(new QLabel(Q("Фи:"), gbTFSF), 1, 0);
    ft->addWidget(TrackBar2, 1, 1);
    ft->addWidget(Label45, 1, 2);
    rgEOrient = RadioGroup(gbTFSF, "rgEOrient", "Поляризация E", {"вертик.", "гориз."}, rgEOrientGroup);
    ft->addWidget(rgEOrient, 2, 0, 1, 3);
    btnShowSignal = Button(TabSheet2, "btnShowSignal", "Выбор формы сигнала");
    Chart1 = Named(new QCustomPlot(TabSheet2), "Chart1");
    Chart1->setMinimumHeight(160);
    Chart1->plotLayout()->insertRow(0);
    Chart1Title = new QCPTextElement(Chart1, QString(), QFont("Arial", 10, QFont::Bold));
    Chart1->plotLayout()->addElement(0, 0, Chart1Title);
    Series1 = Chart1->addGraph();
    Series1->setName("Series1");
    Series1->setPen(QPen(Qt::red, 1));
    lay->addWidget(rgSources, 0, 0);
    lay->addWidget(gbAngle, 1, 0);
    lay->addWidget(gbTFSF, 0, 1, 2, 1);
    lay->addWidget(btnShowSignal, 2, 0);
    lay->addWidget(Chart1, 3, 0, 1, 2);
    lay->setRowStretch(3, 1);
  }
  PageControl1->addTab(TabSheet2, Q("Источник"));

  // ---- "Дальнее поле"
  TabSheetFar = Named(new QWidget, "TabSheetFar");
  {
    auto* lay = new QGridLayout(TabSheetFar);
    cbFarDiagram = Named(new QCheckBox(Q("Диаграммы направленности"), TabSheetFar), "cbFarDiagram");
    cbFarPoints = Named(new QCheckBox(Q("Поле в дальних точках"), TabSheetFar), "cbFarPoints");
    cbCalcFarH = Named(new QCheckBox(Q("Вычислять также H"), TabSheetFar), "cbCalcFarH");
    gbFarDiag = Named(new QGroupBox(Q("Диаграммы"), TabSheetFar), "gbFarDiag");
    auto* fd = new QFormLayout(gbFarDiag);
    cbPX = Named(new QCheckBox(Q("в плоскости, перпендикулярной X"), gbFarDiag), "cbPX");
    cbPY = Named(new QCheckBox(Q("в плоскости, перпендикулярной Y"), gbFarDiag), "cbPY");
    cbPZ = Named(new QCheckBox(Q("в плоскости, перпендикулярной Z"), gbFarDiag), "cbPZ");
    edFarStep = Spin(gbFarDiag, "edFarStep", FarStepMin, FarStepMax, 36);
    edFarDiagrR = Edit(gbFarDiag, "edFarDiagrR", "1000");
    cbFastDigramm = Named(new QCheckBox(Q("Быстрый расчет диаграмм"), gbFarDiag), "cbFastDigramm");
    fd->addRow(cbPX);
    fd->addRow(cbPY);
    fd->addRow(cbPZ);
    fd->addRow(Q("Число направлений:"), edFarStep);
    fd->addRow(Q("Радиус, м:"), edFarDiagrR);
    fd->addRow(cbFastDigramm);
    gbFarPoint = Named(new QGroupBox(Q("Дальние точки"), TabSheetFar), "gbFarPoint");
    auto* vp = new QVBoxLayout(gbFarPoint);
    btnSetFarPoints = Button(gbFarPoint, "btnSetFarPoints", "Выбор точек");
    vp->addWidget(btnSetFarPoints);
    auto* gbBox = new QGroupBox(Q("Область интегрирования (бокс TF-SF)"), TabSheetFar);
    auto* gb = new QGridLayout(gbBox);
    spFarXmin = Spin(gbBox, "spFarXmin", 1, CenterMax, 1);
    spFarYmin = Spin(gbBox, "spFarYmin", 1, CenterMax, 1);
    spFarZmin = Spin(gbBox, "spFarZmin", 1, CenterMax, 1);
    spFarXmax = Spin(gbBox, "spFarXmax", 1, CenterMax, 1);
    spFarYmax = Spin(gbBox, "spFarYmax", 1, CenterMax, 1);
    spFarZmax = Spin(gbBox, "spFarZmax", 1, CenterMax, 1);
    gb->addWidget(new QLabel("", gbBox), 0, 0);
    gb->addWidget(new QLabel(Q("мин."), gbBox), 0, 1);
    gb->addWidget(new QLabel(Q("макс."), gbBox), 0, 2);
    const char* axes[3] = {"X:", "Y:", "Z:"};
    QSpinBox* mins[3] = {spFarXmin, spFarYmin, spFarZmin};
    QSpinBox* maxs[3] = {spFarXmax, spFarYmax, spFarZmax};
    for (int a = 0; a < 3; ++a) {
      gb->addWidget(new QLabel(Q(axes[a]), gbBox), a + 1, 0);
      gb->addWidget(mins[a], a + 1, 1);
      gb->addWidget(maxs[a], a + 1, 2);
    }
    Button1 = Button(gbBox, "Button1", "Авто");
    gb->addWidget(Button1, 4, 1, 1, 2);
    lay->addWidget(cbFarDiagram, 0, 0);
    lay->addWidget(cbFarPoints, 1, 0);
    lay->addWidget(cbCalcFarH, 2, 0);
    lay->addWidget(gbFarDiag, 3, 0);
    lay->addWidget(gbFarPoint, 4, 0);
    lay->addWidget(gbBox, 0, 1, 5, 1);
    lay->setRowStretch(5, 1);
  }
  PageControl1->addTab(TabSheetFar, Q("Дальнее поле"));

  // ---- "Отчет" (stays enabled during a run)
  TabSheetReport = Named(new QWidget, "TabSheetReport");
  {
    auto* lay = new QVBoxLayout(TabSheetReport);
    Memo1 = Named(new QPlainTextEdit(TabSheetReport), "Memo1");
    lay->addWidget(Memo1, 1);
    auto* row = new QHBoxLayout;
    btnCleare = Button(TabSheetReport, "btnCleare", "Очистить");
    btnSaveResult = Button(TabSheetReport, "btnSaveResult", "Сохранить результат");
    row->addWidget(btnCleare);
    row->addWidget(btnSaveResult);
    row->addStretch(1);
    lay->addLayout(row);
  }
  PageControl1->addTab(TabSheetReport, Q("Отчет"));
}

void TfmNew3dMain::buildPanel() {
  auto* panel = new QWidget(centralWidget());
  auto* lay = new QGridLayout(panel);
  lay->setContentsMargins(0, 0, 0, 0);

  seStepCount = Spin(panel, "seStepCount", StepCountMin, StepCountMax, 100);
  Label33 = Label(panel, "Label33");
  btnPusk = Button(panel, "btnPusk", "Пуск");
  btnPauza = Named(new QToolButton(panel), "btnPauza");
  btnPauza->setText(Q("Пауза"));
  btnPauza->setToolTip(Q("Приоставка/возобновление счета"));
  btnPauza->setCheckable(true);
  btnStop = Button(panel, "btnStop", "Стоп");
  btnClose = Button(panel, "btnClose", "Закрыть");
  btnClose->setToolTip(Q("Выход из программы. Во время счета невозможен."));
  Button3 = Button(panel, "Button3", "Графики");
  Button4 = Button(panel, "Button4", "Объект");
  btnVisual = Button(panel, "btnVisual", "Визуализация");
  StaticText1 = Label(panel, "StaticText1", "не трогай настройки");
  ProgressBar1 = Named(new QProgressBar(panel), "ProgressBar1");
  lbStep = Label(panel, "lbStep");
  lbLapTime = Label(panel, "lbLapTime");
  lbLeftTime = Label(panel, "lbLeftTime");
  lbOneTime = Label(panel, "lbOneTime");
  lbTotalMem = Label(panel, "lbTotalMem");
  lbMemoryLoad = Label(panel, "lbMemoryLoad");
  lbMemoryFree = Label(panel, "lbMemoryFree");
  Label9 = Label(panel, "Label9");

  auto* steps = new QHBoxLayout;
  steps->addWidget(new QLabel(Q("Число шагов:"), panel));
  steps->addWidget(seStepCount);
  steps->addWidget(Label33, 1);
  lay->addLayout(steps, 0, 0, 1, 4);
  auto* buttons = new QHBoxLayout;
  for (QWidget* w : std::initializer_list<QWidget*>{btnPusk, btnPauza, btnStop, Button3, Button4,
                                                    btnVisual, btnClose})
    buttons->addWidget(w);
  buttons->addWidget(StaticText1, 1);
  lay->addLayout(buttons, 1, 0, 1, 4);
  lay->addWidget(ProgressBar1, 2, 0, 1, 4);
  lay->addWidget(lbStep, 3, 0, 1, 2);
  lay->addWidget(lbLapTime, 3, 2, 1, 2);
  lay->addWidget(lbOneTime, 4, 0, 1, 2);
  lay->addWidget(lbLeftTime, 4, 2, 1, 2);
  lay->addWidget(lbTotalMem, 5, 0);
  lay->addWidget(lbMemoryLoad, 5, 1);
  lay->addWidget(lbMemoryFree, 5, 2);
  lay->addWidget(Label9, 5, 3);
  // What a run shows here keeps its room while idle, so that nothing moves under the mouse
  // when a run starts or ends.
  for (QWidget* w : std::initializer_list<QWidget*>{ProgressBar1, StaticText1}) {
    QSizePolicy sp = w->sizePolicy();
    sp.setRetainSizeWhenHidden(true);
    w->setSizePolicy(sp);
  }
  for (QLabel* l : {Label33, lbStep, lbLapTime, lbLeftTime, lbOneTime})
    l->setMinimumHeight(l->fontMetrics().height());
  static_cast<QVBoxLayout*>(centralWidget()->layout())->addWidget(panel);

  StatusBar1 = Named(new QStatusBar(this), "StatusBar1");
  setStatusBar(StatusBar1);
  Timer1 = Named(new QTimer(this), "Timer1");
  Timer1->setInterval(1000);
  Timer1->start();
}

void TfmNew3dMain::buildMenus() {
  QMenuBar* bar = menuBar();
  QMenu* prj = bar->addMenu(Q("Проект"));
  mnNewProject = prj->addAction(Q("Новый проект"));
  mnNewProject->setObjectName("mnNewProject");
  mnLoadPrj = prj->addAction(Q("Загрузить проект"));
  mnLoadPrj->setObjectName("mnLoadPrj");
  mnSavePrj = prj->addAction(Q("Сохранить проект"));
  mnSavePrj->setObjectName("mnSavePrj");
  mnHistory = prj->addMenu(Q("История"));
  mnHistory->setObjectName("mnHistory");
  prj->addSeparator();
  mnDoubleVolum = prj->addAction(Q("Удвоить объем"));
  mnDoubleVolum->setObjectName("mnDoubleVolum");
  prj->addSeparator();
  mnExit = prj->addAction(Q("Выход"));
  mnExit->setObjectName("mnExit");

  QMenu* win = bar->addMenu(Q("Окна"));
  N16 = win->addAction(Q("Объект"));
  N17 = win->addAction(Q("Графики"));
  N18 = win->addAction(Q("Визуализация"));
  N20 = win->addAction(Q("Выбор формы сигнала"));
  win->addSeparator();
  N14 = win->addAction(Q("Точки вывода"));
  N15 = win->addAction(Q("Сосредоточенные элементы"));
  N19 = win->addAction(Q("Материалы"));
  N7 = win->addAction(Q("Калькулятор длины волны"));
  const char* names[] = {"N16", "N17", "N18", "N20", "N14", "N15", "N19", "N7"};
  QAction* acts[] = {N16, N17, N18, N20, N14, N15, N19, N7};
  for (int i = 0; i < 8; ++i) acts[i]->setObjectName(names[i]);

  QMenu* help = bar->addMenu(Q("Справка"));
  mnHelp = help->addAction(Q("Содержание"));
  mnHelp->setObjectName("mnHelp");
  mnIndex = help->addAction(Q("Указатель"));
  mnIndex->setObjectName("mnIndex");
  mnAbout = help->addAction(Q("О программе"));
  mnAbout->setObjectName("mnAbout");

  // Windows of other parts of the program that are not there yet; the ones linked later
  // (SetLinks, SetProjectFileHandlers) are enabled there.
  for (QAction* a : {mnLoadPrj, mnSavePrj, N16, N17, N18, N20, N14, N15, N19, N7, mnHelp, mnIndex,
                     mnAbout})
    a->setEnabled(false);
  for (QWidget* w : std::initializer_list<QWidget*>{Button3, Button4, btnVisual, btnShowSignal,
                                                    btnSetFarPoints})
    w->setEnabled(false);

  PopupBorders = Named(new QMenu(this), "PopupBorders");
  int tag = 1;
  for (const char* item : BorderKindNames()) {
    QAction* a = PopupBorders->addAction(Q(item));
    const int t = tag++;
    connect(a, &QAction::triggered, this, [this, t] { N4Click(t); });
  }
}

void TfmNew3dMain::connectHandlers() {
  connect(btnPusk, &QPushButton::clicked, this, &TfmNew3dMain::btnPuskClick);
  connect(btnPauza, &QToolButton::clicked, this, &TfmNew3dMain::btnPauzaClick);
  connect(btnStop, &QPushButton::clicked, this, &TfmNew3dMain::btnStopClick);
  connect(btnClose, &QPushButton::clicked, this, &TfmNew3dMain::btnCloseClick);
  connect(mnExit, &QAction::triggered, this, &TfmNew3dMain::btnCloseClick);
  connect(Button3, &QPushButton::clicked, this, &TfmNew3dMain::N6Click);
  connect(N17, &QAction::triggered, this, &TfmNew3dMain::N6Click);
  connect(N14, &QAction::triggered, this, &TfmNew3dMain::N14Click);
  connect(N15, &QAction::triggered, this, &TfmNew3dMain::N15Click);
  connect(Button4, &QPushButton::clicked, this, [this] {
    if (links_.fmOpenGL) links_.fmOpenGL->ShowFromMain();
  });
  connect(N16, &QAction::triggered, Button4, &QPushButton::click);
  connect(btnVisual, &QPushButton::clicked, this, [this] {
    if (!links_.fmVisual) return;
    links_.fmVisual->show();
    links_.fmVisual->raise();
  });
  connect(N18, &QAction::triggered, btnVisual, &QPushButton::click);
  connect(N19, &QAction::triggered, this, [this] {
    if (links_.fmLayers) links_.fmLayers->exec();
  });
  connect(mnAbout, &QAction::triggered, this, [this] {
    if (links_.fmAbout) links_.fmAbout->show();
  });
  connect(N7, &QAction::triggered, this, [this] {
    if (links_.fmWaveLenCalc) links_.fmWaveLenCalc->exec();
  });
  connect(mnHelp, &QAction::triggered, this, [this] {
    if (links_.help) links_.help->ShowContents();
  });
  connect(mnIndex, &QAction::triggered, this, [this] {
    if (links_.help) links_.help->ShowIndex();
  });
  connect(btnCleare, &QPushButton::clicked, this, &TfmNew3dMain::btnCleareClick);
  connect(btnSaveResult, &QPushButton::clicked, this, &TfmNew3dMain::btnSaveResultClick);
  connect(mnDoubleVolum, &QAction::triggered, this, &TfmNew3dMain::mnDoubleVolumClick);
  connect(mnNewProject, &QAction::triggered, this, &TfmNew3dMain::mnNewProjectClick);
  connect(mnHistory, &QMenu::aboutToShow, this, &TfmNew3dMain::mnHistoryClick);
  connect(mnSavePrj, &QAction::triggered, this, [this] {
    if (files_.Save && !Running()) files_.Save();
  });
  connect(mnLoadPrj, &QAction::triggered, this, [this] {
    if (files_.Load && !Running()) files_.Load();
  });
  connect(btnShowSignal, &QPushButton::clicked, this, &TfmNew3dMain::btnShowSignalClick);
  connect(N20, &QAction::triggered, this, &TfmNew3dMain::btnShowSignalClick);
  connect(Button1, &QPushButton::clicked, this, &TfmNew3dMain::Button1Click);
  connect(btnSetFarPoints, &QPushButton::clicked, this, [this] {
    if (!links_.fmOutPoint) return;
    if (auto* tabs = links_.fmOutPoint->findChild<QTabWidget*>("PageControl1"))
      tabs->setCurrentIndex(3);
    links_.fmOutPoint->exec();
    markModified();
  });
  connect(Timer1, &QTimer::timeout, this, &TfmNew3dMain::Timer1Timer);
  connect(PageControl1, &QTabWidget::currentChanged, this, [this](int i) {
    if (PageControl1->widget(i) == TabSheet2) TabSheet2Show();
    if (PageControl1->widget(i) == TabSheet1) spXChange(false);
  });

  auto grid = [this] { spXChange(!settingControls_, !settingControls_); };
  for (QSpinBox* s : {spX, spY, spZ}) connect(s, &QSpinBox::valueChanged, this, grid);
  for (QLineEdit* e : {edX, edY, edZ}) connect(e, &QLineEdit::textChanged, this, grid);
  // The material options change the estimate, not the grid: a typed time step stays.
  for (QCheckBox* c : {cbBioMaterals, cbMagneticMaterals})
    connect(c, &QCheckBox::toggled, this, [this] { spXChange(!settingControls_); });
  connect(cbEnergy, &QCheckBox::toggled, this, [this] {
    markModified();
    spXChange(false);
  });
  connect(seStepCount, &QSpinBox::valueChanged, this, [this] { seStepCountChange(!settingControls_); });
  connect(eddT, &QLineEdit::textChanged, this, [this] { seStepCountChange(!settingControls_); });
  for (QComboBox* c : combos()) {
    connect(c, &QComboBox::currentIndexChanged, this, [this] { ComboBox1Change(); });
    connect(c, &QComboBox::customContextMenuRequested, this,
            [this, c](const QPoint& p) { PopupBorders->popup(c->mapToGlobal(p)); });
  }
  connect(sePMLCount, &QSpinBox::valueChanged, this, [this] { sePMLCountChange(!settingControls_); });
  connect(edpmlR, &QLineEdit::textChanged, this, [this] { sePMLCountChange(!settingControls_); });
  connect(rgPMLprofileGroup, &QButtonGroup::idClicked, this, [this] { sePMLCountChange(true); });
  connect(rgSourcesGroup, &QButtonGroup::idToggled, this, [this](int, bool on) {
    if (!on) return;
    rgSourcesClick();
    markModified();
  });
  connect(rgEOrientGroup, &QButtonGroup::idClicked, this, [this] { markModified(); });
  connect(TrackBar1, &QSlider::valueChanged, this, &TfmNew3dMain::TrackBar1Change);
  connect(TrackBar2, &QSlider::valueChanged, this, &TfmNew3dMain::TrackBar1Change);
  for (QCheckBox* c : {cbFarDiagram, cbFarPoints})
    connect(c, &QCheckBox::toggled, this, &TfmNew3dMain::cbFarDiagramClick);
  for (QCheckBox* c : {cbPX, cbPY, cbPZ, cbCalcFarH, cbFastDigramm})
    connect(c, &QCheckBox::toggled, this, [this] {
      markModified();
      spXChange(false);
    });
  for (QSpinBox* s : {spCenterI, spCenterJ, spCenterK, seSarDelay})
    connect(s, &QSpinBox::valueChanged, this, [this] { markModified(); });
  for (QSpinBox* s : {spFarXmin, spFarYmin, spFarZmin, spFarXmax, spFarYmax, spFarZmax, edFarStep})
    connect(s, &QSpinBox::valueChanged, this, [this] {
      markModified();
      spXChange(false);
    });
  connect(edIncAngle, &QLineEdit::textChanged, this, [this] { markModified(); });
  connect(edFarDiagrR, &QLineEdit::textChanged, this, [this] { markModified(); });
  connect(memoProjectNote, &QPlainTextEdit::textChanged, this, [this] { markModified(); });
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
  if (!settingControls_) d_.Modified = 1;
}

// ---------------------------------------------------------------- grid page

void TfmNew3dMain::spXChange(bool userEdit, bool gridEdit) {
  if (userEdit) markModified();
  const MainSettings s = ReadSettings();
  // The grid of a running calculation is not changed under it.
  const bool running = Running();
  const double eps = MaxStaticPermittivity(d_, GetEditorState().LayerCount);
  GridSettingsView v = ComputeGridSettings(s, eps, outputs_->sgFarPoints.RowCount() - 1);
  if (!running) ApplyGridToSolver(v, s, d_);
  if (!v.sizesOk) {
    lbSummary->setText(Q(v.lbSummary));
    return;
  }
  lbKurant->setText(Q(v.lbKurant));
  eddT->setEnabled(!v.rtabc);
  {
    const QSignalBlocker block(eddT);
    eddT->setText(Q(ShownTimeStep(v, s.eddT, gridEdit)));
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
}

void TfmNew3dMain::ComboBox1Change() {
  const std::array<int, 6> c = ReadSettings().ComboBox;
  cbCenter->setVisible(AnyBorder(c, BorderDissipation));
  gbPML->setVisible(AnyBorder(c, BorderPML));
  rgPMLprofile->setVisible(AnyBorder(c, BorderPML));
  eddT->setEnabled(!AnyBorder(c, BorderRTABC));
  markModified();
  spXChange(false, !settingControls_);
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
    prompter_->message(msg);
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
  const QString name = QFileDialog::getSaveFileName(this, Q("Сохранить результат"),
                                                    Q(FolderOf(projectFileName_)),
                                                    Q("Текст (*.txt);;Все файлы (*)"), nullptr,
                                                    QFileDialog::DontConfirmOverwrite);
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
  if (!links_.fmChart) return;
  links_.fmChart->show();
  links_.fmChart->raise();
  links_.fmChart->activateWindow();
}

void TfmNew3dMain::N14Click() {
  if (!links_.fmOutPoint) return;
  links_.fmOutPoint->exec();
  spXChange(false);  // the far-point rows count in the estimate
}

void TfmNew3dMain::N15Click() {
  if (links_.fmLamped) links_.fmLamped->exec();
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
    prompter_->message(msg);
    return;
  }
  WriteSettings(s);
  spXChange(false, true);  // the time step follows the new sizes
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
  const std::string name = NewProjectFolder(app_.History, platform::HomeDir()) + "Новый проект.fdt";
  dlg_.OpenFileName = name;
  projectFileName_ = name;
  dlg_.SaveFileName = name;
  SetResultPaths(d_, projectFileName_);
  setWindowTitle(QCoreApplication::applicationName() + " - " + Q(projectFileName_));
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

  WriteSettings(NewProjectSettings(ReadSettings()));
  spXChange(false, true);  // a new grid: the time step at its limit
  // The live view's and the editor's view of a new project.
  VizualSettings v = GetVizual();
  v.spX = v.spY = v.spZ = 25;
  v.imageRGroup = 2;
  v.cbLog = false;
  v.seOutputRate = 1;
  v.SpinEdit1 = 1;
  v.SpinEdit2 = 0;
  SetVizual(v);
  SetEditorState(EditorState{});
  memoProjectNote->clear();
  TabSheet2Show();
  d_.Modified = 0;
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
    prompter_->message("Файл не найден: " + name);
    return;
  }
  if (files_.LoadByName) files_.LoadByName(name);
}

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

void TfmNew3dMain::memoAdd(const std::string& line) { Memo1->appendPlainText(Q(line)); }

void TfmNew3dMain::btnPuskClick() {
  if (starting_ || Running()) return;
  starting_ = true;
  struct Reset {
    bool& f;
    ~Reset() { f = false; }
  } reset{starting_};

  RunStartInputs in;
  in.settings = ReadSettings();
  in.outputs = outputs_;
  in.lamped = lamped_;
  in.projectReady = projectReady_ != 0;
  in.nowMs = NowEpochMs();
  platform::MemoryStatus st;
  if (platform::GetMemoryStatus(st)) {
    in.totalPhysBytes = st.totalPhys;
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
      FreeFieldArrays(d_);
      r.started = false;
      r.restore = true;
      r.messages.push_back({true, err.empty() ? std::string("Ошибка резервирования памяти") : err});
      r.status = "Ошибка резервирования памяти";
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
  for (const RunStartMessage& m : r.messages) prompter_->message(m.text);
  ShowMessages(*prompter_, closeErrors);
  if (!r.started) {
    // Every refusal leaves the window idle, also one made after the arrays were reserved.
    d_.Stopped = 1;
    setRunningLook(false);
    showStatus(r.status);
    return;
  }

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
  }
  if (features_.FinishFarField)
    in.SaveFarField = [this](std::string& message) {
      return features_.FinishFarField(d_, run_.settings, message);
    };
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
    r.StoppedLine = "Счет становлен в " + TimeOfDayText(finishNowMs_);
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
  for (const std::string& e : r.Messages) prompter_->message(e);
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

void TfmNew3dMain::btnCloseClick() { close(); }

bool TfmNew3dMain::closeQuery() {
  // No closing while a run is active, nor while a stopped one is still winding down.
  if (d_.Stopped == 0 || Running()) return false;
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
}

void TfmNew3dMain::AddToHistory(const std::string& fileName) {
  rv::AddToHistory(app_.History, fileName);
}

void TfmNew3dMain::SetCaption(const std::string& text) { setWindowTitle(Q(text)); }

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
  // file is the chart window's.
  const QFileInfo f(commandLine_.first());
  if (!f.isFile() || !commandLine_.first().endsWith(QLatin1String(".fdt"), Qt::CaseSensitive))
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
