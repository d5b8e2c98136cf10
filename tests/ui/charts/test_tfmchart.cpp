// Window tests of the chart viewer (offscreen). Modal dialogs are driven by timers that
// wait for the dialog to come up; a watchdog rejects anything left open so a failure never
// hangs the run.

#include <filesystem>

#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QMenuBar>
#include <QSpinBox>
#include <QTest>
#include <QToolButton>

#include <memory>
#include <thread>

#include <qcustomplot.h>

#include "charts/chartaxes.h"
#include "charts/curvefile.h"
#include "charts/ui/TfmSelectGr.h"
#include "charts/ui/TfmSelectTwoGr.h"
#include "charts/ui/TfmValue.h"
#include "solver/codepage.h"
#include "chart_window_util.h"

#include <QToolBar>

using namespace rv;
using rv::test::AcceptTypedNames;
using rv::test::Joined;
using rv::test::TempDir;
using rv::test::TestOptions;
using rv::test::Answer;
using rv::test::WhenModal;
using rv::test::WriteBytes;
using TfmChartWindow = rv::test::ChartWindowTest;

namespace {

std::string CurveText(int n, double scale, const std::string& title) {
  std::string s;
  for (int i = 0; i < n; ++i) {
    s += CurveNumber(i * 0.5) + " " + CurveNumber(std::sin(i * 0.1) * scale);
    if (i < 2) s.append(" ").append(Utf8ToCp1251(i == 0 ? title : std::string("t, нс")));
    s += "\r\n";
  }
  return s;
}

// The plot's own text telling how to open a curve, when drawn.
bool EmptyHintShown(TfmChart& w) {
  for (int i = 0; i < w.Chart->itemCount(); ++i)
    if (auto* t = qobject_cast<QCPItemText*>(w.Chart->item(i)); t && t->visible() && t->text().startsWith("Графиков нет"))
      return true;
  return false;
}

}  // namespace

// Open two curve files through the open dialog, choose the second in the selection dialog,
// save it under a new name through the save dialog and read the file back.
TEST_F(TfmChartWindow, OpenTwoSelectOneSaveAndReadBack) {
  // The first open of a session starts in the project's results folder, where the curves are.
  const std::string results = dir.file("Results - p/");
  std::filesystem::create_directories(results);
  WriteBytes(results + "a.grf", CurveText(50, 1.0, "Первая"));
  WriteBytes(results + "b.grf", CurveText(80, 3.0, "Вторая"));
  w.setResultsFolder([&] { return results; });

  QString startedIn;
  WhenModal([&](QWidget* m) {
    auto* d = qobject_cast<QFileDialog*>(m);
    if (d != w.OpenD) return false;
    if (startedIn.isEmpty()) startedIn = d->directory().absolutePath() + "/";
    return AcceptTypedNames(d, "\"a.grf\" \"b.grf\"", {"a.grf", "b.grf"});
  });
  w.btnOpenClick();
  EXPECT_EQ(startedIn.toStdString(), results);
  ASSERT_EQ(w.model().SeriesCount(), 2);
  EXPECT_EQ(std::tuple(w.model().Series[0].Title, w.model().Series[1].Count(), w.model().ActiveGraph),
            std::tuple("Первая", 80u, 1));
  EXPECT_TRUE(w.Label1->text().startsWith("Активен график № 2 (80 точек)"));
  EXPECT_TRUE(w.Edit1->isEnabled() && w.mnVid->isEnabled());
  EXPECT_TRUE(msgs.shown.empty()) << Joined(msgs.shown);
  // The folder is remembered at once.
  ChartSettings st;
  ReadChartSettings(dir.file("chart.INI"), "none", st);
  EXPECT_EQ(std::tuple(st.IniDir, w.Chart->plottableCount()), std::tuple(results, 2));

  const std::string target = dir.file("saved.srg");
  Answer<TfmSelectGr>([&](TfmSelectGr* sel) {
    EXPECT_EQ(sel->windowTitle(), "Сохранить график");
    // The hint is read in full, and spaced as written.
    EXPECT_EQ(sel->StatusBar1->currentMessage(), "Выделите требуемые графики, используя мышь и клавиши Shift или Ctrl");
    EXPECT_GE(sel->StatusBar1->width(),
              sel->StatusBar1->fontMetrics().horizontalAdvance(sel->StatusBar1->currentMessage()));
    EXPECT_EQ(sel->ListBox1->item(1)->text(), "2. b.grf: Вторая");
    // The active graph's entry starts selected.
    EXPECT_EQ(std::tuple(sel->ListBox1->item(0)->isSelected(), sel->ListBox1->item(1)->isSelected()),
              std::tuple(false, true));
    WhenModal([&](QWidget* m2) {
      auto* d = qobject_cast<QFileDialog*>(m2);
      if (d != w.SaveD) return false;
      return AcceptTypedNames(d, QString::fromStdString(target), {"saved.srg"});
    });
    QTest::mouseClick(sel->btnOK, Qt::LeftButton);
  });
  w.Save1Click();
  EXPECT_EQ(std::tuple(w.model().FileNames[0], w.model().FileNames[1]), std::tuple("a.grf", target)) << Joined(msgs.shown);

  ChartModel back;
  const CurveLoadResult r = LoadGraphFile(back, target);
  ASSERT_TRUE(r.ok) << r.message;
  EXPECT_EQ(std::tie(back.Series[0].X, back.Series[0].Y), std::tie(w.model().Series[1].X, w.model().Series[1].Y));
  EXPECT_EQ(std::tuple(back.Series[0].Title, back.Texts.BottomAxisTitle), std::tuple("Вторая", "t, нс"));

  // Saving onto an existing file asks first; "Нет" shows the dialog again (cancelled here).
  msgs.answers = {PromptButton::No};
  int saveDialogs = 0;
  std::function<bool(QWidget*)> onSave;
  Answer<TfmSelectGr>([&](TfmSelectGr* sel) {
    onSave = [&](QWidget* m2) {
      auto* d = qobject_cast<QFileDialog*>(m2);
      if (d != w.SaveD) return false;
      if (saveDialogs == 0) {
        if (!AcceptTypedNames(d, QString::fromStdString(target), {"saved.srg"})) return false;
        WhenModal(onSave);
      } else {
        d->reject();
      }
      ++saveDialogs;
      return true;
    };
    WhenModal(onSave);
    sel->accept();
  });
  w.Save1Click();
  EXPECT_EQ(saveDialogs, 2);
  EXPECT_EQ(msgs.shown, std::vector<std::string>{"Файл " + target + " уже есть. Переписать?"});
}

