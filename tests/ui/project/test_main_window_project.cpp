// The main window with its project commands, its signal window and the chart window
// (offscreen): save, new project and load by name bring a project back; the close question
// saves for real; a project named on the command line opens at the first activation; a run
// takes its signal from the signal window and ends with its curve file, its series and the
// SAR report.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <qcustomplot.h>

#include <algorithm>
#include <cmath>

#include "project/mainsettings.h"
#include "ui_fixture.h"

using namespace rvtest;
using ::testing::AllOf;
using ::testing::FieldsAre;
using ::testing::HasSubstr;
using ::testing::StartsWith;
namespace fs = std::filesystem;

namespace {

std::string Dir(const std::string& name) { return rvtest::FreshDir("rv_main_window_project", name); }

// The settings the round trip changes, one on each page, the typed time step and the
// signal's kind.
auto Pages(Program& p) {
  return std::tuple(p.w.spX->value(), p.w.ComboBox2->currentIndex(), p.w.cbEnergy->isChecked(),
                    p.w.eddT->text().toStdString(), p.sw.cbExpression->currentIndex(), p.signal.Get().Kind);
}

}  // namespace

TEST(MainWindowProject, SaveNewProjectAndLoadByNameBringTheProjectBack) {
  const std::string dir = Dir("roundtrip");
  Program p;
  TfmNew3dMain& w = p.w;
  w.mnNewProjectClick();
  ASSERT_TRUE(w.mnSavePrj->isEnabled() && w.mnLoadPrj->isEnabled() && w.btnShowSignal->isEnabled());
  const std::string limit = w.eddT->text().toStdString();
  ASSERT_EQ(limit.rfind("0.0192583", 0), 0u);

  // A setting on each page, a time step within the limit and a signal of another kind. The
  // typed step stays through page switches and changes that leave the grid alone.
  w.spX->setValue(30);
  w.ComboBox2->setCurrentIndex(BorderPEC);
  w.eddT->setText("0.0018");
  w.PageControl1->setCurrentWidget(w.TabSheet2);
  w.PageControl1->setCurrentWidget(w.TabSheet1);
  w.cbEnergy->setChecked(true);
  w.memoProjectNote->setPlainText(QString::fromUtf8("Проба"));
  p.sw.cbExpression->setCurrentIndex(SigGauss);
  p.sw.edits.at("edGaussWidth")->setText("2e-10");
  p.sw.ShowSignalClick();
  EXPECT_EQ(p.d.Modified.load(), 1);

  p.dialogs.save.push_back(dir + "proj.fdt");
  w.mnSavePrj->trigger();
  ASSERT_TRUE(p.prompter.shown.empty()) << Joined(p.prompter.shown);
  EXPECT_EQ(std::tuple(p.d.Modified.load(), Caption(w), fs::exists(dir + "proj.bin"), w.Settings().History[0]),
            std::tuple(0, "Ravelin - proj.fdt", true, dir + "proj.fdt"));
  EXPECT_NE(ReadFile(dir + "proj.fdt").find("dT=0.0018\r\n"), std::string::npos);

  // A new project puts everything back to the defaults, the signal to a sine and the step
  // to the limit of its cells.
  w.mnNewProjectClick();
  EXPECT_TRUE(p.prompter.questions.empty());  // nothing unsaved: no question
  EXPECT_EQ(Pages(p), std::tuple(50, BorderMur, false, limit, SigSin, SigSin));
  EXPECT_EQ(Caption(w), "Ravelin - Новый проект.fdt");  // the file's name, as a loaded one's
  // It goes beside the last project, not among the program's files.
  EXPECT_EQ(std::tuple(w.ProjectFileName(), p.d.ResultDir),
            std::tuple(dir + "Новый проект.fdt", dir + "Results - Новый проект/"));

  // Loaded by name from the history list.
  w.mnHistoryClick();
  w.HistoryItemClick(0);
  ASSERT_TRUE(p.prompter.shown.empty()) << Joined(p.prompter.shown);
  // The signal is what a run would use.
  EXPECT_EQ(Pages(p), std::tuple(30, BorderPEC, true, "0.0018", SigGauss, SigGauss));
  EXPECT_EQ(w.Label33->text().toStdString(), "Конечное время: 0.18 нс");
  EXPECT_EQ(std::tuple(w.memoProjectNote->toPlainText().toStdString(), p.sw.edits.at("edGaussWidth")->text().toStdString(),
                       p.signal.Get().Params.GaussWidth), std::tuple("Проба", "2e-10", 2e-10));
  // The "Источник" page shows the window's preview.
  EXPECT_EQ(size_t(w.Series1->dataCount()), p.sw.PreviewX().size());
  EXPECT_GT(w.Series1->dataCount(), 0);
  EXPECT_EQ(std::tuple(p.d.Modified.load(), Caption(w), w.ProjectFileName(), p.d.ResultDir),
            std::tuple(0, "Ravelin - proj.fdt", dir + "proj.fdt", dir + "Results - proj/"));

  // A history entry whose file is gone is reported and loads nothing.
  fs::remove(dir + "proj.fdt");
  w.HistoryItemClick(0);
  EXPECT_EQ(p.prompter.messages, std::vector<std::string>{"Файл не найден: " + dir + "proj.fdt"});
  // Gone with the copy a killed save left: the copy is named.
  WriteFile(dir + "proj.fdt.old99999999_0", "x");
  w.HistoryItemClick(0);
  EXPECT_NE(p.prompter.messages.back().find("proj.fdt.old99999999_0 — прежний proj.fdt"), std::string::npos);
  // Named by a process that runs now (an id reused after a restart), with what each fits.
  const std::string me = std::to_string(QCoreApplication::applicationPid());
  WriteFile(dir + "proj.fdt.old" + me + "_9", "x");
  WriteFile(dir + "proj.bin.old" + me + "_8", "x");
  w.HistoryItemClick(0);
  EXPECT_THAT(p.prompter.messages.back(),
              AllOf(HasSubstr("proj.fdt.old" + me + "_9 — прежний proj.fdt, в нем не записано, с каким файлом модели"),
                    HasSubstr("proj.bin.old" + me + "_8 — прежний proj.bin, ни с одним из этих файлов проекта")));
}

