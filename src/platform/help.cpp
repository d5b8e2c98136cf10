#include "platform/help.h"

#include <QAction>
#include <QCollator>
#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTextDocumentFragment>
#include <QStatusBar>
#include <QTextBrowser>
#include <QToolBar>

#include <algorithm>
#include <vector>

#include "platform/platform.h"

namespace rv::platform {

namespace {

QString Q(const char* s) { return QString::fromUtf8(s); }

bool IsHelpPage(const QString& path) {
  const QString suffix = QFileInfo(path).suffix().toLower();
  return suffix == "html" || suffix == "htm";
}

// The index of a help page is the page's own address with this query: it is built from the
// page when shown, so it lists whatever sections the page has.
constexpr const char* IndexQuery = "index";

// Shows the pages; an index address gets the index built from its page.
class HelpBrowser : public QTextBrowser {
public:
  using QTextBrowser::QTextBrowser;
  QVariant loadResource(int type, const QUrl& name) override {
    if (type == QTextDocument::HtmlResource && name.isLocalFile() && name.query() == IndexQuery)
      return HelpWindow::IndexOf(name.toLocalFile());
    return QTextBrowser::loadResource(type, name);
  }
};

}  // namespace

HelpWindow::HelpWindow(QWidget* parent) : QMainWindow(parent) {
  setObjectName("fmHelp");
  setWindowTitle(Q("Справка"));
  // Closing the main window ends the program even while the help is open.
  setAttribute(Qt::WA_QuitOnClose, false);
  browser_ = new HelpBrowser(this);
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

void HelpWindow::ShowIndex(const std::string& file) {
  const QString path = QFileInfo(QString::fromStdString(file)).absoluteFilePath();
  homePage_ = QUrl::fromLocalFile(path);
  QUrl url = homePage_;
  url.setQuery(IndexQuery);
  FollowLink(url);
}

QString HelpWindow::IndexOf(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  const QString html = QString::fromUtf8(f.readAll());
  struct Entry {
    QString name, number, id;
  };
  std::vector<Entry> entries;
  static const QRegularExpression heading("<h[23]\\s+id=\"([^\"]+)\"[^>]*>(.*?)</h[23]>",
                                          QRegularExpression::DotMatchesEverythingOption);
  static const QRegularExpression numbered("^(\\d+(?:\\.\\d+)*)\\.\\s+(.*)$");
  QString section;  // the number of the last numbered section: an unnumbered one is in it
  for (const QRegularExpressionMatch& m : heading.globalMatch(html)) {
    if (m.captured(1) == "contents") continue;
    const QString title = QTextDocumentFragment::fromHtml(m.captured(2)).toPlainText().simplified();
    const QRegularExpressionMatch n = numbered.match(title);
    if (n.hasMatch()) section = n.captured(1);
    entries.push_back(n.hasMatch() ? Entry{n.captured(2), n.captured(1), m.captured(1)}
                                   : Entry{title, section, m.captured(1)});
  }
  QCollator order(QLocale(QLocale::Russian));
  order.setCaseSensitivity(Qt::CaseInsensitive);
  std::stable_sort(entries.begin(), entries.end(),
                   [&order](const Entry& a, const Entry& b) { return order.compare(a.name, b.name) < 0; });
  const QString page = QFileInfo(path).fileName();
  QString out = Q("<html><head><meta charset=\"utf-8\"><title>Указатель</title></head><body><h2>Указатель</h2>"
                  "<p>Разделы справки по алфавиту; по порядку их перечисляет <a href=\"") +
                page + Q("#contents\">содержание</a>.</p>");
  // One paragraph per first letter, the letter in bold above its sections.
  QChar letter;
  for (const Entry& e : entries) {
    const QChar first = e.name.isEmpty() ? QChar() : e.name.front().toUpper();
    out += first != letter ? QString(letter.isNull() ? "" : "</p>") + "<p><b>" + first + "</b>" : QString();
    letter = first;
    out += "<br><a href=\"" + page + "#" + e.id + "\">" + e.name.toHtmlEscaped() + "</a>" +
           (e.number.isEmpty() ? QString() : " (" + e.number + ")");
  }
  return out + (letter.isNull() ? "" : "</p>") + "</body></html>";
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

void ProgramHelp::show() {
  window_->show();
  window_->raise();
  window_->activateWindow();
}

void ProgramHelp::ShowContents() {
  if (!window_) window_ = std::make_unique<HelpWindow>();
  window_->ShowPage(file_);
  show();
}

void ProgramHelp::ShowIndex() {
  if (!window_) window_ = std::make_unique<HelpWindow>();
  window_->ShowIndex(file_);
  show();
}

}  // namespace rv::platform