TEST_F(TfmChartWindow, CloseThroughDialogAndDeleteAll) {
  for (int k = 0; k < 3; ++k) w.model().Series[std::size_t(w.model().AddNamedSeries("g"))].AddXY(0, k);
  w.RefreshChart();
  // Close the first: the others move up and are drawn in the first two colours.
  Answer<TfmSelectGr>([&](TfmSelectGr* sel) {
    EXPECT_EQ(sel->windowTitle(), "Закрыть график");
    sel->ListBox1->clearSelection();
    sel->ListBox1->item(0)->setSelected(true);
    sel->accept();
  });
  w.Close1Click();
  ASSERT_EQ(w.Chart->plottableCount(), 2);
  EXPECT_EQ(std::tuple(w.model().Series[0].Y[0], w.Chart->plottable(0)->pen().color()), std::tuple(1.0, QColor(Qt::black)));

  // OK with nothing selected is a cancel, with a message.
  Answer<TfmSelectGr>([&](TfmSelectGr* sel) {
    sel->Button2Click();
    EXPECT_EQ(sel->ListBox1->selectedItems().size(), 2);
    sel->Button1Click();
    EXPECT_EQ(sel->ListBox1->selectedItems().size(), 0);
    sel->accept();
  });
  w.Close1Click();
  EXPECT_EQ(std::tuple(w.model().SeriesCount(), msgs.shown), std::tuple(2, std::vector<std::string>{"Нет выбранных графиков"}));

  w.DeleteAll1Click();
  EXPECT_EQ(w.Chart->plottableCount(), 0);
  EXPECT_TRUE(w.Label1->text().isEmpty());
  EXPECT_FALSE(w.Edit1->isEnabled() || w.mnVid->isEnabled());
}

