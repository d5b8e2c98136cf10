#include "platform/filedialog.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QEvent>
#include <QLineEdit>
#include <QPointer>
#include <QTimer>

namespace rv::platform {

namespace {

// Watches the completers' lists of one dialog: a list that shows while the dialog is hidden
// is closed again at once.
class CompleterGuard : public QObject {
public:
  static constexpr const char* kName = "rvCompleterGuard";

  explicit CompleterGuard(QFileDialog& d) : QObject(&d), dialog_(d) {
    setObjectName(kName);
    connect(&d, &QDialog::finished, this, &CompleterGuard::closeLists);
  }

  void watch(QWidget* list) {
    if (lists_.contains(list)) return;
    lists_.append(list);
    list->installEventFilter(this);
  }

  bool eventFilter(QObject* o, QEvent* e) override {
    if (e->type() == QEvent::Show && !dialog_.isVisible()) {
      auto* list = static_cast<QWidget*>(o);
      // Hidden from within its own showing it would be shown on regardless: hidden just after.
      QTimer::singleShot(0, list, [list, this] {
        if (!dialog_.isVisible()) list->hide();
      });
    }
    return false;
  }

  void closeLists() {
    for (QWidget* l : lists_)
      if (l) l->hide();
  }

private:
  QFileDialog& dialog_;
  QList<QPointer<QWidget>> lists_;
};

}  // namespace

void PrepareFileDialog(QFileDialog& d) {
  d.setOption(QFileDialog::DontUseNativeDialog);
  auto* guard = static_cast<CompleterGuard*>(d.findChild<QObject*>(CompleterGuard::kName, Qt::FindDirectChildrenOnly));
  if (!guard) guard = new CompleterGuard(d);
  for (QLineEdit* e : d.findChildren<QLineEdit*>())
    if (QCompleter* c = e->completer()) guard->watch(c->popup());
}

QFileDialog* NewFileDialog(QWidget* parent, const QString& title) {
  auto* d = new QFileDialog(parent, title);
  PrepareFileDialog(*d);
  return d;
}

QString AskFileName(QWidget* parent, bool save, const QString& title, const QString& dir, const QString& filter,
                    QFileDialog::Options options) {
  QFileDialog d(parent, title, dir, filter);
  d.setOptions(d.options() | options);
  PrepareFileDialog(d);
  d.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  d.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  if (d.exec() != QDialog::Accepted || d.selectedFiles().isEmpty()) return {};
  return d.selectedFiles().front();
}

}  // namespace rv::platform
