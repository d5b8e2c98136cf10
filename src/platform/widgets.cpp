#include "platform/widgets.h"

#include <QPushButton>
#include <QString>

namespace rv {

QPushButton* MakeButton(QWidget* parent, const char* caption, const char* objectName) {
  auto* b = new QPushButton(QString::fromUtf8(caption), parent);
  b->setObjectName(QString::fromLatin1(objectName));
  b->setAutoDefault(false);
  return b;
}

}  // namespace rv
