// Message boxes: the scripted stand-in and the real boxes with their Russian buttons.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include "platform/prompter.h"

namespace {

using rv::PromptButton;

TEST(Prompter, ScriptedAnswersAndEscape) {
  rv::ScriptedPrompter p;
  p.answers = {PromptButton::Yes, PromptButton::Ok};
  // An answer the box does not offer (q2, q3) counts as closing it.
  const auto yesNo = PromptButton::Yes | PromptButton::No;
  EXPECT_EQ(std::vector<PromptButton>({p.question("Удалить все", yesNo), p.question("q2", yesNo),
                                       p.question("q3", yesNo | PromptButton::Cancel), p.question("q4", PromptButton::Ok)}),
            std::vector<PromptButton>({PromptButton::Yes, PromptButton::No, PromptButton::Cancel, PromptButton::Ok}));
  rv::ShowMessages(p, {"один", "два"});
  p.error("сбой");
  p.warning("отказ");
  EXPECT_EQ(p.warnings, (std::vector<std::string>{"отказ"}));
  EXPECT_EQ(p.questions, (std::vector<std::string>{"Удалить все", "q2", "q3", "q4"}));
  EXPECT_EQ(p.messages, (std::vector<std::string>{"один", "два"}));
  EXPECT_EQ(p.errors, (std::vector<std::string>{"сбой"}));
  EXPECT_EQ(p.shown, (std::vector<std::string>{"Удалить все", "q2", "q3", "q4", "один", "два", "сбой", "отказ"}));

  // A prompter without error boxes of its own shows errors as plain messages.
  struct Plain : rv::Prompter {
    std::vector<std::string> texts;
    void message(const std::string& t) override { texts.push_back(t); }
    PromptButton question(const std::string&, rv::PromptButtons b) override { return rv::EscapeAnswer(b); }
  } plain;
  static_cast<rv::Prompter&>(plain).error("сбой");
  static_cast<rv::Prompter&>(plain).warning("отказ");
  EXPECT_EQ(plain.texts, (std::vector<std::string>{"сбой", "отказ"}));
}

// Presses the button captioned `caption` of the next message box, and notes all captions
// (and, when asked, the box's icon and title).
void PressWhenShown(const QString& caption, QStringList* captions, QMessageBox::Icon* icon = nullptr,
                    QString* title = nullptr) {
  auto* timer = new QTimer;
  QObject::connect(timer, &QTimer::timeout, [timer, caption, captions, icon, title] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) return;
    timer->stop();
    timer->deleteLater();
    if (icon) *icon = box->icon();
    if (title) *title = box->windowTitle();
    for (QAbstractButton* b : box->buttons()) {
      captions->append(b->text());
      if (b->text() == caption) b->click();
    }
  });
  timer->start(10);
}

TEST(Prompter, QtBoxesShowRussianButtons) {
  rv::QtPrompter p;
  QStringList captions;
  PressWhenShown(QString::fromUtf8("Нет"), &captions);
  EXPECT_EQ(p.question("Сохранить?", PromptButton::Yes | PromptButton::No | PromptButton::Cancel),
            PromptButton::No);
  captions.sort();
  EXPECT_EQ(captions.join(","), QString::fromUtf8("Да,Нет,Отмена"));

  captions.clear();
  PressWhenShown(QString::fromUtf8("ОК"), &captions);
  EXPECT_EQ(p.question("Заменить?", PromptButton::Ok | PromptButton::Cancel), PromptButton::Ok);
  EXPECT_EQ(captions.size(), 2);

  captions.clear();
  QMessageBox::Icon icon = QMessageBox::Critical;
  PressWhenShown(QString::fromUtf8("ОК"), &captions, &icon);
  p.message("Готово");
  EXPECT_EQ(std::tuple(captions, icon), std::tuple(QStringList{QString::fromUtf8("ОК")}, QMessageBox::NoIcon));

  captions.clear();
  QString title;
  PressWhenShown(QString::fromUtf8("ОК"), &captions, &icon, &title);
  p.error("Невозможно открыть файл:x.grf");
  EXPECT_EQ(std::tuple(captions, icon, title),
            std::tuple(QStringList{QString::fromUtf8("ОК")}, QMessageBox::Critical, QString::fromUtf8("Ошибка")));

  // A refusal stands out as a warning, under the program's title.
  captions.clear();
  PressWhenShown(QString::fromUtf8("ОК"), &captions, &icon, &title);
  p.warning("Размер счетного объема маловат");
  EXPECT_EQ(std::tuple(captions, icon, title),
            std::tuple(QStringList{QString::fromUtf8("ОК")}, QMessageBox::Warning, QCoreApplication::applicationName()));
}

}  // namespace
