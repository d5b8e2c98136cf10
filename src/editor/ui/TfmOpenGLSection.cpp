// The editor window's section panel: the section grid, the drawing tools, the anchor and
// the selection.
#include <QActionGroup>
#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QSpinBox>
#include <QStackedLayout>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "editor/fills.h"
#include "editor/placing.h"
#include "editor/raster.h"
#include "editor/ui/SectionGrid.h"
#include "editor/ui/TfmOpenGL.h"
#include "platform/prompter.h"
#include "project/gridsettings.h"
#include "project/stringgrid.h"
#include "solver/numtext.h"
#include "solver/resultpaths.h"
#include "solver/solverdata.h"

namespace rv {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

QToolButton* Tool(QWidget* parent, const char* name, const char* caption, const char* hint) {
  auto* b = new QToolButton(parent);
  b->setObjectName(name);
  b->setText(Q(caption));
  b->setToolTip(Q(hint));
  return b;
}

// An axis arrow beside the section grid: a line through its middle from the "0" corner with
// a head at the far end, up or to the right.
class ArrowBar : public QWidget {
public:
  ArrowBar(Qt::Orientation o, QWidget* parent) : QWidget(parent), o_(o) {
    if (o == Qt::Vertical) setFixedWidth(Thick);
    else setFixedHeight(Thick);
  }

protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::black, 1.5));
    p.setBrush(Qt::black);
    const double m = Thick / 2.0, head = 9, half = 4;
    if (o_ == Qt::Vertical) {
      p.drawLine(QPointF(m, height()), QPointF(m, head));
      p.drawPolygon(QPolygonF({QPointF(m, 0), QPointF(m - half, head), QPointF(m + half, head)}));
    } else {
      p.drawLine(QPointF(0, m), QPointF(width() - head, m));
      p.drawPolygon(QPolygonF({QPointF(width(), m), QPointF(width() - head, m - half),
                               QPointF(width() - head, m + half)}));
    }
  }

private:
  static constexpr int Thick = 12;
  Qt::Orientation o_;
};

// Clicks on the label cycle the neighbouring-section display.
class ClickLabel : public QLabel {
public:
  std::function<void()> onClick;
  using QLabel::QLabel;

protected:
  void mousePressEvent(QMouseEvent*) override {
    if (onClick) onClick();
  }
};

}  // namespace

