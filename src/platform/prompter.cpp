#include "platform/prompter.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QString>

#include <utility>

namespace rv {

namespace {

struct ButtonInfo {
  PromptButton id;
  const char* caption;
  QMessageBox::ButtonRole role;
};

// Captions as the program shows them, whatever the Qt translation in use.
constexpr ButtonInfo kButtons[] = {
    {PromptButton::Yes, "Да", QMessageBox::YesRole},
    {PromptButton::No, "Нет", QMessageBox::NoRole},
    {PromptButton::Cancel, "Отмена", QMessageBox::RejectRole},
    {PromptButton::Ok, "ОК", QMessageBox::AcceptRole},
};

// Remembers the program's window in use last, and the window it was opened over: just
// after a dialog closes no window is in use until the desktop hands the activation back, and
// a box shown then belongs over the window that opened the dialog.
class WindowsInUse : public QObject {
public:
  explicit WindowsInUse(QObject* app) : QObject(app) { app->installEventFilter(this); }

  // The window in use last when it can still carry a box; when it has been hidden or
  // destroyed since (a dialog closed), the nearest window it was opened over that can.
  QWidget* last() const {
    QWidget* w = last_ ? last_.data() : opener_.data();
    while (w && !Shown(w)) w = Opener(w);
    return w;
  }

protected:
  bool eventFilter(QObject* o, QEvent* e) override {
    // The prompter's own boxes come and go; they are never the window a box belongs over.
    if (e->type() == QEvent::WindowActivate && o->isWidgetType()) {
      auto* w = static_cast<QWidget*>(o);
      if (w->isWindow() && !qobject_cast<QMessageBox*>(w)) {
        last_ = w;
        opener_ = Opener(w);
      }
    }
    return false;
  }

private:
  static bool Shown(const QWidget* w) { return w->isVisible() && !w->isMinimized(); }
  static QWidget* Opener(const QWidget* w) {
    return w->parentWidget() ? w->parentWidget()->window() : nullptr;
  }

  QPointer<QWidget> last_, opener_;
};

WindowsInUse* Tracker() {
  static QPointer<WindowsInUse> tracker;
  if (!tracker && qApp) tracker = new WindowsInUse(qApp);
  return tracker;
}

// The window a box stands above: the window in use (an open dialog first), whichever of
// the program's windows it is, so that the box neither hides behind it nor brings another
// window forward; when none is in use, the one in use last (or, if that has closed, the
// window it was opened over); the prompter's window when there is none of these.
QWidget* Owner(QWidget* parent) {
  if (QWidget* m = QApplication::activeModalWidget()) return m;
  if (QWidget* w = QApplication::activeWindow()) return w;
  if (WindowsInUse* t = Tracker())
    if (QWidget* w = t->last()) return w;
  return parent;
}

// Runs the box and gives the keyboard back to the window it stood over.
int ExecOver(QMessageBox& box) {
  const QPointer<QWidget> owner = box.parentWidget();
  const int r = box.exec();
  if (owner && owner->isVisible() && QApplication::activeWindow() != owner->window())
    owner->activateWindow();
  return r;
}

QString BoxTitle() {
  const QString name = QCoreApplication::applicationName();
  return name.isEmpty() ? QStringLiteral("Ravelin") : name;
}

// A box with the one button "ОК".
void ShowOkBox(QWidget* parent, QMessageBox::Icon icon, const QString& title, const std::string& text) {
  QMessageBox box(parent);
  box.setIcon(icon);
  box.setWindowTitle(title);
  box.setText(QString::fromStdString(text));
  QPushButton* ok = box.addButton(QString::fromUtf8("ОК"), QMessageBox::AcceptRole);
  box.setDefaultButton(ok);
  box.setEscapeButton(ok);
  ExecOver(box);
}

}  // namespace

PromptButton EscapeAnswer(PromptButtons buttons) {
  if (buttons.has(PromptButton::Cancel)) return PromptButton::Cancel;
  if (buttons.has(PromptButton::No)) return PromptButton::No;
  return PromptButton::Ok;
}

void ShowMessages(Prompter& p, const std::vector<std::string>& messages) {
  for (const std::string& m : messages) p.message(m);
}

QtPrompter::QtPrompter(QWidget* parent) : parent_(parent) { Tracker(); }

void QtPrompter::message(const std::string& text) {
  ShowOkBox(Owner(parent_), QMessageBox::NoIcon, BoxTitle(), text);
}

void QtPrompter::error(const std::string& text) {
  ShowOkBox(Owner(parent_), QMessageBox::Critical, QString::fromUtf8("Ошибка"), text);
}

void QtPrompter::warning(const std::string& text) {
  ShowOkBox(Owner(parent_), QMessageBox::Warning, BoxTitle(), text);
}

PromptButton QtPrompter::question(const std::string& text, PromptButtons buttons) {
  if (buttons.bits == 0) buttons = PromptButton::Ok;
  QMessageBox box(Owner(parent_));
  box.setWindowTitle(BoxTitle());
  box.setIcon(QMessageBox::Question);
  box.setText(QString::fromStdString(text));
  std::vector<std::pair<QAbstractButton*, PromptButton>> made;
  const PromptButton escape = EscapeAnswer(buttons);
  for (const ButtonInfo& b : kButtons) {
    if (!buttons.has(b.id)) continue;
    QPushButton* w = box.addButton(QString::fromUtf8(b.caption), b.role);
    if (made.empty()) box.setDefaultButton(w);
    if (b.id == escape) box.setEscapeButton(w);
    made.emplace_back(w, b.id);
  }
  ExecOver(box);
  for (const auto& [w, id] : made)
    if (box.clickedButton() == w) return id;
  return escape;
}

void ScriptedPrompter::message(const std::string& text) {
  messages.push_back(text);
  shown.push_back(text);
}

void ScriptedPrompter::error(const std::string& text) {
  errors.push_back(text);
  shown.push_back(text);
}

void ScriptedPrompter::warning(const std::string& text) {
  warnings.push_back(text);
  shown.push_back(text);
}

PromptButton ScriptedPrompter::question(const std::string& text, PromptButtons buttons) {
  questions.push_back(text);
  shown.push_back(text);
  PromptButton a = PromptButton::None;
  if (!answers.empty()) {
    a = answers.front();
    answers.pop_front();
  }
  return buttons.has(a) ? a : EscapeAnswer(buttons);
}

}  // namespace rv