// Curves are drawn as graphs where X never decreases and as parametric curves otherwise;
// infinities become gaps.
TEST_F(TfmChartWindow, DrawsGraphsCurvesAndGaps) {
  ChartModel& m = w.model();
  const int a = m.AddNamedSeries("func");
  for (int i = 0; i < 10; ++i) m.Series[std::size_t(a)].AddXY(i, i == 4 ? INFINITY : i == 6 ? -INFINITY : i);
  const int b = m.AddNamedSeries("loop");
  for (int i = 0; i < 10; ++i) m.Series[std::size_t(b)].AddXY(std::cos(i), i == 2 ? NAN : std::sin(i));
  w.RefreshChart();
  auto* g = qobject_cast<QCPGraph*>(w.Chart->plottable(0));
  auto* c = qobject_cast<QCPCurve*>(w.Chart->plottable(1));
  ASSERT_NE(g, nullptr);
  ASSERT_NE(c, nullptr);
  ASSERT_EQ(g->dataCount(), 10);
  EXPECT_TRUE(std::isnan(g->data()->at(4)->value) && std::isnan(g->data()->at(6)->value));
  EXPECT_EQ(g->data()->at(5)->value, 5);
  // The curve keeps the points' order, not X's.
  ASSERT_EQ(c->dataCount(), 10);
  EXPECT_DOUBLE_EQ(c->data()->at(3)->key, std::cos(3));
  EXPECT_TRUE(std::isnan(c->data()->at(2)->value));
  EXPECT_LE(w.Chart->yAxis->range().upper, 10);  // the axes ignore the infinities
  EXPECT_FALSE(w.Chart->toPixmap(400, 300).isNull());  // drawing copes with them too
}

// A long command shows "СТОП", disables the rest and holds the live feed back; the stop
// button sets StopRequested.
TEST_F(TfmChartWindow, LongCommandAndLiveFeed) {
  const LiveFeed::Handle h0 = w.AddRunSeries(" Ex(5,6,7)");
  const LiveFeed::Handle h1 = w.AddRunSeries(" Ey(5,6,7)");
  EXPECT_EQ(std::tuple(w.model().FileNames[1], w.model().ActiveGraph), std::tuple(" Ey(5,6,7)", 1));
  {
    ChartLongCommand lc(w, kStopConvolution);
    EXPECT_EQ(std::tuple(w.menuBar()->isEnabled(), w.btnStop->isEnabled(), lc.StopRequested(), w.btnStop->toolTip()),
              std::tuple(false, true, false, QString(kStopConvolution)));
    EXPECT_TRUE(QTest::qWaitFor([&] { return w.btnStop->isVisible(); }, 1000));
    std::thread calc([&] {
      for (int i = 0; i < 1000; ++i) {
        w.liveFeed().Append(h0, i, i);
        w.liveFeed().Append(h1, i, -i);
      }
    });
    calc.join();
    QTest::qWait(120);  // the drain timer runs, but must leave the series alone
    EXPECT_EQ(w.model().Series[0].Count(), 0u);
    lc.Progress(37);
    EXPECT_EQ(w.lbProgress->text(), "37 %");
    QTest::mouseClick(w.btnStop, Qt::LeftButton);
    EXPECT_TRUE(lc.StopRequested() && !w.btnStop->isVisible());
  }
  EXPECT_TRUE(w.menuBar()->isEnabled());
  EXPECT_TRUE(QTest::qWaitFor([&] { return w.model().Series[1].Count() == 1000u; }, 2000));
  auto* g = qobject_cast<QCPGraph*>(w.Chart->plottable(1));
  ASSERT_NE(g, nullptr);
  EXPECT_EQ(g->data()->at(999)->value, -999);
}

