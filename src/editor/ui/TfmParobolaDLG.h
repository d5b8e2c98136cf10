// "Создание параболы в текущем сечении": the focus, focal length, length and axis of a
// parabolic profile.
#pragma once
#include <QDialog>

class QButtonGroup;
class QGroupBox;
class QRadioButton;
class QSpinBox;

namespace rv {

class TfmParobolaDLG : public QDialog {
  Q_OBJECT
public:
  explicit TfmParobolaDLG(QWidget* parent = nullptr);
  // The four axis items; the first is selected.
  void SetAxisItems(const char* const items[4]);
  // The caption of the selected axis item ("" when none).
  QString Axis() const;

  QSpinBox *spFocusX = nullptr, *spFocusY = nullptr, *spFocusZ = nullptr;
  QSpinBox *spFocusLength = nullptr, *spDiameter = nullptr;
  QGroupBox* rgDirect = nullptr;
  QRadioButton* items[4] = {};
};

}  // namespace rv
