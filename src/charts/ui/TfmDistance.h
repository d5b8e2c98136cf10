// Parameters of the reflected-signal delay ("Параметры для расчета задержки").
#pragma once
#include <QDialog>

class QLineEdit;
class QRadioButton;

namespace rv {

class TfmDistance : public QDialog {
  Q_OBJECT
public:
  explicit TfmDistance(QWidget* parent = nullptr);

  QLineEdit *edH1, *edH2, *edL;
  QRadioButton* RadioButton1;
  QRadioButton* RadioButton2;
};

}  // namespace rv