// Creation: no settings file gives the default place and size; a curve file named on the
// command line is loaded without showing the window; closing keeps the place.
TEST(TfmChartStartup, SettingsAndCommandLine) {
  TempDir dir;
  ScriptedPrompter msgs;
  WriteBytes(dir.file("cmd.srg"), CurveText(5, 1.0, "Из командной строки"));
  WriteBytes(dir.file("proj.fdt"), "1 2\r\n");
  {
    TfmChart w(TestOptions(dir, msgs, {QString::fromStdString(dir.file("cmd.srg"))}));
    EXPECT_FALSE(w.isVisible());
    ASSERT_EQ(w.model().SeriesCount(), 1);
    EXPECT_EQ(w.model().Series[0].Title, "Из командной строки");
    EXPECT_EQ(w.geometry(), QRect(99, 47, 683, 506));
    EXPECT_EQ(w.OpenD->directory().absolutePath() + "/", QString::fromStdString(dir.file("")));
    w.show();
    w.move(150, 60);
    w.resize(700, 520);
    QTest::qWait(20);
    EXPECT_TRUE(w.windowTitle().startsWith("График ") && w.windowTitle().endsWith(") см"));
    // A tool bar hidden gives the plot more room, not the window: the caption follows the plot.
    const int plotHeight = w.Chart->height();
    w.ToolBar1->hide();
    QTest::qWait(20);
    EXPECT_GT(w.Chart->height(), plotHeight);
    EXPECT_EQ(w.windowTitle().toStdString(), ChartCaption(w.Chart->width(), w.Chart->height()));
    w.ToolBar1->show();
    w.close();
    EXPECT_EQ(w.model().SeriesCount(), 1);  // closing only hides
  }
  ChartSettings s;
  ASSERT_TRUE(ReadChartSettings(dir.file("chart.INI"), "", s));
  EXPECT_EQ(std::tuple(s.Width, s.Height), std::tuple(700, 520));
  TfmChart w2(TestOptions(dir, msgs, {QString::fromStdString(dir.file("proj.fdt"))}));
  EXPECT_EQ(w2.model().SeriesCount(), 0);  // a project is the main window's
  EXPECT_EQ(w2.width(), 700);
  TfmChart w3(TestOptions(dir, msgs, {QString::fromStdString(dir.file("missing.grf"))}));
  EXPECT_EQ(w3.model().SeriesCount(), 0);
  EXPECT_TRUE(msgs.shown.empty());
}

// A malformed file: the message, the points before it kept, later files of the command
// not read; a file that cannot be opened is only reported.
TEST_F(TfmChartWindow, MalformedFileStopsTheOpenCommand) {
  WriteBytes(dir.file("bad.grf"), "1 2\r\n2 3\r\nx 4\r\n");
  WriteBytes(dir.file("good.grf"), "1 2\r\n");
  w.OpenFiles({QString::fromStdString(dir.file("missing.grf")), QString::fromStdString(dir.file("bad.grf")),
               QString::fromStdString(dir.file("good.grf"))});
  ASSERT_EQ(msgs.shown.size(), 2u);
  EXPECT_TRUE(msgs.shown[0].starts_with("Невозможно открыть файл:"));
  EXPECT_NE(msgs.shown[1].find("строке 3"), std::string::npos);
  EXPECT_EQ(msgs.errors, msgs.shown);  // both in error boxes
  ASSERT_EQ(w.model().SeriesCount(), 1);
  EXPECT_EQ(w.model().Series[0].Count(), 2u);
}

// A file that gives no point adds no series and does not end the command; it is reported.
TEST_F(TfmChartWindow, FilesWithoutPointsAddNoSeries) {
  WriteBytes(dir.file("blank.grf"), " \r\n");
  WriteBytes(dir.file("good.grf"), "1 2\r\n");
  w.OpenFiles({QString::fromStdString(dir.file("blank.grf")), QString::fromStdString(dir.file("good.grf"))});
  EXPECT_EQ(msgs.errors, std::vector<std::string>{"В файле " + dir.file("blank.grf") +
                                                  " нет ни одной точки графика. График не добавлен"});
  ASSERT_EQ(w.model().SeriesCount(), 1);
  EXPECT_EQ(std::tuple(w.model().Series[0].Count(), w.model().ActiveGraph), std::tuple(1u, 0));
}

TEST(ChartDialogs, ValueFieldAndHistory) {
  TempDir dir;
  const std::string hist = dir.file("TmpVal.txt");
  WriteBytes(hist, "2.5\r\nnot a number\r\n7\r\n");
  {
    TfmValue v(hist);
    EXPECT_EQ(std::tuple(v.edValue->count(), v.Text()), std::tuple(2, QString("2.5")));
    v.show();
    v.edValue->lineEdit()->clear();
    QTest::keyClicks(v.edValue->lineEdit(), "1,5,.x7");  // the key filter at work
    double d = 0;
    ASSERT_TRUE(v.Value(d));
    EXPECT_EQ(std::tuple(v.Text(), d), std::tuple(QString("1.57"), 1.57));
    v.edValue->setEditText("111");
    v.edValueExit();
    EXPECT_EQ(v.edValue->itemText(0), "111");
    v.hide();
    WhenModal([&](QWidget* m) {
      if (m != &v) return false;
      v.edValue->setEditText("42");
      QTest::mouseClick(v.btnOK, Qt::LeftButton);
      return true;
    });
    EXPECT_TRUE(v.Execute("Введите число"));
    EXPECT_EQ(v.edValue->itemText(0), "42");
  }
  ValueHistory back;
  back.Load(hist);
  ASSERT_GE(back.Items().size(), 2u);
  EXPECT_EQ(std::tuple(back.Items()[0], back.Items()[1]), std::tuple("42", "111"));

  TfmSelectTwoGr two;
  WhenModal([&](QWidget* m) {
    if (m != &two) return false;
    EXPECT_EQ(std::tuple(two.SpinEdit1->maximum(), two.SpinEdit2->minimum()), std::tuple(4, 1));
    two.reject();
    return true;
  });
  EXPECT_FALSE(two.Execute(4));
}