void TfmOpenGL::buildSection(QWidget* area) {
  auto* lay = new QGridLayout;
  sectionLayout_ = lay;
  lay->setSpacing(2);
  static_cast<QVBoxLayout*>(area->layout())->addLayout(lay);
  StringGrid1 = new SectionGrid(d_, area);
  // The vertical axis' name above its arrow, the horizontal one's after its arrow.
  lb1 = new QLabel(area);
  lb1->setObjectName("lb1");
  lb2 = new QLabel(area);
  lb2->setObjectName("lb2");
  Image1 = new ArrowBar(Qt::Vertical, area);
  Image1->setObjectName("Image1");
  Image2 = new ArrowBar(Qt::Horizontal, area);
  Image2->setObjectName("Image2");
  Label1 = new QLabel(Q("0"), area);
  Label1->setObjectName("Label1");
  lay->addWidget(lb1, 0, 0, Qt::AlignHCenter);
  lay->addWidget(Image1, 1, 0);
  // The grid keeps to the section's own size, its first cell at the arrows' "0".
  lay->addWidget(StringGrid1, 1, 1, Qt::AlignLeft | Qt::AlignBottom);
  lay->addWidget(Label1, 2, 0, Qt::AlignCenter);
  lay->addWidget(Image2, 2, 1);
  lay->addWidget(lb2, 2, 2);
  auto* tools = new QVBoxLayout;
  tools->addWidget(new QLabel(Q("2D"), area));
  btnSelect = Tool(area, "btnSelect", "Выд", "Выделить");
  btnPen = Tool(area, "btnPen", "Кар", "Карандаш");
  btnFill = Tool(area, "btnFill", "Зал", "Заливка");
  btnLine = Tool(area, "btnLine", "Лин", "Линия");
  btnEraser = Tool(area, "btnEraser", "Стр", "Стерка");
  auto* group = new QButtonGroup(this);
  for (QToolButton* b : {btnSelect, btnPen, btnFill, btnLine, btnEraser}) tools->addWidget(b);
  tools->addWidget(new QLabel(Q("3D"), area));
  btnLine3D = Tool(area, "btnLine3D", "3Л", "3D - линия из одного начала");
  btnLine3Dcontunue = Tool(area, "btnLine3Dcontunue", "3П", "3D - линия с продолжением");
  btn3Dfill = Tool(area, "btn3Dfill", "3З", "3D-Заливка");
  for (QToolButton* b : {btnLine3D, btnLine3Dcontunue, btn3Dfill}) tools->addWidget(b);
  for (QToolButton* b : {btnSelect, btnPen, btnFill, btnLine, btnEraser, btnLine3D, btnLine3Dcontunue, btn3Dfill}) {
    b->setCheckable(true);
    group->addButton(b);
  }
  btnSelect->setChecked(true);
  SpeedButton4 = Tool(area, "SpeedButton4", "+", "Увеличить");
  SpeedButton5 = Tool(area, "SpeedButton5", "-", "Уменьшить");
  SpeedButton5->setEnabled(false);
  tools->addWidget(SpeedButton4);
  tools->addWidget(SpeedButton5);
  tools->addStretch(1);
  lay->addLayout(tools, 1, 2);
  lay->setRowStretch(1, 1);
  lay->setColumnStretch(1, 1);
  lbCoord = new QLabel(area);
  lbCoord->setObjectName("lbCoord");
  auto* sloy = new ClickLabel(Q("Только текущий слой"), area);
  sloy->setObjectName("lbSloy");
  lbSloy = sloy;
  lay->addWidget(lbCoord, 3, 0, 1, 3);
  lay->addWidget(lbSloy, 4, 0, 1, 3);

  QMenu* section = nullptr;
  for (QAction* a : menuBar()->actions())
    if (a->text() == Q("Сечение")) section = a->menu();
  section->addSeparator();
  mnZoomIn = section->addAction(Q("Увеличить"));
  mnZoomOut = section->addAction(Q("Уменьшить"));
  mnGridLines = section->addAction(Q("Линии сетки"));
  mnGridLines->setCheckable(true);
  mnGridLines->setChecked(true);
  section->addSeparator();
  auto* layers = new QActionGroup(this);
  mnShowPred = section->addAction(Q("Предыдущий слой"));
  mnShowNext = section->addAction(Q("Следующий слой"));
  mnShowCurrent = section->addAction(Q("Только текущий слой"));
  for (QAction* a : {mnShowPred, mnShowNext, mnShowCurrent}) {
    a->setCheckable(true);
    layers->addAction(a);
  }
  mnShowCurrent->setChecked(true);

  PopupMenu1 = new QMenu(this);
  PopupMenu1->setObjectName("PopupMenu1");
  mnCopy = PopupMenu1->addAction(Q("Клонировать выделенное.."));
  mnShapeRotate = PopupMenu1->addAction(Q("Фигура вращения из выделенного.."));
  mnDelSelected = PopupMenu1->addAction(Q("Удалить выделенное"));
  mnCurrentRegion = PopupMenu1->addAction(Q("Установить вывод тока по выделенному региону"));
  connect(PopupMenu1, &QMenu::aboutToShow, this, [this] {
    for (QAction* a : {mnCopy, mnShapeRotate, mnDelSelected, mnCurrentRegion}) a->setEnabled(SelActive());
  });

  tbEnterUout = Tool(ToolBar2, "tbEnterUout", "U", "Напряжение между текущей и другой точками");
  tbEnterUout->setCheckable(true);
  ToolBar2->addWidget(tbEnterUout);
  connect(tbEnterUout, &QToolButton::toggled, this, [this](bool on) {
    // The first cell of the voltage output is the anchor when the button goes down.
    if (!on) return;
    d_.VoltagePair[0] = AnchorCell[0], d_.VoltagePair[2] = AnchorCell[1], d_.VoltagePair[4] = AnchorCell[2];
  });

  connect(StringGrid1, &SectionGrid::MouseDown, this, &TfmOpenGL::StringGrid1MouseDown);
  connect(StringGrid1, &SectionGrid::MouseMove, this, &TfmOpenGL::StringGrid1MouseMove);
  connect(StringGrid1, &SectionGrid::MouseUp, this, &TfmOpenGL::StringGrid1MouseUp);
  for (QToolButton* b : {btnPen, btnFill, btnLine, btnEraser, btn3Dfill})
    connect(b, &QToolButton::clicked, this, &TfmOpenGL::toolChosen);
  connect(SpeedButton4, &QToolButton::clicked, this, &TfmOpenGL::SpeedButton7Click);
  connect(mnZoomIn, &QAction::triggered, this, &TfmOpenGL::SpeedButton7Click);
  connect(SpeedButton5, &QToolButton::clicked, this, &TfmOpenGL::SpeedButton6Click);
  connect(mnZoomOut, &QAction::triggered, this, &TfmOpenGL::SpeedButton6Click);
  connect(mnGridLines, &QAction::toggled, StringGrid1, &SectionGrid::SetGridLines);
  for (QAction* a : {mnShowPred, mnShowNext, mnShowCurrent})
    connect(a, &QAction::triggered, this, [this, a] { showNeighbour(a); });
  sloy->onClick = [this] {
    showNeighbour(mnShowPred->isChecked() ? mnShowNext : mnShowNext->isChecked() ? mnShowCurrent : mnShowPred);
  };
}

