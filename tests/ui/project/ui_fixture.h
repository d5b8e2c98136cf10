// Helpers shared by the main-window and project-command tests.
#pragma once
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <unistd.h>

#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <string>

#include "project/ui/ProjectIO.h"

namespace rvtest {

// A fresh scratch folder <tmp>/<group>_<pid>/<name>/, ending in "/" (the pid keeps two
// runs of the suite apart).
inline std::string FreshDir(const std::string& group, const std::string& name) {
  namespace fs = std::filesystem;
  const fs::path d = fs::temp_directory_path() / (group + "_" + std::to_string(::getpid())) / name;
  fs::remove_all(d);
  fs::create_directories(d);
  return d.string() + "/";
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), {});
}

// Serves the run's hand-offs as the program's event loop does, without the fixed sleeps of
// QTest::qWaitFor (each step of a run waits for one of them).
inline bool WaitFor(const std::function<bool()>& done, int timeoutMs) {
  QElapsedTimer t;
  t.start();
  QTimer tick;
  tick.start(2);
  while (!done()) {
    if (t.elapsed() > timeoutMs) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
  }
  return true;
}

// File dialogs that answer from queues (nullopt: the user cancelled) and count the asks.
class ScriptedDialogs : public rv::ProjectFileDialogs {
public:
  std::optional<std::string> SaveProjectName(const rv::ProjectDialogState&) override {
    ++saveAsked;
    return next(save);
  }
  std::optional<std::string> OpenProjectName(const rv::ProjectDialogState&) override {
    ++openAsked;
    return next(open);
  }
  std::deque<std::optional<std::string>> save, open;
  int saveAsked = 0, openAsked = 0;

private:
  static std::optional<std::string> next(std::deque<std::optional<std::string>>& q) {
    if (q.empty()) return std::nullopt;
    auto v = q.front();
    q.pop_front();
    return v;
  }
};

}  // namespace rvtest