TEST(MainWindowProject, CloseAndNewProjectSaveForReal) {
  const std::string dir = Dir("close");
  Program p;
  TfmNew3dMain& w = p.w;
  w.show();
  w.mnNewProjectClick();
  w.spY->setValue(33);
  ASSERT_EQ(p.d.Modified.load(), 1);

  // Yes, then the save dialog cancelled: the window stays open, nothing is lost.
  p.prompter.answers = {PromptButton::Yes};
  EXPECT_FALSE(w.close());
  EXPECT_EQ(std::tuple(w.isVisible(), p.prompter.questions.back(), p.d.Modified.load()),
            std::tuple(true, "На всякий случай сохраним проект?", 1));

  // The new-project command stops the same way.
  p.prompter.answers = {PromptButton::Yes};
  w.mnNewProjectClick();
  EXPECT_EQ(w.spY->value(), 33);

  // Yes and a name: saved, then closed.
  p.prompter.answers = {PromptButton::Yes};
  p.dialogs.save.push_back(dir + "closing.fdt");
  EXPECT_TRUE(w.close() && fs::exists(dir + "closing.fdt"));
  EXPECT_NE(ReadFile(dir + "closing.fdt").find("NY=33"), std::string::npos);
}

TEST(MainWindowProject, CommandLineProjectOpensAtTheFirstActivation) {
  const std::string dir = Dir("cmdline");
  {
    Program p;
    p.w.mnNewProjectClick();
    p.w.spZ->setValue(12);
    p.dialogs.save.push_back(dir + "cl.fdt");
    p.w.mnSavePrj->trigger();
  }
  fs::copy_file(dir + "cl.fdt", dir + "upper.FDT");

  // ".FDT" is not a project extension: nothing is loaded.
  {
    Program p;
    p.w.SetCommandLine({QString::fromStdString(dir + "upper.FDT")});
    p.w.FormActivate();
    EXPECT_EQ(std::tuple(p.w.spZ->value(), p.w.StatusBar1->toolTip().toStdString()), std::tuple(50, dir + "upper.FDT"));
  }
  // ".fdt" opens when the window first comes up, and only then.
  {
    Program p;
    p.w.SetCommandLine({QString::fromStdString(dir + "cl.fdt")});
    p.w.show();
    ASSERT_TRUE(WaitFor([&] { return p.w.spZ->value() == 12; }, 5000));
    EXPECT_EQ(std::tuple(Caption(p.w), p.d.Modified.load()), std::tuple("Ravelin - cl.fdt", 0));
    p.w.spZ->setValue(20);
    p.w.FormActivate();
    EXPECT_EQ(p.w.spZ->value(), 20);
  }
}

