#include "editor/ui/TfmRotate.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <numbers>

#include "editor/ui/DialogKit.h"

namespace rv {

namespace {
QString Q(const char* s) { return QString::fromUtf8(s); }

// The two turned axes' model indices (0 x, 1 y, 2 z) in the order of the centre fields.
void CentreAxes(SectionAxis a, int& i1, int& i2) {
  i1 = a == SectionAxis::X ? 1 : 0;
  i2 = a == SectionAxis::Z ? 1 : 2;
}
}  // namespace

TfmRotate::TfmRotate(QWidget* parent) : QDialog(parent) {
  setObjectName("fmRotate");
  auto* top = new QVBoxLayout(this);
  RadioGroup1 = new QGroupBox(Q("Ось вращения"), this);
  RadioGroup1->setObjectName("RadioGroup1");
  auto* al = new QVBoxLayout(RadioGroup1);
  const char* axes[3] = {"Параллельно оси X", "Параллельно оси Y", "Параллельно оси Z"};
  for (int i = 0; i < 3; ++i) {
    AxisItems[i] = new QRadioButton(Q(axes[i]), RadioGroup1);
    al->addWidget(AxisItems[i]);
    connect(AxisItems[i], &QRadioButton::toggled, this, [this](bool on) {
      if (on) axisChanged();
    });
  }
  top->addWidget(RadioGroup1);
  auto* centre = new QGroupBox(Q("Координаты центра вращения"), this);
  auto* cl = new QGridLayout(centre);
  lbC1 = new QLabel(centre);
  lbC2 = new QLabel(centre);
  SpinEdit1 = NamedSpin(centre, "SpinEdit1", 1, 1000, 1);
  SpinEdit2 = NamedSpin(centre, "SpinEdit2", 1, 1000, 1);
  Button3 = new QPushButton(Q("Центр объема"), centre);
  cl->addWidget(lbC1, 0, 0);
  cl->addWidget(SpinEdit1, 0, 1);
  cl->addWidget(lbC2, 1, 0);
  cl->addWidget(SpinEdit2, 1, 1);
  cl->addWidget(Button3, 2, 0, 1, 2);
  connect(Button3, &QPushButton::clicked, this, [this] {
    int i1, i2;
    CentreAxes(Axis(), i1, i2);
    SpinEdit1->setValue(n_[i1] / 2);
    SpinEdit2->setValue(n_[i2] / 2);
  });
  top->addWidget(centre);
  GroupBox2 = new QGroupBox(Q("Угол поворота, градусы"), this);
  GroupBox2->setObjectName("GroupBox2");
  auto* gl = new QGridLayout(GroupBox2);
  RadioButton1 = new QRadioButton(Q("180"), GroupBox2);
  RadioButton2 = new QRadioButton(Q("90"), GroupBox2);
  RadioButton3 = new QRadioButton(Q("45"), GroupBox2);
  RadioButton4 = new QRadioButton(Q("Произвольный:"), GroupBox2);
  SpinEdit3 = NamedSpin(GroupBox2, "SpinEdit3", -360000, 360000, 1);
  gl->addWidget(RadioButton1, 0, 0);
  gl->addWidget(RadioButton2, 1, 0);
  gl->addWidget(RadioButton3, 2, 0);
  gl->addWidget(RadioButton4, 3, 0);
  gl->addWidget(SpinEdit3, 3, 1);
  RadioButton1->setChecked(true);
  SpinEdit3->setVisible(false);
  connect(RadioButton4, &QRadioButton::toggled, SpinEdit3, &QWidget::setVisible);
  top->addWidget(GroupBox2);
  top->addWidget(OkCancelButtons(this));
  AxisItems[0]->setChecked(true);
}

void TfmRotate::SetGrid(int nx, int ny, int nz) {
  n_[0] = nx, n_[1] = ny, n_[2] = nz;
  axisChanged();
}

SectionAxis TfmRotate::Axis() const {
  return AxisItems[1]->isChecked() ? SectionAxis::Y : AxisItems[2]->isChecked() ? SectionAxis::Z : SectionAxis::X;
}

double TfmRotate::Angle() const {
  constexpr double pi = std::numbers::pi;
  return RadioButton1->isChecked()   ? pi
         : RadioButton2->isChecked() ? pi / 2
         : RadioButton3->isChecked() ? pi / 4
                                     : SpinEdit3->value() * pi / 180;
}

void TfmRotate::axisChanged() {
  int i1, i2;
  CentreAxes(Axis(), i1, i2);
  const char* names[3] = {"X=", "Y=", "Z="};
  lbC1->setText(Q(names[i1]));
  lbC2->setText(Q(names[i2]));
  SpinEdit1->setMaximum(std::max(1, n_[i1]));
  SpinEdit2->setMaximum(std::max(1, n_[i2]));
}

void TfmRotate::showEvent(QShowEvent* e) {
  QDialog::showEvent(e);
  axisChanged();
}

}  // namespace rv
