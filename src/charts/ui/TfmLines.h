// "Линии графика": pen style, width and colour of each series.
#pragma once
#include <QDialog>

#include <functional>

#include "charts/chartmodel.h"

class QButtonGroup;
class QColorDialog;
class QComboBox;
class QLabel;
class QPushButton;
class QSpinBox;

namespace rv {

class TfmLines : public QDialog {
  Q_OBJECT
public:
  explicit TfmLines(QWidget* parent = nullptr);

  // Nothing without a series; else lists them, loads the first and shows the dialog. Every
  // change goes to the model at once and `changed` redraws the chart.
  void Execute(ChartModel& m, std::function<void()> changed);

  QComboBox* ComboBox1 = nullptr;
  QButtonGroup* RadioGroup1 = nullptr;  // ids: PenStyle values
  QSpinBox* SpinEdit1 = nullptr;
  QLabel* Image1 = nullptr;
  QColorDialog* ColorD = nullptr;
  QPushButton* btnClose = nullptr;

  void ComboBox1Change();
  void Image1DblClick();

protected:
  bool eventFilter(QObject* o, QEvent* e) override;

private:
  ChartSeries* Selected();
  void ShowSwatch();
  void Changed();

  ChartModel* model_ = nullptr;
  std::function<void()> changed_;
  int SelectedSeries = -1;
  bool loading_ = false;
};

}  // namespace rv
