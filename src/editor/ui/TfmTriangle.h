// "Импорт данных из DXF": the report of a drawing's import and its progress line.
#pragma once
#include <QDialog>

#include <string>
#include <vector>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace rv {

class TfmTriangle : public QDialog {
  Q_OBJECT
public:
  explicit TfmTriangle(QWidget* parent = nullptr);
  void AddLines(const std::vector<std::string>& lines);
  // Shows the progress text and lets the window repaint.
  void Progress(const std::string& text);

  QPlainTextEdit* Memo1 = nullptr;
  QLabel* Label1 = nullptr;
  QPushButton* BitBtn1 = nullptr;
};

}  // namespace rv
