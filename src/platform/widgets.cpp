#include "platform/widgets.h"

#include <QDialog>
#include <QPointer>
#include <QLineEdit>
#include <QPushButton>
#include <QString>

#include "platform/prompter.h"

namespace rv {

bool RefuseField(Prompter& prompter, QLineEdit* field, const std::string& why) {
  prompter.warning(why);
  field->setFocus();
  field->selectAll();
  return false;
}

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
