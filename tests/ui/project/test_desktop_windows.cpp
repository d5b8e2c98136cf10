// The wavelength calculator, the about box, the splash, the help commands and the version
// label of the main window; every dialog's buttons in Russian.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>

#include "editor/ui/TfmCopy.h"
#include "editor/ui/TfmGetValue.h"
#include "editor/ui/TfmMove.h"
#include "editor/ui/TfmObject.h"
#include "platform/desktop.h"
#include "project/ui/TfmStart.h"

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

  // The calculator is an item of the help menu.
  auto* helpMenu = w.findChild<QMenu*>("mnHelpMenu");
  ASSERT_NE(helpMenu, nullptr);
  EXPECT_TRUE(helpMenu->title() == "Справка" && helpMenu->actions().contains(n7) && helpMenu->actions().contains(mnAbout));

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

// No button of the editor's dialogs that the user sees has an English caption (a Latin word
// with a small letter: "OK" and "Ok", the materials window's own, are the program's).
TEST(ProgramDialogs, EditorDialogButtonsSpeakRussian) {
  std::vector<std::string> english;
  for (QWidget* w : std::initializer_list<QWidget*>{
           new rv::TfmGetValue("fmGeRValue", "Ввод резистора", "Сопротивление, Ом", nullptr, nullptr),
           new rv::TfmMove, new rv::TfmCopy, new rv::TfmObject}) {
    for (const QPushButton* b : w->findChildren<QPushButton*>()) {
      const QString text = QString(b->text()).remove('&');
      static const QRegularExpression word("[A-Za-z]*[a-z][A-Za-z]*");
      if (b->isVisibleTo(w) && text != "Ok" && text.contains(word))
        english.push_back(w->objectName().toStdString() + ": " + b->text().toStdString());
    }
    delete w;
  }
  EXPECT_TRUE(english.empty()) << rvtest::Joined(english);
}

TEST(ProgramDialogs, SplashAndAboutShowTheProgramsIconAndPicture) {
  auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
  rv::platform::InstallProgramIcon(*app);
  rv::TfmStart splash(rv::MakeVersionLabels("2.0.0.4"));
  rv::TfmAbout about(rv::MakeVersionLabels("2.0.0.4"));
  const QSize picture = rv::platform::SplashPicture().size();
  EXPECT_EQ(splash.Image1->pixmap().deviceIndependentSize().toSize(), picture);
  EXPECT_EQ(std::tuple(splash.ProgramIcon->pixmap().isNull(), about.ProgramIcon->pixmap().isNull()),
            std::tuple(false, false));
  // As wide as its picture, the texts below it.
  splash.show();
  EXPECT_EQ(splash.width(), picture.width());
  EXPECT_GT(splash.height(), picture.height());
  EXPECT_EQ(splash.windowIcon().cacheKey(), QApplication::windowIcon().cacheKey());
  // Every text of the splash is the program's own language.
  QStringList texts;
  for (QLabel* l : splash.findChildren<QLabel*>())
    if (!l->text().isEmpty()) texts << l->text();
  EXPECT_TRUE(texts.contains(QString::fromUtf8("Загрузка..."))) << texts.join("|").toStdString();
  EXPECT_FALSE(texts.join("|").contains("Loading"));
}

TEST(MainWindowDesktop, ChartsBringBackAMinimisedChartWindow) {
  const std::string dir = rvtest::FreshDir("rv_desktop_chart", "");
  rv::ScriptedPrompter chartPrompter;
  rv::TfmChart chart(rvtest::ChartOptions(dir, chartPrompter));
  rvtest::Program prog(&chart);
  chart.showMaximized();
  chart.showMinimized();
  ASSERT_TRUE(chart.isMinimized());
  QTest::mouseClick(prog.w.Button3, Qt::LeftButton);  // "Графики"
  EXPECT_TRUE(chart.isVisible() && !chart.isMinimized() && chart.isMaximized());
}