TEST(MainWindowProject, ARunTakesTheWindowsSignalAndEndsWithItsFiles) {
  const std::string dir = Dir("run");
  ScriptedPrompter chartMessages;
  TfmChart chart(ChartOptions(dir, chartMessages));
  Program p(&chart);
  TfmNew3dMain& w = p.w;
  SolverData& d = p.d;

  // A lossy block round a 50-ohm source, driven by the sources only; one E probe above it.
  SourcesOnlyProject(w, 16);
  d.Layers[1].Sigma = 0.5;
  d.Layers[1].Density = 1000;
  for (int i = 6; i <= 10; ++i)
    for (int j = 6; j <= 10; ++j)
      for (int k = 6; k <= 10; ++k) d.Space(i, j, k) = 1;
  Row(w.Lamped().sgSourses, d.Modified, {"8", "8", "8", "50", "Z", "+"});
  Row(w.Outputs().sgOutPoint, d.Modified, {"E", "Z", "8", "8", "10", "ez"});
  w.Outputs().seOutputRate = 3;
  w.Outputs().cbShowGr = w.Outputs().cbShowInput = true;
  w.cbEnergy->setChecked(true);
  w.seStepCount->setValue(50);
  // A 2 GHz sine: not the program's default signal.
  p.sw.edits.at("edSinFreq")->setText("2e9"); p.sw.edits.at("edSinAmpl")->setText("3");
  p.dialogs.save.push_back(dir + "run.fdt");
  w.mnSavePrj->trigger();
  ASSERT_TRUE(p.prompter.shown.empty()) << Joined(p.prompter.shown);

  // A signal parameter that is not a number refuses the run.
  p.sw.edits.at("edSinFreq")->setText("2 ГГц");
  w.btnPuskClick();
  EXPECT_EQ(p.prompter.warnings, std::vector<std::string>{"Обнаружены ошибки в значениях параметров сигналов\n"
                                     "«Частота, Гц:» = \"2 ГГц\" (вид сигнала «Синусоида») не является числом.\n"
                                     "Исправьте параметры сигнала: кнопка «Выбор формы сигнала» на странице «Источник»."});
  EXPECT_TRUE(!w.Running() && w.btnPusk->isEnabled() && d.Hx.empty());
  p.sw.edits.at("edSinFreq")->setText("2e9");
  p.prompter.messages.clear();
  p.prompter.shown.clear();

  w.btnPuskClick();
  ASSERT_TRUE(p.prompter.shown.empty()) << Joined(p.prompter.shown);
  ASSERT_TRUE(w.Running());
  ASSERT_TRUE(WaitFor([&] { return !w.Running(); }, 20000));
  EXPECT_TRUE(p.prompter.shown.empty()) << Joined(p.prompter.shown);

  // The probe's curve file (its lines are the recorder's own tests): one line per third step.
  const std::string results = dir + "Results - run/";
  const std::string curve = ReadFile(results + "ez.srg");
  const size_t lines = size_t((50 + 2) / 3);
  EXPECT_EQ(size_t(std::count(curve.begin(), curve.end(), '\n')), lines);

  // The chart: the probe's series, then the source signal, which is the window's sine.
  const ChartModel& m = chart.model();
  ASSERT_EQ(m.SeriesCount(), 2);
  ASSERT_EQ(std::tuple(m.Series[0].Title, m.Series[1].Title, m.Series[0].Count(), m.Series[1].Count()),
            std::tuple("Ez(8,8,10)", "Исходный сигнал", lines, lines));
  // The live legend reads as the curve file's title line (cp1251; the title is ASCII here).
  const std::string head = curve.substr(0, curve.find('\r'));
  EXPECT_EQ(head.substr(head.size() - m.Series[0].Title.size() - 1), " " + m.Series[0].Title);
  double peak = 0;
  for (size_t i = 0; i < lines; ++i) {
    const double t = m.Series[1].X[i] * 1e-9;
    EXPECT_NEAR(m.Series[1].Y[i], 3 * std::sin(2 * M_PI * 2e9 * t), 1e-5) << i;
    peak = std::max(peak, std::fabs(m.Series[0].Y[i]));
  }
  EXPECT_GT(peak, 0);  // the field reached the probe
  EXPECT_TRUE(chart.isVisible());  // plotting on and series there: shown at the end

  // The SAR report, and the window idle again.
  EXPECT_TRUE(fs::exists(results + "SAR/SAR.txt") && fs::exists(results + "SAR/SAR_by_1g.dat"));
  EXPECT_EQ(std::tuple(d.CalcRunning.load(), d.Stopped.load(), d.Hx.empty(), w.btnPusk->isEnabled(), w.btnStop->isEnabled(),
                       w.mnLoadPrj->isEnabled(), w.lbLeftTime->text().toStdString()),
            std::tuple(0, 1, true, true, false, true, "Счет завершен."));
  const std::string memo = w.Memo1->toPlainText().toStdString();
  EXPECT_NE(memo.find("Счет завершен в "), std::string::npos);
  EXPECT_EQ(memo.find("внутренней ошибке"), std::string::npos);
  chart.close();
}

