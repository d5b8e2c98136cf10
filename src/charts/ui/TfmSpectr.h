// Options of the spectrum command ("Спектр выбранных графиков, Гц"). Made once with the
// chart window; its fields keep their values between uses and are saved with the chart
// settings.
#pragma once
#include <QDialog>

#include "charts/chartsettings.h"
#include "charts/spectrum.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QHBoxLayout;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace rv {

// What both spectrum dialogs have: the time-unit list ("cbTime", nanoseconds first) and the
// row of "ОК" (BitBtn1, default, accepts) and "Отмена" (BitBtn2, rejects).
QComboBox* TimeUnitList(QWidget* parent);
QHBoxLayout* OkCancelRow(QDialog* d, QPushButton*& ok, QPushButton*& cancel);

class Prompter;

class TfmSpectr : public QDialog {
  Q_OBJECT
public:
  explicit TfmSpectr(Prompter& msgs, QWidget* parent = nullptr);
  // OK with a frequency that is not a number: the message, and the dialog stays open with
  // that field selected.
  void done(int r) override;

  // Loads the fields; a check box whose value changes runs its click rule, and the two
  // lists are set last, so they keep the stored index.
  void FormCreate(const SpectrSettings& s);
  void SaveTo(SpectrSettings& s) const;
  // The fields as numbers; throws ConvertError for a text that is not a number.
  SpectrumOptions ReadOptions() const;

  QGroupBox* rgFourieType = nullptr;
  QRadioButton* rbDFT = nullptr;
  QRadioButton* rbFFT = nullptr;
  QLineEdit* edFMin = nullptr;
  QLineEdit* edFMax = nullptr;
  QGroupBox* GroupBox1 = nullptr;
  QLineEdit* eddF = nullptr;
  QCheckBox* CheckBox2 = nullptr;
  QComboBox* cbTime = nullptr;
  QCheckBox* CheckBox1 = nullptr;
  QCheckBox* CheckBox3 = nullptr;
  QCheckBox* CheckBox4 = nullptr;
  QComboBox* cbFreq = nullptr;
  QPushButton* BitBtn1 = nullptr;
  QPushButton* BitBtn2 = nullptr;

public slots:
  void CheckBox1Click();
  void CheckBox2Click();
  void rgFourieTypeClick();

private:
  Prompter& msgs_;
};

}  // namespace rv
