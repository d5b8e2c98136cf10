#include "project/runfinish.h"

#include <exception>

#include "project/progresstext.h"
#include "solver/power.h"

namespace rv {

namespace {

// Runs one step of the end that may fail; a failure of any kind becomes a message.
template <class F>
bool Guarded(F&& f, std::string& err) {
  try {
    return f();
  } catch (const std::exception& e) {
    err = e.what();
  } catch (...) {
    err = "неизвестная ошибка";
  }
  return false;
}

}  // namespace

EndOfRunReport FinishRun(SolverData& d, OutputRun& outputs, const EndOfRunInput& in) {
  EndOfRunReport r;
  const std::string now = TimeOfDayText(in.NowMs);
  auto writeFailed = [&](const std::string& err) {
    r.WriteFailed = true;
    const std::string text = err.empty() ? std::string("Ошибка записи файлов результатов") : err;
    r.Messages.push_back(text);
    r.MemoLines.push_back("Ошибка записи результатов в " + now + ": " + text);
  };

  // Sums that ran away by the last step would make reports of INF and NaN just as well:
  // such a run has diverged too, whatever its loop saw.
  std::string error = in.Outcome.Error;
  bool diverged = in.Outcome.End == RunEnd::Diverged;
  const bool sarDue = d.SAROn && d.CurStep - d.SARDelay > 0;
  if (!diverged && in.Outcome.End != RunEnd::Failed &&
      ((d.FarFieldOn && in.FarFieldFinite && !in.FarFieldFinite()) ||
       (sarDue && !PowerSumsFinite(d)))) {
    diverged = true;
    error = RunDiverged(d.CurStep).what();
  }
  // The reports of a run whose fields ran away would hold only INF and NaN.
  if (diverged) {
    r.Diverged = true;
    d.Stopped = 1;
    r.MemoLines.push_back("Счет остановлен в " + now + ": расчет расходится.");
    r.MemoLines.push_back(error);
    if (d.FarFieldOn || sarDue)
      r.MemoLines.push_back("Дальнее поле и поглощенная мощность расходящегося расчета не записаны.");
    r.Messages.push_back(error);
  } else if (d.Stopped == 0 || in.Outcome.End == RunEnd::Failed) {
    r.InternalError = true;
    d.Stopped = 1;
    r.MemoLines.push_back("Счет прерван по внутренней ошибке в " + now);
    if (!in.Outcome.Error.empty()) r.MemoLines.push_back(in.Outcome.Error);
  }

  if (!diverged && d.FarFieldOn && in.SaveFarField) {
    std::string err;
    if (!Guarded([&] { return in.SaveFarField(err); }, err)) writeFailed(err);
  }

  // Outputs the run left out or recorded without their file, named with the end.
  const std::vector<std::string> notWritten = outputs.NotWritten;
  for (const std::string& e : CloseOutputFiles(outputs)) writeFailed(e);
  for (const std::string& l : notWritten) r.MemoLines.push_back("Не записан выход: " + l);

  if (!diverged && sarDue) {
    std::string err;
    if (Guarded([&] { return WriteSARReports(d, in.Sar, err, &r.Sar); }, err))
      r.SarWritten = true;
    else
      writeFailed(err);
  }
  // A run that ended before its first step of absorbed power has no SAR report: said, so
  // that no end reads as if the report were there.
  const bool sarMissed = d.SAROn && !sarDue;
  if (sarMissed)
    r.MemoLines.push_back("Отчеты SAR не записаны: счет закончился на шаге " + std::to_string(d.CurStep) +
                          ", а поглощенная мощность копится только после шага " + std::to_string(d.SARDelay) +
                          " («Начать вычисление SAR с шага:» на странице «Геометрия»).");

  FreeFieldArrays(d);
  if (in.FreeRunFeatures) {
    std::string err;
    if (!Guarded([&] { in.FreeRunFeatures(); return true; }, err)) r.MemoLines.push_back(err);
  }
  d.CalcRunning = 0;
  d.Stopped = 1;

  // A stop that came after the last step left nothing undone: that run is finished.
  const bool userStop = !diverged && !r.InternalError && in.Outcome.End == RunEnd::Stopped &&
                        in.Outcome.StepsDone < d.StepCount;
  const std::string noSar = std::string(sarMissed ? "; SAR не вычислен" : "") +
                            (notWritten.empty() ? "" : "; не записано выходов: " + std::to_string(notWritten.size()));
  const std::string stopText =
      "Счет остановлен пользователем на шаге " + std::to_string(in.Outcome.StepsDone);
  if (diverged)
    r.LeftTimeText = "Счет остановлен: расчет расходится.";
  else if (r.InternalError)
    r.LeftTimeText = "Счет прерван по внутренней ошибке.";
  else if (userStop)
    r.LeftTimeText = stopText + (r.WriteFailed ? "; ошибка записи результатов" : "") + noSar + ".";
  else
    r.LeftTimeText = (r.WriteFailed ? "Счет завершен с ошибкой записи результатов" : "Счет завершен") + noSar + ".";
  r.StoppedLine = userStop         ? stopText + " в " + now
                  : diverged        ? "Счет остановлен в " + now
                  : r.InternalError ? "Счет прерван в " + now
                                    : "Счет завершен в " + now;
  return r;
}

}  // namespace rv