TEST(MainWindowProject, EditingTheSignalDuringARunLeavesTheRunsSignal) {
  const std::string dir = Dir("signal_edit");
  ScriptedPrompter chartMessages;
  TfmChart chart(ChartOptions(dir, chartMessages));
  Program p(&chart);
  TfmNew3dMain& w = p.w;
  SolverData& d = p.d;
  SourcesOnlyProject(w, 12);
  Row(w.Lamped().sgSourses, d.Modified, {"6", "6", "6", "50", "Z", "+"});
  w.Outputs().cbShowInput = w.Outputs().cbNoWriteFile = true;
  w.seStepCount->setValue(1000000);
  p.sw.edits.at("edSinFreq")->setText("2e9");

  w.btnPuskClick();
  ASSERT_TRUE(w.Running()) << Joined(p.prompter.shown);
  ASSERT_TRUE(WaitFor([&] { return d.CurStep > 50; }, 10000));
  p.sw.edits.at("edSinFreq")->setText("5e9");
  p.sw.ShowSignalClick();
  EXPECT_EQ(p.signal.Get().Params.SinFreq, 5e9);  // the window's own signal follows at once
  ASSERT_TRUE(WaitFor([&] { return d.CurStep > 150; }, 10000));
  p.prompter.answers = {PromptButton::Yes};
  w.btnStopClick();
  ASSERT_TRUE(WaitFor([&] { return !w.Running(); }, 10000));

  const ChartModel& m = chart.model();
  ASSERT_EQ(m.SeriesCount(), 1);
  ASSERT_GT(m.Series[0].Count(), 150u);
  for (size_t i = 0; i < m.Series[0].Count(); ++i) {
    const double t = m.Series[0].X[i] * 1e-9;
    // The time is recorded in single precision: late in a fast run its rounding shows.
    const double tol = 1e-5 + 2 * M_PI * 2e9 * t * 1.2e-7;
    ASSERT_NEAR(m.Series[0].Y[i], std::sin(2 * M_PI * 2e9 * t), tol) << i;
  }
  chart.close();
}

// A refused start leaves the window idle and the user's curves in the chart window; lumped rows a
// run would leave out are named, each with its table, in one question before the refusal.
TEST(MainWindowProject, ARefusedStartKeepsTheCurvesAndNamesTheRowsLeftOut) {
  const std::string dir = Dir("refused");
  ScriptedPrompter chartMessages;
  TfmChart chart(ChartOptions(dir, chartMessages));
  ASSERT_TRUE(chart.LoadGeneratedCurve({0, 1, 2}, {0, 1, 0}, "U1", "t", "U"));
  Program p(&chart);
  TfmNew3dMain& w = p.w;
  SourcesOnlyProject(w, 16);
  w.Outputs().cbShowGr = true;
  auto row = [&p](StringGrid& g, std::initializer_list<const char*> cells) { Row(g, p.d.Modified, cells); };
  LampedTables& t = w.Lamped();
  row(t.sgSourses, {"8", "8", "8", "50", "Z", "+"});
  row(t.sgResistors, {"", "8", "9", "abc", "Z"});
  row(t.sgResistors, {});  // blank: nothing to leave out
  row(t.sgCapacitors, {"8", "8", "9", "1e-12", "abc"});
  row(t.sgInductor, {"8", "8", "9", "1e-9", "X"});
  row(t.sgInductor, {"30", "8", "9", "1e-9", "X"});
  w.eddT->setText("x");

  p.prompter.answers = {PromptButton::Yes};
  w.btnPuskClick();
  ASSERT_EQ(p.prompter.questions.size(), 1u) << Joined(p.prompter.shown);
  EXPECT_EQ(p.prompter.questions[0],
            "Эти строки сосредоточенных элементов не войдут в расчет:\n"
            "Резисторы, строка 1: не задана координата X\n"
            "Конденсаторы, строка 1: направление \"abc\" не X, Y или Z\n"
            "Индуктивности, строка 2: ячейка (30, 8, 9) вне счетного объема\n"
            "Чтобы они вошли в расчет, измените их в окне «Сосредоточенные элементы» (меню «Окна»).\n"
            "Начать расчет без них?");
  EXPECT_EQ(p.prompter.warnings,
            std::vector<std::string>{rv::runmsg::BadTimeStepText("«Шаг по времени, нс:» = \"x\" — не число")});
  // The refusal came after the arrays were reserved: they are freed and the window is idle.
  EXPECT_EQ(std::tuple(w.Running(), w.btnPusk->isEnabled(), w.btnStop->isEnabled(), w.btnPauza->isEnabled(),
                       w.TabSheet1->isEnabled(), w.StaticText1->isVisibleTo(&w), w.lbStep->text().toStdString()),
            std::tuple(false, true, false, false, true, false, "Ошибка в задании шага по времени."));
  EXPECT_EQ(std::tuple(p.d.Stopped.load(), p.d.CalcRunning.load(), p.d.Hx.empty()), std::tuple(1, 0, true));
  ASSERT_EQ(chart.model().SeriesCount(), 1);
  EXPECT_EQ(std::tuple(chart.model().Series[0].Title, chart.model().Series[0].Count()), std::tuple("U1", 3u));
}

