// Window tests of the chart viewer (offscreen). Modal dialogs are driven by timers that
// wait for the dialog to come up; a watchdog rejects anything left open so a failure never
// hangs the run.
#include <gtest/gtest.h>

#include <filesystem>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <cmath>
#include <functional>
#include <thread>

#include <qcustomplot.h>

#include "charts/curvefile.h"
#include "charts/ui/TfmChart.h"
#include "charts/ui/TfmSelectGr.h"
#include "charts/ui/TfmSelectGrParam.h"
#include "charts/ui/TfmSelectTwoGr.h"
#include "charts/ui/TfmValue.h"
#include "platform/prompter.h"
#include "solver/codepage.h"
#include "../../charts/charts_testutil.h"
#include "chart_window_util.h"

using namespace rv;
using rv::test::TempDir;
using rv::test::WriteBytes;
using rv::test::Joined;
using rv::test::TestOptions;
using rv::test::WhenModal;
using rv::test::AcceptTypedNames;

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

}  // namespace

// Open two curve files through the open dialog, choose the second in the selection dialog,
// save it under a new name through the save dialog and read the file back.
TEST(TfmChartWindow, OpenTwoSelectOneSaveAndReadBack) {
  TempDir dir;
  ScriptedPrompter msgs;
  // The first open of a session starts in the project's results folder, where the curves are.
  const std::string results = dir.file("Results - p/");
  std::filesystem::create_directories(results);
  WriteBytes(results + "a.grf", CurveText(50, 1.0, "Первая"));
  WriteBytes(results + "b.grf", CurveText(80, 3.0, "Вторая"));
  TfmChart w(TestOptions(dir, msgs));
  w.setResultsFolder([&] { return results; });
  w.show();

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
  EXPECT_EQ(w.model().Series[0].Title, "Первая");
  EXPECT_EQ(w.model().Series[1].Count(), 80u);
  EXPECT_EQ(w.model().ActiveGraph, 1);
  EXPECT_TRUE(w.Label1->text().startsWith("Активен график № 2 (80 точек)"));
  EXPECT_TRUE(w.Edit1->isEnabled());
  EXPECT_TRUE(w.mnVid->isEnabled());
  EXPECT_TRUE(msgs.shown.empty()) << Joined(msgs.shown);
  // The folder is remembered at once.
  ChartSettings st;
  ReadChartSettings(dir.file("chart.INI"), "none", st);
  EXPECT_EQ(st.IniDir, results);
  EXPECT_EQ(w.Chart->plottableCount(), 2);

  const std::string target = dir.file("saved.srg");
  bool selectionSeen = false;
  WhenModal([&](QWidget* m) {
    auto* sel = qobject_cast<TfmSelectGr*>(m);
    if (!sel) return false;
    selectionSeen = true;
    EXPECT_EQ(sel->windowTitle(), "Сохранить график");
    // The hint is read in full.
    EXPECT_GE(sel->StatusBar1->width(),
              sel->StatusBar1->fontMetrics().horizontalAdvance(sel->StatusBar1->currentMessage()));
    EXPECT_EQ(sel->ListBox1->count(), 2);
    EXPECT_EQ(sel->ListBox1->item(1)->text(), "2. b.grf: Вторая");
    // The active graph's entry starts selected.
    EXPECT_TRUE(sel->ListBox1->item(1)->isSelected());
    EXPECT_FALSE(sel->ListBox1->item(0)->isSelected());
    WhenModal([&](QWidget* m2) {
      auto* d = qobject_cast<QFileDialog*>(m2);
      if (d != w.SaveD) return false;
      return AcceptTypedNames(d, QString::fromStdString(target), {"saved.srg"});
    });
    QTest::mouseClick(sel->btnOK, Qt::LeftButton);
    return true;
  });
  w.Save1Click();
  EXPECT_TRUE(selectionSeen);
  EXPECT_EQ(w.model().FileNames[1], target) << Joined(msgs.shown);
  EXPECT_EQ(w.model().FileNames[0], "a.grf");

  ChartModel back;
  const CurveLoadResult r = LoadGraphFile(back, target);
  ASSERT_TRUE(r.ok) << r.message;
  ASSERT_EQ(back.Series[0].Count(), 80u);
  const ChartSeries& orig = w.model().Series[1];
  for (std::size_t i = 0; i < 80; ++i) {
    EXPECT_EQ(back.Series[0].X[i], orig.X[i]);
    EXPECT_EQ(back.Series[0].Y[i], orig.Y[i]);
  }
  EXPECT_EQ(back.Series[0].Title, "Вторая");
  EXPECT_EQ(back.Texts.BottomAxisTitle, "t, нс");

  // Saving onto an existing file asks first; "Нет" shows the dialog again (cancelled here).
  msgs.answers = {PromptButton::No};
  int saveDialogs = 0;
  std::function<bool(QWidget*)> onSave;
  WhenModal([&](QWidget* m) {
    auto* sel = qobject_cast<TfmSelectGr*>(m);
    if (!sel) return false;
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
    return true;
  });
  w.Save1Click();
  EXPECT_EQ(saveDialogs, 2);
  ASSERT_FALSE(msgs.shown.empty());
  EXPECT_EQ(msgs.shown.back(), "Файл " + target + " уже есть. Переписать?");
}

