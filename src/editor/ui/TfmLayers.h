// "Параметры материалов": the materials table. Row i is material i; colour and on/off
// apply at a click, the other columns when the table is transferred ("Ok", closing,
// adding a material) and, for the first four, at a click in the table. The table is read
// from the materials every time the window is shown, whoever shows it.
#pragma once
#include <QDialog>

#include <functional>
#include <string>

#include "editor/modelstore.h"

class QPushButton;
class QTableWidget;

namespace rv {

class Prompter;
class TfmCalculate;
class TfmOpenGL;

class TfmLayers : public QDialog {
  Q_OBJECT
public:
  TfmLayers(TfmOpenGL& editor, Prompter& prompter, TfmCalculate* calculator,
            QWidget* parent = nullptr);
  // The main window's displays that depend on the materials follow a transfer.
  void SetMaterialsChanged(std::function<void()> f) { materialsChanged_ = std::move(f); }
  // The colour dialog; tests give their own. Returns false when cancelled.
  void SetColorChooser(std::function<bool(uint32_t& color)> f) { chooseColor_ = std::move(f); }

  void FormActivate();
  bool btnSaveClick();        // "Ok": false, with "Устранить ошибки!", when a cell is wrong
  void StringGrid1Click();
  void SelectCell(int col, int row);  // row counts materials from 1
  void btnColorClick();
  void btnAddLayerClick();    // "Новый матер."
  void BitBtn1Click();        // "Удалить матер."
  void BitBtn2Click();        // "Удалить пустые"
  void Button1Click();        // "Калькуляция"

  bool TableValid() const { return tableValid_; }

  QTableWidget* StringGrid1 = nullptr;
  QPushButton *btnSave = nullptr, *btnAddLayer = nullptr, *BitBtn1 = nullptr, *BitBtn2 = nullptr,
              *Button1 = nullptr;

public slots:
  void done(int r) override;

protected:
  void showEvent(QShowEvent* e) override;

private:
  void fitColumnsToTitles();
  void selectMaterialCell(int col, int row);
  // Selects a wrong cell and says so, unless the same text in the same cell was already
  // reported: the user is correcting it.
  void reportBadCell(const CellError& e, const LayerRows& rows, const char* message, bool always);
  // The caption names the current material as its row names it.
  void showTitle();

  TfmOpenGL& editor_;
  Prompter& prompter_;
  TfmCalculate* calculator_;
  std::function<void()> materialsChanged_;
  std::function<bool(uint32_t&)> chooseColor_;
  bool tableValid_ = false;
  bool filling_ = false;
  CellError reported_;         // the wrong cell last reported
  std::string reportedText_;   // and its text then
};

}  // namespace rv