// The typed time step stays through every change that leaves it within the limit; where it
// must give way the status line says so, and an RT-ABC face's fixed step gives it back.
TEST(MainWindowProject, TheTimeStepStaysWhileWithinTheLimitAndItsChangeIsSaid) {
  Program p;
  TfmNew3dMain& w = p.w;
  w.mnNewProjectClick();
  const QString limit = w.eddT->text();
  auto status = [&w] { return w.StatusBar1->currentMessage().toStdString(); };
  auto step = [&] { return std::tuple(w.eddT->text().toStdString(), status()); };
  // Above the limit, or no number: the limit comes back on the next recomputation, said.
  for (const char* bad : {"0.5", "-1", "abc"}) {
    w.eddT->setText(bad);
    w.PageControl1->setCurrentWidget(w.TabSheet2);
    w.PageControl1->setCurrentWidget(w.TabSheet1);
    EXPECT_EQ(w.eddT->text(), limit) << bad;
    EXPECT_THAT(status(), HasSubstr(std::string("Шаг по времени ") + (bad[0] == '0' ? "" : "\"") + bad));
  }
  // Faces, counts and cells that leave it within the limit leave it unsaid; a size typed key by
  // key passes "0.001", whose limit is below the step: the step waits for the size in full.
  w.StatusBar1->clearMessage();
  w.eddT->setText("0.004");
  w.ComboBox2->setCurrentIndex(BorderPEC);
  w.spX->setValue(30);
  w.edX->selectAll();
  QTest::keyClicks(w.edX, "0.0015");
  QTest::keyClick(w.edX, Qt::Key_Return);
  EXPECT_EQ(step(), std::tuple("0.004", ""));
  // Cells whose limit is below the step: the limit, and the line naming both.
  for (QLineEdit* e : {w.edX, w.edY, w.edZ}) e->setText("0.0005");
  EXPECT_THAT(step(), FieldsAre(StartsWith("0.000962"), HasSubstr(" нс больше предела устойчивости " +
                                                                   w.eddT->text().toStdString() + " нс: вместо него")));
  // A step typed anew takes that line away.
  w.eddT->selectAll();
  QTest::keyClicks(w.eddT, "0.0009");
  EXPECT_EQ(status(), "");
  // An RT-ABC face fixes the step, and says so; without it the typed step is back.
  w.ComboBox4->setCurrentIndex(BorderRTABC);
  EXPECT_THAT(step(), FieldsAre(StartsWith("0.00083391"), StartsWith("С гранью RT-ABC шаг по времени равен половине ячейки")));
  w.ComboBox4->setCurrentIndex(BorderMur);
  EXPECT_EQ(step(), std::tuple("0.0009", "Без граней RT-ABC шаг по времени снова введенный: 0.0009 нс."));
  // The double-volume command halves the step with the cell, and says so.
  w.mnDoubleVolumClick();
  EXPECT_EQ(step(), std::tuple("0.00045", "Удвоение объема: шаг по времени уменьшен вдвое вместе с ячейкой — 0.00045 нс "
                                          "вместо 0.0009 нс; число шагов 200."));
  // A new project's step is the limit of its cells, whatever the last one had; said.
  for (QLineEdit* e : {w.edX, w.edY, w.edZ}) e->setText("0.001");
  w.eddT->setText("0.01");
  w.PageControl1->setCurrentWidget(w.TabSheet2);
  w.PageControl1->setCurrentWidget(w.TabSheet1);
  const std::string small = w.eddT->text().toStdString();
  ASSERT_EQ(small.rfind("0.00192583", 0), 0u);
  p.prompter.answers = {PromptButton::No};
  w.mnNewProjectClick();
  EXPECT_EQ(step(), std::tuple(limit.toStdString(), "Новый проект: шаг по времени " + limit.toStdString() +
                                                        " нс — предел устойчивости его ячеек (был " + small + " нс)."));
  EXPECT_EQ(w.Label33->text().toStdString(), "Конечное время: 1.9258 нс");
  // A step typed in the new project stays through its changes.
  w.eddT->setText("0.01");
  w.ComboBox2->setCurrentIndex(BorderPEC);
  w.spX->setValue(30);
  EXPECT_EQ(w.eddT->text(), "0.01");
}