TEST(TfmChartWindow, CloseThroughDialogAndDeleteAll) {
  TempDir dir;
  ScriptedPrompter msgs;
  TfmChart w(TestOptions(dir, msgs));
  for (int k = 0; k < 3; ++k) {
    ChartModel& m = w.model();
    const int i = m.AddNamedSeries(std::string("g").append(std::to_string(k)));
    m.Series[std::size_t(i)].AddXY(0, k);
    m.Series[std::size_t(i)].AddXY(1, k);
  }
  w.RefreshChart();
  // Close the first: the others move up and keep the first two colours.
  WhenModal([&](QWidget* m) {
    auto* sel = qobject_cast<TfmSelectGr*>(m);
    if (!sel) return false;
    EXPECT_EQ(sel->windowTitle(), "Закрыть график");
    sel->ListBox1->clearSelection();
    sel->ListBox1->item(0)->setSelected(true);
    sel->accept();
    return true;
  });
  w.Close1Click();
  ASSERT_EQ(w.model().SeriesCount(), 2);
  EXPECT_EQ(w.model().Series[0].Title, "g1");
  EXPECT_EQ(w.model().Series[0].Color, PaletteColor(0));
  EXPECT_EQ(w.Chart->plottableCount(), 2);
  EXPECT_EQ(w.Chart->plottable(0)->pen().color(), QColor(Qt::black));

  // OK with nothing selected is a cancel, with a message.
  WhenModal([&](QWidget* m) {
    auto* sel = qobject_cast<TfmSelectGr*>(m);
    if (!sel) return false;
    sel->Button2Click();
    EXPECT_EQ(sel->ListBox1->selectedItems().size(), 2);
    sel->Button1Click();
    EXPECT_EQ(sel->ListBox1->selectedItems().size(), 0);
    sel->accept();
    return true;
  });
  w.Close1Click();
  EXPECT_EQ(w.model().SeriesCount(), 2);
  ASSERT_FALSE(msgs.shown.empty());
  EXPECT_EQ(msgs.shown.back(), "Нет выбранных графиков");

  w.DeleteAll1Click();
  EXPECT_EQ(w.model().SeriesCount(), 0);
  EXPECT_EQ(w.model().ActiveGraph, -1);
  EXPECT_TRUE(w.Label1->text().isEmpty());
  EXPECT_FALSE(w.Edit1->isEnabled());
  EXPECT_FALSE(w.mnVid->isEnabled());
  EXPECT_EQ(w.Chart->plottableCount(), 0);
}

// Curves are drawn as graphs where X never decreases and as parametric curves otherwise;
// infinities become gaps.
TEST(TfmChartWindow, DrawsGraphsCurvesAndGaps) {
  TempDir dir;
  ScriptedPrompter msgs;
  TfmChart w(TestOptions(dir, msgs));
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
  EXPECT_TRUE(std::isnan(g->data()->at(4)->value));
  EXPECT_TRUE(std::isnan(g->data()->at(6)->value));
  EXPECT_EQ(g->data()->at(5)->value, 5);
  // The curve keeps the points' order, not X's.
  ASSERT_EQ(c->dataCount(), 10);
  EXPECT_DOUBLE_EQ(c->data()->at(3)->key, std::cos(3));
  EXPECT_TRUE(std::isnan(c->data()->at(2)->value));
  // The axes ignore the infinities.
  EXPECT_LE(w.Chart->yAxis->range().upper, 10);
  EXPECT_EQ(g->name(), "1. func");
  // Drawing does not fail with them either.
  const QPixmap px = w.Chart->toPixmap(400, 300);
  EXPECT_FALSE(px.isNull());
}

