// The live view window on a run of the main window (offscreen): frames on disk and on screen,
// a quantity changed during the run, a change drawn while paused, and the scale's legend.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>

#include <cstring>
#include <filesystem>
#include <set>

#include "common/bmp_read.h"
#include "platform/prompter.h"
#include "project/ui/TfmNew3dMain.h"
#include "project/ui/TfmVisual.h"
#include "solver/resultpaths.h"
#include "solver/solverdata.h"

#include "ui_fixture.h"

using rvtest::WaitFor;

namespace {

std::string Title(const QWidget& w) { return w.windowTitle().toStdString(); }

struct Viewed {
  rv::SolverData d;
  rv::ScriptedPrompter p;
  rv::TfmNew3dMain w{d};
  rv::TfmVisual v{d};
  Viewed() {
    w.SetPrompter(&p);
    rv::MainWindowLinks links;
    links.fmVisual = &v;
    w.SetLinks(links);
    w.mnNewProjectClick();
  }
};

TEST(VisualWindow, LegendAndTheProjectsSettings) {
  Viewed V;
  EXPECT_TRUE(V.w.btnVisual->isEnabled());
  V.w.btnVisual->click();
  EXPECT_TRUE(V.v.isVisible());
  // The new project's quantity is Ez; the project reads and sets the window's controls.
  rv::VizualSettings s = V.w.GetVizual();
  EXPECT_EQ(std::tuple(s.imageRGroup, V.v.imageRGroup->checkedId()), std::tuple(2, 2));
  s.spY = 7, s.SpinEdit1 = 2, s.SpinEdit2 = -3, s.cbLog = true, s.cbYPlane = false;
  V.w.SetVizual(s);
  EXPECT_EQ(std::tuple(V.v.spY->value(), V.v.cbYPlane->isChecked(), V.w.GetVizual().SpinEdit2),
            std::tuple(7, false, -3));
  // lb1 at the top holds the maximum, lb20 the minimum, on both scales.
  auto labels = [&] {
    return std::vector<std::string>{V.v.lb[0]->text().toStdString(), V.v.lb[1]->text().toStdString(),
                                    V.v.lb[19]->text().toStdString()};
  };
  EXPECT_EQ(labels(), (std::vector<std::string>{"0.002", "0.00095", "-0.002"}));
  V.v.cbLog->setChecked(false);
  EXPECT_EQ(labels(), (std::vector<std::string>{"0.002", "0.0018", "-0.002"}));
}

TEST(VisualWindow, ARunWithTheViewShownFramesOnDiskAndAQuantityChangedMidRun) {
  const std::string dir = rvtest::FreshDir("visual_window", "run");
  Viewed V;
  for (QSpinBox* s : {V.w.spX, V.w.spY, V.w.spZ}) s->setValue(21);  // 20^3 cells
  V.w.seStepCount->setValue(1000000);
  V.w.rgSources->findChild<QRadioButton*>("rgSources2")->click();
  rv::StringGrid& g = V.w.Lamped().sgSourses;
  std::atomic<uint8_t> m{0};
  rv::AddGridRow(g, m);
  for (auto [c, t] : {std::pair{0, "11"}, {1, "11"}, {2, "11"}, {3, "50"}, {4, "Z"}, {5, "+"}}) g.SetCell(c, 1, t);
  rv::SetResultPaths(V.d, dir + "run.fdt");
  V.v.imageRGroup->button(0)->setChecked(true);  // Ex
  for (QSpinBox* s : {V.v.spX, V.v.spY, V.v.spZ}) s->setValue(11);
  V.v.seOutputRate->setValue(10);
  V.v.SpinEdit2->setValue(-6);
  V.v.cbLog->setChecked(true);
  V.v.cbWriteToDisk->setChecked(true);
  V.v.show();

  V.w.btnPuskClick();
  ASSERT_TRUE(V.p.shown.empty()) << V.p.shown.front();
  ASSERT_TRUE(WaitFor([&] { return V.v.FrameNumber() >= 2; }, 20000));
  V.v.imageRGroup->button(2)->setChecked(true);  // Ez, during the run

  // Paused: a change is drawn at once, at the step the run holds.
  V.w.btnPauzaClick();
  V.v.SpinEdit1->setValue(0);
  EXPECT_TRUE(WaitFor([&] { return Title(V.v) == "Вывод невозможен, т.к. MAX=MIN "; }, 5000)) << Title(V.v);
  V.v.SpinEdit1->setValue(1);
  const std::string held = "Шаг: " + std::to_string(V.d.CurStep.load()) + ", время: ";
  EXPECT_TRUE(WaitFor([&] { return Title(V.v).rfind(held, 0) == 0; }, 5000)) << Title(V.v) << " " << held;
  V.w.btnPauzaClick();

  const int resumed = V.v.FrameNumber();
  ASSERT_TRUE(WaitFor([&] { return V.v.FrameNumber() >= resumed + 3; }, 20000));
  V.p.answers = {rv::PromptButton::Yes};
  V.w.btnStopClick();
  ASSERT_TRUE(WaitFor([&] { return !V.w.Running(); }, 20000));
  QApplication::processEvents();

  // Every tenth step is a frame, numbered from 1 without a gap (a step that fell due in the
  // moment between the pause and the loop holding, with the empty scale, wrote none), each
  // slice 20 x 20 pixels of the palette; the last frame shows the source's Ez where it stands.
  const int frames = V.v.FrameNumber(), due = V.d.CurStep / 10;
  EXPECT_TRUE(frames == due || frames == due - 1) << frames << " " << due;
  const std::set<std::string> files = [&] {
    std::set<std::string> f;
    for (const auto& e : std::filesystem::directory_iterator(V.d.ImagesDir)) f.insert(e.path().filename());
    return f;
  }();
  EXPECT_EQ(files.size(), size_t(3 * frames));
  const auto& pal = rv::LivePalette();
  for (const char* plane : {"X", "Y", "Z"})
    for (int n : {1, frames}) {
      const rvtest::Bitmap b = rvtest::ReadBitmap(V.d.ImagesDir + rv::FrameFileName(plane[0], n));
      ASSERT_EQ(std::pair(b.width, b.height), std::pair(20, 20)) << plane << n;
      for (const rv::Rgb& c : b.pixels) ASSERT_NE(std::find(pal.begin(), pal.end(), c), pal.end());
    }
  const rvtest::Bitmap last = rvtest::ReadBitmap(V.d.ImagesDir + rv::FrameFileName('X', frames));
  EXPECT_NE(last.at(11 - 1, 21 - 1 - 11), pal[9]);
  // The window shows the last frame: the last tenth step, or a later one drawn on request.
  const std::string title = Title(V.v);
  ASSERT_EQ(title.rfind("Шаг: ", 0), 0u) << title;
  const int shown = std::stoi(title.substr(std::strlen("Шаг: ")));
  EXPECT_TRUE(shown >= due * 10 && shown <= V.d.CurStep) << title;
}

}  // namespace