// The preview refuses what the run would with the main window's step, and the page «Источник»
// shows the refusal in its chart's place.
TEST(MainWindowProject, TheSignalPreviewRefusesWhatTheRunWould) {
  Program p;
  TfmNew3dMain& w = p.w;
  w.mnNewProjectClick();  // a step of 0.0192583 ns: 1/(2 dt) = 2.596E10 Hz
  p.sw.edits.at("edSinFreq")->setText("3e10");
  EXPECT_FALSE(p.sw.ShowSignalClick());
  w.TabSheet2Show();
  EXPECT_THAT(std::tuple(w.lbPreviewRefusal->isHidden(), w.Chart1->isHidden(), w.lbPreviewRefusal->text().toStdString()),
              FieldsAre(false, true, HasSubstr("1/(2·Δt) = 2.596")));
  w.eddT->setText("0.01");  // a step that samples it
  EXPECT_TRUE(p.sw.ShowSignalClick());
}

namespace {

std::string Text(QLabel* l) { return l->text().toStdString(); }

void WriteInts(const std::string& path, const std::vector<int32_t>& v) {
  std::string bytes;
  for (int32_t x : v)
    for (int b = 0; b < 4; ++b) bytes += char((uint32_t(x) >> (8 * b)) & 0xFF);
  WriteFile(path, bytes);
}

std::string ReplaceAll(std::string s, const std::string& from, const std::string& to) {
  for (size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size()))
    s.replace(at, from.size(), to);
  return s;
}

}  // namespace

// Loading a project whose model file does not cover its grid: "Нет" leaves the project in
// the window untouched, "Да" loads what the file holds, marks the project changed and says
// how many cells stayed empty. A load clears the run labels of the project before and names
// a stored step the grid cannot carry; a refused start's status line goes once its check
// passes; a new project made after a far-field project runs as it is made.
TEST(MainWindowProject, LoadNotesStaleStatusAndANewProjectThatRuns) {
  const std::string dir = Dir("loadnotes");
  Program p;
  TfmNew3dMain& w = p.w;
  w.mnNewProjectClick();
  for (QSpinBox* s : {w.spX, w.spY, w.spZ}) s->setValue(10);
  p.dialogs.save.push_back(dir + "cut.fdt");
  ASSERT_TRUE(p.io.btnSaveResClick());
  // As an interrupted copy leaves it: whole records, too few cells.
  WriteInts(dir + "cut.bin", {0, 100, 1, 50});
  w.spX->setValue(12);
  const std::string title = Caption(w);

  w.lbStep->setText("Шаг 1500/1500 (100%)");
  p.prompter.answers = {PromptButton::No, PromptButton::No};  // the save question, then the model
  p.io.LoadProjectByName(dir + "cut.fdt");
  ASSERT_EQ(p.prompter.questions.size(), 2u);
  EXPECT_NE(p.prompter.questions[1].find("в нем 150 ячеек, а сетке 10 x 10 x 10 нужно 1000"), std::string::npos)
      << p.prompter.questions[1];
  EXPECT_EQ(std::tuple(w.spX->value(), p.d.Modified.load(), Caption(w), w.ProjectFileName(), Text(w.lbStep)),
            std::tuple(12, 1, title, dir + "cut.fdt", "Шаг 1500/1500 (100%)"));

  // The stored step is also above the limit of its cells.
  WriteFile(dir + "cut.fdt", ReplaceAll(ReadFile(dir + "cut.fdt"), "dT=" + w.eddT->text().toStdString(), "dT=0.5"));
  p.prompter.answers = {PromptButton::No, PromptButton::Yes};  // the save question, then the model
  p.io.LoadProjectByName(dir + "cut.fdt");
  const std::string memo = w.Memo1->toPlainText().toStdString();
  const std::string limit = w.eddT->text().toStdString();
  EXPECT_EQ(std::tuple(w.spX->value(), p.d.Modified.load(), p.d.Space(10, 10, 1), p.d.Space(10, 5, 2), p.d.Space(1, 6, 2), Text(w.lbStep)),
            std::tuple(10, 1, 0, 1, 0, ""));
  EXPECT_NE(memo.find("Файл модели " + dir + "cut.bin не тот, с которым сохранен проект"), std::string::npos) << memo;
  EXPECT_NE(memo.find("в нем 150 ячеек, а сетке 10 x 10 x 10 нужно 1000. Ячеек сетки прочитано: 150 из 1000; "
                      "оставлены пустыми: 850."), std::string::npos) << memo;
  const std::string stepNote =
      "Шаг по времени из проекта 0.5 нс больше предела устойчивости " + limit + " нс: вместо него взят предел.";
  EXPECT_NE(memo.find(stepNote), std::string::npos) << memo;
  EXPECT_EQ(w.StatusBar1->currentMessage().toStdString(), stepNote);

  // A refused start's status line stays while the step is wrong and goes once it is right.
  p.prompter.warnings.clear();
  w.eddT->setText("0.5");
  w.btnPuskClick();
  ASSERT_EQ(p.prompter.warnings.size(), 1u);
  EXPECT_NE(p.prompter.warnings[0].find("«Шаг по времени, нс:» на странице «Геометрия»"), std::string::npos);
  EXPECT_EQ(Text(w.lbStep), rv::runmsg::TimeStepAboveLimitStatus);
  w.eddT->setText("0.4");
  EXPECT_EQ(Text(w.lbStep), rv::runmsg::TimeStepAboveLimitStatus);
  // Retyped, the step passes through "0": the line follows the value the edit holds when
  // its editing ends.
  auto retype = [&](const std::string& text) {
    w.eddT->selectAll();
    QTest::keyClicks(w.eddT, QString::fromStdString(text));
    EXPECT_EQ(std::tuple(w.eddT->text().toStdString(), Text(w.lbStep)),
              std::tuple(text, std::string(rv::runmsg::TimeStepAboveLimitStatus)));
    QTest::keyClick(w.eddT, Qt::Key_Return);
  };
  retype("0.5");
  EXPECT_EQ(Text(w.lbStep), rv::runmsg::TimeStepAboveLimitStatus);
  retype(limit);
  EXPECT_EQ(Text(w.lbStep), "");

  // A far-field project, then a new one: its first start is not refused, and a refusal of
  // the project left behind no longer stands in its status.
  w.eddT->setText("0.5");
  w.btnPuskClick();
  ASSERT_EQ(Text(w.lbStep), rv::runmsg::TimeStepAboveLimitStatus);
  w.cbFarDiagram->setChecked(true);
  QTest::mouseClick(w.rgSources->findChild<QRadioButton*>("rgSources1"), Qt::LeftButton);
  p.prompter.answers = {PromptButton::No};
  w.mnNewProjectClick();
  EXPECT_EQ(Text(w.lbStep), "");  // the refusal spoke of the project left behind
  w.seStepCount->setValue(5);
  p.prompter.warnings.clear();
  w.btnPuskClick();
  ASSERT_TRUE(WaitFor([&] { return !w.Running(); }, 60000));
  for (const std::string& m : p.prompter.warnings) EXPECT_EQ(m, rv::runmsg::OnlyVacuum);
  EXPECT_EQ(Text(w.lbLeftTime), "Счет завершен.");
}

