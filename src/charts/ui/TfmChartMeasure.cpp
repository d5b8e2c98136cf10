// The chart window's measuring and circuit commands: the pulse measurement drawn over the
// chart, the impedance from a voltage and a current graph, the convolution with a step
// response, the energy in 1 Ω and the hidden FFT self-test. The sums run on a worker over
// copies of the points; only this thread touches the model.
#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <qcustomplot.h>

#include <cmath>
#include <new>
#include <numbers>

#include "charts/convolution.h"
#include "charts/fourier.h"
#include "charts/measure.h"
#include "charts/ui/TfmCalcZ.h"
#include "charts/ui/TfmChart.h"
#include "charts/ui/TfmSelectGr.h"
#include "charts/ui/TfmSelectGrParam.h"
#include "platform/prompter.h"
#include "solver/numtext.h"

namespace rv {

namespace {

const char* const kNoMemory = "Недостаточно памяти для вычисления";

}  // namespace

// The measurement's lines and text, drawn on the top layer from values worked out before
// the drawing began.
class MeasureOverlay : public QCPLayerable {
public:
  explicit MeasureOverlay(QCustomPlot* plot) : QCPLayerable(plot, "overlay") {}
  bool on = false;
  PulseMeasurement m;
  std::string drawn;  // the text of the last drawing, empty when nothing was drawn

protected:
  void applyDefaultAntialiasingHint(QCPPainter* p) const override { applyAntialiasingHint(p, false, QCP::aeOther); }
  void draw(QCPPainter* p) override {
    drawn.clear();
    if (!on) return;
    const QRect r = mParentPlot->axisRect()->rect();
    QCPAxis* xa = mParentPlot->xAxis;
    QCPAxis* ya = mParentPlot->yAxis;
    auto row = [&](double y) { return ya->coordToPixel(y); };
    auto col = [&](double x) { return xa->coordToPixel(x); };
    p->setPen(QPen(Qt::blue, 1));
    if (m.A != 0) p->drawLine(QPointF(r.left(), row(m.A)), QPointF(r.right(), row(m.A)));
    if (m.found90) {
      for (auto [L, t] : {std::pair{m.L10, m.t10}, std::pair{m.L90, m.t90}}) {
        p->drawLine(QPointF(r.left(), row(L)), QPointF(r.right(), row(L)));
        p->drawLine(QPointF(col(t), r.top()), QPointF(col(t), r.bottom()));
      }
    }
    p->setPen(QPen(Qt::red, 1));
    if (m.found50f) p->drawLine(QPointF(col(m.t50r), row(m.L50)), QPointF(col(m.t50f), row(m.L50)));
    QFont f("Arial");
    f.setPointSize(std::max(1, mParentPlot->legend->font().pointSize()));
    p->setFont(f);
    const QString text = QString::fromStdString(m.text);
    p->drawText(QRect(r.left() + 10, r.top(), r.width(), QFontMetrics(f).height() + 2), Qt::AlignLeft | Qt::AlignTop,
                text);
    drawn = m.text;
  }
};

void TfmChart::BuildMeasureCommands() {
  overlay_ = new MeasureOverlay(Chart);
  SpeedButton4->setToolTip("Измерить активный график");
  connect(SpeedButton4, &QToolButton::clicked, this, [this] { Chart->replot(); });
  mnIzmerit = mnVid->addAction("Измерить", this, &TfmChart::mnIzmeritClick);
  mnIzmerit->setObjectName("mnIzmerit");
  Edit2->setToolTip("Переходн. х-ка датчика (0 - если не учитывать)");

  N37 = mnTransform->addAction("Вычислить сопротивление..", this, &TfmChart::N37Click);
  N37->setObjectName("N37");
  mnTransform->addAction("Свертка..", this, &TfmChart::N34Click)->setObjectName("N34");
  QAction* energy = ToolBar2->addAction("W", this, &TfmChart::ToolButton32Click);
  energy->setObjectName("ToolButton32");
  energy->setToolTip("вычисление энергии на нагрузке 1 Ом по току");
  // The FFT self-test is a hidden command: an action of the window, on no bar or menu.
  auto* fft = new QAction("FFT", this);
  fft->setObjectName("Button1");
  connect(fft, &QAction::triggered, this, &TfmChart::Button1Click);
  addAction(fft);

  fmCalcZ = new TfmCalcZ(*prompter_, this);
  fmCalcZ->FormCreate(settings_.SpectrZ);
  BuildNewCommands();
}

std::string TfmChart::MeasureText() const { return overlay_ ? overlay_->drawn : std::string(); }

void TfmChart::UpdateMeasurement() {
  const int a = model_.ActiveGraph;
  overlay_->on = SpeedButton4->isChecked() && a >= 0 && a < model_.SeriesCount();
  if (!overlay_->on) return;
  const QString typed = Edit2->text(), trimmed = typed.trimmed();
  const ChartSeries& g = model_.Series[std::size_t(a)];
  overlay_->m = MeasurePulse(g, Chart->xAxis->range().lower, Chart->xAxis->range().upper, trimmed.toStdString());
  // Messages and the trimmed text wait until the drawing is over; each message shows once
  // for a given graph and sensor value.
  if (trimmed != typed && overlay_->m.found90)
    QTimer::singleShot(0, this, [this, trimmed] { Edit2->setText(trimmed); });
  const std::string& msg = overlay_->m.message;
  const std::string key = msg + '\n' + std::to_string(g.id) + '\n' + trimmed.toStdString();
  if (!msg.empty() && key != lastMeasureMessage_) {
    lastMeasureMessage_ = key;
    QTimer::singleShot(0, this, [this, msg] { prompter_->error(msg); });
  }
}

void TfmChart::mnIzmeritClick() {
  SpeedButton4->setChecked(!SpeedButton4->isChecked());
  Chart->replot();
}

void TfmChart::N37Click() {
  if (LongCommandRunning() || !fmCalcZ->Execute(model_)) {
    fmCalcZ->SaveTo(settings_.SpectrZ);
    return;
  }
  fmCalcZ->SaveTo(settings_.SpectrZ);
  ImpedanceOptions o;
  try {
    o = fmCalcZ->ReadOptions();
  } catch (const ConvertError& e) {
    prompter_->error(e.what());
    return;
  }
  const int ui = fmCalcZ->VoltageSeries(model_), ii = fmCalcZ->CurrentSeries(model_);
  if (ui < 0 || ii < 0 || RefuseUnordered({ui, ii})) return;
  const ChartSeries u = model_.Series[std::size_t(ui)], i = model_.Series[std::size_t(ii)];
  // Both records are checked before anything is made.
  const GraphSpectrumPlan pu = PlanGraphSpectrum(u, o), pi = PlanGraphSpectrum(i, o);
  for (const auto* p : {&pu, &pi})
    if (!p->error.empty()) {
      prompter_->error(p->error);
      return;
    }
  GraphSpectrum su, si;
  bool done = false;
  {
    ChartLongCommand lc(*this, kStopFourier);
    SetProgressCaption("Преобразование Фурье - ");
    try {
      RunOffGuiThread([&](ILongTask& t) {
        done = ComputeGraphSpectrum(u.X, u.Y, pu, o, su, &t) && ComputeGraphSpectrum(i.X, i.Y, pi, o, si, &t);
      });
    } catch (const std::bad_alloc&) {
      prompter_->error(kNoMemory);
    }
    SetProgressCaption({});
  }
  if (!done) {
    RefreshChart();
    return;
  }
  AddImpedanceGraphs(model_, u.Title, su, i.Title, si, o);
  RefreshChart();
  ReportSkipped({{u.Title, NanXCount(u.X)}, {i.Title, NanXCount(i.X)}});
}

void TfmChart::N34Click() {
  const std::vector<int> s = ChooseGraphs("Выбрать график для преобразования через ПХ");
  if (s.empty()) return;
  const CurveId sid = model_.Series[std::size_t(s.front())].id;
  const std::vector<int> h = ChooseGraphs("Выбрать график ПХ");
  if (h.empty() || model_.IndexOf(sid) < 0) return;
  if (RefuseUnordered({model_.IndexOf(sid), h.front()})) return;
  const ChartSeries sig = model_.Series[std::size_t(model_.IndexOf(sid))];
  const ChartSeries resp = model_.Series[std::size_t(h.front())];
  std::vector<double> x, y;
  bool done = false;
  {
    ChartLongCommand lc(*this, kStopConvolution);
    SetProgressCaption("Свертка - ");
    try {
      RunOffGuiThread([&](ILongTask& t) { done = Convolve(sig.X, sig.Y, resp.X, resp.Y, x, y, &t); });
    } catch (const std::bad_alloc&) {
      prompter_->error(kNoMemory);
    }
    SetProgressCaption({});
  }
  if (!done) return;
  const int k = model_.AddSeries(sig.Title + " (Свертка)", model_.SeriesDefaultColor(), model_.NextUnnamedName());
  model_.Series[std::size_t(k)].X = std::move(x);
  model_.Series[std::size_t(k)].Y = std::move(y);
  RefreshChart();
  ReportSkipped({{sig.Title, NanXCount(sig.X)}, {resp.Title, NanXCount(resp.X)}});
}

void TfmChart::ToolButton32Click() {
  const std::vector<int> chosen = ChooseGraphs("Выбрать графики тока для вычисления энергии");
  if (chosen.empty() || RefuseUnordered(chosen) || fmSelectGrParam->exec() != QDialog::Accepted) return;
  const double tu = EnergyTimeFactor(fmSelectGrParam->ComboBoxTime->currentIndex());
  const double cu = EnergyCurrentFactor(fmSelectGrParam->ComboBoxScale->currentIndex());
  std::vector<std::pair<std::string, std::size_t>> skipped;
  for (int i : chosen) {
    ChartSeries& g = model_.Series[std::size_t(i)];
    skipped.emplace_back(g.Title, NanXCount(g.X));
    EnergyInLoad(g, tu, cu);
  }
  RefreshChart();
  ReportSkipped(skipped);
}

void TfmChart::Button1Click() {
  if (LongCommandRunning()) return;
  const float dt = 0.01f;
  const int n = 2048;
  std::vector<float> x(n), amp, phase, back;
  const int src = model_.AddNamedSeries("Исходный график");
  for (int i = 0; i < n; ++i) {
    x[std::size_t(i)] = float(std::sin(2 * std::numbers::pi * i * 0.025 * dt));
    model_.Series[std::size_t(src)].AddXY(i * double(dt), x[std::size_t(i)]);
  }
  FFTAmpPhase(x, amp, phase);
  const double df = 1 / (n * double(dt));
  const int a = model_.AddNamedSeries("БПФ - Модуль2");
  const int p = model_.AddNamedSeries("БПФ - Фаза2");
  for (int k = 0; k < n / 2; ++k) {
    model_.Series[std::size_t(a)].AddXY(k * df, amp[std::size_t(k)]);
    model_.Series[std::size_t(p)].AddXY(k * df, phase[std::size_t(k)]);
  }
  amp.resize(n / 2);
  phase.resize(n / 2);
  FFTInverse(amp, phase, back);
  const double dt2 = 1 / (n / 2 * df);
  const int b = model_.AddNamedSeries("Обратно FFT");
  for (std::size_t m = 0; m < back.size(); ++m) model_.Series[std::size_t(b)].AddXY(double(m) * dt2, back[m]);
  RefreshChart();
}

}  // namespace rv
