// "Клонирование выделенной области": where the selection is cloned to.
#pragma once
#include <QDialog>

#include "editor/modelops.h"

class QCheckBox;
class QRadioButton;
class QSpinBox;

namespace rv {

class TfmCopy : public QDialog {
  Q_OBJECT
public:
  explicit TfmCopy(QWidget* parent = nullptr);
  CloneOptions Options() const;

  QRadioButton *RadioButton1 = nullptr, *RadioButton2 = nullptr, *RadioButton3 = nullptr;
  QSpinBox *seNumCop = nullptr, *seNumLay = nullptr;
  QCheckBox *CheckBox1 = nullptr, *CheckBox2 = nullptr, *CheckBox3 = nullptr;
};

}  // namespace rv