// A stored step the page replaces (above the limit, whether written with a point or a
// decimal comma) marks the loaded project changed, so the next save stores the step in use
// and the load after it says nothing.
TEST(MainWindowProject, AReplacedStoredStepMarksTheProjectChanged) {
  const std::string dir = Dir("storedstep");
  const std::string fdt = dir + "s.fdt";
  Program p;
  TfmNew3dMain& w = p.w;
  w.mnNewProjectClick();
  for (QSpinBox* s : {w.spX, w.spY, w.spZ}) s->setValue(10);
  p.dialogs.save.push_back(fdt);
  ASSERT_TRUE(p.io.btnSaveResClick());
  const std::string limit = w.eddT->text().toStdString();
  for (const char* stored : {"0.5", "0,5"}) {
    SCOPED_TRACE(stored);
    ASSERT_NE(ReadFile(fdt).find("dT=" + limit + "\r\n"), std::string::npos);
    WriteFile(fdt, ReplaceAll(ReadFile(fdt), "dT=" + limit + "\r\n", "dT=" + std::string(stored) + "\r\n"));
    p.prompter.questions.clear();
    // A decimal comma reads as the point: no question, the same replaced step.
    p.io.LoadProjectByName(fdt);
    ASSERT_EQ(p.prompter.questions.size(), 0u);
    EXPECT_EQ(std::tuple(w.eddT->text().toStdString(), p.d.Modified.load()), std::tuple(limit, 1));
    p.dialogs.save.push_back(fdt);
    p.prompter.answers = {PromptButton::Ok};  // replace the file
    ASSERT_TRUE(p.io.btnSaveResClick());
    EXPECT_NE(ReadFile(fdt).find("dT=" + limit + "\r\n"), std::string::npos);
    const std::string memo = w.Memo1->toPlainText().toStdString();
    p.io.LoadProjectByName(fdt);
    EXPECT_EQ(std::tuple(p.d.Modified.load(), w.Memo1->toPlainText().toStdString()), std::tuple(0, memo));
  }
}

