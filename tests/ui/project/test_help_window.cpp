// The help opened from the main window's "Справка" menu in the program's own window: the page
// shows, every link between the help's pages and anchors lands on something that exists, and a
// missing page says where it was looked for.
#include <gtest/gtest.h>

#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextBrowser>

#include <filesystem>
#include <set>

#include "platform/help.h"
#include "ui_fixture.h"

namespace {

using rv::platform::HelpWindow;
using rv::platform::ProgramHelp;

std::string HelpPage() {
  namespace fs = std::filesystem;
  return (fs::path(__FILE__).parent_path().parent_path().parent_path().parent_path() / "help" /
          "index.html").string();
}

// What the loaded document offers as Qt parsed it: the anchors one can land on and the links
// one can click.
void Scan(const QTextDocument& doc, std::set<QString>* anchors, std::set<QString>* hrefs) {
  for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
    for (const QString& n : b.charFormat().anchorNames()) anchors->insert(n);
    for (auto it = b.begin(); !it.atEnd(); ++it) {
      const QTextCharFormat f = it.fragment().charFormat();
      for (const QString& n : f.anchorNames()) anchors->insert(n);
      if (hrefs && f.isAnchor() && !f.anchorHref().isEmpty()) hrefs->insert(f.anchorHref());
    }
  }
}

struct HelpFromMenu : ::testing::Test {
  rv::SolverData d;
  rv::TfmNew3dMain w{d};
  QAction* mnHelp = w.findChild<QAction*>("mnHelp");
  QAction* mnIndex = w.findChild<QAction*>("mnIndex");
  void Link(rv::platform::HelpViewer& help) {
    rv::MainWindowLinks links;
    links.help = &help;
    w.SetLinks(links);
  }
};

}  // namespace

TEST_F(HelpFromMenu, ShowsThePageAndEveryInternalLinkResolves) {
  ASSERT_TRUE(mnHelp && mnIndex);
  ProgramHelp help(HelpPage());
  Link(help);
  ASSERT_TRUE(mnHelp->isEnabled() && mnIndex->isEnabled());
  mnHelp->trigger();
  HelpWindow* win = help.Window();
  ASSERT_NE(win, nullptr);
  ASSERT_TRUE(win->isVisible());
  QTextBrowser* b = win->Browser();
  const QUrl home = QUrl::fromLocalFile(QFileInfo(QString::fromStdString(HelpPage())).absoluteFilePath());
  EXPECT_EQ(b->source(), home);
  EXPECT_TRUE(b->toPlainText().contains(QString::fromUtf8("Начало работы")));
  EXPECT_FALSE(win->windowTitle().isEmpty());

  // Every page reached from the first one, each link followed inside the window as a click
  // would: it must land on an existing page and, when it names an anchor, on that anchor.
  std::vector<QUrl> pages{home};
  std::set<QString> seen{home.toString()};
  int links = 0;
  for (size_t p = 0; p < pages.size(); ++p) {
    win->FollowLink(pages[p]);
    ASSERT_EQ(b->source(), pages[p]);
    std::set<QString> hrefs, unused;
    Scan(*b->document(), &unused, &hrefs);
    // Every link written in the page is one the window offers (none lost to the parser).
    QFile raw(pages[p].toLocalFile());
    ASSERT_TRUE(raw.open(QIODevice::ReadOnly));
    const QString html = QString::fromUtf8(raw.readAll());
    std::set<QString> written;
    for (const auto& m : QRegularExpression("href=\"([^\"]*)\"").globalMatch(html)) written.insert(m.captured(1));
    EXPECT_EQ(written, hrefs) << pages[p].toString().toStdString();
    for (const QString& href : hrefs) {
      const QUrl target = pages[p].resolved(QUrl(href));
      if (HelpWindow::Classify(target) != HelpWindow::LinkTarget::Help) continue;
      ++links;
      ASSERT_TRUE(QFileInfo(target.toLocalFile()).isFile()) << href.toStdString();
      win->FollowLink(target);
      EXPECT_EQ(b->source(), target) << href.toStdString();
      if (!target.fragment().isEmpty()) {
        std::set<QString> anchors;
        Scan(*b->document(), &anchors, nullptr);
        EXPECT_TRUE(anchors.count(target.fragment())) << "no anchor for " << href.toStdString();
      }
      QUrl page = target;
      page.setFragment({});
      if (seen.insert(page.toString()).second) pages.push_back(page);
      win->FollowLink(pages[p]);
    }
  }
  // The page is a guide: a table of contents and links across it.
  EXPECT_GE(links, 15);

  // Back and forward walk the pages seen; "Содержание" returns to the start.
  auto* back = win->findChild<QAction*>("HelpBack");
  auto* forward = win->findChild<QAction*>("HelpForward");
  auto* homeAct = win->findChild<QAction*>("HelpHome");
  ASSERT_TRUE(back && forward && homeAct);
  QUrl at = home;
  at.setFragment("materials");
  win->FollowLink(at);
  homeAct->trigger();
  EXPECT_EQ(b->source(), home);
  ASSERT_TRUE(back->isEnabled());
  back->trigger();
  EXPECT_EQ(b->source(), at);
  ASSERT_TRUE(forward->isEnabled());
  forward->trigger();
  EXPECT_EQ(b->source(), home);

  // "Указатель" opens the same window at the page's index.
  mnIndex->trigger();
  EXPECT_EQ(std::tuple(b->source().query(), help.Window()), std::tuple(QString("index"), win));

  // Links leaving the help go to the desktop; help pages stay in the window.
  using T = HelpWindow::LinkTarget;
  EXPECT_EQ(std::tuple(HelpWindow::Classify(QUrl("https://example.org/a.html")),
                       HelpWindow::Classify(QUrl("mailto:a@b.c")),
                       HelpWindow::Classify(QUrl::fromLocalFile("/tmp/curve.txt")),
                       HelpWindow::Classify(home.resolved(QUrl("other.htm#x")))),
            std::tuple(T::Desktop, T::Desktop, T::Desktop, T::Help));
}

