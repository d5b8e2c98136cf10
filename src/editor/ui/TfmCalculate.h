// "Проводимость ячеек тонких проводников": the conductivity of a row of cells that carries
// current like a thin wire.
#pragma once
#include <QDialog>

#include <array>
#include <functional>
#include <string>

class QButtonGroup;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace rv {

class Prompter;

class TfmCalculate : public QDialog {
  Q_OBJECT
public:
  explicit TfmCalculate(Prompter& prompter, QWidget* parent = nullptr);
  // The main window's cell-size texts, copied in at every showing.
  void SetCellSizes(std::function<std::array<std::string, 3>()> f) { cellSizes_ = std::move(f); }

  void FormActivate();
  void Button2Click();  // "Вычислить"

  QLineEdit *Edit1 = nullptr, *Edit2 = nullptr, *Edit3 = nullptr;
  QLineEdit *edX = nullptr, *edY = nullptr, *edZ = nullptr;
  QButtonGroup* RadioGroup1 = nullptr;  // "X", "Y", "Z": ids 0, 1, 2
  QPushButton *Button1 = nullptr, *Button2 = nullptr, *Button3 = nullptr;
  QPlainTextEdit* Memo1 = nullptr;

protected:
  void showEvent(QShowEvent* e) override;

private:
  Prompter& prompter_;
  std::function<std::array<std::string, 3>()> cellSizes_;
};

}  // namespace rv
