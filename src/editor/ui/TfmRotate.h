// The turn dialog shared by rotate and body of revolution: the axis, the centre on the two
// turned axes and (for rotate) the angle.
#pragma once
#include <QDialog>

#include "editor/section.h"

class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QSpinBox;

namespace rv {

class TfmRotate : public QDialog {
  Q_OBJECT
public:
  explicit TfmRotate(QWidget* parent = nullptr);
  // The model's node counts: the centre fields' maxima follow the axis choice.
  void SetGrid(int nx, int ny, int nz);
  SectionAxis Axis() const;
  // The angle in radians.
  double Angle() const;

  QGroupBox* RadioGroup1 = nullptr;  // "Ось вращения"
  QRadioButton* AxisItems[3] = {};
  QLabel *lbC1 = nullptr, *lbC2 = nullptr;
  QSpinBox *SpinEdit1 = nullptr, *SpinEdit2 = nullptr, *SpinEdit3 = nullptr;
  QPushButton* Button3 = nullptr;  // "Центр объема"
  QGroupBox* GroupBox2 = nullptr;  // the angle
  QRadioButton *RadioButton1 = nullptr, *RadioButton2 = nullptr, *RadioButton3 = nullptr,
               *RadioButton4 = nullptr;

protected:
  void showEvent(QShowEvent* e) override;

private:
  void axisChanged();
  int n_[3] = {1, 1, 1};
};

}  // namespace rv
