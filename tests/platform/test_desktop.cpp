// Desktop conventions: Qt's own texts in Russian, windows inside the screen, dialogs and
// message boxes over their window, a file dialog's completer closing with it, the program's icon.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QCompleter>
#include <QDialog>
#include <QFile>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <QMessageBox>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <functional>
#include <memory>

#include "platform/desktop.h"
#include "platform/filedialog.h"
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

TEST(Desktop, AWindowTheDesktopPutPartlyBelowTheScreenComesBackOnIt) {
  auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
  rv::platform::KeepWindowsOnScreen(*app);
  QWidget w;
  const QRect screen = w.screen()->availableGeometry();
  w.resize(screen.width() / 2, screen.height() / 2);
  // Where a desktop might put it: the program never placed it, it fits, yet it ends 15
  // pixels below the screen.
  w.winId();  // the native window, before showing
  w.windowHandle()->setFramePosition(QPoint(screen.left() + 10, screen.bottom() + 16 - screen.height() / 2));
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  EXPECT_TRUE(QTest::qWaitFor([&] { return screen.contains(w.frameGeometry()); }, 2000))
      << w.frameGeometry().bottom() << " below " << screen.bottom();
  EXPECT_EQ(std::tuple(w.size(), w.frameGeometry().bottom(), w.x()),
            std::tuple(QSize(screen.width() / 2, screen.height() / 2), screen.bottom(), screen.left() + 10));
  // Placed by the desktop only after it was first drawn, it comes back on the screen too.
  w.move(screen.left() + 10, screen.bottom() - 10);
  EXPECT_TRUE(QTest::qWaitFor([&] { return screen.contains(w.frameGeometry()); }, 2000))
      << w.frameGeometry().bottom() << " below " << screen.bottom();
  // Moved by the user afterwards, it stays where the user put it.
  w.move(screen.left() + 10, screen.bottom() - 10);
  QApplication::processEvents();
  EXPECT_EQ(w.frameGeometry().top(), screen.bottom() - 10);
  // Made taller than the room below it by its layout (more fields), it is refitted in place.
  w.move(screen.left() + 20, screen.top() + screen.height() / 3);
  auto* more = new QWidget(&w);
  more->setFixedHeight(screen.height() * 3 / 4);
  (new QVBoxLayout(&w))->addWidget(more);
  EXPECT_TRUE(QTest::qWaitFor([&] { return w.height() > screen.height() * 3 / 4 && screen.contains(w.frameGeometry()); }, 2000))
      << w.frameGeometry().bottom() << " below " << screen.bottom();
  EXPECT_EQ(w.x(), screen.left() + 20);
}

TEST(FileDialog, TheCompletersListClosesWithItsDialog) {
  QTemporaryDir dir;
  for (const char* n : {"I_via.grf", "I_feed.grf"}) ASSERT_TRUE(QFile(dir.filePath(n)).open(QIODevice::WriteOnly));
  std::unique_ptr<QFileDialog> d(rv::platform::NewFileDialog(nullptr, "Открыть"));
  d->setDirectory(dir.path());
  auto* edit = d->findChild<QLineEdit*>("fileNameEdit");
  auto* files = d->findChild<QFileSystemModel*>();
  ASSERT_TRUE(edit && edit->completer() && files);
  QWidget* list = edit->completer()->popup();
  for (bool accepted : {false, true}) {
    d->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(d.get()));
    // The folder loads on the model's own thread: type only when it has, or a busy machine
    // leaves nothing to complete.
    ASSERT_TRUE(QTest::qWaitFor([&] { return files->rowCount(files->index(dir.path())) >= 2; }, 10000));
    edit->setFocus();
    edit->clear();
    QTest::keyClicks(edit, "I_");
    // The list shows while the dialog is open...
    EXPECT_TRUE(QTest::qWaitFor([&] { return list->isVisible(); }, 10000));
    accepted ? static_cast<QDialog*>(d.get())->accept() : d->reject();
    QApplication::processEvents();
    EXPECT_FALSE(list->isVisible()) << accepted;
    // ...and a completion the folder's late loading starts after the dialog closed is not shown.
    edit->completer()->complete();
    QTest::qWait(20);
    EXPECT_FALSE(list->isVisible()) << accepted;
  }
}

// The window the box that `ask` shows stands over; the box is closed at once.
QWidget* BoxOwner(const std::function<void()>& ask) {
  QWidget* owner = nullptr;
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) return;
    owner = box->parentWidget();
    box->reject();
  });
  ask();
  return owner;
}

TEST(Desktop, AMessageStandsAboveTheSideWindowInUse) {
  QWidget main;
  QWidget side(&main, Qt::Window);
  main.show();
  side.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&side));
  QApplication::setActiveWindow(&side);
  EXPECT_EQ(BoxOwner([&] { rv::QtPrompter(&main).message("Сообщение окна"); }), &side);
}

