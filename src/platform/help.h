// The program's help: HTML pages of our own beside the executable (help/index.html), shown in
// a window of the program's own, so that help works on a desktop with no browser.
#pragma once
#include <QMainWindow>
#include <QUrl>

#include <memory>
#include <string>

class QAction;
class QTextBrowser;

namespace rv::platform {

class HelpViewer {
public:
  virtual ~HelpViewer() = default;
  // False when there is no help to show: the help commands are then unavailable.
  virtual bool Available() const = 0;
  virtual void ShowContents() = 0;
  virtual void ShowIndex() = 0;
};

// Pages of the help and links between them open here; links leaving the help go to the
// desktop. Back, forward and "Содержание" move through the pages seen.
class HelpWindow : public QMainWindow {
  Q_OBJECT
public:
  explicit HelpWindow(QWidget* parent = nullptr);
  // Shows `file` (an HTML page), at `anchor` when not empty; a missing page shows a note
  // saying so and where it was looked for.
  void ShowPage(const std::string& file, const std::string& anchor = {});
  // The index of `file`: its sections and subsections in alphabetical order, each a link.
  void ShowIndex(const std::string& file);
  // The index page of the help page at `path`, as HTML.
  static QString IndexOf(const QString& path);
  QTextBrowser* Browser() const { return browser_; }
  // How the window handles a link the user follows (public for tests).
  enum class LinkTarget { Help, Desktop };
  static LinkTarget Classify(const QUrl& url);
  void FollowLink(const QUrl& link);

private:
  void showMissing(const QString& path);
  QTextBrowser* browser_;
  QAction *back_, *forward_, *home_;
  QUrl homePage_;
};

// Shows `file` (by default help/index.html beside the executable) in the program's help
// window. Always available: a missing page is explained in the window itself.
class ProgramHelp : public HelpViewer {
public:
  explicit ProgramHelp(std::string file = DefaultFile());
  ~ProgramHelp() override;
  static std::string DefaultFile();
  bool Available() const override { return true; }
  void ShowContents() override;
  // The page's sections in alphabetical order (the contents list them in order).
  void ShowIndex() override;
  // The window, once a show command created it.
  HelpWindow* Window() const { return window_.get(); }

private:
  void show();
  std::string file_;
  std::unique_ptr<HelpWindow> window_;
};

}  // namespace rv::platform
