// The main window driven like a user (offscreen): a new project, a 20^3 grid with one
// voltage source, a run started, watched, paused, resumed and stopped.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>
#include <QToolTip>

#include "project/mainsettings.h"
#include "project/runstart.h"
#include "ui_fixture.h"

using namespace rvtest;

namespace {

std::string Text(QLabel* l) { return l->text().toStdString(); }

struct MainWindow : ::testing::Test {
  Program prog;
  SolverData& d = prog.d;
  ScriptedPrompter& p = prog.prompter;
  TfmNew3dMain& w = prog.w;

  // A new project of 20^3 cells with one 50-ohm voltage source in the middle, driven by the
  // voltage sources only.
  void SetUpProject() {
    SourcesOnlyProject(w, 20);
    w.seStepCount->setValue(1000000);
    Row(w.Lamped().sgSourses, d.Modified, {"10", "10", "10", "50", "Z", "+"});
  }
  void AllFaces(int border) {
    for (QComboBox* c : {w.ComboBox1, w.ComboBox2, w.ComboBox3, w.ComboBox4, w.ComboBox5, w.ComboBox6})
      c->setCurrentIndex(border);
  }
  // Start, stop, pause buttons and the project page: which take clicks.
  std::vector<bool> Controls() const {
    return {w.btnPusk->isEnabled(), w.btnStop->isEnabled(), w.btnPauza->isEnabled(),
            w.TabSheet1->isEnabled(), w.mnNewProject->isEnabled()};
  }
  const std::vector<bool> idleControls{true, false, false, true, true};
};

}  // namespace

TEST_F(MainWindow, NewProjectDefaultsAndDerivedLabels) {
  w.mnNewProjectClick();
  EXPECT_EQ(QToolTip::palette().color(QPalette::ToolTipBase), QColor(0xCC, 0xFF, 0xCC));
  EXPECT_EQ(std::tuple(w.spX->value(), w.edX->text().toStdString(), w.seStepCount->value(), w.ComboBox3->currentIndex(),
                       d.Modified.load(), d.Space.len1()),
            std::tuple(50, "0.01", 100, int(rv::BorderMur), 0, 51));
  EXPECT_EQ(std::tuple(w.eddT->text().left(9).toStdString(), Text(w.lbTotal)),
            std::tuple("0.0192583", "Количество ячеек: 125 000 шт."));
  // A user edit marks the project modified and the labels follow.
  w.spX->setValue(100);
  EXPECT_EQ(std::tuple(d.Modified.load(), d.Nx, Text(w.lbTotal)), std::tuple(1, 100, "Количество ячеек: 250 000 шт."));
  // An RT-ABC face fixes the time step to half the cell.
  w.N4Click(rv::BorderRTABC + 1);
  EXPECT_EQ(std::tuple(w.eddT->isEnabled(), w.lbKurant->text().left(14).toStdString()), std::tuple(false, "Для RT-ABC: = "));
  w.N4Click(rv::BorderMur + 1);
  EXPECT_TRUE(w.eddT->isEnabled());
  // Doubling beyond the spin range is refused and changes nothing.
  w.spX->setValue(4000);
  w.mnDoubleVolumClick();
  EXPECT_TRUE(!p.warnings.empty() && p.warnings.back().find("5000") != std::string::npos);
  EXPECT_EQ(w.spX->value(), 4000);
  w.spX->setValue(20);
  w.mnDoubleVolumClick();
  EXPECT_EQ(std::tuple(w.spX->value(), w.edX->text().toStdString(), w.seStepCount->value()), std::tuple(40, "0.005", 200));

  // Closing asks to save while modified: Cancel keeps the window, so does Yes with the save
  // dialog cancelled; No closes.
  w.show();
  for (PromptButton b : {PromptButton::Cancel, PromptButton::Yes, PromptButton::No}) {
    p.answers = {b};
    EXPECT_EQ(w.close(), b == PromptButton::No) << int(b);
  }
}