TEST(Desktop, AMessageStandsAboveAnyWindowInUseAndGivesItBack) {
  // The editor is a window of its own, the materials window one of the editor's: a message
  // asked for by either stands over it, not over the main window, and leaves it in use.
  QWidget main, editor;
  QWidget materials(&editor, Qt::Window);
  for (QWidget* w : {&main, &editor, &materials}) {
    w->resize(300, 200);
    w->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
  }
  for (QWidget* inUse : {&editor, &materials}) {
    QApplication::setActiveWindow(inUse);
    EXPECT_EQ(BoxOwner([&] {
                rv::QtPrompter(&main).question("Удалить?", rv::PromptButton::Yes | rv::PromptButton::No);
              }),
              inUse);
    EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == inUse; }, 2000));
  }
}

// A box asked for right after one of the editor's dialogs closes, before the desktop hands
// the activation back: over the editor, whether the dialog stays (a form kept for the next
// time) or is gone (a file dialog), and not over the main window, which would come forward.
TEST(Desktop, AMessageRightAfterADialogStandsAboveTheWindowThatOpenedIt) {
  QWidget main, editor;
  rv::QtPrompter prompter(&main);
  for (QWidget* w : {&main, &editor}) {
    w->resize(300, 200);
    w->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
  }
  QApplication::setActiveWindow(&editor);
  QDialog kept(&editor);
  for (bool destroyed : {false, true}) {
    auto gone = std::make_unique<QDialog>(&editor);
    QDialog& d = destroyed ? *gone : kept;
    QTimer::singleShot(0, &d, [&d] {
      QApplication::setActiveWindow(&d);
      d.accept();
    });
    d.exec();
    if (destroyed) gone.reset();
    QApplication::setActiveWindow(nullptr);
    EXPECT_EQ(BoxOwner([&] { prompter.message("Слоя 99 в модели нет: слои от 1 до 29"); }), &editor)
        << (destroyed ? "destroyed" : "kept");
  }
}

// Where a dialog showed up: its frame's centre, taken while it is open.
QPoint CentreWhenShown(QDialog& d) {
  QPoint at(-1, -1);
  QTimer::singleShot(0, [&] {
    at = d.frameGeometry().center();
    d.accept();
  });
  d.exec();
  return at;
}

TEST(Desktop, DialogsOpenCentredOverTheirWindow) {
  auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
  rv::platform::KeepWindowsOnScreen(*app);
  QWidget main;
  const QRect screen = main.screen()->availableGeometry();
  main.setGeometry(screen.left() + screen.width() / 4, screen.top() + screen.height() / 4, 360, 260);
  main.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
  QApplication::setActiveWindow(&main);
  // Before a window has a frame Qt allows a title bar and borders it can't know: the
  // centres may differ by that much.
  auto over = [&](QPoint c) {
    const QPoint d = c - main.frameGeometry().center();
    return std::abs(d.x()) <= 12 && std::abs(d.y()) <= 45;
  };
  auto dialog = [](QWidget* parent) {
    auto* d = new QDialog(parent);
    (new QVBoxLayout(d))->addWidget(new QPushButton("Закрыть", d));
    return d;
  };
  std::unique_ptr<QDialog> child(dialog(&main)), orphan(dialog(nullptr));
  QMessageBox box(QMessageBox::NoIcon, "Ravelin", "Сообщение над своим окном", QMessageBox::NoButton, &main);
  box.addButton("ОК", QMessageBox::AcceptRole);
  for (QDialog* d : {static_cast<QDialog*>(&box), child.get(), orphan.get()}) {
    const QPoint c = CentreWhenShown(*d);
    EXPECT_TRUE(over(c)) << d->metaObject()->className() << " at " << c.x() << "," << c.y();
  }
  // The window moved: the next showing follows it.
  main.move(main.x() + 40, main.y() + 30);
  QApplication::processEvents();
  EXPECT_TRUE(over(CentreWhenShown(*child)));
}

TEST(Desktop, TheProgramsIconAndSplashPicture) {
  const QIcon icon = rv::platform::ProgramIcon();
  for (int s : {16, 32, 256}) {
    const QImage img = icon.pixmap(s, s).toImage();
    ASSERT_EQ(img.size(), QSize(s, s));
    // Drawn, not empty: the corners are transparent, the middle is not.
    EXPECT_EQ(qAlpha(img.pixel(0, 0)), 0) << s;
    EXPECT_GT(qAlpha(img.pixel(s / 2, s / 2)), 200) << s;
  }
  EXPECT_TRUE(rv::platform::ProgramIconSvg().startsWith("<svg"));
  const QPixmap splash = rv::platform::SplashPicture(2);
  EXPECT_EQ(std::tuple(splash.deviceIndependentSize().toSize(), splash.size()),
            std::tuple(QSize(480, 180), QSize(960, 360)));
}

}  // namespace
