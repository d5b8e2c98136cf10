#include "project/ui/StringGridView.h"

#include <algorithm>

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPushButton>
#include <QStyle>
#include <QTabWidget>
#include <QVBoxLayout>

#include "platform/prompter.h"

namespace rv {

StringGridModel::StringGridModel(StringGrid& grid, ModifiedFlag& modified, QObject* parent)
    : QAbstractTableModel(parent), grid_(grid), modified_(modified) {}

int StringGridModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : grid_.RowCount() - 1;
}

int StringGridModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : grid_.ColCount();
}

QVariant StringGridModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole)) return {};
  return QString::fromStdString(grid_.Cells(index.column(), index.row() + 1));
}

QVariant StringGridModel::headerData(int section, Qt::Orientation o, int role) const {
  if (role != Qt::DisplayRole) return {};
  if (o == Qt::Horizontal) return QString::fromStdString(grid_.Cells(section, 0));
  return QString::number(section + 1);
}

Qt::ItemFlags StringGridModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}

bool StringGridModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (!index.isValid() || role != Qt::EditRole) return false;
  const std::string text = value.toString().toStdString();
  const int r = index.row() + 1;
  if (!grid_.IsDataRow(r)) return false;
  if (grid_.Cells(index.column(), r) == text) return true;
  grid_.SetCell(index.column(), r, text);
  modified_ = 1;
  emit dataChanged(index, index);
  return true;
}

void StringGridModel::reload() {
  beginResetModel();
  endResetModel();
}

void StringGridModel::cellChanged(int col, int row) {
  if (!grid_.IsDataRow(row) || col < 0 || col >= grid_.ColCount()) return;
  const QModelIndex i = index(row - 1, col);
  emit dataChanged(i, i);
}

StringGridView::StringGridView(StringGrid& grid, ModifiedFlag& modified, QWidget* parent)
    : QTableView(parent), model_(new StringGridModel(grid, modified, this)) {
  setObjectName(QString::fromStdString(grid.Name()));
  setModel(model_);
  verticalHeader()->hide();
  verticalHeader()->setDefaultSectionSize(18);
  verticalHeader()->setMinimumSectionSize(18);
  horizontalHeader()->setHighlightSections(false);
  setSelectionMode(QAbstractItemView::ContiguousSelection);
  setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                  QAbstractItemView::AnyKeyPressed | QAbstractItemView::SelectedClicked);
  reload();
}

void StringGridView::reload() {
  model_->reload();
  StringGrid& g = grid();
  setEnabled(g.Enabled());
  if (g.IsDataRow(g.Row())) {
    const QModelIndex i = model_->index(g.Row() - 1, g.Col());
    setCurrentIndex(i);
    scrollTo(i);
  }
}

void StringGridView::setColumnWidths(std::initializer_list<int> widths) {
  // Never narrower than the column's title at the font in use.
  int c = 0;
  for (int w : widths) {
    const QString title = model_->headerData(c, Qt::Horizontal).toString();
    const int need = horizontalHeader()->fontMetrics().horizontalAdvance(title) +
                     2 * style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, this) + 4;
    setColumnWidth(c, std::max(w, need));
    ++c;
  }
}

bool StringGridView::askSelect(const QModelIndex& index) {
  if (!index.isValid() || !selectCell) return true;
  const int col = index.column(), row = index.row() + 1;
  const bool can = selectCell(col, row);
  model_->cellChanged(col, row);
  viewport()->update();
  return can;
}

void StringGridView::mousePressEvent(QMouseEvent* e) {
  if (e->button() == Qt::LeftButton && !askSelect(indexAt(e->position().toPoint()))) {
    e->accept();
    return;
  }
  QTableView::mousePressEvent(e);
}

void StringGridView::mouseDoubleClickEvent(QMouseEvent* e) {
  // The second click of a double click cycles a letter once more, as a second click would.
  if (e->button() == Qt::LeftButton && !askSelect(indexAt(e->position().toPoint()))) {
    e->accept();
    return;
  }
  QTableView::mouseDoubleClickEvent(e);
}

void StringGridView::keyPressEvent(QKeyEvent* e) {
  // Space steps a letter column as a click does, instead of opening the editor on it.
  const QModelIndex cur = currentIndex();
  if (e->key() == Qt::Key_Space && e->modifiers() == Qt::NoModifier && cur.isValid() &&
      state() != EditingState && cycleColumns.contains(cur.column())) {
    askSelect(cur);
    e->accept();
    return;
  }
  QTableView::keyPressEvent(e);
}

void StringGridView::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
  QTableView::currentChanged(current, previous);
  // A reset of the model clears the view's current cell; the grid keeps its own.
  if (current.isValid()) grid().SetCurrent(current.column(), current.row() + 1);
}

void ClearGridAsk(StringGrid& g, ModifiedFlag& modified, Prompter& prompter) {
  if (g.RowCount() < 2) return;
  if (prompter.question("Удалить все", PromptButton::Yes | PromptButton::No) != PromptButton::Yes) return;
  ClearGrid(g, modified);
}

StringGridView* AddGridPage(QTabWidget* tabs, const QString& caption, StringGrid& g, ModifiedFlag& modified,
                            std::initializer_list<int> widths, QHBoxLayout*& buttons) {
  // Every page's caption in view: the window grows to the tabs rather than hiding some
  // behind scroll arrows.
  tabs->setUsesScrollButtons(false);
  auto* page = new QWidget(tabs);
  auto* lay = new QVBoxLayout(page);
  auto* view = new StringGridView(g, modified, page);
  view->setColumnWidths(widths);
  lay->addWidget(view, 1);
  buttons = new QHBoxLayout;
  lay->addLayout(buttons);
  tabs->addTab(page, caption);
  return view;
}

void ConnectRowButtons(StringGridView* view, QPushButton* add, QPushButton* del, QPushButton* clear,
                       Prompter& prompter) {
  QObject::connect(add, &QPushButton::clicked, view, [view] {
    AddGridRow(view->grid(), view->gridModel()->modified());
    view->reload();
  });
  QObject::connect(del, &QPushButton::clicked, view, [view] {
    DeleteGridRow(view->grid(), view->gridModel()->modified());
    view->reload();
  });
  QObject::connect(clear, &QPushButton::clicked, view, [view, &prompter] {
    ClearGridAsk(view->grid(), view->gridModel()->modified(), prompter);
    view->reload();
  });
}

}  // namespace rv
