// The chart panel's mouse: the pointer's coordinates, Shift-drag of the active graph, the
// Alt rubber line that measures a difference, and editing the active graph with btnEdit.
#include <QLabel>
#include <QMouseEvent>
#include <QToolButton>

#include <cmath>
#include <limits>
#include <utility>

#include <qcustomplot.h>

#include "charts/chartview.h"
#include "charts/ui/TfmChart.h"

namespace rv {

void TfmChart::BuildMouse() {
  dragLine_ = new QCPItemLine(Chart);
  dragLine_->setLayer("overlay");
  dragLine_->setClipToAxisRect(false);
  dragLine_->setSelectable(false);
  dragLine_->setPen(QPen(Qt::black, 1, Qt::DotLine));
  for (QCPItemPosition* p : {dragLine_->start, dragLine_->end}) p->setType(QCPItemPosition::ptAbsolute);
  dragLine_->setVisible(false);
  connect(Chart, &QCustomPlot::mousePress, this, &TfmChart::ChartMouseDown);
  connect(Chart, &QCustomPlot::mouseMove, this, &TfmChart::ChartMouseMove);
  connect(Chart, &QCustomPlot::mouseRelease, this, &TfmChart::ChartMouseUp);
  connect(btnEdit, &QToolButton::toggled, this, [this](bool down) { SetCancel(down); });
}

// The chart's own drag (scrolling) is off exactly while the cancel switch is on.
void TfmChart::SetCancel(bool cancel) { Chart->setInteraction(QCP::iRangeDrag, !cancel); }

void TfmChart::DrawDragLine(int x, int y) {
  dragLine_->start->setCoords(StartX, StartY);
  dragLine_->end->setCoords(x, y);
  dragLine_->setVisible(true);
  LastX = x;
  LastY = y;
  Chart->layer("overlay")->replot();
}

void TfmChart::EditColumn(int px, int py) {
  const int a = model_.ActiveGraph;
  ChartSeries& g = model_.Series[std::size_t(a)];
  const double y = Chart->yAxis->pixelToCoord(py);
  double lo = Chart->xAxis->pixelToCoord(px - 0.5), hi = Chart->xAxis->pixelToCoord(px + 0.5);
  if (lo > hi) std::swap(lo, hi);
  const std::vector<std::size_t> hit = SetColumnY(g, lo, hi, y);
  if (hit.empty() || std::size_t(a) >= plots_.size()) return;
  // The drawn points stand in the model's order: change them in place, not the whole graph.
  const double shown = std::isfinite(y) ? y : std::numeric_limits<double>::quiet_NaN();
  if (auto* gr = qobject_cast<QCPGraph*>(plots_[std::size_t(a)])) {
    for (std::size_t i : hit)
      if (qsizetype(i) < gr->data()->size()) (gr->data()->begin() + qsizetype(i))->value = shown;
  } else if (auto* c = qobject_cast<QCPCurve*>(plots_[std::size_t(a)])) {
    for (std::size_t i : hit)
      if (qsizetype(i) < c->data()->size() && std::isfinite(g.X[i])) (c->data()->begin() + qsizetype(i))->value = shown;
  }
  Chart->replot(QCustomPlot::rpQueuedReplot);
}

void TfmChart::ChartMouseDown(QMouseEvent* e) {
  const QPoint p = e->pos();
  StartX = LastX = p.x();
  StartY = LastY = p.y();
  RubberActive = false;
  SetCancel(btnEdit->isChecked());
  const int a = model_.ActiveGraph;
  if (LongCommandRunning() || a < 0 || a >= model_.SeriesCount() || !Chart->axisRect()->rect().contains(p)) return;
  const Qt::KeyboardModifiers mods = e->modifiers();
  if (btnEdit->isChecked() && !(mods & Qt::ControlModifier)) {
    EditDragActive = true;
    EditColumn(p.x(), p.y());
    return;
  }
  if (mods & (Qt::ShiftModifier | Qt::AltModifier)) {
    SetCancel(true);
    (mods & Qt::ShiftModifier ? ShiftDragActive : RubberActive) = true;
    DownX = Chart->xAxis->pixelToCoord(p.x());
    DownY = Chart->yAxis->pixelToCoord(p.y());
  }
}

void TfmChart::ChartMouseMove(QMouseEvent* e) {
  // The chart's drag, once cancelled at the press, stays off until the button is released:
  // it would scroll from where it was cancelled.
  SetCancel(btnEdit->isChecked() || ShiftDragActive || RubberActive);
  const int a = model_.ActiveGraph;
  if (a < 0 || a >= model_.SeriesCount()) return;
  const QPoint p = e->pos();
  if (ShiftDragActive) DrawDragLine(p.x(), p.y());
  const double x = Chart->xAxis->pixelToCoord(p.x()), y = Chart->yAxis->pixelToCoord(p.y());
  lbCoopd->setText(QString::fromStdString(PointerText(x, y)));
  if (EditDragActive) {
    SetCancel(true);
    EditColumn(p.x(), p.y());
  }
  if (RubberActive) {
    DrawDragLine(p.x(), p.y());
    CurX = x;
    CurY = y;
    lbCoopd->setText(QString::fromStdString(RubberText(CurX - DownX, CurY - DownY)));
  }
}

void TfmChart::ChartMouseUp(QMouseEvent* e) {
  if (RubberActive) {
    RubberActive = false;
    dragLine_->setVisible(false);
    Chart->layer("overlay")->replot();
  }
  SetCancel(btnEdit->isChecked());
  const int a = model_.ActiveGraph;
  const bool shift = ShiftDragActive && (e->modifiers() & Qt::ShiftModifier);
  EditDragActive = ShiftDragActive = false;
  if (a < 0 || a >= model_.SeriesCount()) return;
  if (dragLine_->visible()) {
    dragLine_->setVisible(false);
    Chart->layer("overlay")->replot();
  }
  if (!shift) return;
  SetCancel(true);
  CurX = Chart->xAxis->pixelToCoord(e->pos().x());
  CurY = Chart->yAxis->pixelToCoord(e->pos().y());
  ShiftSeries(model_.Series[std::size_t(a)], CurX - DownX, CurY - DownY);
  // The axes stay where they are, so the graph is seen to move.
  zoomed_ = true;
  RefreshChart();
}

}  // namespace rv
