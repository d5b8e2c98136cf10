#include "editor/ui/TfmOpenGL.h"

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QPixmap>
#include <QScreen>
#include <QSignalBlocker>
#include <QSplitter>
#include <QSpinBox>
#include <QStackedLayout>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <climits>
#include <cstdint>

#include "editor/elementarrays.h"
#include "editor/section.h"
#include "editor/ui/SectionGrid.h"
#include "editor/ui/TfmSellParms.h"
#include "editor/ui/TfmLayers.h"
#include "platform/prompter.h"
#include "solver/resultpaths.h"
#include "solver/solverdata.h"

namespace rv {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

template <class W>
W* Named(W* w, const char* name) {
  w->setObjectName(name);
  return w;
}

// Tooltips stay five times as long as elsewhere, on this window's own widgets only.
constexpr int TooltipMs = 5 * 10000;

// A place kept for a widget to come (the section grid, the 3-D view).
QWidget* Area(QWidget* parent, const char* name) {
  auto* w = Named(new QWidget(parent), name);
  w->setMinimumSize(200, 200);
  (new QVBoxLayout(w))->setContentsMargins(0, 0, 0, 0);
  return w;
}

// A colour value 0x00BBGGRR as Qt's colour.
QColor LayerColor(uint32_t c) { return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF)); }

}  // namespace

TfmOpenGL::TfmOpenGL(SolverData& d, Prompter& prompter, QWidget* parent)
    : QMainWindow(parent), d_(d), prompter_(prompter) {
  setObjectName("fmOpenGL");
  setWindowTitle(Q("Объект"));
  buildWindow();
  // FormCreate: the model sized, the default materials, the counters and the view.
  FrameCounter = 0;
  if (!d_.CalcRunning) ResizeSpace(d_);
  RotationStep = 0.2;
  AnchorCell = {1, 1, 1};
  StatusPanel1->setText(Q("Выбрана ячейка 1, 1, 1"));
  RasterDivisor = 1;
  mnUndo->setEnabled(false);
  mat_ = MaterialState{};
  FillDefaultLayers(d_.Layers);
  MoveStep = 1.0f;
  TiltStep = 5.0f;
  SliceX = SliceY = SliceZ = 1;
  lb1->clear();
  lb2->clear();
  SetupView();
}