// An empty chart offers only opening, a new curve and closing; the bars' buttons follow
// their menu items.
TEST_F(TfmChartWindow, WithoutCurvesOnlyOpeningAndClosingAreOffered) {
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  const auto offered = [&] {
    std::vector<std::string> on;
    for (QToolBar* bar : {w.ToolBar1, w.ToolBar2})
      for (QAction* a : bar->actions())
        if (!a->isSeparator() && a->isEnabled() && bar->widgetForAction(a)->isEnabled())
          on.push_back(a->text().toStdString());
    for (QAction* a : {w.Save1, w.Close1, w.DeleteAll1, w.Edit1->menuAction(), w.mnVid->menuAction()})
      if (a->isEnabled()) on.push_back(a->text().toStdString());
    return on;
  };
  const std::vector<std::string> empty = offered();
  EXPECT_TRUE(w.findChild<QAction*>("ImpRect")->isEnabled() && EmptyHintShown(w));
  ASSERT_TRUE(w.LoadGeneratedCurve({0, 1, 2, 3}, {0, 1, 4, 9}, "Парабола", "x", "y"));
  const std::vector<std::string> full = offered();
  // Caption, times offered without curves, times with one.
  for (const auto& [caption, without, with] :
       {std::tuple("Открыть", 1, 1), {"Закрыть", 1, 1}, {"Сохранить", 0, 1}, {"Закрыть график", 0, 1}, {"X→0", 0, 1},
        {"дБ", 0, 1}, {"Среднее", 0, 1}, {"СКЗ", 0, 1}, {"W", 0, 1}, {"Спектр", 0, 1}, {"Σ", 0, 1},
        {"Сохранить график..", 0, 1}, {"Редактировать", 0, 1}, {"Вид", 0, 1}})
    EXPECT_EQ(std::pair(std::count(empty.begin(), empty.end(), caption), std::count(full.begin(), full.end(), caption)),
              std::pair(long(without), long(with))) << caption;
  EXPECT_TRUE(w.btnEdit->isEnabled() && !EmptyHintShown(w));

  w.DeleteAll1Click();
  EXPECT_EQ(offered(), empty);
}

// A generated curve arrives through a temporary file as a new unnamed graph; a click on a
// legend entry makes that graph active and draws it wider.
TEST_F(TfmChartWindow, GeneratedCurveAndLegendClick) {
  ASSERT_TRUE(w.LoadGeneratedCurve({0, 1, 2, 3}, {0, 1, 4, 9}, "Парабола", "x", "y"));
  ASSERT_TRUE(w.LoadGeneratedCurve({0, 1, 2, 3}, {0, -1, -4, -9}, "Минус", "x", "y"));
  ASSERT_EQ(w.model().SeriesCount(), 2);
  EXPECT_EQ(std::tuple(w.model().Series[0].Title, msgs.shown.size()), std::tuple("Парабола", 0u));

  w.Chart->replot();
  QCPAbstractLegendItem* item = w.Chart->legend->item(0);
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(w.model().ActiveGraph, 1);
  QTest::mouseClick(w.Chart, Qt::LeftButton, Qt::NoModifier, item->outerRect().center());
  EXPECT_EQ(std::tuple(w.model().ActiveGraph, w.Chart->plottable(0)->pen().width(), w.Chart->plottable(1)->pen().width()),
            std::tuple(0, 2, 1));
  EXPECT_TRUE(w.Label1->text().startsWith("Активен график № 1"));
}

