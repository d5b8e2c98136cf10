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
  EXPECT_EQ(p.question("Удалить все", PromptButton::Yes | PromptButton::No), PromptButton::Yes);
  // An answer the box does not offer counts as closing it.
  EXPECT_EQ(p.question("q2", PromptButton::Yes | PromptButton::No), PromptButton::No);
  EXPECT_EQ(p.question("q3", PromptButton::Yes | PromptButton::No | PromptButton::Cancel),
            PromptButton::Cancel);
  EXPECT_EQ(p.question("q4", PromptButton::Ok), PromptButton::Ok);
  rv::ShowMessages(p, {"один", "два"});
  EXPECT_EQ(p.questions, (std::vector<std::string>{"Удалить все", "q2", "q3", "q4"}));
  EXPECT_EQ(p.messages, (std::vector<std::string>{"один", "два"}));
}

// Presses the button captioned `caption` of the next message box, and notes all captions.
void PressWhenShown(const QString& caption, QStringList* captions) {
  auto* timer = new QTimer;
  QObject::connect(timer, &QTimer::timeout, [timer, caption, captions] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) return;
    timer->stop();
    timer->deleteLater();
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
  PressWhenShown(QString::fromUtf8("ОК"), &captions);
  p.message("Готово");
  EXPECT_EQ(captions, QStringList{QString::fromUtf8("ОК")});
}

}  // namespace