void TfmOpenGL::buildWindow() {
  QMenuBar* bar = menuBar();
  QMenu* edit = bar->addMenu(Q("Редактировать"));
  mnUndo = Named(edit->addAction(Q("Откат (только 1 раз)")), "mnUndo");
  mnUndo->setShortcut(QKeySequence::Undo);
  QMenu* section = bar->addMenu(Q("Сечение"));
  auto* axes = new QActionGroup(this);
  rbX = Named(section->addAction(Q("Перпендикулярно X")), "rbX");
  rbY = Named(section->addAction(Q("Перпендикулярно Y")), "rbY");
  rbZ = Named(section->addAction(Q("Перпендикулярно Z")), "rbZ");
  for (QAction* a : {rbX, rbY, rbZ}) {
    a->setCheckable(true);
    axes->addAction(a);
  }
  rbX->setChecked(true);
  QMenu* view = bar->addMenu(Q("Показывать"));
  N23 = Named(view->addAction(Q("Панель точек вывода")), "N23");
  N24 = Named(view->addAction(Q("Панель элементов")), "N24");
  N23->setCheckable(true);
  N24->setCheckable(true);

  ToolBar2 = Named(new QToolBar(Q("Панель точек вывода"), this), "ToolBar2");
  ToolBar3 = Named(new QToolBar(Q("Панель элементов"), this), "ToolBar3");
  for (QToolBar* t : {ToolBar2, ToolBar3}) {
    addToolBar(t);
    t->hide();
  }

  // The 3-D view and the section panel share the width; the user moves the border.
  Splitter1 = Named(new QSplitter(Qt::Horizontal, this), "Splitter1");
  Splitter1->setChildrenCollapsible(false);
  ViewArea = Area(Splitter1, "ViewArea");
  Splitter1->addWidget(ViewArea);

  Panel4 = Named(new QWidget(Splitter1), "Panel4");
  auto* panel = new QVBoxLayout(Panel4);
  auto* top = new QHBoxLayout;
  ComboBox1 = Named(new QComboBox(Panel4), "ComboBox1");
  ComboBox1->setMaxVisibleItems(16);
  SpeedButton3 = Named(new QToolButton(Panel4), "SpeedButton3");
  SpeedButton3->setText(Q("Материалы"));
  SpeedButton1 = Named(new QToolButton(Panel4), "SpeedButton1");
  SpeedButton1->setText(Q("Вращение"));
  top->addWidget(ComboBox1, 1);
  top->addWidget(SpeedButton3);
  top->addWidget(SpeedButton1);
  panel->addLayout(top);

  GroupBox1 = Named(new QGroupBox(Q("Сечение"), Panel4), "GroupBox1");
  auto* box = new QVBoxLayout(GroupBox1);
  SectionArea = Area(GroupBox1, "SectionArea");
  box->addWidget(SectionArea, 1);
  buildSection(SectionArea);
  auto* pos = new QHBoxLayout;
  lbCoord2 = Named(new QLabel(Q("X="), GroupBox1), "lbCoord2");
  pos->addWidget(lbCoord2);
  spins_ = new QStackedLayout;
  SpinEdit1 = Named(new QSpinBox(GroupBox1), "SpinEdit1");
  SpinEdit2 = Named(new QSpinBox(GroupBox1), "SpinEdit2");
  SpinEdit3 = Named(new QSpinBox(GroupBox1), "SpinEdit3");
  for (QSpinBox* s : {SpinEdit1, SpinEdit2, SpinEdit3}) {
    s->setRange(1, 1);
    s->setValue(1);
    spins_->addWidget(s);
  }
  pos->addLayout(spins_, 1);
  box->addLayout(pos);
  panel->addWidget(GroupBox1, 1);
  Splitter1->addWidget(Panel4);
  // A larger window widens both; the section's zoom follows its room.
  Splitter1->setStretchFactor(0, 1);
  Splitter1->setStretchFactor(1, 1);
  GroupBox1->installEventFilter(this);
  setCentralWidget(Splitter1);

  StatusBar1 = Named(new QStatusBar(this), "StatusBar1");
  StatusPanel0 = new QLabel(StatusBar1);
  StatusPanel1 = new QLabel(StatusBar1);
  StatusBar1->addWidget(StatusPanel0, 1);
  StatusBar1->addWidget(StatusPanel1, 1);
  setStatusBar(StatusBar1);

  Timer1 = Named(new QTimer(this), "Timer1");
  Timer2 = Named(new QTimer(this), "Timer2");
  Timer2->setInterval(500);
  Timer2->setSingleShot(true);

  connect(mnUndo, &QAction::triggered, this, &TfmOpenGL::mnUndoClick);
  connect(rbX, &QAction::triggered, this, &TfmOpenGL::rbXClick);
  connect(rbY, &QAction::triggered, this, &TfmOpenGL::rbYClick);
  connect(rbZ, &QAction::triggered, this, &TfmOpenGL::rbZClick);
  connect(N23, &QAction::triggered, this, &TfmOpenGL::N23Click);
  connect(N24, &QAction::triggered, this, &TfmOpenGL::N24Click);
  connect(SpeedButton3, &QToolButton::clicked, this, &TfmOpenGL::SpeedButton3Click);
  for (QSpinBox* s : {SpinEdit1, SpinEdit2, SpinEdit3})
    connect(s, &QSpinBox::valueChanged, this, [this, s] { SpinEdit1Change(s); });
  connect(ComboBox1, &QComboBox::currentIndexChanged, this, [this](int i) {
    if (i >= 0) mat_.CurLayer = std::clamp(i + 1, 1, mat_.LayerCount);
  });
  connect(Timer2, &QTimer::timeout, this, &TfmOpenGL::Redraw);
  buildView();
  buildOperations();
  buildPlacing();
}

void TfmOpenGL::SetMainLinks(const EditorMainLinks& links) {
  main_ = links;
  // The last step of the creation: the grid and cell sizes from the main window, and the
  // initial view of that grid.
  if (main_.spXChange) main_.spXChange();
  SetupView();
}

