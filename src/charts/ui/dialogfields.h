// What the chart window and its small parameter dialogs share: a named number field in a
// form, the number typed into it, named actions.
#pragma once
#include <QAction>
#include <QButtonGroup>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QStringList>
#include <QVBoxLayout>

#include <string>

#include "platform/prompter.h"
#include "solver/numtext.h"

namespace rv {

// Object names let tests and the command tables find an action; the hint is its tool tip.
inline QAction* Named(QAction* a, const char* name, const char* hint = nullptr) {
  a->setObjectName(name);
  if (hint) a->setToolTip(QString::fromUtf8(hint));
  return a;
}

inline QLineEdit* NumberField(QWidget* parent, QFormLayout* form, const char* name, const char* label,
                              const char* text) {
  auto* e = new QLineEdit(QString::fromUtf8(text), parent);
  e->setObjectName(name);
  form->addRow(QString::fromUtf8(label), e);
  return e;
}

// Throws ConvertError for a text that is not a number.
inline double FieldValue(const QLineEdit* e) { return StrToFloat(e->text().toStdString()); }

// The caption a form of the field's window gives its row (the field alone, or in a row's
// layout with its unit); empty when no form does.
inline std::string FieldCaption(QLineEdit* e) {
  for (QFormLayout* f : e->window()->findChildren<QFormLayout*>())
    for (int r = 0; r < f->rowCount(); ++r) {
      QLayoutItem* field = f->itemAt(r, QFormLayout::FieldRole);
      QLayoutItem* label = f->itemAt(r, QFormLayout::LabelRole);
      if (!field || !label) continue;
      const bool here = field->widget() == e || (field->layout() && field->layout()->indexOf(e) >= 0);
      if (const auto* l = qobject_cast<QLabel*>(label->widget()); here && l) return l->text().toStdString();
    }
  return "";
}

// A field read when OK is pressed (`read` throws ConvertError for a bad text): on failure
// the message, naming the field by its caption, is shown and the field selected for
// correcting, and the dialog stays open.
template <class Read>
bool AcceptField(QLineEdit* e, Prompter& msgs, Read read) {
  try {
    read(e->text().toStdString());
    return true;
  } catch (const ConvertError& err) {
    const std::string caption = FieldCaption(e);
    msgs.error(caption.empty() ? std::string(err.what()) : "«" + caption + "»: " + err.what());
    e->setFocus();
    e->selectAll();
    return false;
  }
}

// A titled group of radio buttons, the first checked; the group's ids are the item indices.
inline QGroupBox* RadioGroup(QWidget* parent, const char* name, const char* title, const QStringList& items,
                             QButtonGroup*& group) {
  auto* box = new QGroupBox(QString::fromUtf8(title), parent);
  box->setObjectName(name);
  group = new QButtonGroup(box);
  auto* lay = new QVBoxLayout(box);
  for (int i = 0; i < items.size(); ++i) {
    auto* b = new QRadioButton(items[i], box);
    group->addButton(b, i);
    lay->addWidget(b);
  }
  group->button(0)->setChecked(true);
  return box;
}

}  // namespace rv