// Each refusal's status line names its own cause, the labels of the run before go with the
// refusal, and the line goes once that cause is mended, where the user mends it: a source's
// resistance in its table, a material's values in the materials window (which hands its
// change to the main window), the far field with the external field on its page, a signal
// parameter in the signal window.
TEST(MainWindowProject, ARefusalsStatusLineIsItsOwnAndGoesWhenMended) {
  Program p;
  TfmNew3dMain& w = p.w;
  SourcesOnlyProject(w, 12);
  LampedTables& t = w.Lamped();
  Row(t.sgSourses, p.d.Modified, {"6", "6", "6", "-50", "Z", "+"});
  auto start = [&] {
    p.prompter.warnings.clear();
    w.lbLeftTime->setText("Счет завершен.");  // as the run before left it
    w.btnPuskClick();
    EXPECT_EQ(std::tuple(w.Running(), p.d.Ex.empty(), Text(w.lbLeftTime), p.prompter.warnings.size()),
              std::tuple(false, true, "", 1u));
    return p.prompter.warnings.empty() ? std::string() : p.prompter.warnings[0];
  };

  const std::string source = "Источники, строка 1: неверное значение «R, Ом»";
  EXPECT_EQ(start(), "Неверное внутреннее сопротивление источника напряжения в строке 1 таблицы «Источники»: «R, Ом» = -50 — элемент с отрицательным значением отдает энергию, и поле в "
                              "расчете растет без ограничения. Работа невозможна!\nИзмените «R, Ом» в строке 1 "
                              "таблицы «Источники» окна «Сосредоточенные элементы» (меню «Окна»).");
  EXPECT_EQ(Text(w.lbStep), source);
  w.seStepCount->setValue(20);  // another setting: the cause stands
  EXPECT_EQ(Text(w.lbStep), source);
  t.sgSourses.SetCell(3, 1, "50");
  w.N15Click();  // the lumped-element window closes
  EXPECT_EQ(Text(w.lbStep), "");

  // A material with eps 0, then with a negative conductivity.
  p.d.Space(4, 4, 4) = 1;
  tLayer& m = p.d.Layers[1];
  m.EpsStatic = 0;
  EXPECT_NE(start().find("Материал 1 \"" + m.Name + "\": «Диэл.пр.(f=0)» = 0 — диэлектрическая проницаемость "
                         "должна быть больше 0. Работа невозможна!"),
            std::string::npos);
  EXPECT_EQ(Text(w.lbStep), "Материал 1: недопустимое значение «Диэл.пр.(f=0)»");
  m.EpsStatic = 1;
  w.spXChange(false);  // what the materials window calls on its changes
  EXPECT_EQ(Text(w.lbStep), "");
  m.Sigma = -0.5;
  start();
  EXPECT_EQ(Text(w.lbStep), "Материал 1: недопустимое значение «Провод-сть(См/м)»");
  m.Sigma = 5.8e7;
  w.spXChange(false);
  EXPECT_EQ(Text(w.lbStep), "");

  // The far field with the external field: refused before any label was touched before.
  w.cbFarPoints->setChecked(true);
  QTest::mouseClick(w.rgSources->findChild<QRadioButton*>("rgSources0"), Qt::LeftButton);
  EXPECT_EQ(start(), rv::runmsg::FarFieldWithExternal);
  EXPECT_EQ(Text(w.lbStep), rv::runmsg::FarFieldWithExternalStatus);
  w.cbFarPoints->setChecked(false);
  EXPECT_EQ(Text(w.lbStep), "");

  // A signal parameter: the line goes when the signal window closes with it mended.
  QTest::mouseClick(w.rgSources->findChild<QRadioButton*>("rgSources2"), Qt::LeftButton);
  p.sw.edits.at("edSinFreq")->setText("1 ГГц");
  start();
  EXPECT_EQ(Text(w.lbStep), rv::runmsg::BadSignalStatus);
  p.sw.show();
  p.sw.close();
  EXPECT_EQ(Text(w.lbStep), rv::runmsg::BadSignalStatus);
  p.sw.edits.at("edSinFreq")->setText("1e9");
  p.sw.show();
  p.sw.close();
  EXPECT_EQ(Text(w.lbStep), "");

  // A signal value no run can use, mended in the signal window.
  p.sw.edits.at("edSinAmpl")->setText("0");
  EXPECT_EQ(start(), "Сигнал «Синусоида»: «Амплитуда, В (В/м):» = 0 — сигнал равен нулю во все моменты времени, и "
                     "расчет дал бы нулевые поля на всех выходах. Работа невозможна!\nИзмените «Амплитуда, В (В/м):» "
                     "в окне «Выбор сигнала» (кнопка «Выбор формы сигнала» на странице «Источник»).");
  EXPECT_EQ(Text(w.lbStep), "Сигнал: недопустимое значение «Амплитуда, В (В/м):»");
  p.sw.edits.at("edSinAmpl")->setText("1");
  p.sw.show();
  p.sw.close();
  EXPECT_EQ(Text(w.lbStep), "");
}
