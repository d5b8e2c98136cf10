// Options of the signal rebuilt from a spectrum ("Обратное преобразование Фурье"). Made
// once with the chart window; the spectrum command's inverse check fills it without
// showing it, and the next use shows what it last held.
#pragma once
#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace rv {

class Prompter;

class TfmBackSpectr : public QDialog {
  Q_OBJECT
public:
  explicit TfmBackSpectr(Prompter& msgs, QWidget* parent = nullptr);
  void FormCreate();
  // What the modulus graph was divided by: known (> 0) for a spectrum made here, shown and
  // locked; 0 for any other, and then the dialog asks.
  void ShowDivisor(double known);
  // The divisor the answer gives: T/2 for absolute amplitudes of a record T seconds long,
  // else 1 (a spectral density). Valid after OK.
  double AskedDivisor() const;
  // OK with a field that is not a number: the message, and the dialog stays open with that
  // field selected.
  void done(int r) override;

  QLabel* Label3 = nullptr;
  QLineEdit* edTMin = nullptr;
  QLineEdit* edTMax = nullptr;
  QLineEdit* edNPoint = nullptr;
  QComboBox* cbTime = nullptr;
  QCheckBox* CheckBox1 = nullptr;
  QCheckBox* cbAbsolute = nullptr;  // the modulus holds amplitudes, divided by T/2
  QLineEdit* edTRecord = nullptr;   // T, seconds
  QLabel* lbDivisorKnown = nullptr;
  QPushButton* BitBtn1 = nullptr;
  QPushButton* BitBtn2 = nullptr;

private:
  void SyncDivisorFields();
  Prompter& msgs_;
  bool known_ = false;
};

}  // namespace rv
