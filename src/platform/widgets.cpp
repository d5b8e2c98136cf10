#include "platform/widgets.h"

#include <QDialog>
#include <QPointer>
#include <QPushButton>
#include <QString>

namespace rv {

QPushButton* MakeButton(QWidget* parent, const char* caption, const char* objectName) {
  auto* b = new QPushButton(QString::fromUtf8(caption), parent);
  b->setObjectName(QString::fromLatin1(objectName));
  b->setAutoDefault(false);
  return b;
}

int ExecOver(QDialog& dialog, QWidget* opener) {
  const QPointer<QWidget> parent = dialog.parentWidget();
  if (!opener || opener->window() == (parent ? parent->window() : nullptr)) return dialog.exec();
  const Qt::WindowFlags flags = dialog.windowFlags();
  dialog.setParent(opener->window(), flags);
  const int r = dialog.exec();
  dialog.setParent(parent, flags);
  return r;
}

}  // namespace rv