EditorState TfmOpenGL::GetEditorState() const {
  EditorState s;
  s.X = SpinEdit1->value();
  s.Y = SpinEdit2->value();
  s.Z = SpinEdit3->value();
  s.EyeX = EyeX;
  s.EyeY = EyeY;
  s.EyeZ = EyeZ;
  s.CenterX = CenterX;
  s.CenterY = CenterY;
  s.CenterZ = CenterZ;
  s.LayerCount = mat_.LayerCount;
  return s;
}

void TfmOpenGL::SetEditorState(const EditorState& s) {
  Timer2->stop();
  const int v[3] = {s.X, s.Y, s.Z};
  limitSections(v);
  EyeX = s.EyeX;
  EyeY = s.EyeY;
  EyeZ = s.EyeZ;
  CenterX = s.CenterX;
  CenterY = s.CenterY;
  CenterZ = s.CenterZ;
  cameraGrid_ = {d_.SpaceNx, d_.SpaceNy, d_.SpaceNz};
  // A new project's camera, or one stored as the rule placed it, is fitted like the reset's.
  cameraByRule_ = IsInitialCamera(GetCamera(), d_.SpaceNx, d_.SpaceNy, d_.SpaceNz);
  mat_.LayerCount = std::clamp(s.LayerCount, 1, MaxMaterials);
  mat_.CurLayer = std::clamp(mat_.CurLayer, 1, mat_.LayerCount);
  // A new or loaded project: the main window has replaced the model.
  ModelChanged(d_);
  forgetModel();
  refitSection();
  Redraw();
}

void TfmOpenGL::forgetModel() {
  // The snapshot holds the model before: restoring it into another project would mix them.
  mat_.UndoReady = false;
  mnUndo->setEnabled(false);
  forgetPickedCells();
  // The lists of the materials and of the tables' elements.
  FillMaterialCombo();
  LoadElementArrays();
  ShowAnchorButtons();
}

void TfmOpenGL::forgetPickedCells() {
  // Cells picked in the model before: the selection, a stroke, a voltage output half
  // entered, the anchor and the cells the labels and the cell window describe.
  StringGrid1->SetSelection({});
  StringGrid1->SetCurrentCell(0, 0);
  StrokeActive = false;
  LastRow = LastCol = PressCol = PressRow = ReleaseCol = ReleaseRow = -1;
  tbEnterUout->setChecked(false);
  AnchorCell = {1, 1, 1};
  AnchorRow = AnchorCol = 0;
  MouseCell = {0, 0, 0};
  StatusPanel1->setText(Q(AnchorText(AnchorCell)));
  lbCoord->clear();
  InfoCell = {0, 0, 0};
  fmSellParms->SetLines({});
  ShowAnchorButtons();
}

// Section positions stay on model cells, 1..N-1, without marking the project modified.
void TfmOpenGL::limitSections(const int* values) {
  const int n[3] = {d_.SpaceNx, d_.SpaceNy, d_.SpaceNz};
  // The section's rows count from the top: on another grid the rectangle and the anchor mark
  // other cells, and the status bar would speak of cells no longer picked.
  const bool otherGrid = std::array<int, 3>{n[0], n[1], n[2]} != selectionGrid_;
  selectionGrid_ = {n[0], n[1], n[2]};
  if (otherGrid) {
    forgetPickedCells();
    refitSection();
  }
  QSpinBox* sp[3] = {SpinEdit1, SpinEdit2, SpinEdit3};
  for (int i = 0; i < 3; ++i) {
    const QSignalBlocker block(sp[i]);
    sp[i]->setRange(1, std::max(1, n[i] - 1));
    if (values) sp[i]->setValue(values[i]);
  }
  SliceX = SpinEdit1->value();
  SliceY = SpinEdit2->value();
  SliceZ = SpinEdit3->value();
}

void TfmOpenGL::GridChanged(int scale) {
  const int v[3] = {SpinEdit1->value(), SpinEdit2->value(), SpinEdit3->value()};
  int scaled[3];
  for (int i = 0; i < 3; ++i) scaled[i] = int(std::min<int64_t>(int64_t(v[i]) * scale, INT_MAX));
  limitSections(scaled);
  // The main window re-sized or refined the model.
  ModelChanged(d_);
  FitCameraToGrid();
  Redraw();
}

