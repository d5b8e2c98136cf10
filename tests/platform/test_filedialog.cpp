// The program's file dialogs: the completer's list goes with its dialog.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QCompleter>
#include <QFile>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include "platform/filedialog.h"

TEST(FileDialog, TheCompletersListClosesWithItsDialog) {
  QTemporaryDir dir;
  for (const char* n : {"I_via.grf", "I_feed.grf"}) ASSERT_TRUE(QFile(dir.filePath(n)).open(QIODevice::WriteOnly));
  std::unique_ptr<QFileDialog> d(rv::platform::NewFileDialog(nullptr, "Открыть"));
  d->setDirectory(dir.path());
  auto* edit = d->findChild<QLineEdit*>("fileNameEdit");
  ASSERT_TRUE(edit && edit->completer());
  QWidget* list = edit->completer()->popup();
  // The folder loads on the model's own thread: type only when it has, or a busy machine
  // leaves nothing to complete.
  auto* files = d->findChild<QFileSystemModel*>();
  ASSERT_NE(files, nullptr);
  const auto loaded = [&] { return files->rowCount(files->index(dir.path())) >= 2; };
  for (bool accepted : {false, true}) {
    d->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(d.get()));
    ASSERT_TRUE(QTest::qWaitFor(loaded, 10000));
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
