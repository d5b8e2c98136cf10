// The impedance dialog ("Вычисление сопротивления"): the voltage and current graphs, the
// band, the units and whether the spectra go afterwards. Made once with the chart window;
// its fields are kept in the chart settings.
#pragma once
#include <QDialog>

#include "charts/chartmodel.h"
#include "charts/chartsettings.h"
#include "charts/measure.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace rv {

class Prompter;

class TfmCalcZ : public QDialog {
  Q_OBJECT
public:
  TfmCalcZ(Prompter& msgs, QWidget* parent = nullptr);

  void FormCreate(const SpectrZSettings& s);
  void SaveTo(SpectrZSettings& s) const;
  // Fills both lists with the user graphs (the active one chosen when it is one) and shows
  // the dialog; true on "Вычислить".
  bool Execute(ChartModel& m);
  // The fields as numbers; throws ConvertError for a text that is not a number.
  ImpedanceOptions ReadOptions() const;
  // "Вычислить" with a frequency that is not a number: the message, and the dialog stays
  // open with that field selected.
  void done(int r) override;
  // The chosen voltage and current graphs as series indices (the last selected row of each
  // list, row 0 when none is), -1 without user graphs.
  int VoltageSeries(const ChartModel& m) const;
  int CurrentSeries(const ChartModel& m) const;

  QListWidget* ListBox1 = nullptr;
  QListWidget* ListBox2 = nullptr;
  QLineEdit* edFMin = nullptr;
  QLineEdit* edFMax = nullptr;
  QLineEdit* eddF = nullptr;
  QComboBox* cbTime = nullptr;
  QComboBox* cbFreq = nullptr;
  QCheckBox* cbDeleteSpectr = nullptr;
  QPushButton* BitBtn1 = nullptr;
  QPushButton* BitBtn2 = nullptr;

private:
  Prompter& msgs_;
};

}  // namespace rv
