// The RC transforms' time constant and quantisation model ("Постоянная
// интегрирорования/ дифференцироания"), with a drawing of the circuit.
#pragma once
#include <QDialog>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace rv {

class Prompter;

class TfmChartRC : public QDialog {
  Q_OBJECT
public:
  // `timeConstant` (seconds) is written on every close whose τ field holds a number above 0.
  TfmChartRC(Prompter& prompter, double& timeConstant, QWidget* parent = nullptr);

  // Every way of closing asks here: false (the dialog stays) for a τ that is not a positive
  // number, after the message.
  bool FormCloseQuery();
  void done(int r) override;

  QLabel* Label1 = nullptr;
  QLabel* Label2 = nullptr;
  QLabel* Label3 = nullptr;
  QLabel* Label4 = nullptr;
  QLabel* Label5 = nullptr;
  QLineEdit* edTau = nullptr;
  QPushButton* OK = nullptr;
  QWidget* Image1 = nullptr;
  QGroupBox* GroupBox1 = nullptr;
  QCheckBox* cbRandomError = nullptr;
  QSpinBox* SpinEdit1 = nullptr;

private:
  Prompter& prompter_;
  double& timeConstant_;
};

}  // namespace rv
