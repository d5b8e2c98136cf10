// The two graphs and the X point of a splice.
#pragma once
#include <QDialog>

class QLineEdit;
class QPushButton;
class QSpinBox;

namespace rv {

class TfmSelectTwoGr : public QDialog {
  Q_OBJECT
public:
  explicit TfmSelectTwoGr(QWidget* parent = nullptr);
  // Both numbers run from 1 to the number of series; true on OK.
  bool Execute(int seriesCount);

  QSpinBox* SpinEdit1 = nullptr;  // first graph (left), 1-based
  QSpinBox* SpinEdit2 = nullptr;  // second graph (right), 1-based
  QLineEdit* Edit1 = nullptr;     // the point on the X axis
  QPushButton* btnOK = nullptr;
  QPushButton* btnCancel = nullptr;
};

}  // namespace rv
