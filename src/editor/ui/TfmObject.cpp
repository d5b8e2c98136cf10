#include "editor/ui/TfmObject.h"

#include <QFormLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include "editor/ui/DialogKit.h"

namespace rv {

TfmObject::TfmObject(QWidget* parent) : QDialog(parent) {
  setObjectName("fmObject");
  setWindowTitle(QString::fromUtf8("Сведения о загружаемом объекте"));
  auto* top = new QVBoxLayout(this);
  Memo1 = new QPlainTextEdit(this);
  Memo1->setObjectName("Memo1");
  Memo1->setReadOnly(true);
  top->addWidget(Memo1);
  top->addWidget(new QLabel(QString::fromUtf8("Выбери положение точки привязки объекта:"), this));
  auto* form = new QFormLayout;
  spXo = NamedSpin(this, "spXo", 1, 10000, 1);
  spYo = NamedSpin(this, "spYo", 1, 10000, 1);
  spZo = NamedSpin(this, "spZo", 1, 10000, 1);
  form->addRow(QStringLiteral("Xo:"), spXo);
  form->addRow(QStringLiteral("Yo:"), spYo);
  form->addRow(QStringLiteral("Zo:"), spZo);
  top->addLayout(form);
  top->addWidget(OkCancelButtons(this, "OK", "Отмена"));
}

void TfmObject::Fill(const std::vector<std::string>& summary, int x, int y, int z) {
  Memo1->clear();
  for (const std::string& l : summary) Memo1->appendPlainText(QString::fromStdString(l));
  spXo->setValue(x);
  spYo->setValue(y);
  spZo->setValue(z);
}

}  // namespace rv