void TfmOpenGL::showNeighbour(QAction* item) {
  item->setChecked(true);
  lbSloy->setText(item->text());
  StringGrid1->SetNeighbour(item == mnShowPred ? SectionGrid::Neighbour::Previous
                            : item == mnShowNext ? SectionGrid::Neighbour::Next
                                                 : SectionGrid::Neighbour::Current);
}

SectionView TfmOpenGL::View() const {
  SectionView v;
  v.Axis = axis_;
  v.SliceX = SliceX, v.SliceY = SliceY, v.SliceZ = SliceZ;
  v.SizeFor(d_.Nx, d_.Ny, d_.Nz);
  return v;
}

bool TfmOpenGL::SelActive() const { return StringGrid1->Sel().Active; }

bool TfmOpenGL::cellSizes(double& dx, double& dy, double& dz, bool quiet) {
  if (!main_.cellSizes) {
    dx = dy = dz = 1;
    return true;
  }
  const std::array<std::string, 3> t = main_.cellSizes();
  double* v[3] = {&dx, &dy, &dz};
  // A zero or negative size would make the cell sides' ratio infinite.
  for (int i = 0; i < 3; ++i) {
    const std::string why = CellSizeRefusal(char('X' + i), t[size_t(i)]);
    if (why.empty() && TryStrToFloat(t[size_t(i)], *v[i])) continue;
    if (!quiet) prompter_.error("Размер ячейки " + why + ". Измените «Размер ячейки, м:» на странице «Геометрия».");
    return false;
  }
  return true;
}

void TfmOpenGL::applySides(const CellSides& s) {
  StringGrid1->SetSides(s.ColWidth, s.RowHeight);
  SpeedButton4->setEnabled(s.CanZoomIn);
  mnZoomIn->setEnabled(s.CanZoomIn);
  SpeedButton5->setEnabled(s.CanZoomOut);
}