// An export of more channels than the window shows usefully asks first: No adds nothing
// and says nothing more, Yes adds them all. Legend and plot follow the model through
// adding, closing some and closing all.
TEST_F(TfmChartWindow, ManyChannelsAskFirstAndLegendFollows) {
  const int channels = kManyChannels + 1;
  std::string csv;
  for (int line = 0; line < 3; ++line) {
    for (int c = 0; c < channels; ++c)
      csv += std::string(c ? "," : "") + (line == 0 && c == 0 ? "Record Length" : "Source") + ",CH,," +
             CurveNumber(line * 1e-9) + "," + CurveNumber(c) + ",";
    csv += "\r\n";
  }
  const std::string file = dir.file("many.csv");
  WriteBytes(file, csv);
  msgs.answers = {PromptButton::No, PromptButton::Yes};
  w.LoadGraphFile(QString::fromStdString(file));
  ASSERT_EQ(msgs.questions.size(), 1u);
  EXPECT_EQ(msgs.questions[0], ManyChannelsQuestion(file, channels));
  EXPECT_EQ(std::tuple(w.model().SeriesCount(), msgs.errors.size(), w.Chart->plottableCount()), std::tuple(0, 0u, 0));
  w.LoadGraphFile(QString::fromStdString(file));
  ASSERT_EQ(w.model().SeriesCount(), channels);
  auto legendCount = [this] { return w.Chart->legend->itemCount(); };
  EXPECT_EQ(std::pair(w.Chart->plottableCount(), legendCount()), std::pair(channels, channels));
  std::vector<int> odd;
  for (int i = 1; i < channels; i += 2) odd.push_back(i);
  w.model().CloseGraphs(odd);
  w.RefreshChart();
  const int left = channels - int(odd.size());
  ASSERT_EQ(std::pair(w.Chart->plottableCount(), legendCount()), std::pair(left, left));
  // The survivors keep their order: channel 2k's constant value is 2k.
  EXPECT_EQ(w.model().Series[1].Y[0], 2.0);
  EXPECT_EQ(w.Chart->plottable(left - 1)->name(), QString::fromStdString(w.model().LegendText(left - 1)));
  w.DeleteAll1Click();
  EXPECT_EQ(std::tuple(w.Chart->plottableCount(), legendCount(), w.Chart->legend->rowCount()), std::tuple(0, 0, 0));
}

// A curve titled with its absolute path (the far-field diagrams) shows its file name in the
// legend; the path stays in the title, so the selection list and a saved file keep it. The
// selection dialog's invert button reads «Инверсия выделенного».
TEST_F(TfmChartWindow, PathTitleLegendAndSelectionButtons) {
  const std::string path = "/home/u/Results - scatterer/FAR/DiagrX_1.grf";
  WriteBytes(dir.file("DiagrX_1.grf"), CurveText(10, 1.0, path));
  WriteBytes(dir.file("ui.grf"), CurveText(10, 1.0, "U/I"));
  w.OpenFiles({QString::fromStdString(dir.file("DiagrX_1.grf")), QString::fromStdString(dir.file("ui.grf"))});
  ASSERT_EQ(w.Chart->plottableCount(), 2);
  EXPECT_EQ(std::pair(w.Chart->plottable(0)->name(), w.Chart->plottable(1)->name()),
            std::pair(QString("1. DiagrX_1.grf"), QString("2. U/I")));
  EXPECT_EQ(w.model().Series[0].Title, path);
  QStringList entries;
  Answer<TfmSelectGr>([&entries](TfmSelectGr* s) {
    EXPECT_EQ(s->Button1->text(), "Инверсия выделенного");
    for (int i = 0; i < s->ListBox1->count(); ++i) entries << s->ListBox1->item(i)->text();
    s->reject();
  });
  w.mnSelectActiveClick();
  EXPECT_EQ(entries.value(0), QString::fromStdString("1. DiagrX_1.grf: " + path));
  w.resize(700, 500);
  w.show();
  QApplication::processEvents();
}

// The legend stands in one of two holders, right of or below the plot: both belong to the
// window, the one never shown included, and go with it.
TEST(TfmChartTeardown, BothLegendHoldersGoWithTheWindow) {
  TempDir dir;
  ScriptedPrompter msgs;
  auto w = std::make_unique<TfmChart>(TestOptions(dir, msgs));
  int holders = 0, gone = 0;
  for (QCPLayoutGrid* g : w->findChildren<QCPLayoutGrid*>())
    if (g != w->Chart->plotLayout() && !qobject_cast<QCPLegend*>(g)) {
      ++holders;
      QObject::connect(g, &QObject::destroyed, [&gone] { ++gone; });
    }
  EXPECT_EQ(holders, 2);
  w.reset();
  EXPECT_EQ(gone, holders);
}
