// The wavelength calculator, the about box, the help commands and the version label of the
// main window.
#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "platform/help.h"
#include "platform/shellchannel.h"
#include "project/ui/TfmAbout.h"
#include "project/ui/TfmWaveLenCalc.h"
#include "ui_fixture.h"

namespace {

std::string T(const QLineEdit* e) { return e->text().toStdString(); }
std::string T(const QLabel* l) { return l->text().toStdString(); }

class CountingHelp : public rv::platform::HelpViewer {
public:
  explicit CountingHelp(bool available) : available_(available) {}
  bool Available() const override { return available_; }
  void ShowContents() override { ++contents; }
  void ShowIndex() override { ++index; }
  int contents = 0, index = 0;

private:
  bool available_;
};

}  // namespace

TEST(WaveLenCalc, TypingConvertsOneWayAndComputesTheMaterial) {
  rv::TfmWaveLenCalc w;
  w.show();
  EXPECT_EQ(std::tuple(T(w.Edit1), T(w.Edit2), T(w.StaticText1)), std::tuple("1850e6", "0.162", "0.01988"));

  // The wavelength typed: the frequency follows, and its own change converts nothing back.
  w.Edit2->clear();
  QTest::keyClicks(w.Edit2, "0.162");
  EXPECT_EQ(std::tuple(T(w.Edit1), T(w.Edit2)), std::tuple("1.85E9", "0.162"));
  w.Edit3->setText("0");
  EXPECT_EQ(T(w.StaticText1), "0.02012");
  // The arithmetic's own cases are the core's; here each edit reaches the labels.
  w.Edit1->setText("abc");
  EXPECT_EQ(std::tuple(T(w.Edit2), T(w.StaticText2)), std::tuple("Error", "Ошибка в исходных данных"));
  w.Edit1->setText("3e8");
  EXPECT_EQ(T(w.Edit2), "1");
}

TEST(MainWindowDesktop, AboutCalculatorHelpAndVersionLabel) {
  rv::SolverData d;
  rv::TfmNew3dMain w(d);
  auto* about = new rv::TfmAbout(rv::MakeVersionLabels("2.0.0.4"), &w);
  EXPECT_EQ(std::tuple(T(about->lbVer), T(about->Label5)), std::tuple("Ravelin - 2.0", "Release 0.4"));
  auto* mnAbout = w.findChild<QAction*>("mnAbout");
  auto* mnHelp = w.findChild<QAction*>("mnHelp");
  auto* mnIndex = w.findChild<QAction*>("mnIndex");
  auto* n7 = w.findChild<QAction*>("N7");
  ASSERT_TRUE(mnAbout && mnHelp && mnIndex && n7);

  // No help file: both help commands are unavailable.
  CountingHelp none(false);
  rv::MainWindowLinks links;
  links.help = &none;
  w.SetLinks(links);
  EXPECT_FALSE(mnHelp->isEnabled() || mnIndex->isEnabled() || mnAbout->isEnabled() || n7->isEnabled());
  // The program's own help is always there: a missing page is explained in its window.
  EXPECT_TRUE(rv::platform::ProgramHelp("/nonexistent/help/index.html").Available());

  CountingHelp help(true);
  links.help = &help;
  links.fmAbout = about;
  links.versionText = "Ravelin - 2.0 - 0.4";
  w.SetLinks(links);
  mnHelp->trigger();
  mnIndex->trigger();
  EXPECT_EQ(std::tuple(help.contents, help.index), std::tuple(1, 1));
  mnAbout->trigger();
  EXPECT_TRUE(about->isVisible() && !about->isModal());
  QTest::mouseClick(about->BitBtn1, Qt::LeftButton);
  EXPECT_FALSE(about->isVisible());

  // Every activation shows the version text, not only the first.
  w.show();
  ASSERT_TRUE(rvtest::WaitFor([&] { return !w.findChild<QLabel*>("Label9")->text().isEmpty(); },
                              5000));
  EXPECT_EQ(T(w.findChild<QLabel*>("Label9")), "Ravelin - 2.0 - 0.4");
}

TEST(MainWindowDesktop, ShellOpenAsksAndIsDroppedDuringARun) {
  rv::SolverData d;
  rv::ScriptedPrompter p;
  rv::TfmNew3dMain w(d);
  w.SetPrompter(&p);
  std::vector<std::string> loaded;
  rv::ProjectFileHandlers h;
  h.LoadByName = [&](const std::string& n) { loaded.push_back(n); };
  w.SetProjectFileHandlers(h);
  w.ProjectFileName() = "/old.fdt";
  const std::string macro = rv::platform::OpenMacro("/tmp/a b/x.fdt");

  d.CalcRunning = 1;
  w.ddeFdtdExecuteMacro(macro);
  EXPECT_TRUE(p.questions.empty());
  d.CalcRunning = 0;

  p.answers = {rv::PromptButton::Cancel, rv::PromptButton::Ok};
  w.ddeFdtdExecuteMacro(macro);
  EXPECT_TRUE(loaded.empty() && w.ProjectFileName() == "/old.fdt");
  w.ddeFdtdExecuteMacro(macro);
  EXPECT_EQ(loaded, std::vector<std::string>{"/tmp/a b/x.fdt"});
  EXPECT_EQ(p.questions, (std::vector<std::string>(2, "Загрузить выбранный проект?")));
}
