// "Точки вывода": what a run records (probe points, current regions, voltage lines,
// far-field points) and the output options.
#pragma once
#include <QDialog>

#include "project/tables.h"

class QCheckBox;
class QPushButton;
class QSpinBox;
class QTabWidget;

namespace rv {

struct SolverData;
class Prompter;
class StringGridView;

class TfmOutPoint : public QDialog {
  Q_OBJECT
public:
  TfmOutPoint(SolverData& data, OutPointTables& tables, Prompter& prompter, QWidget* parent = nullptr);

  // Shows the tables and options again after the project reader or the editor changed them.
  void RefreshFromTables();
  // The probe direction cycles X, Y, Z, empty on a click.
  bool sgOutPointSelectCell(int col, int row);

  QSpinBox* seOutputRate = nullptr;
  QCheckBox* cbShowGr = nullptr;
  QCheckBox* cbShowInput = nullptr;
  QCheckBox* cbNoWriteFile = nullptr;
  QTabWidget* PageControl1 = nullptr;
  StringGridView* sgOutPoint = nullptr;
  StringGridView* sgCurrent = nullptr;
  StringGridView* sgVoltage = nullptr;
  StringGridView* sgFarPoints = nullptr;
  // Per page: "Закрыть", "Новая строка", "Удалить", "Очистить всё".
  QPushButton *Button1 = nullptr, *Button2 = nullptr, *Button3 = nullptr, *Button4 = nullptr,
              *Button5 = nullptr, *Button6 = nullptr, *Button7 = nullptr, *Button8 = nullptr,
              *Button9 = nullptr, *Button10 = nullptr, *Button11 = nullptr, *Button12 = nullptr,
              *Button13 = nullptr, *Button14 = nullptr, *Button15 = nullptr, *Button16 = nullptr;

protected:
  void showEvent(QShowEvent* e) override;

private:
  StringGridView* addPage(const QString& caption, StringGrid& g, std::initializer_list<int> widths,
                          QPushButton*& closeBtn, const char* closeName, QPushButton*& addBtn,
                          const char* addName, QPushButton*& delBtn, const char* delName,
                          QPushButton*& clearBtn, const char* clearName);
  void optionsChanged();

  SolverData& d_;
  OutPointTables& t_;
  Prompter& prompter_;
};

}  // namespace rv
