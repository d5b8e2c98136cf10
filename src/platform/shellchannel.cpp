#include "platform/shellchannel.h"

#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>

namespace rv::platform {

namespace {
QString Q(const std::string& s) { return QString::fromStdString(s); }
}  // namespace

std::string OpenMacro(const std::string& path) { return "[open(\"" + path + "\")]"; }

std::string MacroFileName(const std::string& firstLine) {
  if (firstLine.size() <= 10) return {};
  return firstLine.substr(7, firstLine.size() - 10);
}

const char* TopicForFile(const std::string& path) {
  const std::string ext = ".fdt";
  const bool project = path.size() >= ext.size() &&
                       path.compare(path.size() - ext.size(), ext.size(), ext) == 0;
  return project ? kTopicProject : kTopicChart;
}

std::string DefaultChannelDir() {
  QString base = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  if (base.isEmpty()) base = QDir::tempPath() + "/ravelin-" + qEnvironmentVariable("USER");
  return (base + "/ravelin").toStdString();
}

ShellChannel::ShellChannel(std::string dir) : dir_(std::move(dir)) {}

ShellChannel::~ShellChannel() {
  if (!lock_) return;
  // The primary instance leaves nothing behind: its sockets, its lock, then the folder
  // (rmdir keeps it when anything else is in it).
  for (auto& [topic, server] : servers_) delete server;
  servers_.clear();
  lock_.reset();
  QDir().rmdir(Q(dir_));
}

bool ShellChannel::BecomePrimary() {
  QDir().mkpath(Q(dir_));
  QFile::setPermissions(Q(dir_), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  lock_ = std::make_unique<QLockFile>(Q(dir_ + "/instance.lock"));
  // Only a lock whose owner is gone is stale, however old it is.
  lock_->setStaleLockTime(0);
  if (!lock_->tryLock(0)) {
    lock_.reset();
    return false;
  }
  for (const char* topic : {kTopicProject, kTopicChart}) {
    const QString path = Q(dir_ + "/" + topic);
    // A socket left by a program that died; listening with options instead would take
    // over a live one.
    QLocalServer::removeServer(path);
    auto* server = new QLocalServer(this);
    if (!server->listen(path)) {
      delete server;
      continue;
    }
    servers_[topic] = server;
    serve(server, topic);
  }
  return true;
}

void ShellChannel::SetHandler(const std::string& topic,
                              std::function<void(const std::string&)> handler) {
  handlers_[topic] = std::move(handler);
}

void ShellChannel::serve(QLocalServer* server, const std::string& topic) {
  connect(server, &QLocalServer::newConnection, this, [this, server, topic] {
    while (QLocalSocket* s = server->nextPendingConnection()) {
      auto* buffer = new QByteArray;
      connect(s, &QLocalSocket::readyRead, s, [s, buffer] {
        buffer->append(s->readAll());
        if (buffer->size() > kMaxMacroBytes) {
          buffer->clear();
          s->abort();
        }
      });
      connect(s, &QLocalSocket::disconnected, this, [this, s, buffer, topic] {
        buffer->append(s->readAll());
        const QByteArray request = buffer->size() > kMaxMacroBytes ? QByteArray() : *buffer;
        delete buffer;
        s->deleteLater();
        if (request.isEmpty()) return;
        QByteArray line = request.left(request.indexOf('\n'));
        if (line.endsWith('\r')) line.chop(1);
        auto h = handlers_.find(topic);
        if (h != handlers_.end() && h->second) h->second(line.toStdString());
      });
    }
  });
}

bool ShellChannel::Send(const std::string& dir, const std::string& topic,
                        const std::string& macro, int timeoutMs) {
  QLocalSocket s;
  s.connectToServer(Q(dir + "/" + topic));
  if (!s.waitForConnected(timeoutMs)) return false;
  s.write(QByteArray::fromStdString(macro + "\n"));
  bool ok = s.waitForBytesWritten(timeoutMs) || s.bytesToWrite() == 0;
  s.disconnectFromServer();
  if (s.state() != QLocalSocket::UnconnectedState) ok = s.waitForDisconnected(timeoutMs) && ok;
  return ok;
}

}  // namespace rv::platform
