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

class TfmBackSpectr : public QDialog {
  Q_OBJECT
public:
  explicit TfmBackSpectr(QWidget* parent = nullptr);
  void FormCreate();

  QLabel* Label3 = nullptr;
  QLineEdit* edTMin = nullptr;
  QLineEdit* edTMax = nullptr;
  QLineEdit* edNPoint = nullptr;
  QComboBox* cbTime = nullptr;
  QCheckBox* CheckBox1 = nullptr;
  QPushButton* BitBtn1 = nullptr;
  QPushButton* BitBtn2 = nullptr;
};

}  // namespace rv
