// Multi-select list of the user graphs; nearly every chart command asks it first.
#pragma once
#include <QDialog>
#include <vector>

class QListWidget;
class QPushButton;
class QStatusBar;

namespace rv {
class ChartModel;
class Prompter;

class TfmSelectGr : public QDialog {
  Q_OBJECT
public:
  explicit TfmSelectGr(Prompter& prompter, QWidget* parent = nullptr);

  // Fills the list from the model (repairing a file-name list out of step, with a message),
  // selects the active graph's entry and shows the dialog. True only for OK with at least
  // one entry selected ("Нет выбранных графиков" otherwise).
  bool Execute(ChartModel& m);
  // Series indices of the selected entries, in chart order.
  std::vector<int> SelectedSeries() const;

  int GraphCount = 0;
  int SelectedCount = 0;

  QListWidget* ListBox1 = nullptr;
  QPushButton* btnOK = nullptr;
  QPushButton* btnCancel = nullptr;
  QPushButton* Button1 = nullptr;  // "Инверсия выделенного"
  QPushButton* Button2 = nullptr;  // "Выделить всё"
  QStatusBar* StatusBar1 = nullptr;

public slots:
  void Button1Click();
  void Button2Click();

private:
  Prompter& prompter_;
  std::vector<int> entrySeries_;  // series index of each list entry
};

}  // namespace rv
