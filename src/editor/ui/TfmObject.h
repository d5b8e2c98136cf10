// "Сведения о загружаемом объекте": what an object or cell file holds, and the anchor cell
// it is placed at.
#pragma once
#include <QDialog>

#include <string>
#include <vector>

class QPlainTextEdit;
class QSpinBox;

namespace rv {

class TfmObject : public QDialog {
  Q_OBJECT
public:
  explicit TfmObject(QWidget* parent = nullptr);
  // Shows the summary lines and proposes the anchor.
  void Fill(const std::vector<std::string>& summary, int x, int y, int z);

  QPlainTextEdit* Memo1 = nullptr;
  QSpinBox *spXo = nullptr, *spYo = nullptr, *spZo = nullptr;
};

}  // namespace rv
