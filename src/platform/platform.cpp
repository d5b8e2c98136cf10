#include "platform/platform.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QStandardPaths>
#include <QThread>

#include <fstream>
#include <sstream>
#include <unistd.h>

namespace rv::platform {

bool ParseMemInfo(const std::string& text, MemoryStatus& st) {
  std::istringstream in(text);
  std::string key;
  uint64_t total = 0, avail = 0;
  bool haveTotal = false, haveAvail = false;
  while (in >> key) {
    unsigned long long kb = 0;
    if (!(in >> kb)) { in.clear(); std::string skip; std::getline(in, skip); continue; }
    std::string unit;
    std::getline(in, unit);
    if (key == "MemTotal:") { total = kb * 1024ull; haveTotal = true; }
    else if (key == "MemAvailable:") { avail = kb * 1024ull; haveAvail = true; }
  }
  if (!haveTotal || total == 0) return false;
  if (!haveAvail || avail > total) avail = haveAvail ? total : 0;
  st.totalPhys = total;
  st.availPhys = avail;
  st.memoryLoad = int((total - avail) * 100 / total);
  return true;
}

bool GetMemoryStatus(MemoryStatus& st) {
  std::ifstream f("/proc/meminfo");
  if (!f) return false;
  std::stringstream ss;
  ss << f.rdbuf();
  return ParseMemInfo(ss.str(), st);
}

uint32_t GetTickCount() {
  static QElapsedTimer timer = [] { QElapsedTimer t; t.start(); return t; }();
  return uint32_t(uint64_t(timer.elapsed()));
}

std::string VersionString() {
#ifdef RAVELIN_VERSION
  return RAVELIN_VERSION;
#else
  return "0.0.0.0";
#endif
}

void WaitSinceTick(uint32_t t0, uint32_t ms) {
  for (;;) {
    const uint32_t passed = GetTickCount() - t0;
    if (passed > ms) return;
    QThread::msleep(ms - passed + 1);
  }
}

std::string ExecutableDir() {
  QString dir = QCoreApplication::instance() ? QCoreApplication::applicationDirPath()
                                             : QFileInfo("/proc/self/exe").canonicalFilePath();
  if (!QCoreApplication::instance()) dir = QFileInfo(dir).absolutePath();
  std::string s = dir.toStdString();
  if (s.empty() || s.back() != '/') s += '/';
  return s;
}

std::string UserConfigDir() {
  QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
  if (base.isEmpty()) base = QDir::homePath() + "/.config";
  const QString dir = base + "/ravelin";
  QDir().mkpath(dir);
  return dir.toStdString() + "/";
}

std::string BesideExecutable(const std::string& fileName) {
  const std::string dir = ExecutableDir();
  if (access(dir.c_str(), W_OK) == 0) return dir + fileName;
  return UserConfigDir() + fileName;
}

std::string HomeDir() {
  std::string s = QDir::homePath().toStdString();
  if (s.empty() || s.back() != '/') s += '/';
  return s;
}

}  // namespace rv::platform
