// The arithmetic commands in the chart window (offscreen): a typed shift, a bad number asked
// again, the RC dialog's refusal, the sum as a new graph, logarithmic axes.

#include <QAction>
#include <QComboBox>
#include <QTest>

#include <qcustomplot.h>

#include "charts/ui/TfmChartRC.h"
#include "charts/ui/TfmValue.h"
#include "chart_window_util.h"

using namespace rv;
using rv::test::Answer;
using rv::test::Joined;
using ChartEditWindow = rv::test::ChartWindowTest;

namespace {

// Types each text into the value dialog in turn and accepts it.
void TypeValues(std::vector<QString> texts) {
  if (texts.empty()) return;
  Answer<TfmValue>([texts](TfmValue* v) {
    v->edValue->lineEdit()->clear();
    QTest::keyClicks(v->edValue->lineEdit(), texts.front());
    TypeValues({texts.begin() + 1, texts.end()});
    v->btnOK->click();
  });
}

}  // namespace

TEST_F(ChartEditWindow, ShiftSumRcAndLogAxes) {
  for (const char* t : {"a", "b"}) {
    const int i = w.model().AddSeries(t, 0, t);
    w.model().Series[std::size_t(i)].X = {1, 2};
    w.model().Series[std::size_t(i)].Y = {-1, 2};
  }
  w.RefreshChart();

  rv::test::AnswerSelection({});
  TypeValues({"e", "1,5"});
  w.findChild<QAction*>("SdvigY")->trigger();
  EXPECT_EQ(msgs.errors, (std::vector<std::string>{"Неверно задано значение сдвига"}));
  for (int i : {0, 1}) EXPECT_EQ(w.model().Series[std::size_t(i)].Y, (std::vector<double>{0.5, 3.5}));

  rv::test::AnswerSelection({});
  w.findChild<QAction*>("ToolButton11")->trigger();
  ASSERT_EQ(w.model().SeriesCount(), 3);
  EXPECT_EQ(w.model().Series[2].Y.back(), 7);

  w.fmChartRC->edTau->setText("0");
  w.fmChartRC->OK->click();
  EXPECT_EQ(msgs.errors.back(), "Неверно задана постоянная времени!");
  w.fmChartRC->edTau->setText("1e3");
  w.fmChartRC->OK->click();
  EXPECT_DOUBLE_EQ(w.RCTimeConstant, 1e-6);

  // LogY is refused while no Y is above 0, and taken once one is.
  for (auto& s : w.model().Series)
    for (double& y : s.Y) y = -1;
  w.LogY1->trigger();
  w.LogX1->trigger();
  EXPECT_EQ(std::tuple(w.LogY1->isChecked(), w.Chart->yAxis->scaleType(), w.Chart->xAxis->scaleType()),
            std::tuple(false, QCPAxis::stLinear, QCPAxis::stLogarithmic));
  w.LogX1->trigger();
  EXPECT_EQ(w.Chart->xAxis->scaleType(), QCPAxis::stLinear);
  EXPECT_EQ(msgs.errors.size(), 2u) << Joined(msgs.shown);
}
