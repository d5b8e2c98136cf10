// The main window's pages, the panel under them and the menus, and what each control's
// change calls.
#include "project/ui/TfmNew3dMain.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
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
#include <QSlider>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <qcustomplot.h>

#include "editor/ui/TfmOpenGL.h"
#include "platform/help.h"
#include "platform/widgets.h"
#include "project/borderdecode.h"
#include "project/gridsettings.h"
#include "project/ui/MainWindowText.h"
#include "project/ui/TfmInputSource.h"
#include "project/ui/TfmVisual.h"

namespace rv {

using mainui::Q;

namespace {

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

// A field's refusal beside it: red, wrapped, hidden while there is none.
QLabel* ErrorLabel(QWidget* parent, const char* name) {
  QLabel* l = Label(parent, name);
  l->setWordWrap(true);
  l->setStyleSheet("QLabel { color: #b00000; }");
  l->hide();
  return l;
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

}  // namespace

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
    lbSizeError = ErrorLabel(gbD, "lbSizeError");
    fD->addRow(lbSizeError);
    auto* gbT = new QGroupBox(Q("Шаг по времени, нс:"), TabSheet1);
    auto* vT = new QVBoxLayout(gbT);
    eddT = Edit(gbT, "eddT", "");
    lbKurant = Label(gbT, "lbKurant");
    lbStepError = ErrorLabel(gbT, "lbStepError");
    vT->addWidget(eddT);
    vT->addWidget(lbStepError);
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
                           {"Внешнее поле по всему объему (вдоль оси X)",
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
    // The signal window's refusal of the signal, in the chart's place.
    lbPreviewRefusal = TfmInputSource::NewRefusalLabel(TabSheet2);
    lay->addWidget(lbPreviewRefusal, 3, 0, 1, 2);
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
  const char* names[] = {"N16", "N17", "N18", "N20", "N14", "N15", "N19"};
  QAction* acts[] = {N16, N17, N18, N20, N14, N15, N19};
  for (int i = 0; i < 7; ++i) acts[i]->setObjectName(names[i]);

  QMenu* help = bar->addMenu(Q("Справка"));
  help->setObjectName("mnHelpMenu");
  mnHelp = help->addAction(Q("Содержание"));
  mnHelp->setObjectName("mnHelp");
  mnIndex = help->addAction(Q("Указатель"));
  mnIndex->setObjectName("mnIndex");
  help->addSeparator();
  N7 = help->addAction(Q("Калькулятор длины волны"));
  N7->setObjectName("N7");
  help->addSeparator();
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
    if (links_.fmLayers) ExecOver(*links_.fmLayers, this);
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

  // A number typed passes through others ("0" on the way to "0.0012"): a refused start's
  // status line follows the value an edit holds when its editing ends, not each keystroke.
  auto typed = [this](QLineEdit* e, const std::function<void()>& f) {
    connect(e, &QLineEdit::textChanged, this, [this, e, f] {
      const bool was = typing_;
      typing_ = e->isModified();  // the user's keystroke; a text the program sets is checked at once
      f();
      typing_ = was;
    });
    connect(e, &QLineEdit::editingFinished, this, [this, e] {
      e->setModified(false);
      recheckRefusal();
    });
  };
  auto grid = [this] { spXChange(!settingControls_); };
  for (QSpinBox* s : {spX, spY, spZ}) connect(s, &QSpinBox::valueChanged, this, grid);
  for (QLineEdit* e : {edX, edY, edZ}) {
    typed(e, grid);
    // The size as typed in full: now the time step is checked against its limit.
    connect(e, &QLineEdit::editingFinished, this, [this] { spXChange(false); });
  }
  // The material options change the estimate, not the grid: a typed time step stays.
  for (QCheckBox* c : {cbBioMaterals, cbMagneticMaterals})
    connect(c, &QCheckBox::toggled, this, [this] { spXChange(!settingControls_); });
  connect(cbEnergy, &QCheckBox::toggled, this, [this] {
    markModified();
    spXChange(false);
  });
  connect(seStepCount, &QSpinBox::valueChanged, this, [this] { seStepCountChange(!settingControls_); });
  typed(eddT, [this] {
    // A step typed anew: the line about the step it replaced no longer stands.
    if (!settingControls_ && !stepNote_.isEmpty() && StatusBar1->currentMessage() == stepNote_)
      StatusBar1->clearMessage();
    seStepCountChange(!settingControls_);
  });
  for (QComboBox* c : combos()) {
    connect(c, &QComboBox::currentIndexChanged, this, [this] { ComboBox1Change(); });
    connect(c, &QComboBox::customContextMenuRequested, this,
            [this, c](const QPoint& p) { PopupBorders->popup(c->mapToGlobal(p)); });
  }
  connect(sePMLCount, &QSpinBox::valueChanged, this, [this] { sePMLCountChange(!settingControls_); });
  typed(edpmlR, [this] { sePMLCountChange(!settingControls_); });
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
  for (QLineEdit* e : {edIncAngle, edFarDiagrR}) typed(e, [this] { markModified(); });
  connect(memoProjectNote, &QPlainTextEdit::textChanged, this, [this] { markModified(); });
}

}  // namespace rv
