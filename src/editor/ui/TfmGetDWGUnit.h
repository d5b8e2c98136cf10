// "Выбор масштаба при импорте": metres per drawing unit.
#pragma once
#include <QDialog>

#include <functional>

class QLineEdit;

namespace rv {

class TfmGetDWGUnit : public QDialog {
  Q_OBJECT
public:
  explicit TfmGetDWGUnit(QWidget* parent = nullptr);

  QLineEdit* Edit1 = nullptr;
  // Run on OK: false keeps the dialog open (the check has said what is wrong).
  std::function<bool()> check;
};

}  // namespace rv