void TfmOpenGL::FormActivate() {
  if (activating_) return;
  activating_ = true;
  d_.GLReady = 0;
  // A running calculation keeps its model where it is.
  if (!d_.CalcRunning && !ResizeSpace(d_)) prompter_.error("Ошибка резервирования памяти");
  limitSections();
  FitCameraToGrid();
  LoadElementArrays();
  if (rbY->isChecked()) rbYClick();
  if (rbX->isChecked()) rbXClick();
  if (rbZ->isChecked()) rbZClick();
  for (QWidget* w : findChildren<QWidget*>()) w->setToolTipDuration(TooltipMs);
  ToolBar2->setVisible(N23->isChecked());
  ToolBar3->setVisible(N24->isChecked());
  if (fmLayers_) fmLayers_->FormActivate();
  FillMaterialCombo();
  d_.GLReady = 1;
  // The object box is the run's while it goes on.
  if (!d_.CalcRunning) FindObjectBounds(d_);
  activating_ = false;
}

void TfmOpenGL::FormShow() { LoadElementArrays(); }

void TfmOpenGL::ShowFromMain() {
  d_.GLReady = 0;
  if (!d_.CalcRunning) ResizeSpace(d_);
  limitSections();
  FitCameraToGrid();
  if (isMinimized()) showNormal();
  show();
  raise();
  activateWindow();
  d_.GLReady = 1;
}

void TfmOpenGL::SaveUndo() {
  rv::SaveUndo(d_, mat_);
  mnUndo->setEnabled(true);
}

void TfmOpenGL::RestoreUndo() {
  rv::RestoreUndo(d_, mat_);
  mnUndo->setEnabled(false);
  // The material count may have changed under the list.
  FillMaterialCombo();
}

void TfmOpenGL::mnUndoClick() {
  RestoreUndo();
  Redraw();
}

void TfmOpenGL::LoadElementArrays() {
  if (!main_.outputs || !main_.lamped) return;
  showElementMessages(rv::LoadElementArrays(d_, *main_.outputs, *main_.lamped, elements_));
  StringGrid1->SetElements(elements_);
}

// The current-region messages come up once, after the activation that found them, and
// again only when the region rows change: a message box re-activates this window.
void TfmOpenGL::showElementMessages(const std::vector<std::string>& msgs) {
  const StringGrid& g = main_.outputs->sgCurrent;
  std::string rows;
  for (int r = 1; r < g.RowCount(); ++r)
    for (int c = 0; c < g.ColCount(); ++c) rows += g.Cells(c, r) + '\x1f';
  if (msgs.empty() || rows == shownRegionTables_) return;
  shownRegionTables_ = rows;
  QTimer::singleShot(0, this, [this, msgs] {
    for (const std::string& m : msgs) prompter_.warning(m);
  });
}

void TfmOpenGL::FillMaterialCombo() {
  const QSignalBlocker block(ComboBox1);
  ComboBox1->clear();
  for (int i = 1; i <= mat_.LayerCount; ++i) {
    QPixmap swatch(12, 12);
    swatch.fill(LayerColor(d_.Layers[size_t(i)].Color));
    ComboBox1->addItem(QIcon(swatch), Q(d_.Layers[size_t(i)].Name));
  }
  mat_.CurLayer = std::clamp(mat_.CurLayer, 1, mat_.LayerCount);
  ComboBox1->setCurrentIndex(mat_.CurLayer - 1);
}

void TfmOpenGL::SpinEdit1Change(QSpinBox* changed) {
  Timer2->stop();
  d_.Modified = 1;
  if (SpinEdit1->value() > d_.Nx || SpinEdit2->value() > d_.Ny || SpinEdit3->value() > d_.Nz ||
      changed->value() < 1)
    return;
  SliceX = SpinEdit1->value();
  SliceY = SpinEdit2->value();
  SliceZ = SpinEdit3->value();
  Timer2->start();
}

void TfmOpenGL::SpeedButton3Click() {
  if (fmLayers_) fmLayers_->exec();
}

