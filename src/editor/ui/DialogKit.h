// Small pieces the editor's dialogs share: a named spin box and the OK/Cancel row.
#pragma once
#include <QDialog>
#include <QDialogButtonBox>
#include <QSpinBox>
#include <QString>

namespace rv {

inline QSpinBox* NamedSpin(QWidget* parent, const char* name, int lo, int hi, int value) {
  auto* s = new QSpinBox(parent);
  s->setObjectName(name);
  s->setRange(lo, hi);
  s->setValue(value);
  return s;
}

// An accept and a reject button wired to the dialog.
inline QDialogButtonBox* OkCancelButtons(QDialog* d, const char* ok = "ОК", const char* cancel = "Отмена") {
  auto* b = new QDialogButtonBox(d);
  b->addButton(QString::fromUtf8(ok), QDialogButtonBox::AcceptRole);
  b->addButton(QString::fromUtf8(cancel), QDialogButtonBox::RejectRole);
  QObject::connect(b, &QDialogButtonBox::accepted, d, &QDialog::accept);
  QObject::connect(b, &QDialogButtonBox::rejected, d, &QDialog::reject);
  return b;
}

}  // namespace rv
