#include "editor/ui/TfmSellParms.h"

#include <QCloseEvent>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace rv {

TfmSellParms::TfmSellParms(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint) {
  setObjectName("fmSellParms");
  setWindowTitle(QString::fromUtf8("Параметры"));
  auto* l = new QVBoxLayout(this);
  l->setContentsMargins(0, 0, 0, 0);
  Memo1 = new QPlainTextEdit(this);
  Memo1->setObjectName("Memo1");
  Memo1->setReadOnly(true);
  l->addWidget(Memo1);
  resize(260, 200);
}

void TfmSellParms::SetLines(const std::vector<std::string>& lines) {
  QString t;
  for (const std::string& s : lines) {
    if (!t.isEmpty()) t += '\n';
    t += QString::fromStdString(s);
  }
  Memo1->setPlainText(t);
}

void TfmSellParms::closeEvent(QCloseEvent* e) {
  e->accept();
  emit closed();
}

}  // namespace rv
