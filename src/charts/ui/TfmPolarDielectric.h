// Properties of a polar dielectric ("Задание свойств полярного диэлектрика").
#pragma once
#include <QDialog>

#include "charts/generators.h"

class QCheckBox;
class QLineEdit;

namespace rv {

class TfmPolarDielectric : public QDialog {
  Q_OBJECT
public:
  explicit TfmPolarDielectric(QWidget* parent = nullptr);
  // Throws ConvertError for a field that is not a number.
  PolarParams Params() const;

  QLineEdit *Edit1, *Edit2, *Edit3, *Edit4, *Edit5;
  QCheckBox* CheckBox1;
  QCheckBox* CheckBox2;
};

}  // namespace rv
