#include "platform/prompter.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCoreApplication>
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

// The window a box stands above: the window in use (an open dialog first), whichever of
// the program's windows it is, so that the box neither hides behind it nor brings another
// window forward; the prompter's window when none of the program's windows is in use.
QWidget* Owner(QWidget* parent) {
  if (QWidget* m = QApplication::activeModalWidget()) return m;
  if (QWidget* w = QApplication::activeWindow()) return w;
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