TEST_F(HelpFromMenu, AMissingPageSaysWhereItWasLookedFor) {
  const std::string page = "/nonexistent/help/index.html";
  ProgramHelp help(page);
  Link(help);
  // The command stays available: it is the place that explains what is missing.
  ASSERT_TRUE(mnHelp->isEnabled());
  mnHelp->trigger();
  ASSERT_TRUE(help.Window() && help.Window()->isVisible());
  const QString text = help.Window()->Browser()->toPlainText();
  EXPECT_TRUE(text.contains(QString::fromUtf8("не найдена")) && text.contains(QString::fromStdString(page)))
      << text.toStdString();

  // A link to a help page that is not there says so too, in the same window.
  ProgramHelp good(HelpPage());
  good.ShowContents();
  good.Window()->FollowLink(QUrl("missing-page.html"));
  EXPECT_TRUE(good.Window()->Browser()->toPlainText().contains(QString::fromUtf8("missing-page.html")));
}


// "Указатель" is not the contents again: every section and subsection of the page in
// alphabetical order, each link landing on its heading, back returning to the index.
TEST_F(HelpFromMenu, TheIndexListsEverySectionAlphabetically) {
  ProgramHelp help(HelpPage());
  Link(help);
  mnIndex->trigger();
  QTextBrowser* b = help.Window()->Browser();
  const QUrl index = b->source();
  std::set<QString> hrefs, sections{"index.html#contents"};  // the note names the contents
  Scan(*b->document(), nullptr, &hrefs);
  QFile raw(QString::fromStdString(HelpPage()));
  ASSERT_TRUE(raw.open(QIODevice::ReadOnly));
  for (const auto& m : QRegularExpression("<h[23] id=\"([^\"]+)\"").globalMatch(QString::fromUtf8(raw.readAll())))
    sections.insert("index.html#" + m.captured(1));
  EXPECT_EQ(hrefs, sections);
  const QString text = b->toPlainText();
  const int materials = text.indexOf(QString::fromUtf8("Материалы (3)"));
  const int sar = text.indexOf(QString::fromUtf8("Поглощённая"));
  EXPECT_TRUE(text.startsWith(QString::fromUtf8("Указатель")) && materials > 0 && materials < sar &&
              sar < text.indexOf(QString::fromUtf8("Сигналы (6)"))) << text.toStdString();
  const QUrl target = index.resolved(QUrl("index.html#step-time"));
  help.Window()->FollowLink(target);
  std::set<QString> anchors;
  Scan(*b->document(), &anchors, nullptr);
  EXPECT_TRUE(b->source() == target && anchors.count("step-time"));
  b->backward();
  EXPECT_EQ(b->source(), index);
}
