// The small value dialogs of the element buttons ("Ввод резистора" and its sisters): the
// value in Edit1 and, for a voltage source, the polarity in Edit2.
#pragma once
#include <QDialog>

#include <functional>

class QLabel;
class QLineEdit;

namespace rv {

class TfmGetValue : public QDialog {
  Q_OBJECT
public:
  // label2: the second field's label, or null for a dialog with one field.
  TfmGetValue(const char* name, const char* caption, const char* label, const char* label2, QWidget* parent);

  QLineEdit *Edit1 = nullptr, *Edit2 = nullptr;
  // Run on OK: false keeps the dialog open (the check has said what is wrong).
  std::function<bool()> check;
};

}  // namespace rv
