// "Open this file in the running program": the first instance holds a lock file and listens
// on one local socket per topic ("ddeFdtd" for projects, "ddeChart" for curve files); a later
// start naming a file sends the shell's macro text [open("<path>")] there and ends.
#pragma once
#include <QObject>

#include <functional>
#include <map>
#include <memory>
#include <string>

class QLocalServer;
class QLockFile;

namespace rv::platform {

inline constexpr const char* kTopicProject = "ddeFdtd";
inline constexpr const char* kTopicChart = "ddeChart";
// A request longer than this is dropped unread.
inline constexpr qint64 kMaxMacroBytes = 64 * 1024;

// The macro the shell sends for `path`.
std::string OpenMacro(const std::string& path);
// The file named by a macro's first line: its characters from the 8th on without the last
// three (the text between [open(" and ")]); too short a line gives an empty name.
std::string MacroFileName(const std::string& firstLine);
// Projects (the extension exactly ".fdt") go to the main window, anything else to the chart.
const char* TopicForFile(const std::string& path);
// The folder of the lock and the sockets: the user's runtime folder, private to the user.
std::string DefaultChannelDir();

class ShellChannel : public QObject {
  Q_OBJECT
public:
  // `dir` holds the lock file and the sockets; it is created (0700) when missing.
  explicit ShellChannel(std::string dir = DefaultChannelDir());
  ~ShellChannel() override;

  // Takes the lock (a lock left by a program that died is taken over) and listens on both
  // topics. False when another running instance holds it.
  bool BecomePrimary();
  // The first line of every request on `topic` goes to `handler`.
  void SetHandler(const std::string& topic, std::function<void(const std::string&)> handler);

  // Sends `macro` to the primary instance's `topic`; true once it was written.
  static bool Send(const std::string& dir, const std::string& topic, const std::string& macro,
                   int timeoutMs = 2000);

private:
  void serve(QLocalServer* server, const std::string& topic);

  std::string dir_;
  std::unique_ptr<QLockFile> lock_;
  std::map<std::string, QLocalServer*> servers_;
  std::map<std::string, std::function<void(const std::string&)>> handlers_;
};

}  // namespace rv::platform
