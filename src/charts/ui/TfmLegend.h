// The legend text editor: one line per user graph.
#pragma once
#include <QDialog>

#include <string>
#include <vector>

class QPlainTextEdit;
class QPushButton;

namespace rv {

class TfmLegend : public QDialog {
  Q_OBJECT
public:
  explicit TfmLegend(QWidget* parent = nullptr);

  // Shows the lines; true on OK, the edited lines in `lines`. Escape closes it.
  bool Execute(std::vector<std::string>& lines);

  QPlainTextEdit* Memo1 = nullptr;
  QPushButton* btnOK = nullptr;
  QPushButton* btnCancel = nullptr;
};

}  // namespace rv
