// Test main for window tests: the QApplication exists only when tests actually run,
// so listing the tests works on a machine without a display.
#include <QApplication>
#include <QDir>
#include <QSettings>
#include <unistd.h>
#include <gtest/gtest.h>
#include <cstring>

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  bool listing = false;
  for (int i = 1; i < argc; ++i)
    if (std::strncmp(argv[i], "--gtest_list_tests", 18) == 0) listing = true;
  if (listing || ::testing::GTEST_FLAG(list_tests)) return RUN_ALL_TESTS();
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  // Qt's file dialogs keep their state in the user's QtProject settings, one file shared by
  // every process under a lock: a test process that hangs or is stopped while holding it
  // would hold up every other. Each test process gets its own.
  const QString settings = QDir(QDir::tempPath())
                               .filePath("rv_qtsettings_" + QString::number(::getpid()));
  for (QSettings::Format f : {QSettings::NativeFormat, QSettings::IniFormat})
    QSettings::setPath(f, QSettings::UserScope, settings);
  QApplication app(argc, argv);
  const int rc = RUN_ALL_TESTS();
  QDir(settings).removeRecursively();
  return rc;
}
