// Small pieces the editor's dialogs share: a named spin box and the OK/Cancel row.
#pragma once
#include <QDialog>
#include <QDialogButtonBox>
#include <QFontMetrics>
#include <QStyle>
#include <QSpinBox>
#include <QString>

#include <algorithm>
#include <functional>

namespace rv {

inline QSpinBox* NamedSpin(QWidget* parent, const char* name, int lo, int hi, int value) {
  auto* s = new QSpinBox(parent);
  s->setObjectName(name);
  s->setRange(lo, hi);
  s->setValue(value);
  return s;
}

// An accept and a reject button wired to the dialog. With `check`, the accept button closes
// the dialog only when check() admits its fields (it tells the user what is wrong itself).
inline QDialogButtonBox* OkCancelButtons(QDialog* d, const char* ok = "ОК", const char* cancel = "Отмена",
                                         std::function<bool()> check = {}) {
  auto* b = new QDialogButtonBox(d);
  b->addButton(QString::fromUtf8(ok), QDialogButtonBox::AcceptRole);
  b->addButton(QString::fromUtf8(cancel), QDialogButtonBox::RejectRole);
  QObject::connect(b, &QDialogButtonBox::accepted, d, [d, check] {
    if (!check || check()) d->accept();
  });
  QObject::connect(b, &QDialogButtonBox::rejected, d, &QDialog::reject);
  return b;
}

// Wide enough that the desktop's title bar shows the whole caption: title bars commonly set
// it in bold, beside an icon and three buttons of about the bar's height.
inline void FitTitle(QDialog* d) {
  QFont f = d->font();
  f.setBold(true);
  const int bar = d->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, d);
  const int need = QFontMetrics(f).horizontalAdvance(d->windowTitle()) + 6 * bar;
  d->setMinimumWidth(std::max(d->minimumWidth(), need));
}

}  // namespace rv
