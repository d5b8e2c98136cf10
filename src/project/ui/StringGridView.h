// A table view over one string grid of the core. Row 0 of the grid (the title row) is the
// view's header; grid row r is view row r-1. The grid stays the only store: edits go
// straight into it and mark the project modified, and reload() shows it again after the
// core has changed it.
#pragma once
#include <QAbstractTableModel>
#include <QTableView>

#include <functional>
#include <string>

#include "project/stringgrid.h"

class QHBoxLayout;
class QPushButton;
class QTabWidget;

namespace rv {

class Prompter;

class StringGridModel : public QAbstractTableModel {
  Q_OBJECT
public:
  StringGridModel(StringGrid& grid, ModifiedFlag& modified, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation o, int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

  StringGrid& grid() { return grid_; }
  ModifiedFlag& modified() { return modified_; }
  void reload();
  // The core changed one cell (grid coordinates).
  void cellChanged(int col, int row);

private:
  StringGrid& grid_;
  ModifiedFlag& modified_;
};

class StringGridView : public QTableView {
  Q_OBJECT
public:
  StringGridView(StringGrid& grid, ModifiedFlag& modified, QWidget* parent = nullptr);

  StringGrid& grid() { return model_->grid(); }
  StringGridModel* gridModel() { return model_; }
  // Shows the grid again: rows, texts, enabled state and current cell.
  void reload();
  // Column widths in pixels, from column 0.
  void setColumnWidths(std::initializer_list<int> widths);
  // Asked when a cell (grid coordinates) is clicked, or Space is pressed on a column of
  // cycleColumns; answering false keeps the current cell and opens no editor (the handler
  // may change the cell). Arrow keys only move the cursor.
  std::function<bool(int col, int row)> selectCell;
  // Columns whose letter steps through its values on a click or Space.
  QList<int> cycleColumns;

protected:
  void mousePressEvent(QMouseEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

private:
  bool askSelect(const QModelIndex& index);
  StringGridModel* model_;
};

// Asks "Удалить все" and on Yes removes every data row; nothing is asked for an empty table.
void ClearGridAsk(StringGrid& g, ModifiedFlag& modified, Prompter& prompter);

// A page of a table window's tabs: the grid's view fills it above a row for the page's
// buttons, which the caller fills. Returns the view; the row comes back in `buttons`.
StringGridView* AddGridPage(QTabWidget* tabs, const QString& caption, StringGrid& g, ModifiedFlag& modified,
                            std::initializer_list<int> widths, QHBoxLayout*& buttons);

// The row buttons of a table page: `add` appends a row, `del` removes the current one, `clear`
// asks and empties the table; the view shows the grid again after each.
void ConnectRowButtons(StringGridView* view, QPushButton* add, QPushButton* del, QPushButton* clear,
                       Prompter& prompter);

}  // namespace rv
