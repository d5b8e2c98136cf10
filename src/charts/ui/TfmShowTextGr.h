// "Исходный текст": a graph's points as an editable table.
#pragma once
#include <QDialog>

#include "charts/chartmodel.h"

class QPushButton;
class QTableWidget;

namespace rv {

class Prompter;

class TfmShowTextGr : public QDialog {
  Q_OBJECT
public:
  TfmShowTextGr(Prompter& msgs, QWidget* parent = nullptr);

  // Shows the points of series `index` (refused with a message above 10000 points); true
  // when "OK" replaced them by the table's rows.
  bool Execute(ChartModel& m, int index);

  QTableWidget* ValueListEditor1 = nullptr;  // Insert adds a row, Ctrl+Delete removes one
  QPushButton* Button1 = nullptr;            // "OK"
  QPushButton* Button2 = nullptr;            // "Отмена"

  void Button1Click();

protected:
  void keyPressEvent(QKeyEvent* e) override;

private:
  Prompter& msgs_;
  ChartModel* model_ = nullptr;
  int ShownSeries = -1;
};

}  // namespace rv