// A cell size or a step that gives no run is said beside its field as it is typed; the
// limit line does not keep the old cells' limit, and «Пуск» names the same.
TEST_F(MainWindow, CellSizeAndStepMistakesAreSaidBesideTheirFields) {
  w.mnNewProjectClick();
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  const auto shown = [](QLabel* l) { return l->isVisible() ? Text(l) : std::string("-"); };
  // Types the text in place of the field's and gives what the label beside it says.
  const auto type = [&](QLineEdit* e, const char* text) {
    e->setFocus();
    e->selectAll();
    QTest::keyClick(e, Qt::Key_Backspace);
    QTest::keyClicks(e, text);
    return shown(e == w.eddT ? w.lbStepError : w.lbSizeError);
  };
  const std::string limit = Text(w.lbKurant), size = "Размер ячейки по ", step = "«Шаг по времени, нс:» = ";
  ASSERT_EQ(std::tuple(shown(w.lbSizeError), shown(w.lbStepError), limit.starts_with("По условию устойчивости: <= 0.0192")),
            std::tuple("-", "-", true));
  EXPECT_EQ(type(w.edX, "abc"), size + "X = \"abc\" — не число");
  EXPECT_EQ(Text(w.lbKurant), "Предел устойчивости не вычислен: неверный размер ячейки");
  type(w.edX, "0.01");
  EXPECT_EQ(type(w.edZ, "-0.001"), size + "Z = \"-0.001\" — не больше 0");
  EXPECT_EQ(type(w.edY, "0"), size + "Y = \"0\" — не больше 0\n" + size + "Z = \"-0.001\" — не больше 0");
  // Each a number, the cell's volume beyond the number range: the largest is named.
  type(w.edY, "1e200");
  EXPECT_EQ(type(w.edZ, "1e150"), size + "Y = \"1e200\" — объем ячейки вне диапазона чисел");
  p.answers = {PromptButton::Yes};
  w.btnPuskClick();
  ASSERT_FALSE(p.warnings.empty());
  EXPECT_EQ(p.warnings.back(), rv::runmsg::BadCellSizeText("по Y = \"1e200\" — объем ячейки вне диапазона чисел"));
  type(w.edY, "0.01");
  type(w.edZ, "0.01");
  QTest::keyClick(w.edZ, Qt::Key_Return);
  EXPECT_EQ(std::tuple(shown(w.lbSizeError), Text(w.lbKurant)), std::tuple("-", limit));
  for (const auto& [typed, said] : {std::pair<const char*, std::string>{"", step + "\"\" — пусто"},
                                    {"-1", step + "\"-1\" — не больше 0"}, {"0.01", "-"}})
    EXPECT_EQ(type(w.eddT, typed), said) << typed;
}

TEST_F(MainWindow, RunPauseResumeStopAndCloseOnlyWhenIdle) {
  w.show();
  SetUpProject();
  // Nothing under the mouse moves when a run starts or ends.
  auto buttonsAt = [this] {
    return std::vector<QPoint>{w.btnPusk->mapTo(&w, QPoint()), w.btnStop->mapTo(&w, QPoint()),
                               w.btnPauza->mapTo(&w, QPoint())};
  };
  QApplication::processEvents();
  const std::vector<QPoint> idle = buttonsAt();

  w.btnPuskClick();
  ASSERT_TRUE(p.shown.empty()) << p.shown.front();
  EXPECT_EQ(Controls(), (std::vector<bool>{false, true, true, false, false}));
  EXPECT_TRUE(w.StaticText1->isVisible() && w.TabSheetReport->isEnabled());
  EXPECT_EQ(std::tuple(d.CalcRunning.load(), d.Stopped.load(), d.Nx), std::tuple(1, 0, 20));

  // The labels follow the run: a full refresh at step 1 and every 500 steps.
  ASSERT_TRUE(WaitFor([&] { return Text(w.lbStep).rfind("Шаг ", 0) == 0; }, 10000));
  const std::string first = Text(w.lbStep);
  ASSERT_TRUE(WaitFor([&] { return Text(w.lbStep) != first; }, 10000));
  EXPECT_EQ(Text(w.lbStep).find("/1000000 ("), Text(w.lbStep).find('/'));
  for (auto [l, head] : {std::pair{w.lbLapTime, "Затрачено времени: "}, {w.lbOneTime, "Время на один шаг "},
                         {w.lbLeftTime, "Осталось времени: "}})
    EXPECT_EQ(Text(l).rfind(head, 0), 0u) << head;
  EXPECT_GT(w.ProgressBar1->value(), 0);
  EXPECT_NE(Text(w.lbStep).find("(" + w.ProgressBar1->text().toStdString() + ")"), std::string::npos)
      << w.ProgressBar1->text().toStdString();
  QApplication::processEvents();
  EXPECT_EQ(buttonsAt(), idle);

  // Closing is refused while the run is active, and the user is told how to stop it.
  EXPECT_TRUE(!w.close() && w.isVisible());
  ASSERT_EQ(p.warnings.size(), 1u);
  EXPECT_EQ(p.warnings[0], "Идет счет: программу нельзя закрыть до его окончания.\n"
                           "Чтобы закрыть программу, остановите счет кнопкой \"Стоп\".");
  p.messages.clear();

  // Pause holds the steps; resume lets them go on.
  QTest::mouseClick(w.btnPauza, Qt::LeftButton);
  EXPECT_EQ(std::tuple(Text(w.lbLeftTime), w.btnPauza->isChecked()), std::tuple("Пауза", true));
  QTest::qWait(100);
  const int held = d.CurStep;
  QTest::qWait(300);
  EXPECT_EQ(d.CurStep.load(), held);
  QTest::mouseClick(w.btnPauza, Qt::LeftButton);
  EXPECT_EQ(std::tuple(Text(w.lbLeftTime), w.btnPauza->isChecked()), std::tuple("Возобновление счета", false));
  ASSERT_TRUE(WaitFor([&] { return d.CurStep > held + 10; }, 10000));

  // Stop asks first: No goes on, Yes stops (also from a pause).
  p.answers = {PromptButton::No};
  QTest::mouseClick(w.btnStop, Qt::LeftButton);
  EXPECT_EQ(std::tuple(p.questions.back(), d.Stopped.load()), std::tuple("Остановить?", 0));
  QTest::mouseClick(w.btnPauza, Qt::LeftButton);
  p.answers = {PromptButton::Yes};
  QTest::mouseClick(w.btnStop, Qt::LeftButton);
  EXPECT_EQ(Text(w.lbLeftTime), "Ожидание остановки счета");
  ASSERT_TRUE(WaitFor([&] { return d.CalcRunning == 0 && !w.Running(); }, 10000));
  // The labels say where the user stopped the run, not that it finished.
  const std::string stoppedAt = std::to_string(d.CurStep.load());
  EXPECT_EQ(std::tuple(Text(w.lbLeftTime), Text(w.lbStep).rfind("Шаг " + stoppedAt + "/1000000 (", 0),
                       Text(w.lbOneTime).rfind("Среднее время на один шаг ", 0)),
            std::tuple("Счет остановлен пользователем на шаге " + stoppedAt + ".", 0u, 0u));
  QApplication::processEvents();
  EXPECT_EQ(buttonsAt(), idle);
  EXPECT_EQ(Controls(), idleControls);
  // A stop leaves the step count.
  EXPECT_EQ(std::tuple(d.Stopped.load(), d.Hx.empty(), d.StepCount.load()), std::tuple(1, true, 1000000));
  const std::string memo = w.Memo1->toPlainText().toStdString();
  EXPECT_TRUE(memo.find("Счет запущен в ") != memo.npos && memo.find("Счет остановлен пользователем на шаге " + stoppedAt + " в ") != memo.npos &&
              memo.find("внутренней ошибке") == memo.npos) << memo;

  // Idle now: closing goes through the save question.
  p.answers = {PromptButton::No};
  EXPECT_TRUE(w.close());
}