// A long command shows "СТОП", disables the rest and holds the live feed back; the stop
// button sets StopRequested.
TEST(TfmChartWindow, LongCommandAndLiveFeed) {
  TempDir dir;
  ScriptedPrompter msgs;
  TfmChart w(TestOptions(dir, msgs));
  w.show();
  const LiveFeed::Handle h0 = w.AddRunSeries(" Ex(5,6,7)");
  const LiveFeed::Handle h1 = w.AddRunSeries(" Ey(5,6,7)");
  EXPECT_EQ(w.model().FileNames[1], " Ey(5,6,7)");
  EXPECT_EQ(w.model().ActiveGraph, 1);
  {
    ChartLongCommand lc(w);
    EXPECT_FALSE(w.menuBar()->isEnabled());
    EXPECT_TRUE(w.btnStop->isEnabled());
    EXPECT_FALSE(lc.StopRequested());
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
    EXPECT_TRUE(lc.StopRequested());
    EXPECT_FALSE(w.btnStop->isVisible());
  }
  EXPECT_TRUE(w.menuBar()->isEnabled());
  EXPECT_TRUE(QTest::qWaitFor([&] { return w.model().Series[1].Count() == 1000u; }, 2000));
  auto* g = qobject_cast<QCPGraph*>(w.Chart->plottable(1));
  ASSERT_NE(g, nullptr);
  EXPECT_EQ(g->dataCount(), 1000);
  EXPECT_EQ(g->data()->at(999)->value, -999);
}

// Creation: no settings file gives the default place and size; a curve file named on the
// command line is loaded without showing the window; closing keeps the place.
TEST(TfmChartWindow, SettingsAndCommandLine) {
  TempDir dir;
  ScriptedPrompter msgs;
  WriteBytes(dir.file("cmd.srg"), CurveText(5, 1.0, "Из командной строки"));
  WriteBytes(dir.file("proj.fdt"), "1 2\r\n");
  {
    TfmChart w(TestOptions(dir, msgs, {QString::fromStdString(dir.file("cmd.srg"))}));
    EXPECT_FALSE(w.isVisible());
    ASSERT_EQ(w.model().SeriesCount(), 1);
    EXPECT_EQ(w.model().Series[0].Title, "Из командной строки");
    EXPECT_EQ(w.x(), 99);
    EXPECT_EQ(w.y(), 47);
    EXPECT_EQ(w.width(), 683);
    EXPECT_EQ(w.height(), 506);
    EXPECT_EQ(w.IniDir(), dir.file(""));
    EXPECT_EQ(w.OpenD->directory().absolutePath() + "/", QString::fromStdString(dir.file("")));
    w.show();
    w.move(150, 60);
    w.resize(700, 520);
    QTest::qWait(20);
    EXPECT_TRUE(w.windowTitle().startsWith("График "));
    EXPECT_TRUE(w.windowTitle().endsWith(") см"));
    w.close();
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(w.model().SeriesCount(), 1);  // closing only hides
  }
  ChartSettings s;
  ASSERT_TRUE(ReadChartSettings(dir.file("chart.INI"), "", s));
  EXPECT_EQ(s.Width, 700);
  EXPECT_EQ(s.Height, 520);
  TfmChart w2(TestOptions(dir, msgs, {QString::fromStdString(dir.file("proj.fdt"))}));
  EXPECT_EQ(w2.model().SeriesCount(), 0);  // a project is the main window's
  EXPECT_EQ(w2.width(), 700);
  TfmChart w3(TestOptions(dir, msgs, {QString::fromStdString(dir.file("missing.grf"))}));
  EXPECT_EQ(w3.model().SeriesCount(), 0);
  EXPECT_TRUE(msgs.shown.empty());
}

// A malformed file: the message, the points before it kept, later files of the command
// not read; a file that cannot be opened is only reported.
TEST(TfmChartWindow, MalformedFileStopsTheOpenCommand) {
  TempDir dir;
  ScriptedPrompter msgs;
  WriteBytes(dir.file("bad.grf"), "1 2\r\n2 3\r\nx 4\r\n");
  WriteBytes(dir.file("good.grf"), "1 2\r\n");
  TfmChart w(TestOptions(dir, msgs));
  w.OpenFiles({QString::fromStdString(dir.file("missing.grf")), QString::fromStdString(dir.file("bad.grf")),
               QString::fromStdString(dir.file("good.grf"))});
  ASSERT_EQ(msgs.shown.size(), 2u);
  EXPECT_TRUE(msgs.shown[0].starts_with("Невозможно открыть файл:"));
  EXPECT_NE(msgs.shown[1].find("строке 3"), std::string::npos);
  EXPECT_EQ(msgs.errors, msgs.shown);  // both in error boxes
  ASSERT_EQ(w.model().SeriesCount(), 1);
  EXPECT_EQ(w.model().Series[0].Count(), 2u);
}

