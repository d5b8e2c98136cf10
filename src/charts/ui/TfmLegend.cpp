#include "charts/ui/TfmLegend.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "charts/ui/TfmSpectr.h"

namespace rv {

TfmLegend::TfmLegend(QWidget* parent) : QDialog(parent) {
  setObjectName("fmLegend");
  Memo1 = new QPlainTextEdit(this);
  Memo1->setObjectName("Memo1");
  Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
  Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  auto* lay = new QVBoxLayout(this);
  lay->addWidget(Memo1);
  lay->addLayout(OkCancelRow(this, btnOK, btnCancel));
  btnOK->setText("Ok");
  btnOK->setDefault(false);  // Enter starts a new line in the memo
  btnOK->setAutoDefault(false);
  btnCancel->setAutoDefault(false);
}

bool TfmLegend::Execute(std::vector<std::string>& lines) {
  QStringList l;
  for (const auto& s : lines) l << QString::fromStdString(s);
  Memo1->setPlainText(l.join('\n'));
  if (exec() != QDialog::Accepted) return false;
  lines.clear();
  for (const QString& s : Memo1->toPlainText().split('\n')) lines.push_back(s.toStdString());
  return true;
}

}  // namespace rv
