// What the small parameter dialogs of the chart window share: a named number field in a
// form, and the number typed into it.
#pragma once
#include <QFormLayout>
#include <QLineEdit>

#include "solver/numtext.h"

namespace rv {

inline QLineEdit* NumberField(QWidget* parent, QFormLayout* form, const char* name, const char* label,
                              const char* text) {
  auto* e = new QLineEdit(QString::fromUtf8(text), parent);
  e->setObjectName(name);
  form->addRow(QString::fromUtf8(label), e);
  return e;
}

// Throws ConvertError for a text that is not a number.
inline double FieldValue(const QLineEdit* e) { return StrToFloat(e->text().toStdString()); }

}  // namespace rv
