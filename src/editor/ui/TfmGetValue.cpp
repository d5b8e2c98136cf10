#include "editor/ui/TfmGetValue.h"

#include <QFormLayout>
#include <QLineEdit>
#include <QVBoxLayout>

#include "editor/ui/DialogKit.h"

namespace rv {

TfmGetValue::TfmGetValue(const char* name, const char* caption, const char* label, const char* label2,
                         QWidget* parent)
    : QDialog(parent) {
  setObjectName(name);
  setWindowTitle(QString::fromUtf8(caption));
  auto* top = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  Edit1 = new QLineEdit(this);
  Edit1->setObjectName("Edit1");
  form->addRow(QString::fromUtf8(label), Edit1);
  if (label2) {
    Edit2 = new QLineEdit(QStringLiteral("+"), this);
    Edit2->setObjectName("Edit2");
    form->addRow(QString::fromUtf8(label2), Edit2);
  }
  top->addLayout(form);
  top->addWidget(OkCancelButtons(this, "OK", "Отмена", [this] { return !check || check(); }));
}

}  // namespace rv
