#include "editor/ui/TfmLayers.h"

#include <QColorDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

#include "editor/modelstore.h"
#include "editor/ui/TfmCalculate.h"
#include "editor/ui/TfmOpenGL.h"
#include "platform/prompter.h"
#include "platform/widgets.h"
#include "solver/solverdata.h"

namespace rv {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }
QColor ToQColor(uint32_t c) { return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF)); }
uint32_t FromQColor(const QColor& c) { return uint32_t(c.red()) | uint32_t(c.green()) << 8 | uint32_t(c.blue()) << 16; }

// The colour column: the material's colour, a frame 3 px wide in the inverse colour round
// the current material, and the material's number.
class ColorDelegate : public QStyledItemDelegate {
public:
  ColorDelegate(TfmOpenGL& editor, QObject* parent) : QStyledItemDelegate(parent), editor_(editor) {}
  void paint(QPainter* p, const QStyleOptionViewItem& o, const QModelIndex& i) const override {
    const int m = i.row() + 1;
    if (m < 1 || m > MaxMaterials) return;
    const uint32_t c = editor_.Data().Layers[size_t(m)].Color;
    p->save();
    p->fillRect(o.rect, ToQColor(c));
    if (m == editor_.CurLayer()) {
      p->setPen(QPen(ToQColor(~c & 0xFFFFFF), 3));
      p->drawRect(o.rect.adjusted(1, 1, -2, -2));
    }
    p->setPen(ToQColor(~c & 0xFFFFFF));
    p->drawText(o.rect.topLeft() + QPoint(5, 2 + o.fontMetrics.ascent()), QString::number(m));
    p->restore();
  }

private:
  TfmOpenGL& editor_;
};

}  // namespace

TfmLayers::TfmLayers(TfmOpenGL& editor, Prompter& prompter, TfmCalculate* calculator,
                     QWidget* parent)
    : QDialog(parent), editor_(editor), prompter_(prompter), calculator_(calculator) {
  setObjectName("fmLayers");
  setWindowTitle(Q("Параметры материалов"));
  resize(900, 400);
  auto* lay = new QVBoxLayout(this);
  StringGrid1 = new QTableWidget(1, LayerColumnCount, this);
  StringGrid1->setObjectName("StringGrid1");
  StringGrid1->verticalHeader()->hide();
  StringGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
  StringGrid1->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  StringGrid1->setItemDelegateForColumn(ColColor, new ColorDelegate(editor_, StringGrid1));
  lay->addWidget(StringGrid1, 1);
  auto* buttons = new QHBoxLayout;
  btnSave = MakeButton(this, "Ok", "btnSave");
  btnAddLayer = MakeButton(this, "Новый матер.", "btnAddLayer");
  BitBtn1 = MakeButton(this, "Удалить матер.", "BitBtn1");
  BitBtn2 = MakeButton(this, "Удалить пустые", "BitBtn2");
  Button1 = MakeButton(this, "Калькуляция", "Button1");
  for (QPushButton* b : {btnSave, btnAddLayer, BitBtn1, BitBtn2, Button1}) buttons->addWidget(b);
  lay->addLayout(buttons);

  chooseColor_ = [this](uint32_t& c) {
    const QColor q = QColorDialog::getColor(ToQColor(c), this);
    if (!q.isValid()) return false;
    c = FromQColor(q);
    return true;
  };
  connect(btnSave, &QPushButton::clicked, this, &QDialog::accept);  // done() transfers
  connect(btnAddLayer, &QPushButton::clicked, this, &TfmLayers::btnAddLayerClick);
  connect(BitBtn1, &QPushButton::clicked, this, &TfmLayers::BitBtn1Click);
  connect(BitBtn2, &QPushButton::clicked, this, &TfmLayers::BitBtn2Click);
  connect(Button1, &QPushButton::clicked, this, &TfmLayers::Button1Click);
  connect(StringGrid1, &QTableWidget::cellClicked, this, [this](int r, int c) {
    if (c == ColColor || c == ColOn) SelectCell(c, r + 1);
    else StringGrid1Click();
  });
  connect(StringGrid1, &QTableWidget::currentCellChanged, this, [this](int r, int c) {
    if (!filling_ && r >= 0 && c != ColColor && c != ColOn) SelectCell(c, r + 1);
  });
  // Any edit typed into the table marks the project modified.
  connect(StringGrid1, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* it) {
    if (filling_) return;
    editor_.Data().Modified = 1;
    if (it->column() == ColName) showTitle();
  });
  FormActivate();
  fitColumnsToTitles();
}

