// Test main for window tests: the QApplication exists only when tests actually run,
// so listing the tests works on a machine without a display.
#include <QApplication>
#include <QSettings>
#include <unistd.h>
#include <gtest/gtest.h>
#include <cstring>

#include "common/sanitizer_build.h"
#include "common/scratch.h"

#ifdef RVTEST_ASAN
#include <dlfcn.h>
#include <link.h>

#include <string>
#include <vector>

// The leak check runs at exit, after Mesa has unloaded its GL driver: what the driver still
// held then looks lost, in a library the report cannot name and no suppression can match.
// The drivers the tests loaded stay loaded to the end.
static void KeepGlDriversLoaded() {
  std::vector<std::string> drivers;
  dl_iterate_phdr(
      [](dl_phdr_info* info, size_t, void* out) {
        if (info->dlpi_name && std::strstr(info->dlpi_name, "/dri/"))
          static_cast<std::vector<std::string>*>(out)->push_back(info->dlpi_name);
        return 0;
      },
      &drivers);
  for (const std::string& d : drivers) dlopen(d.c_str(), RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
}
#endif

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
  const QString settings = QString::fromStdString((rvtest::ScratchRoot() / "qtsettings").string());
  for (QSettings::Format f : {QSettings::NativeFormat, QSettings::IniFormat})
    QSettings::setPath(f, QSettings::UserScope, settings);
  // The program puts an unnamed project's results in the home folder: the tests' go with
  // the scratch root, not among the user's files.
  const std::filesystem::path home = rvtest::ScratchRoot() / "home";
  std::filesystem::create_directories(home);
  qputenv("HOME", QByteArray::fromStdString(home.string()));
  // Without a runtime folder Qt makes <tmp>/runtime-<user> and leaves it: one of the
  // process's own, private as Qt wants it, goes with the scratch root.
  if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
    const std::filesystem::path runtime = rvtest::ScratchRoot() / "runtime";
    std::filesystem::create_directories(runtime);
    std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
    qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(runtime.string()));
  }
  QApplication app(argc, argv);
  const int rc = RUN_ALL_TESTS();
#ifdef RVTEST_ASAN
  KeepGlDriversLoaded();
#endif
  return rc;
}