void TfmOpenGL::fitSectionZoom(const SectionView& v, int maxWidth, int maxHeight) {
  // Only a layer the user has not zoomed since it was loaded, and never beyond cells of 16
  // pixels: the largest cells that show the whole layer.
  constexpr int LargestSide = 16;
  double dx, dy, dz;
  if (!sectionFitPending_ || !cellSizes(dx, dy, dz, true)) return;
  CellSides s{1, 1, true, false};
  for (;;) {
    const CellSides n = ZoomIn(s, axis_, dx, dy, dz);
    const QSize px = StringGrid1->FullSize(v, n.ColWidth, n.RowHeight);
    if (px.width() > maxWidth || px.height() > maxHeight || std::min(n.ColWidth, n.RowHeight) > LargestSide ||
        (n.ColWidth == s.ColWidth && n.RowHeight == s.RowHeight))
      break;
    s = n;
  }
  applySides(s);
}

void TfmOpenGL::chooseSection(QAction* item, QSpinBox* front, const char* v, const char* h,
                              const char* coord) {
  if (SpinEdit1->value() > d_.Nx || SpinEdit2->value() > d_.Ny || SpinEdit3->value() > d_.Nz)
    return;
  item->setChecked(true);
  axis_ = item == rbX ? SectionAxis::X : item == rbY ? SectionAxis::Y : SectionAxis::Z;
  GroupBox1->setVisible(true);
  lb1->setText(Q(v));
  lb2->setText(Q(h));
  lbCoord2->setText(Q(coord));
  spins_->setCurrentWidget(front);
  Redraw();
  double dx, dy, dz;
  if (!cellSizes(dx, dy, dz)) return;
  // Another plane shows another layer: unless the user chose the zoom, it is fitted anew.
  if (sectionFitPending_ && placed_ && isVisible()) {
    refitSection();
    return;
  }
  CellSides s{StringGrid1->DefaultColWidth(), StringGrid1->DefaultRowHeight(), SpeedButton4->isEnabled(),
              SpeedButton5->isEnabled()};
  applySides(RederiveSides(s, axis_, dx, dy, dz));
}

void TfmOpenGL::rbXClick() { chooseSection(rbX, SpinEdit1, "Y", "Z", "X="); }
void TfmOpenGL::rbYClick() { chooseSection(rbY, SpinEdit2, "Z", "X", "Y="); }
void TfmOpenGL::rbZClick() { chooseSection(rbZ, SpinEdit3, "Y", "X", "Z="); }

void TfmOpenGL::refitSection() {
  sectionFitPending_ = true;
  // Before the first showing the window is sized to the section then.
  if (!placed_ || !isVisible()) return;
  const SectionView v = View();
  StringGrid1->SetView(v);
  // The grid keeps to the section's size: its room is its cell of the layout.
  const QRect room = sectionLayout_->cellRect(1, 1);
  fitSectionZoom(v, room.width(), room.height());
}

bool TfmOpenGL::eventFilter(QObject* o, QEvent* e) {
  // The section panel re-sized: its layout places the grid after this event, so the refit
  // waits for it.
  if (o == GroupBox1 && e->type() == QEvent::Resize && sectionFitPending_ && placed_ && !roomRefitQueued_) {
    roomRefitQueued_ = true;
    QTimer::singleShot(0, this, &TfmOpenGL::followSectionRoom);
  }
  return QMainWindow::eventFilter(o, e);
}

void TfmOpenGL::followSectionRoom() {
  roomRefitQueued_ = false;
  if (sectionFitPending_) refitSection();
}

void TfmOpenGL::SpeedButton7Click() {
  sectionFitPending_ = false;  // the user's zoom stays until another layer is loaded
  double dx, dy, dz;
  const CellSides s{StringGrid1->DefaultColWidth(), StringGrid1->DefaultRowHeight(), true, true};
  if (cellSizes(dx, dy, dz)) applySides(ZoomIn(s, axis_, dx, dy, dz));
}

