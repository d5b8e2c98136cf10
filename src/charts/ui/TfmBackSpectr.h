// Options of the signal rebuilt from a spectrum ("Обратное преобразование Фурье"). Made
// once with the chart window; the spectrum command's inverse check fills it without
// showing it, and the next use shows what it last held.
#pragma once
#include <QDialog>

#include <memory>

#include "charts/chartmodel.h"

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
  // The frequency unit of the graphs' X: known (0..3) for a spectrum made here, shown and
  // locked; -1 for any other, and then the dialog asks.
  void ShowFreqUnit(int known);
  int FreqUnit() const;
  // "До какого времени" from the phase graph's frequency step: 1/df in the unit shown, and
  // again whenever the unit is changed while the field still holds that value.
  void ShowImpliedSpan(const ChartSeries& phase);
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
  QComboBox* cbFreq = nullptr;  // the unit of the spectrum graphs' X
  QPushButton* BitBtn1 = nullptr;
  QPushButton* BitBtn2 = nullptr;

private:
  void SyncDivisorFields();
  void UnitChanged();
  Prompter& msgs_;
  bool known_ = false;
  std::unique_ptr<ChartSeries> phase_;  // the phase graph the span was worked out from
  QString impliedSpan_;                 // the text the span was last set to
};

}  // namespace rv
