// Print options: scale, orientation and size of the printed chart.
#pragma once
#include <QDialog>

class QButtonGroup;
class QPushButton;

namespace rv {

class TfmPrinOptions : public QDialog {
  Q_OBJECT
public:
  explicit TfmPrinOptions(QWidget* parent = nullptr);

  QButtonGroup* RadioGroup1 = nullptr;  // "Масштаб": 0 thin lines, 1 screen proportional
  QButtonGroup* RadioGroup2 = nullptr;  // "Ориентация": 0 portrait, 1 landscape
  QButtonGroup* RadioGroup3 = nullptr;  // "Размер": 0 half a page, 1 a whole page
  QPushButton* btnOK = nullptr;
};

}  // namespace rv
