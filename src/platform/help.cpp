#include "platform/help.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

#include "platform/platform.h"

namespace rv::platform {

DesktopHelp::DesktopHelp(std::string file) : file_(std::move(file)) {}

std::string DesktopHelp::DefaultFile() { return ExecutableDir() + "help/index.html"; }

bool DesktopHelp::Available() const {
  return QFileInfo(QString::fromStdString(file_)).isFile();
}

void DesktopHelp::ShowContents() {
  if (Available()) QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(file_)));
}

void DesktopHelp::ShowIndex() { ShowContents(); }

}  // namespace rv::platform
