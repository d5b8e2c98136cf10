// Measuring, impedance, generators and the move buttons in the chart window (offscreen).

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTimer>
#include <QToolButton>

#include <qcustomplot.h>

#include "charts/ui/TfmCalcZ.h"
#include "chart_window_util.h"

using namespace rv;
using rv::test::Answer;
using rv::test::Joined;
using ChartMeasure = rv::test::ChartWindowTest;

namespace {

void AnswerCalcZ(bool deleteSpectra) {
  Answer<TfmCalcZ>([deleteSpectra](TfmCalcZ* d) {
    for (QListWidget* l : {d->ListBox1, d->ListBox2})
      EXPECT_EQ(l->toolTip(), "Выделите требуемые графики, используя мышь и клавиши Shift или Ctrl");
    EXPECT_TRUE(d->template findChild<QPlainTextEdit*>()->toPlainText().startsWith(
        "  Вычисляется комплексное сопротивление по отношению модулей спектров"));
    d->ListBox1->clearSelection();
    d->ListBox1->item(0)->setSelected(true);
    d->eddF->setText("1e7");
    d->cbDeleteSpectr->setChecked(deleteSpectra);
    d->BitBtn1->click();
  });
}

}  // namespace

TEST_F(ChartMeasure, OverlayAndImpedanceAndGenerators) {
  w.resize(900, 600);
  // A Gaussian pulse (σ = 1 ns at 10 ns) and a scaled copy.
  for (double a : {50, 1}) AddCurve(a == 1 ? "I" : "U", 0, 20, 0.01, [a](double x) { return a * std::exp(-(x - 10) * (x - 10) / 2); });
  w.BitBtn3Click();
  ASSERT_TRUE(w.SpeedButton4->isEnabled());
  w.SpeedButton4->click();
  w.Chart->replot();
  EXPECT_EQ(w.MeasureText(), "Амплитуда = 1; Тф = 1.69; Ти = 2.35");
  // A sensor value larger than the rise: its message once, after the drawing.
  w.SpeedButton4->click();  // up: the edit below must not switch it off first
  w.Edit2->setText("5");
  w.mnIzmerit->trigger();
  w.Chart->replot();
  QApplication::processEvents();
  EXPECT_EQ(w.MeasureText(), "Амплитуда = 1; Тф = 1.69; Ти = 2.35");
  EXPECT_EQ(msgs.errors, std::vector<std::string>{"Недопустимое значение ПХ!\nПХ больше чем фронт!"});
  // Editing the sensor value switches measuring off.
  w.Edit2->setText("0.5");
  EXPECT_FALSE(w.SpeedButton4->isChecked());
  w.Chart->replot();
  EXPECT_EQ(w.MeasureText(), "");

  // Impedance of U = 50·I: three graphs, or seven with the spectra kept.
  msgs.errors.clear();
  AnswerCalcZ(true);
  w.N37->trigger();
  ASSERT_EQ(w.model().SeriesCount(), 5) << Joined(msgs.shown);
  EXPECT_NEAR(w.model().Series[2].Y[10], 50, 1e-6);
  EXPECT_NEAR(w.model().Series[3].Y[10], 0, 1e-6);
  AnswerCalcZ(false);
  w.N37->trigger();
  EXPECT_EQ(w.model().SeriesCount(), 12);
  // A step that is not a number keeps the dialog open with the field selected.
  Answer<TfmCalcZ>([this](TfmCalcZ* d) {
    d->eddF->setText("1e7,5");
    d->BitBtn1->click();
    EXPECT_EQ(std::tuple(d->isVisible(), msgs.errors, d->eddF->selectedText()),
              std::tuple(true, std::vector<std::string>{"«Шаг по частоте»: \"1e7,5\" не является числом"}, "1e7,5"));
    d->BitBtn2->click();
  });
  w.N37->trigger();
  EXPECT_EQ(w.model().SeriesCount(), 12);

  // A generator through the temporary curve file, then moved up the list.
  w.findChild<QAction*>("Re1")->trigger();
  ASSERT_EQ(w.model().SeriesCount(), 13) << Joined(msgs.shown);
  EXPECT_EQ(w.model().Series[12].Count(), 2001u);
  w.findChild<QAction*>("SpeedButton7")->trigger();
  EXPECT_EQ(std::tuple(w.model().ActiveGraph, w.model().Series[11].Title), std::tuple(11, "Вода Re"));
  w.findChild<QAction*>("SpeedButton8")->trigger();
  w.findChild<QAction*>("SpeedButton8")->trigger();
  EXPECT_EQ(w.model().ActiveGraph, 12);
  EXPECT_FALSE(w.findChild<QAction*>("N31")->isVisible());
}

// While the convolution runs, "СТОП" says it stops the convolution; afterwards a message
// counts the points left out for their NaN X.
TEST_F(ChartMeasure, ConvolutionNamesItsStopAndCountsSkippedPoints) {
  AddCurve("sig", 0, 1e5, 0.1, [](double x) { return x > 1 ? 1.0 : 0.0; });
  w.model().Series[0].X.back() = NAN;  // the rest stays on one grid
  AddCurve("h", 0, 10, 1, [](double x) { return x; });
  QString hint;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (w.btnStop->isVisible()) hint = w.btnStop->toolTip();
  });
  rv::test::AnswerSelection({0}, [&] { rv::test::AnswerSelection({1}, [&] { poll.start(0); }); });
  w.findChild<QAction*>("N34")->trigger();
  EXPECT_EQ(hint.toStdString(), kStopConvolution);
  ASSERT_EQ(w.model().SeriesCount(), 3) << Joined(msgs.shown);
  EXPECT_EQ(msgs.messages, std::vector<std::string>{SkippedNanXText({{"sig", 1}})});
}
