// "Оформление надписей": the chart's titles, the axis titles and every text's font.
#pragma once
#include <QDialog>
#include <QFont>

#include <array>
#include <functional>

#include "charts/chartmodel.h"

class QButtonGroup;
class QComboBox;
class QFontDialog;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QToolButton;

namespace rv {

// The chart's texts whose fonts the dialog sets, numbered like its font buttons.
enum class ChartElement {
  LeftLabels = 1, BottomLabels, RightLabels, TopLabels, Foot, Title, LeftTitle, TopTitle, BottomTitle,
  RightTitle, Legend
};

// What the dialog reaches of the chart.
struct ChartLook {
  std::function<QFont(ChartElement)> font;
  std::function<void(ChartElement, const QFont&)> setFont;
  std::function<void()> repaint;
  std::function<bool()> legendRight;
  std::function<void(bool right)> alignLegend;
};

class TfmEditComments : public QDialog {
  Q_OBJECT
public:
  TfmEditComments(ChartLook look, QWidget* parent = nullptr);

  // Fills the fields from the texts, shows the dialog and on OK writes them back.
  bool Execute(ChartTexts& t);

  QPlainTextEdit* MemoTitle = nullptr;
  QPlainTextEdit* MemoFoot = nullptr;
  QComboBox* edLeftAxis = nullptr;
  QLineEdit* edRightAxis = nullptr;
  QLineEdit* edTopAxis = nullptr;
  QComboBox* edBottomAxis = nullptr;
  QLineEdit* edLeftAngle = nullptr;
  QLineEdit* edRightAngle = nullptr;
  QLineEdit* edTopAngle = nullptr;
  QLineEdit* edBottomAngle = nullptr;
  std::array<QToolButton*, 11> SpeedButton{};  // SpeedButton1..SpeedButton11
  QPushButton* Button1 = nullptr;
  QButtonGroup* RadioGroup1 = nullptr;  // 0 "слева внизу", 1 "справа"
  QPushButton* btnOK = nullptr;
  QPushButton* btnCancel = nullptr;
  QFontDialog* FontD = nullptr;

  void FontButtonClick(ChartElement e);
  void Button1Click();

private:
  ChartLook look_;
};

}  // namespace rv
