#include "platform/help.h"

#include <QAction>
#include <QDesktopServices>
#include <QFileInfo>
#include <QStatusBar>
#include <QTextBrowser>
#include <QToolBar>

#include "platform/platform.h"

namespace rv::platform {

namespace {

QString Q(const char* s) { return QString::fromUtf8(s); }

bool IsHelpPage(const QString& path) {
  const QString suffix = QFileInfo(path).suffix().toLower();
  return suffix == "html" || suffix == "htm";
}

}  // namespace

HelpWindow::HelpWindow(QWidget* parent) : QMainWindow(parent) {
  setObjectName("fmHelp");
  setWindowTitle(Q("Справка"));
  // Closing the main window ends the program even while the help is open.
  setAttribute(Qt::WA_QuitOnClose, false);
  browser_ = new QTextBrowser(this);
  browser_->setObjectName("HelpBrowser");
  // Every link goes through FollowLink: the browser alone would try to show a web address
  // or a non-HTML file as a page.
  browser_->setOpenLinks(false);
  setCentralWidget(browser_);

  QToolBar* bar = addToolBar(Q("Переходы"));
  bar->setObjectName("HelpToolBar");
  bar->setMovable(false);
  back_ = bar->addAction(Q("Назад"), browser_, &QTextBrowser::backward);
  forward_ = bar->addAction(Q("Вперёд"), browser_, &QTextBrowser::forward);
  home_ = bar->addAction(Q("Содержание"), this, [this] {
    if (!homePage_.isEmpty()) FollowLink(homePage_);
  });
  back_->setObjectName("HelpBack");
  forward_->setObjectName("HelpForward");
  home_->setObjectName("HelpHome");
  back_->setShortcut(QKeySequence::Back);
  forward_->setShortcut(QKeySequence::Forward);
  back_->setEnabled(false);
  forward_->setEnabled(false);
  connect(browser_, &QTextBrowser::backwardAvailable, back_, &QAction::setEnabled);
  connect(browser_, &QTextBrowser::forwardAvailable, forward_, &QAction::setEnabled);
  connect(browser_, &QTextBrowser::anchorClicked, this, &HelpWindow::FollowLink);
  connect(browser_, QOverload<const QUrl&>::of(&QTextBrowser::highlighted), this,
          [this](const QUrl& url) { statusBar()->showMessage(url.toDisplayString()); });
  connect(browser_, &QTextBrowser::sourceChanged, this, [this] {
    const QString title = browser_->documentTitle();
    setWindowTitle(title.isEmpty() ? Q("Справка") : title);
  });
  resize(900, 700);
}

HelpWindow::LinkTarget HelpWindow::Classify(const QUrl& url) {
  const bool local = url.isLocalFile() || url.scheme().isEmpty();
  return local && IsHelpPage(url.path()) ? LinkTarget::Help : LinkTarget::Desktop;
}

void HelpWindow::FollowLink(const QUrl& link) {
  const QUrl url = browser_->source().resolved(link);
  if (Classify(url) == LinkTarget::Desktop) {
    if (!QDesktopServices::openUrl(url))
      statusBar()->showMessage(Q("Не удалось открыть ссылку: ") + url.toDisplayString());
    return;
  }
  const QString path = url.toLocalFile();
  if (!QFileInfo(path).isFile()) return showMissing(path);
  browser_->setSource(url);
  statusBar()->clearMessage();
}

void HelpWindow::ShowPage(const std::string& file, const std::string& anchor) {
  const QString path = QFileInfo(QString::fromStdString(file)).absoluteFilePath();
  homePage_ = QUrl::fromLocalFile(path);
  QUrl url = homePage_;
  if (!anchor.empty()) url.setFragment(QString::fromStdString(anchor));
  FollowLink(url);
}

void HelpWindow::showMissing(const QString& path) {
  // The note replaces the page; the history keeps the pages seen before it.
  browser_->setHtml(Q("<h2>Страница справки не найдена</h2><p>Файл искали здесь:</p><p><b>") +
                    path.toHtmlEscaped() +
                    Q("</b></p><p>Справка устанавливается вместе с программой в папку help "
                      "рядом с исполняемым файлом.</p>"));
  setWindowTitle(Q("Справка"));
}

ProgramHelp::ProgramHelp(std::string file) : file_(std::move(file)) {}

ProgramHelp::~ProgramHelp() = default;

std::string ProgramHelp::DefaultFile() { return ExecutableDir() + "help/index.html"; }

void ProgramHelp::show(const std::string& anchor) {
  if (!window_) window_ = std::make_unique<HelpWindow>();
  window_->ShowPage(file_, anchor);
  window_->show();
  window_->raise();
  window_->activateWindow();
}

void ProgramHelp::ShowContents() { show({}); }

void ProgramHelp::ShowIndex() { show("contents"); }

}  // namespace rv::platform
