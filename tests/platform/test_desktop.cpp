// Desktop conventions: Qt's own texts in Russian, windows inside the screen, message boxes
// above the window in use.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include "platform/desktop.h"
#include "platform/prompter.h"

namespace {

TEST(Desktop, QtSpeaksRussian) {
  auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
  ASSERT_NE(app, nullptr);
  ASSERT_TRUE(rv::platform::InstallQtTranslations(*app));
  // A button of Qt's standard dialogs.
  EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QString::fromUtf8("Отмена"));
}

TEST(Desktop, WindowsOpenInsideTheAvailableScreen) {
  using rv::platform::FitInside;
  const QRect area(0, 0, 1280, 1000);
  EXPECT_EQ(FitInside(QRect(100, 100, 400, 300), area), QRect(100, 100, 400, 300));
  EXPECT_EQ(FitInside(QRect(100, 500, 1000, 670), area), QRect(100, 330, 1000, 670));
  EXPECT_EQ(FitInside(QRect(-50, -20, 300, 200), area), QRect(0, 0, 300, 200));
  EXPECT_EQ(FitInside(QRect(900, 200, 2000, 1200), area), QRect(0, 0, 1280, 1000));

  auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
  rv::platform::KeepWindowsOnScreen(*app);
  QWidget w;
  const QRect screen = w.screen()->availableGeometry();
  w.resize(screen.width() * 3 / 4, screen.height() * 3 / 4);
  w.move(screen.left() + screen.width() / 2, screen.top() + screen.height() / 2);
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  EXPECT_TRUE(screen.contains(w.frameGeometry())) << w.frameGeometry().top();
  EXPECT_EQ(w.width(), screen.width() * 3 / 4);  // it fits: only moved
}

TEST(Desktop, AMessageStandsAboveTheSideWindowInUse) {
  QWidget main;
  QWidget side(&main, Qt::Window);
  main.show();
  side.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&side));
  QApplication::setActiveWindow(&side);
  QWidget* owner = nullptr;
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) return;
    owner = box->parentWidget();
    box->accept();
  });
  rv::QtPrompter(&main).message("Сообщение окна");
  EXPECT_EQ(owner, &side);
}

}  // namespace
