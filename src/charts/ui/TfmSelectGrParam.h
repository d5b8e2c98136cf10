// Units of the time and amplitude axes for the energy computation.
#pragma once
#include <QDialog>

class QComboBox;
class QPushButton;

namespace rv {

class TfmSelectGrParam : public QDialog {
  Q_OBJECT
public:
  explicit TfmSelectGrParam(QWidget* parent = nullptr);

  QComboBox* ComboBoxTime = nullptr;   // seconds .. picoseconds; nanoseconds at first
  QComboBox* ComboBoxScale = nullptr;  // kiloamperes .. microamperes; amperes at first
  QPushButton* btnCancel = nullptr;
  QPushButton* btnOK = nullptr;
};

}  // namespace rv
