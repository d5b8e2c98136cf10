// The chart panel's mouse: Shift-drag, the Alt rubber line, editing with btnEdit, the
// pointer's coordinates (offscreen).

#include <QLabel>
#include <QTest>
#include <QToolButton>

#include <qcustomplot.h>

#include "chart_window_util.h"

using namespace rv;
using ChartMouse = rv::test::ChartWindowTest;

namespace {

QPoint Px(QCustomPlot* c, double x, double y) {
  return {int(std::lround(c->xAxis->coordToPixel(x))), int(std::lround(c->yAxis->coordToPixel(y)))};
}

void Drag(QWidget* c, QPoint from, QPoint to, Qt::KeyboardModifiers down, Qt::KeyboardModifiers up) {
  QTest::mousePress(c, Qt::LeftButton, down, from);
  QTest::mouseMove(c, (from + to) / 2);
  QTest::mouseMove(c, to);
  QTest::mouseRelease(c, Qt::LeftButton, up, to);
}

}  // namespace

TEST_F(ChartMouse, ShiftDragAndAltMeasure) {
  w.resize(800, 600);
  QApplication::processEvents();
  AddCurve("g", 0, 100, 1, [](double x) { return x; });
  w.Chart->replot();
  const ChartSeries before = w.model().Series[0];
  QCustomPlot* c = w.Chart;
  const QPoint from = Px(c, 40, 60), to = from + QPoint(50, -30);
  const double dx = c->xAxis->pixelToCoord(to.x()) - c->xAxis->pixelToCoord(from.x());
  const double dy = c->yAxis->pixelToCoord(to.y()) - c->yAxis->pixelToCoord(from.y());

  // Shift let go before the button, the Alt rubber line and a press outside the plot move nothing.
  Drag(c, from, to, Qt::ShiftModifier, Qt::NoModifier);
  EXPECT_EQ(w.model().Series[0].X, before.X);
  Drag(c, from, to, Qt::AltModifier, Qt::AltModifier);
  EXPECT_TRUE(w.lbCoopd->text().startsWith("dX: ")) << w.lbCoopd->text().toStdString();
  EXPECT_EQ(w.model().Series[0].Y, before.Y);
  EXPECT_EQ(std::pair(c->xAxis->range().lower, c->xAxis->range().upper), std::pair(before.X[0], before.X[100]));
  Drag(c, QPoint(2, 2), QPoint(40, 40), Qt::ShiftModifier, Qt::ShiftModifier);
  EXPECT_EQ(w.model().Series[0].X, before.X);

  Drag(c, from, to, Qt::ShiftModifier, Qt::ShiftModifier);
  const ChartSeries& g = w.model().Series[0];
  for (std::size_t i : {0u, 57u, 100u}) {
    EXPECT_NEAR(g.X[i], before.X[i] + dx, 1e-9);
    EXPECT_NEAR(g.Y[i], before.Y[i] + dy, 1e-9);
  }
}

TEST_F(ChartMouse, EditColumnCtrlSelectsAndPointerText) {
  w.resize(800, 600);
  QApplication::processEvents();
  AddCurve("flat", 0, 100, 1, [](double) { return 50.0; });
  AddCurve("diag", 0, 100, 1, [](double x) { return x; });
  QCustomPlot* c = w.Chart;
  c->replot();
  w.btnEdit->setChecked(true);
  const QPoint p = Px(c, 50, 30);
  QTest::mouseClick(c, Qt::LeftButton, Qt::NoModifier, p);
  const std::vector<double>& y = w.model().Series[1].Y;
  EXPECT_DOUBLE_EQ(y[50], c->yAxis->pixelToCoord(p.y()));
  EXPECT_EQ(std::pair(y[49], y[51]), std::pair(49.0, 51.0));
  // Ctrl with a click on the other graph makes it active and edits nothing.
  QTest::mouseClick(c, Qt::LeftButton, Qt::ControlModifier, Px(c, 20, 50));
  EXPECT_EQ(w.model().ActiveGraph, 0);
  EXPECT_EQ(w.model().Series[0].Y[20], 50);
  EXPECT_EQ(y[20], 20);
  w.btnEdit->setChecked(false);

  c->xAxis->setRange(1234.5, 2000);
  c->replot();
  const QRect r = c->axisRect()->rect();
  QTest::mouseMove(c, QPoint(r.left(), r.top() + 10));
  EXPECT_TRUE(w.lbCoopd->text().startsWith("X: 1.23E03  /  Y:  ")) << w.lbCoopd->text().toStdString();
  w.DeleteAll1Click();
  const QString kept = w.lbCoopd->text();
  QTest::mouseMove(c, QPoint(r.left() + 30, r.top() + 30));
  EXPECT_EQ(w.lbCoopd->text(), kept);
}
