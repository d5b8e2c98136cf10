// "Выбор масштаба при импорте": metres per drawing unit.
#pragma once
#include <QDialog>

class QLineEdit;

namespace rv {

class TfmGetDWGUnit : public QDialog {
  Q_OBJECT
public:
  explicit TfmGetDWGUnit(QWidget* parent = nullptr);

  QLineEdit* Edit1 = nullptr;
};

}  // namespace rv
