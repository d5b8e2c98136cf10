// "Перемещение объекта": the shift in whole cells, and whether the tables follow.
#pragma once
#include <QDialog>

class QCheckBox;
class QPushButton;
class QSpinBox;

namespace rv {

class TfmMove : public QDialog {
  Q_OBJECT
public:
  explicit TfmMove(QWidget* parent = nullptr);

  QSpinBox *seX = nullptr, *seY = nullptr, *seZ = nullptr;
  QPushButton* Button1 = nullptr;  // "Сброс"
  QCheckBox* CheckBox1 = nullptr;
};

}  // namespace rv