void TfmOpenGL::N23Click() {
  ToolBar2->setVisible(N23->isChecked());
}

void TfmOpenGL::N24Click() {
  ToolBar3->setVisible(N24->isChecked());
}

void TfmOpenGL::Redraw() {
  Timer2->stop();
  StringGrid1->SetView(View());
  RedrawView();
}

void TfmOpenGL::minimiseProgram() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w != this && w->isWindow() && w->isVisible() && !w->isMinimized()) w->showMinimized();
}

void TfmOpenGL::changeEvent(QEvent* e) {
  QMainWindow::changeEvent(e);
  if (e->type() == QEvent::WindowStateChange && isMinimized()) {
    minimiseProgram();
  } else if (e->type() == QEvent::ActivationChange) {
    if (isActiveWindow()) {
      FormActivate();
    } else {
      // FormDeactivate: the rotation stops.
      Timer1->stop();
      SpeedButton1->setText(Q("Вращение"));
    }
  }
}

void TfmOpenGL::showEvent(QShowEvent* e) {
  if (!placed_ && !e->spontaneous()) {
    placed_ = true;
    placeOnScreen();
  }
  QMainWindow::showEvent(e);
  FormShow();
}

namespace {
// Room kept for the title bar and frame that the desktop adds round the window, until the
// window is up and they can be measured.
constexpr int FrameGuess = 40;

// Layouts keep their size hints until they are next laid out, and so do their items; the
// sizes below are wanted now.
void ForgetHints(QLayout* l) {
  if (!l) return;
  l->invalidate();
  for (int i = 0; i < l->count(); ++i) ForgetHints(l->itemAt(i)->layout());
}
}  // namespace

void TfmOpenGL::placeOnScreen() {
  QScreen* scr = screen() ? screen() : QGuiApplication::primaryScreen();
  if (!scr) return;
  const QRect avail = scr->availableGeometry();
  // The section big enough to work in, the panel as wide as the whole section, the 3-D view
  // beside it about as wide as the panel is tall.
  const SectionView v = View();
  StringGrid1->SetView(v);
  fitSectionZoom(v, avail.width() * 2 / 5, avail.height() * 3 / 5);
  for (QWidget* w = StringGrid1; w; w = w->parentWidget()) {
    ForgetHints(w->layout());
    w->updateGeometry();
    if (w == this) break;
  }
  const int panelW = Panel4->sizeHint().width();
  int h = sizeHint().height();
  const int viewW = std::max(400, Panel4->sizeHint().height());
  int w = viewW + Splitter1->handleWidth() + panelW;
  w = std::min(w, avail.width() - FrameGuess / 2);
  h = std::min(h, avail.height() - FrameGuess);
  resize(w, h);
  // The panel gets its whole width; the 3-D view what the handle leaves.
  Splitter1->setSizes({std::max(200, w - Splitter1->handleWidth() - panelW), panelW});
  // The frame's top left; the title bar stays below the screen's top edge.
  move(avail.left() + std::max(0, (avail.width() - w) / 2),
       avail.top() + std::max(0, (avail.height() - h - FrameGuess) / 2));
  // Once the desktop has framed it, pull it wholly onto the screen if the frame was larger.
  QTimer::singleShot(0, this, &TfmOpenGL::keepOnScreen);
}

void TfmOpenGL::keepOnScreen() {
  QScreen* scr = screen();
  if (!scr || !isVisible()) return;
  const QRect avail = scr->availableGeometry();
  QRect f = frameGeometry();
  if (avail.contains(f)) return;
  f.moveLeft(std::clamp(f.left(), avail.left(), std::max(avail.left(), avail.right() - f.width() + 1)));
  f.moveTop(std::clamp(f.top(), avail.top(), std::max(avail.top(), avail.bottom() - f.height() + 1)));
  move(f.topLeft());
}

void TfmOpenGL::closeEvent(QCloseEvent* e) {
  // Closing only hides: the model, the tables and the arrays stay.
  fmSellParms->hide();
  Timer1->stop();
  SpeedButton1->setText(Q("Вращение"));
  ToolBar2->hide();
  ToolBar3->hide();
  e->accept();
}

}  // namespace rv
