// The editor window's side of the 3-D view: the camera keys, the rotation, the view reset and
// the snapshots. The view itself only draws.
#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QSpinBox>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include "editor/cellinfo.h"
#include "editor/parabola.h"
#include "editor/ui/SectionGrid.h"
#include "editor/ui/TfmParobolaDLG.h"
#include "editor/ui/TfmSellParms.h"
#include "editor/ui/TfmOpenGL.h"
#include "editor/ui/View3D.h"
#include "platform/prompter.h"
#include "solver/resultpaths.h"

namespace rv {

namespace {
QString Q(const char* s) { return QString::fromUtf8(s); }
}  // namespace

void TfmOpenGL::buildView() {
  QString why;
  if (View3D::Available(why)) {
    GLView = new View3D(*this, ViewArea);
    GLView->setObjectName("View3D");
    ViewArea->layout()->addWidget(GLView);
  } else {
    // The editor works on without the picture: the section, the tools and the commands.
    auto* note = new QLabel(Q("Трехмерный вид недоступен: ") + why + Q("."), ViewArea);
    note->setObjectName("lbNoView");
    note->setWordWrap(true);
    note->setAlignment(Qt::AlignCenter);
    ViewArea->layout()->addWidget(note);
  }

  QMenu *section = nullptr, *edit = nullptr;
  for (QAction* a : menuBar()->actions()) {
    if (a->menu() && a->text() == Q("Сечение")) section = a->menu();
    if (a->menu() && a->text() == Q("Редактировать")) edit = a->menu();
  }
  N26 = edit->addAction(Q("Создать параболу.."));
  N26->setObjectName("N26");
  connect(N26, &QAction::triggered, this, &TfmOpenGL::N26Click);
  fmParobolaDLG = new TfmParobolaDLG(this);
  fmSellParms = new TfmSellParms(this);
  for (QAction* a : menuBar()->actions())
    if (a->menu() && a->text() == Q("Показывать")) N25 = a->menu()->addAction(Q("Окно параметров ячеек"));
  N25->setObjectName("N25");
  N25->setCheckable(true);
  connect(N25, &QAction::triggered, this, [this] {
    N25->toggle();  // the handler does the inverting
    N25Click();
  });
  connect(fmSellParms, &TfmSellParms::closed, this, [this] {
    if (N25->isChecked()) N25Click();
  });
  section->addSeparator();
  rbOff = section->addAction(Q("Убрать сечение"));
  mnShowCLines = section->addAction(Q("Убрать координатные линии"));
  mnGround = section->addAction(Q("Показывать \"землю\""));
  N14 = section->addAction(Q("Восстанов. исх. точку просмотра"));
  rbOff->setObjectName("rbOff");
  mnShowCLines->setObjectName("mnShowCLines");
  mnGround->setObjectName("mnGround");
  N14->setObjectName("N14");
  for (QAction* a : {rbOff, mnShowCLines, mnGround}) {
    a->setCheckable(true);
    connect(a, &QAction::triggered, this, &TfmOpenGL::Redraw);
  }
  connect(N14, &QAction::triggered, this, &TfmOpenGL::btnResetClick);

  SpeedButton2 = new QToolButton(Panel4);
  SpeedButton2->setObjectName("SpeedButton2");
  SpeedButton2->setText(Q("Шаг"));
  SpeedButton2->setToolTip(Q("Поворот на один шаг"));
  btnKadr = new QToolButton(Panel4);
  btnKadr->setObjectName("btnKadr");
  btnKadr->setText(Q("Кадр"));
  btnKadr->setToolTip(Q("Сохранить текущий вид в файл Frame3D__хх.bmp"));
  if (auto* top = SpeedButton1->parentWidget()->layout()) {
    if (auto* box = qobject_cast<QBoxLayout*>(top->itemAt(0)->layout())) {
      box->addWidget(SpeedButton2);
      box->addWidget(btnKadr);
    }
  }
  lbSpeed = new QLabel(StatusBar1);
  lbSpeed->setObjectName("lbSpeed");
  StatusBar1->addPermanentWidget(lbSpeed);
  Timer1->setInterval(20);
  // Turning and snapshots need the picture.
  for (QToolButton* b : {SpeedButton1, SpeedButton2, btnKadr}) b->setEnabled(GLView != nullptr);
  connect(SpeedButton1, &QToolButton::clicked, this, &TfmOpenGL::SpeedButton1Click);
  connect(SpeedButton2, &QToolButton::clicked, this, &TfmOpenGL::SpeedButton2Click);
  connect(btnKadr, &QToolButton::clicked, this, [this] { btnKadrClick(); });
  connect(Timer1, &QTimer::timeout, this, &TfmOpenGL::Timer1Timer);
}

Camera TfmOpenGL::GetCamera() const { return {EyeX, EyeY, EyeZ, CenterX, CenterY, CenterZ}; }

void TfmOpenGL::SetCamera(const Camera& c) {
  EyeX = c.EyeX; EyeY = c.EyeY; EyeZ = c.EyeZ;
  CenterX = c.CenterX; CenterY = c.CenterY; CenterZ = c.CenterZ;
  cameraByRule_ = false;
}

std::array<std::string, 3> TfmOpenGL::CellSizeTexts() const {
  if (main_.cellSizes) return main_.cellSizes();
  return {"1", "1", "1"};
}

void TfmOpenGL::StopRotationTimer() { Timer1->stop(); }

void TfmOpenGL::RedrawView() {
  if (GLView) GLView->update();
}

void TfmOpenGL::SetupView() {
  SetCamera(InitialCamera(d_.SpaceNx, d_.SpaceNy, d_.SpaceNz));
  cameraGrid_ = {d_.SpaceNx, d_.SpaceNy, d_.SpaceNz};
  cameraByRule_ = true;
}

void TfmOpenGL::FitCameraToView(const ViewFrame& frame) {
  if (!cameraByRule_) return;
  SetCamera(BackedOffToShowAll(InitialCamera(cameraGrid_[0], cameraGrid_[1], cameraGrid_[2]), frame));
  cameraByRule_ = true;
}

void TfmOpenGL::FitCameraToGrid() {
  if (cameraGrid_ != std::array<int, 3>{d_.SpaceNx, d_.SpaceNy, d_.SpaceNz}) SetupView();
}

bool TfmOpenGL::FormKeyDown(int key, Qt::KeyboardModifiers mods) {
  // Keys go to the section's own controls while they have the focus.
  if (QWidget* f = focusWidget())
    for (QWidget* w : {static_cast<QWidget*>(SpinEdit1), static_cast<QWidget*>(SpinEdit2),
                       static_cast<QWidget*>(SpinEdit3), static_cast<QWidget*>(StringGrid1),
                       static_cast<QWidget*>(ComboBox1)})
      if (w && (w == f || w->isAncestorOf(f))) return false;
  const CameraSpeeds s = SpeedsFor(mods & Qt::ShiftModifier, mods & Qt::ControlModifier);
  MoveStep = s.MoveStep;
  TiltStep = s.TiltStep;
  RotationStep = s.RotationStep;
  StatusPanel0->setText(Q(s.Text));
  const bool alt = mods & Qt::AltModifier;
  CameraKey k;
  switch (key) {
    case Qt::Key_V: k = CameraKey::Raise; break;
    case Qt::Key_C: k = CameraKey::Lower; break;
    case Qt::Key_End: k = CameraKey::Level; break;
    case Qt::Key_Delete: k = CameraKey::TiltDown; break;
    case Qt::Key_PageDown: k = CameraKey::TiltUp; break;
    case Qt::Key_Up: k = CameraKey::Forward; break;
    case Qt::Key_Down: k = CameraKey::Back; break;
    case Qt::Key_Left: k = alt ? CameraKey::StepLeft : CameraKey::TurnLeft; break;
    case Qt::Key_Right: k = alt ? CameraKey::StepRight : CameraKey::TurnRight; break;
    default: return false;
  }
  Camera c = GetCamera();
  MoveCamera(c, k, MoveStep, TiltStep);
  SetCamera(c);
  RedrawView();
  return true;
}

void TfmOpenGL::FormKeyUp(Qt::KeyboardModifiers mods) {
  const CameraSpeeds s = SpeedsFor(mods & Qt::ShiftModifier, mods & Qt::ControlModifier);
  RotationStep = s.RotationStep;
  StatusPanel0->setText(Q(s.Text));
}

void TfmOpenGL::keyPressEvent(QKeyEvent* e) {
  if (!FormKeyDown(e->key(), e->modifiers())) QMainWindow::keyPressEvent(e);
}

void TfmOpenGL::keyReleaseEvent(QKeyEvent* e) {
  FormKeyUp(e->modifiers());
  QMainWindow::keyReleaseEvent(e);
}

void TfmOpenGL::mousePressEvent(QMouseEvent* e) {
  // FormClick: a click on the window's free area lets the camera keys reach the view.
  if (GLView) GLView->setFocus();
  QMainWindow::mousePressEvent(e);
}

void TfmOpenGL::ShowFrameTime(qint64 ms) { lbSpeed->setText(QString::number(ms) + Q(" мс")); }

void TfmOpenGL::RotateStep() {
  Camera c = GetCamera();
  RotateCamera(c, d_.Nx, d_.Nz, RotationStep);
  SetCamera(c);
  RedrawView();
}

void TfmOpenGL::SpeedButton1Click() {
  if (!GLView) return;
  // The focus goes to the view so that the camera keys reach it.
  GLView->setFocus();
  if (Timer1->isActive()) Timer1->stop();
  else Timer1->start();
  SpeedButton1->setText(Q(Timer1->isActive() ? "Остановить" : "Вращение"));
}

void TfmOpenGL::SpeedButton2Click() {
  if (!GLView) return;
  GLView->setFocus();
  RotateStep();
}

void TfmOpenGL::Timer1Timer() {
  // Held off while the step draws, so that ticks do not pile up behind a slow frame.
  Timer1->stop();
  if (!GLView) return;
  RotateStep();
  GLView->repaint();
  Timer1->start();
}

void TfmOpenGL::btnResetClick() {
  SetupView();
  RedrawView();
}

void TfmOpenGL::N26Click() {
  TfmParobolaDLG& g = *fmParobolaDLG;
  g.spFocusX->setValue(AnchorCell[0]);
  g.spFocusY->setValue(AnchorCell[1]);
  g.spFocusZ->setValue(AnchorCell[2]);
  static const char* const onX[] = {"+Z", "-Z", "+Y", "-Y"};
  static const char* const onY[] = {"+X", "-X", "+Z", "-Z"};
  static const char* const onZ[] = {"+X", "-X", "+Y", "-Y"};
  g.SetAxisItems(axis_ == SectionAxis::X ? onX : axis_ == SectionAxis::Y ? onY : onZ);
  g.spFocusX->setEnabled(axis_ != SectionAxis::X);
  g.spFocusY->setEnabled(axis_ != SectionAxis::Y);
  g.spFocusZ->setEnabled(axis_ != SectionAxis::Z);
  if (g.exec() != QDialog::Accepted) return;
  const QString axis = g.Axis();
  if (axis_ == SectionAxis::Z && (axis == "+X" || axis == "-X")) {
    DrawParabola(d_, g.spFocusX->value(), g.spFocusY->value(), AnchorCell[2],
                 g.spFocusLength->value(), g.spDiameter->value(), axis == "-X",
                 uint8_t(mat_.CurLayer));
    // The model changed: the project must be saved again (no undo snapshot is taken).
    d_.Modified = 1;
  }
  Redraw();
}

void TfmOpenGL::ShowCellParameters(int x, int y, int z) {
  if (InfoCell == std::array<int, 3>{x, y, z}) return;
  InfoCell = {x, y, z};
  // The solver takes an edge outside the object box for vacuum. Between runs the box may lag
  // behind the edits, which matters only for an edge outside it: look again then, once per
  // change of the model. During a run the box is the run's.
  const bool outside = x < d_.ObjXMin || x > d_.ObjXMax || y < d_.ObjYMin || y > d_.ObjYMax ||
                       z < d_.ObjZMin || z > d_.ObjZMax;
  if (outside && !d_.CalcRunning && boundsVersion_ != d_.ModelVersion) {
    FindObjectBounds(d_);
    boundsVersion_ = d_.ModelVersion;
  }
  fmSellParms->SetLines(CellInfoLines(d_, elements_, x, y, z, CellSizeTexts()));
}

void TfmOpenGL::N25Click() {
  N25->setChecked(!N25->isChecked());
  fmSellParms->setVisible(N25->isChecked());
}

bool TfmOpenGL::btnKadrClick() {
  if (!GLView) {
    prompter_.error("Снимок вида не сделать: трехмерный вид недоступен");
    return false;
  }
  const QImage img = GLView->grabFramebuffer();
  const QString dir = QString::fromStdString(d_.ImagesDir);
  const QString name = QDir(dir).filePath(QString::fromStdString(SnapshotName(FrameCounter)));
  if (!QDir().mkpath(dir)) {
    prompter_.error("Не удалось создать папку " + d_.ImagesDir);
    return false;
  }
  if (img.isNull() || !img.save(name, "BMP")) {
    prompter_.error("Не удалось записать файл " + name.toStdString());
    return false;
  }
  ++FrameCounter;
  return true;
}

}  // namespace rv
