// Parameters of the three-exponential pulse ("Параметры 3-х экпоненциального импульса").
#pragma once
#include <QDialog>

#include "charts/generators.h"

class QLineEdit;

namespace rv {

class Tfm3expDLG : public QDialog {
  Q_OBJECT
public:
  explicit Tfm3expDLG(QWidget* parent = nullptr);
  // Throws ConvertError for a field that is not a number.
  ThreeExpParams Params() const;

  QLineEdit *Edit1, *Edit2, *Edit3, *Edit4, *Edit5, *Edit6, *Edit7, *Edit8, *Edit9;
};

}  // namespace rv
