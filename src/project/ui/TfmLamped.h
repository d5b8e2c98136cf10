// "Сосредоточенные элементы": the five tables of lumped elements, one page each.
#pragma once
#include <QDialog>

#include "project/tables.h"

class QPushButton;
class QTabWidget;

namespace rv {

struct SolverData;
class Prompter;
class StringGridView;

class TfmLamped : public QDialog {
  Q_OBJECT
public:
  TfmLamped(SolverData& data, LampedTables& tables, Prompter& prompter, QWidget* parent = nullptr);

  // Row operations on one of this window's tables; the view follows.
  void AddGridRow(StringGrid& g);
  void DeleteGridRow(StringGrid& g);
  void ClearGridAsk(StringGrid& g);
  void ClearGrid(StringGrid& g);
  // Shows the tables again after the project reader or the editor changed them.
  void RefreshFromTables();

  // Direction and polarity cells cycle on a click instead of opening for editing.
  bool sgResistorsSelectCell(StringGridView* view, int col, int row);

  QTabWidget* PageControl1 = nullptr;
  StringGridView* sgResistors = nullptr;
  StringGridView* sgCapacitors = nullptr;
  StringGridView* sgSourses = nullptr;
  StringGridView* sgRazraydnic = nullptr;
  StringGridView* sgInductor = nullptr;
  // "Новая строка", "Удалить текущую строку", "Очистить всё" of each page; "Закрыть".
  QPushButton *Button1 = nullptr, *Button2 = nullptr, *Button3 = nullptr, *Button4 = nullptr,
              *Button5 = nullptr, *Button6 = nullptr, *Button7 = nullptr, *Button8 = nullptr,
              *Button9 = nullptr, *Button10 = nullptr, *Button11 = nullptr, *Button12 = nullptr,
              *Button13 = nullptr, *Button14 = nullptr, *Button15 = nullptr, *Button16 = nullptr;

protected:
  void showEvent(QShowEvent* e) override;

private:
  // Shows `g` again when it is one of this window's tables.
  void reloadViewOf(const StringGrid& g);
  StringGridView* addPage(const QString& caption, StringGrid& g, std::initializer_list<int> widths,
                          QPushButton*& addBtn, const char* addName, QPushButton*& delBtn,
                          const char* delName, QPushButton*& clearBtn, const char* clearName);

  SolverData& d_;
  LampedTables& t_;
  Prompter& prompter_;
};

}  // namespace rv