void TfmOpenGL::SpeedButton6Click() {
  sectionFitPending_ = false;
  double dx, dy, dz;
  const CellSides s{StringGrid1->DefaultColWidth(), StringGrid1->DefaultRowHeight(), true, true};
  if (cellSizes(dx, dy, dz)) applySides(ZoomOut(s, axis_, dx, dy, dz));
}

// ---- tools

bool TfmOpenGL::currentOn() const {
  return mat_.CurLayer >= 1 && mat_.CurLayer <= MaxMaterials && d_.Layers[size_t(mat_.CurLayer)].On;
}

void TfmOpenGL::toolChosen() {
  StringGrid1->SetSelection({});
}

void TfmOpenGL::SetCellMaterial(int row, int col) {
  if (!currentOn()) return;
  const Cell3 c = SliceCellToModel(View(), col, row, 0);
  if (d_.Space.inside(c[0], c[1], c[2])) d_.Space(c[0], c[1], c[2]) = uint8_t(mat_.CurLayer);
  ModelChanged(d_);
  StringGrid1->viewport()->update();
}

void TfmOpenGL::ClearCell(int row, int col) {
  const Cell3 c = SliceCellToModel(View(), col, row, 0);
  if (d_.Space.inside(c[0], c[1], c[2])) d_.Space(c[0], c[1], c[2]) = 0;
  ModelChanged(d_);
  StringGrid1->viewport()->update();
}

void TfmOpenGL::FillSection() {
  if (!currentOn()) return;
  SaveUndo();
  rv::FillSection(d_.Space, View(), PressCol, PressRow, uint8_t(mat_.CurLayer));
  ModelChanged(d_);
  Redraw();
}

void TfmOpenGL::FillVolume() {
  if (!currentOn()) return;
  SaveUndo();
  rv::FillVolume(d_.Space, d_.Nx, d_.Ny, d_.Nz, SliceCellToModel(View(), PressCol, PressRow, 0),
                 uint8_t(mat_.CurLayer));
  ModelChanged(d_);
  Redraw();
}

namespace {
RasterTarget UnitTarget(SolverData& d, int material, int divisor) {
  RasterTarget t;
  t.Space = &d.Space;
  t.Nx = d.SpaceNx, t.Ny = d.SpaceNy, t.Nz = d.SpaceNz;
  t.Divisor = divisor;
  t.Material = uint8_t(material);
  return t;
}
Point3 P(const Cell3& c) { return {double(c[0]), double(c[1]), double(c[2])}; }
}  // namespace

void TfmOpenGL::DrawSectionLine() {
  if (!currentOn()) return;
  const SectionView v = View();
  for (int c : {PressCol, ReleaseCol})
    if (c < 0 || c > v.ColCount - 1) return;
  for (int r : {PressRow, ReleaseRow})
    if (r < 0 || r > v.RowCount - 1) return;
  SaveUndo();
  RasterizeLine(UnitTarget(d_, mat_.CurLayer, RasterDivisor), P(SliceCellToModel(v, PressCol, PressRow, 0)),
                P(SliceCellToModel(v, ReleaseCol, ReleaseRow, 0)));
  ModelChanged(d_);
}

void TfmOpenGL::DrawLineFromAnchor() {
  if (!currentOn()) return;
  SaveUndo();
  RasterizeLine(UnitTarget(d_, mat_.CurLayer, RasterDivisor), P(AnchorCell), P(MouseCell));
  ModelChanged(d_);
}

void TfmOpenGL::SelectSectionCell(int col, int row) {
  AnchorRow = row, AnchorCol = col;
  AnchorCell = SliceCellToModel(View(), col, row, 0);
  StatusPanel1->setText(Q(AnchorText(AnchorCell)));
  ShowAnchorButtons();
}

