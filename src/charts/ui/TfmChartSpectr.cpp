// The chart window's spectrum commands: the spectrum of chosen graphs (with its optional
// rebuilding of the signal) and the signal rebuilt from the last two graphs. The sums run
// on a worker over copies of the points; only this thread touches the model.
#include <QComboBox>
#include <QCheckBox>
#include <QLineEdit>

#include <algorithm>
#include <new>

#include "charts/curvefile.h"
#include "charts/fourier.h"
#include "charts/spectrum.h"
#include "charts/ui/TfmBackSpectr.h"
#include "charts/ui/TfmChart.h"
#include "charts/ui/TfmSelectGr.h"
#include "charts/ui/TfmSpectr.h"
#include "platform/prompter.h"
#include "solver/numtext.h"

namespace rv {

namespace {

const char* const kNoMemory = "Недостаточно памяти для преобразования Фурье";

// The rebuilding from the dialog's fields and the last two graphs; false, with the
// message shown, when it is refused. A shortened span is reported and goes on.
bool PlanFromFields(const TfmBackSpectr& d, const ChartSeries& A, const ChartSeries& P, Prompter& msgs, double limit,
                    SynthesisPlan& sp) {
  double tMin = 0, tMax = 0;
  long long n = 0;
  try {
    tMax = StrToFloat(d.edTMax->text().toStdString());
    tMin = StrToFloat(d.edTMin->text().toStdString());
    n = StrToInt(d.edNPoint->text().toStdString());
  } catch (const ConvertError& e) {
    msgs.error(e.what());
    return false;
  }
  sp = PlanSynthesis(tMin, tMax, n, A, P, limit);
  if (!sp.error.empty()) {
    msgs.error(sp.error);
    return false;
  }
  if (!sp.message.empty()) msgs.message(sp.message);
  return true;
}

// Rebuilds the signal from the modulus and phase graphs (copies, X in hertz) on the worker,
// the moduli times `divisor`. A stop keeps the points made so far; false, with the message
// shown, when the job failed for want of memory.
bool Rebuild(TfmChart& w, Prompter& msgs, const ChartSeries& A, const ChartSeries& P, const SynthesisPlan& sp,
             double divisor, double outFactor, std::vector<double>& x, std::vector<double>& y) {
  w.SetProgressCaption("Обратное преобразование Фурье - ");
  bool ok = true;
  try {
    w.RunOffGuiThread([&](ILongTask& t) { RebuildSignal(A, P, sp, divisor, outFactor, x, y, &t); });
  } catch (const std::bad_alloc&) {
    msgs.error(kNoMemory);
    ok = false;
  }
  w.SetProgressCaption({});
  return ok;
}

}  // namespace

void TfmChart::mnSpectrClick() {
  if (LongCommandRunning()) return;
  fmSelectGr->setWindowTitle("Выбрать графики для вычисления спектра");
  if (!fmSelectGr->Execute(model_)) return;
  std::vector<CurveId> chosen;
  for (int i : fmSelectGr->SelectedSeries()) chosen.push_back(model_.Series[std::size_t(i)].id);
  const int rc = fmSpectr->exec();
  fmSpectr->SaveTo(settings_.Spectr);
  if (rc != QDialog::Accepted) return;
  SpectrumOptions o;
  try {
    o = fmSpectr->ReadOptions();
  } catch (const ConvertError& e) {
    prompter_->error(e.what());
    return;
  }

  ChartLongCommand lc(*this, kStopFourier);
  std::vector<std::pair<std::string, std::size_t>> skipped;
  for (CurveId id : chosen) {
    const int gi = model_.IndexOf(id);
    if (gi < 0 || RefuseUnordered({gi})) continue;
    // The source as it is now: the job reads this copy, the model may change under it.
    const ChartSeries source = model_.Series[std::size_t(gi)];
    const SpectrumPlan plan = PlanSpectrum(source, o);
    if (!plan.error.empty()) {
      prompter_->error(plan.error);
      if (plan.endCommand) break;
      continue;
    }
    SpectrumCurves curves;
    bool done = false;
    SetProgressCaption("Преобразование Фурье - ");
    try {
      RunOffGuiThread([&](ILongTask& t) { done = ComputeSpectrum(source.X, source.Y, plan, o, curves, &t); });
    } catch (const std::bad_alloc&) {
      prompter_->error(kNoMemory);
      break;
    }
    // A stop abandons the command: the fast sums leave no part-made spectrum behind.
    if (!done) break;
    skipped.emplace_back(source.Title, NanXCount(source.X));
    AddSpectrumGraphs(model_, source.Title, o, curves);
    RefreshChart();
    if (o.inverse) SpectrumInverseCheck(o, source);
  }
  SetProgressCaption({});
  RefreshChart();
  ReportSkipped(skipped);
}

void TfmChart::SpectrumInverseCheck(const SpectrumOptions& o, const ChartSeries& source) {
  const std::string sourceY = model_.YTitleOf(source);  // the spectra leave the Y axis as it was
  std::string tMinText, tMaxText;
  InverseCheckTimes(source, o.cbTime, tMinText, tMaxText);
  fmBackSpectr->cbTime->setCurrentIndex(o.cbTime);
  fmBackSpectr->edNPoint->setText("1000");
  fmBackSpectr->edTMax->setText(QString::fromStdString(tMaxText));
  fmBackSpectr->edTMin->setText(QString::fromStdString(tMinText));
  if (model_.SeriesCount() < 2) return;
  // The graphs just made, X in hertz whatever unit they were made in.
  const ChartSeries& A = model_.Series[std::size_t(model_.SeriesCount() - 2)];
  const int fu = std::max(A.SpectrumFreqUnit, 0);
  const ChartSeries Ahz = InHertz(A, fu), Phz = InHertz(model_.Series[std::size_t(model_.SeriesCount() - 1)], fu);
  // Refused: the spectrum graphs stay, they are what there is to look at.
  SynthesisPlan sp;
  if (!PlanFromFields(*fmBackSpectr, Ahz, Phz, *prompter_, o.type == 0 ? 0.5 : 1, sp)) return;
  std::string title = source.Title;
  if (o.type == 1) title += " ( " + ChartNumber(A.X.front(), 5, 2) + "..." + ChartNumber(A.X.back(), 5, 2) + " ) Гц";
  std::vector<double> x, y;
  const int unit = fmBackSpectr->cbTime->currentIndex();
  // Stopped before a point was made: the spectrum graphs are what there is to look at.
  const double divisor = A.SpectrumDivisor > 0 ? A.SpectrumDivisor : 1;
  if (!Rebuild(*this, *prompter_, Ahz, Phz, sp, divisor, OutputTimeFactor(unit), x, y) || x.empty()) return;
  const int out = model_.AddSeries(title, model_.SeriesDefaultColor(), source.Title);
  ++model_.UnnamedGraphCounter;
  ChartSeries& rebuilt = model_.Series[std::size_t(out)];
  rebuilt.X = std::move(x);
  rebuilt.Y = std::move(y);
  // The signal again: in the source's quantity, whatever the axis shows now.
  rebuilt.XTitle = TimeAxisTitle(unit);
  rebuilt.YTitle = sourceY;
  model_.SetAxisTitles(TimeAxisTitle(unit), model_.Texts.YAxisCaption);
  CloseSpectrumPair(model_);
  RefreshChart();
}

void TfmChart::N18Click() {
  if (LongCommandRunning()) return;
  if (model_.ActiveGraph < 0) {
    prompter_->message("Не выбран активный график");
    return;
  }
  if (const std::string e = SynthesisSourceError(model_); !e.empty()) {
    prompter_->error(e);
    return;
  }
  // A spectrum made here knows its divisor and its frequency unit; for any other the
  // dialog asks.
  const ChartSeries& A = model_.Series[std::size_t(model_.SeriesCount() - 2)];
  const ChartSeries& P = model_.Series[std::size_t(model_.SeriesCount() - 1)];
  const double known = A.SpectrumDivisor;
  const int knownUnit = P.SpectrumFreqUnit >= 0 ? P.SpectrumFreqUnit : A.SpectrumFreqUnit;
  fmBackSpectr->ShowDivisor(known);
  fmBackSpectr->ShowFreqUnit(knownUnit);
  fmBackSpectr->ShowImpliedSpan(P);
  if (fmBackSpectr->exec() != QDialog::Accepted || model_.SeriesCount() < 2) return;
  // Read again: a run's live feed may have grown the chart while the dialog was open.
  const int fu = knownUnit >= 0 ? knownUnit : fmBackSpectr->FreqUnit();
  const ChartSeries Ahz = InHertz(model_.Series[std::size_t(model_.SeriesCount() - 2)], fu),
                    Phz = InHertz(model_.Series[std::size_t(model_.SeriesCount() - 1)], fu);
  SynthesisPlan sp;
  if (!PlanFromFields(*fmBackSpectr, Ahz, Phz, *prompter_, 1, sp)) return;
  const double divisor = known > 0 ? known : fmBackSpectr->AskedDivisor();
  const std::string phaseTitle = model_.Series[std::size_t(model_.SeriesCount() - 1)].Title;
  const std::size_t skipped = NanXCount(model_.Series[std::size_t(model_.SeriesCount() - 1)].X);
  const int unit = fmBackSpectr->cbTime->currentIndex();
  std::vector<double> x, y;
  {
    ChartLongCommand lc(*this, kStopFourier);
    if (!Rebuild(*this, *prompter_, Ahz, Phz, sp, divisor, OutputTimeFactor(unit), x, y)) return;
  }
  // Stopped before a point was made: nothing to show, and the spectrum stays.
  if (x.empty()) return;
  const int out = model_.AddSeries("Восстановленный из спектра сигнал", model_.SeriesDefaultColor(),
                                   model_.NextUnnamedName());
  model_.Series[std::size_t(out)].X = std::move(x);
  model_.Series[std::size_t(out)].Y = std::move(y);
  model_.Series[std::size_t(out)].XTitle = TimeAxisTitle(unit);
  model_.SetAxisTitles(TimeAxisTitle(unit), model_.Texts.YAxisCaption);
  if (fmBackSpectr->CheckBox1->isChecked()) CloseSpectrumPair(model_);
  RefreshChart();
  ReportSkipped({{phaseTitle, skipped}});
}

}  // namespace rv