// A completed run (PML on every face) reports its steps.
TEST_F(MainWindow, ARunWithPMLOnEveryFace) {
  SetUpProject();
  for (QLineEdit* e : {w.edX, w.edY, w.edZ}) e->setText("0.001");
  AllFaces(rv::BorderPML);
  EXPECT_EQ(Text(w.lbPMLFreq), "Минимальная частота, МГц: 26.822");
  EXPECT_EQ(Text(w.lbPMLTime), "Максимальное время, нс: 37.282");
  w.seStepCount->setValue(30);
  w.btnPuskClick();
  ASSERT_TRUE(WaitFor([&] { return !w.Running(); }, 10000));
  EXPECT_TRUE(p.shown.empty());
  EXPECT_EQ(std::tuple(d.StepCount.load(), d.CurStep.load(), d.Hx.empty()), std::tuple(30, 30, true));
  EXPECT_EQ(Text(w.lbStep).substr(0, Text(w.lbStep).find('.')), "Шаг 30/30 (100%)");
  EXPECT_EQ(Text(w.lbLeftTime), "Счет завершен.");
}

// The far field through the window: a step count raised during a run keeps the series of an
// uninterrupted run.
TEST_F(MainWindow, FarFieldSeriesWithAStepCountRaisedMidRun) {
  SetUpProject();
  AllFaces(rv::BorderMur);
  w.cbFarPoints->setChecked(true);
  for (QSpinBox* s : {w.spFarXmin, w.spFarYmin, w.spFarZmin}) s->setValue(4);
  for (QSpinBox* s : {w.spFarXmax, w.spFarYmax, w.spFarZmax}) s->setValue(16);
  Row(w.Outputs().sgFarPoints, d.Modified, {"10", "10", "30"});
  const std::string base = FreshDir("rv_winfar", "");
  auto series = [&](const char* run, bool raise) {
    d.FARDir = base + run + "/";
    w.seStepCount->setValue(raise ? 60 : 120);
    w.btnPuskClick();
    if (raise) {
      // The loop waits for the window after its first step: pause it there, raise, resume.
      w.btnPauzaClick();
      w.seStepCount->setValue(120);
      w.btnPauzaClick();
    }
    EXPECT_TRUE(WaitFor([&] { return !w.Running(); }, 20000));
    return ReadFile(d.FARDir + "E(10,10,30)z.grf");
  };
  const std::string whole = series("whole", false), raised = series("raised", true);
  EXPECT_TRUE(p.shown.empty()) << p.shown.front();
  EXPECT_EQ(std::count(whole.begin(), whole.end(), '\n'), 117);
  EXPECT_EQ(raised, whole);
}