void TfmOpenGL::StringGrid1MouseDown(int col, int row, bool right) {
  if (col < 0 || row < 0) return;
  if (right) {
    LastCol = col, LastRow = row;
    SelectSectionCell(col, row);
    StringGrid1->SetCurrentCell(col, row);
    if (SelActive()) {
      PopupMenu1->popup(QCursor::pos());
    } else {
      SaveUndo();
      ClearCell(row, col);
    }
    return;
  }
  const int c = StringGrid1->Col(), r = StringGrid1->Row();
  if (btnLine3D->isChecked() || btnLine3Dcontunue->isChecked()) {
    DrawLineFromAnchor();
    if (btnLine3Dcontunue->isChecked()) SelectSectionCell(c, r);
    Redraw();
    return;
  }
  SelectSectionCell(c, r);
  if (tbEnterUout->isChecked() && main_.outputs) {
    // The second cell of the voltage output: one row of the voltage table.
    d_.VoltagePair[1] = AnchorCell[0], d_.VoltagePair[3] = AnchorCell[1], d_.VoltagePair[5] = AnchorCell[2];
    tbEnterUout->setChecked(false);
    const auto& v = d_.VoltagePair;
    std::vector<std::string> row;
    for (int i : {0, 2, 4, 1, 3, 5}) row.push_back(IntToStr(v[size_t(i)]));
    row.push_back("U (" + row[0] + "," + row[1] + "," + row[2] + ";" + row[3] + "," + row[4] + "," + row[5] + ")");
    AppendRow(main_.outputs->sgVoltage, row, d_.Modified);
    tablesEdited();
  }
  LastRow = r, LastCol = c, PressCol = c, PressRow = r;
  if (btnPen->isChecked()) {
    SaveUndo();
    SetCellMaterial(r, c);
  } else if (btnFill->isChecked()) {
    FillSection();
  } else if (btn3Dfill->isChecked()) {
    FillVolume();
  } else if (btnEraser->isChecked()) {
    SaveUndo();
    ClearCell(r, c);
  }
  StrokeActive = true;
}

void TfmOpenGL::StringGrid1MouseMove(int col, int row, bool right) {
  if (right) return;
  if (StrokeActive) {
    if (col >= 0 && row >= 0 && (col != LastCol || row != LastRow)) {
      if (btnPen->isChecked()) SetCellMaterial(row, col);
      else if (btnEraser->isChecked()) ClearCell(row, col);
    }
    LastCol = col >= 0 && row >= 0 ? col : -1;
    LastRow = col >= 0 && row >= 0 ? row : -1;
  }
  if (col >= 0 && row >= 0) {
    MouseCell = SliceCellToModel(View(), col, row, 0);
    ShowCellParameters(MouseCell[0], MouseCell[1], MouseCell[2]);
    lbCoord->setText(Q(IntToStr(MouseCell[0]) + ", " + IntToStr(MouseCell[1]) + ", " + IntToStr(MouseCell[2])));
  } else {
    lbCoord->clear();
  }
  double dx = d_.Dx, dy = d_.Dy, dz = d_.Dz;
  StatusPanel1->setText(Q(DistanceText(AnchorCell, MouseCell, dx, dy, dz)));
}

void TfmOpenGL::StringGrid1MouseUp(int, int, bool right) {
  if (right || !StrokeActive) return;
  StrokeActive = false;
  ReleaseCol = LastCol, ReleaseRow = LastRow;
  LastRow = LastCol = -1;
  if (btnLine->isChecked()) DrawSectionLine();
  if (btnSelect->isChecked()) {
    // A release outside the cells selects nothing.
    SectionGrid::Selection s;
    if (PressCol != ReleaseCol && PressRow != ReleaseRow && ReleaseCol >= 0 && ReleaseRow >= 0)
      s = {true, PressCol, PressRow, ReleaseCol, ReleaseRow};
    StringGrid1->SetSelection(s);
  }
  if (!d_.CalcRunning) FindObjectBounds(d_);
  Redraw();
}

}  // namespace rv
