// "Параметры": a small tool window on top of the editor describing the cell under the mouse.
#pragma once
#include <QWidget>

#include <string>
#include <vector>

class QPlainTextEdit;

namespace rv {

class TfmSellParms : public QWidget {
  Q_OBJECT
public:
  explicit TfmSellParms(QWidget* parent = nullptr);
  void SetLines(const std::vector<std::string>& lines);
  QPlainTextEdit* Memo1 = nullptr;

signals:
  void closed();

protected:
  void closeEvent(QCloseEvent* e) override;
};

}  // namespace rv
