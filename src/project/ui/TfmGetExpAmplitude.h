// "Амплитуда": asks for the peak of a preset pulse of the signal window.
#pragma once
#include <QDialog>

#include <functional>

class QLineEdit;
class QPushButton;

namespace rv {

class TfmGetExpAmplitude : public QDialog {
  Q_OBJECT
public:
  explicit TfmGetExpAmplitude(QWidget* parent = nullptr);

  QLineEdit* Edit1 = nullptr;
  QPushButton* BitBtn1 = nullptr;  // "ОК"
  QPushButton* BitBtn2 = nullptr;  // "Отмена"
  // Run on OK: false keeps the dialog open (the check has said what is wrong).
  std::function<bool()> check;
};

}  // namespace rv