void TfmLayers::fitColumnsToTitles() {
  // Every title whole, in bold too (the current cell's column shows its title in bold), and
  // the window wide enough for all the columns while the screen allows.
  QHeaderView* h = StringGrid1->horizontalHeader();
  QFont bold = h->font();
  bold.setBold(true);
  const QFontMetrics plain(h->font()), heavy(bold);
  int total = 0;
  for (int c = 0; c < LayerColumnCount; ++c) {
    const QString t = Q(LayerColumnTitles()[size_t(c)]);
    const int extra = std::max(0, heavy.horizontalAdvance(t) - plain.horizontalAdvance(t));
    h->resizeSection(c, h->sectionSizeHint(c) + extra);
    total += h->sectionSize(c);
  }
  const QMargins m = layout()->contentsMargins();
  int w = total + 2 * StringGrid1->frameWidth() + StringGrid1->verticalScrollBar()->sizeHint().width() +
          m.left() + m.right();
  if (const QScreen* s = screen()) w = std::min(w, s->availableGeometry().width());
  resize(std::max(width(), w), height());
}

void TfmLayers::showEvent(QShowEvent* e) {
  // The materials may have changed since the table was last filled (a new or loaded project,
  // an undo, an import): OK must not write an old table back over them.
  FormActivate();
  QDialog::showEvent(e);
}

void TfmLayers::FormActivate() {
  filling_ = true;
  tableValid_ = false;
  reported_ = CellError{};
  reportedText_.clear();
  const MaterialState& m = editor_.Materials();
  const auto& titles = LayerColumnTitles();
  QStringList heads;
  for (const char* t : titles) heads << Q(t);
  StringGrid1->setRowCount(m.LayerCount);
  StringGrid1->setHorizontalHeaderLabels(heads);
  for (int i = 1; i <= m.LayerCount; ++i) {
    const auto texts = LayerRowTexts(editor_.Data().Layers[size_t(i)]);
    for (int c = 0; c < LayerColumnCount; ++c) {
      auto* item = new QTableWidgetItem(Q(texts[size_t(c)]));
      // Colour and on/off change at a click, never through an edit cursor.
      if (c == ColColor || c == ColOn) item->setFlags(Qt::ItemIsEnabled);
      StringGrid1->setItem(i - 1, c, item);
    }
  }
  StringGrid1->setCurrentCell(m.CurLayer - 1, ColName);
  showTitle();
  filling_ = false;
}

namespace {
LayerRows RowsOf(QTableWidget* g) {
  LayerRows rows(size_t(g->rowCount()));
  for (int r = 0; r < g->rowCount(); ++r)
    for (int c = 0; c < LayerColumnCount; ++c)
      if (QTableWidgetItem* it = g->item(r, c)) rows[size_t(r)][size_t(c)] = it->text().toStdString();
  return rows;
}
}  // namespace

void TfmLayers::selectMaterialCell(int col, int row) {
  filling_ = true;
  StringGrid1->setCurrentCell(row - 1, col);
  filling_ = false;
}

void TfmLayers::reportBadCell(const CellError& e, const LayerRows& rows, const char* message, bool always) {
  const QTableWidgetItem* it = StringGrid1->item(e.row - 1, e.col);
  const std::string text = it ? it->text().toStdString() : std::string();
  const bool same = e.col == reported_.col && e.row == reported_.row && text == reportedText_;
  reported_ = e;
  reportedText_ = text;
  if (same && !always) return;
  selectMaterialCell(e.col, e.row);
  prompter_.warning(LayerCellRefusal(message, e, rows));
}

