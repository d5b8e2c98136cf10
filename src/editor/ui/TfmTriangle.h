// "Импорт данных из DXF": the report of a drawing's import and its progress line. While an
// import works the window is the only one that takes input, and its "Прервать" button (or its
// close box, or Esc) asks the import to stop.
#pragma once
#include <QDialog>
#include <QElapsedTimer>

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

  // An import starts (the window shown, alone taking input) or ends (shown as a plain window).
  void BeginWork();
  void EndWork();
  // Lets the windows repaint and the stop button be pressed, at most every few tens of
  // milliseconds (always on the first call after BeginWork or Resume); true once a stop was
  // asked for.
  bool Pump();
  // The next Pump looks at once (a new stage of the import begins).
  void Resume() { clock_.invalidate(); }
  bool StopAsked() const { return stopAsked_; }

  QPlainTextEdit* Memo1 = nullptr;
  QLabel* Label1 = nullptr;
  QPushButton* BitBtn1 = nullptr;
  QPushButton* btnStop = nullptr;  // "Прервать", shown while an import works

public slots:
  void reject() override;

protected:
  void closeEvent(QCloseEvent* e) override;

private:
  bool working_ = false, stopAsked_ = false;
  QElapsedTimer clock_;
};

}  // namespace rv