TEST(ChartDialogs, ValueFieldAndHistory) {
  TempDir dir;
  const std::string hist = dir.file("TmpVal.txt");
  WriteBytes(hist, "2.5\r\nnot a number\r\n7\r\n");
  {
    TfmValue v(hist);
    EXPECT_EQ(v.edValue->count(), 2);
    EXPECT_EQ(v.Text(), "2.5");
    v.show();
    v.edValue->lineEdit()->clear();
    QTest::keyClicks(v.edValue->lineEdit(), "1,5");
    EXPECT_EQ(v.Text(), "1.5");
    QTest::keyClicks(v.edValue->lineEdit(), ",.x7");
    EXPECT_EQ(v.Text(), "1.57");
    double d = 0;
    EXPECT_TRUE(v.Value(d));
    EXPECT_DOUBLE_EQ(d, 1.57);
    for (int i = 0; i < 12; ++i) {
      v.edValue->setEditText(QString::number(100 + i));
      v.edValueExit();
    }
    EXPECT_EQ(v.edValue->itemText(0), "111");
    v.hide();
    WhenModal([&](QWidget* m) {
      if (m != &v) return false;
      v.edValue->setEditText("42");
      QTest::mouseClick(v.btnOK, Qt::LeftButton);
      return true;
    });
    EXPECT_TRUE(v.Execute("Введите число"));
    EXPECT_EQ(v.windowTitle(), "Введите число");
    EXPECT_EQ(v.edValue->itemText(0), "42");
  }
  ValueHistory back;
  back.Load(hist);
  ASSERT_EQ(back.Items().size(), 10u);
  EXPECT_EQ(back.Items()[0], "42");
  EXPECT_EQ(back.Items()[1], "111");

  TfmSelectTwoGr two;
  WhenModal([&](QWidget* m) {
    if (m != &two) return false;
    EXPECT_EQ(two.SpinEdit1->maximum(), 4);
    EXPECT_EQ(two.SpinEdit2->minimum(), 1);
    two.reject();
    return true;
  });
  EXPECT_FALSE(two.Execute(4));
  TfmSelectGrParam prm;
  EXPECT_EQ(prm.ComboBoxTime->currentText(), "Наносекунды");
  EXPECT_EQ(prm.ComboBoxScale->currentText(), "Амперы");
}

// A generated curve arrives through a temporary file as a new unnamed graph; a click on a
// legend entry makes that graph active and draws it wider.
TEST(TfmChartWindow, GeneratedCurveAndLegendClick) {
  TempDir dir;
  ScriptedPrompter msgs;
  TfmChart w(TestOptions(dir, msgs));
  w.show();
  const int counter = w.model().UnnamedGraphCounter;
  ASSERT_TRUE(w.LoadGeneratedCurve({0, 1, 2, 3}, {0, 1, 4, 9}, "Парабола", "x", "y"));
  ASSERT_TRUE(w.LoadGeneratedCurve({0, 1, 2, 3}, {0, -1, -4, -9}, "Минус", "x", "y"));
  ASSERT_EQ(w.model().SeriesCount(), 2);
  EXPECT_EQ(w.model().Series[0].Title, "Парабола");
  EXPECT_EQ(w.model().FileNames[0], "Без имени-" + std::to_string(counter));
  EXPECT_EQ(w.model().FileNames[1], "Без имени-" + std::to_string(counter + 1));
  EXPECT_EQ(w.model().Texts.YAxisCaption, "y");
  EXPECT_TRUE(msgs.shown.empty());

  w.Chart->replot();
  QCPAbstractLegendItem* item = w.Chart->legend->item(0);
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(w.model().ActiveGraph, 1);
  QTest::mouseClick(w.Chart, Qt::LeftButton, Qt::NoModifier, item->outerRect().center());
  EXPECT_EQ(w.model().ActiveGraph, 0);
  EXPECT_EQ(w.model().Series[0].PenWidth, 2);
  EXPECT_EQ(w.model().Series[1].PenWidth, 1);
  EXPECT_EQ(w.Chart->plottable(0)->pen().width(), 2);
  EXPECT_TRUE(w.Label1->text().startsWith("Активен график № 1"));
}