bool TfmLayers::btnSaveClick() {
  const LayerRows rows = RowsOf(StringGrid1);
  const CellError e = ApplyLayerRows(rows, true, editor_.Data().Layers);
  tableValid_ = e.ok();
  if (!tableValid_) {
    reportBadCell(e, rows, "Устранить ошибки!", true);
    return false;
  }
  reported_ = CellError{};
  if (materialsChanged_) materialsChanged_();
  return true;
}

void TfmLayers::StringGrid1Click() {
  const LayerRows rows = RowsOf(StringGrid1);
  const CellError e = ApplyLayerRows(rows, false, editor_.Data().Layers);
  if (e.ok()) {
    reported_ = CellError{};
    return;
  }
  reportBadCell(e, rows, "Ошибка!", false);
}

void TfmLayers::showTitle() {
  // A name is taken as it is typed (no text is refused): the caption shows it at once.
  const int cur = editor_.CurLayer();
  if (cur < 1 || cur > MaxMaterials) return;
  const QTableWidgetItem* it = StringGrid1->item(cur - 1, ColName);
  setWindowTitle(Q("Текущий материал: ") + (it ? it->text() : Q(editor_.Data().Layers[size_t(cur)].Name)));
}

void TfmLayers::SelectCell(int col, int row) {
  MaterialState& m = editor_.Materials();
  if (row < 1 || row > m.LayerCount) return;
  m.CurLayer = row;
  tLayer& L = editor_.Data().Layers[size_t(row)];
  if (col == ColColor) {
    btnColorClick();
  } else if (col == ColOn) {
    L.On = L.On ? 0 : 1;
    editor_.Data().Modified = 1;
    ModelChanged(editor_.Data());
    filling_ = true;
    if (QTableWidgetItem* it = StringGrid1->item(row - 1, ColOn)) it->setText(Q(OnText(L.On)));
    filling_ = false;
  }
  showTitle();
  StringGrid1->viewport()->update();
}

void TfmLayers::btnColorClick() {
  tLayer& L = editor_.Data().Layers[size_t(editor_.CurLayer())];
  uint32_t c = L.Color;
  if (!chooseColor_ || !chooseColor_(c)) return;
  L.Color = c;
  editor_.Data().Modified = 1;
  StringGrid1->viewport()->update();
}

void TfmLayers::btnAddLayerClick() {
  if (!btnSaveClick()) return;
  if (!AddLayer(editor_.Data(), editor_.Materials())) {
    prompter_.warning(TooManyLayers);
    return;
  }
  FormActivate();
}

void TfmLayers::BitBtn1Click() {
  SolverData& d = editor_.Data();
  MaterialState& m = editor_.Materials();
  if (m.LayerCount <= 1) return;
  if (MaterialUsed(d, m.CurLayer)) {
    if (prompter_.question("Удалить материал, который содержится в проекте?",
                           PromptButton::Ok | PromptButton::Cancel) != PromptButton::Ok)
      return;
    editor_.SaveUndo();
  }
  DeleteCurrentLayer(d, m);
  FormActivate();
}

void TfmLayers::BitBtn2Click() {
  DeleteUnusedLayers(editor_.Data(), editor_.Materials());
  FormActivate();
}

void TfmLayers::Button1Click() {
  if (calculator_) ExecOver(*calculator_, this);
}

void TfmLayers::done(int r) {
  // Leaving by "Ok" or the close box re-applies the table; a wrong cell keeps it open.
  if (!btnSaveClick()) return;
  QDialog::done(r);
  // However the window was opened, the editor shows the materials as they are now.
  editor_.FillMaterialCombo();
  editor_.Redraw();
}

}  // namespace rv
