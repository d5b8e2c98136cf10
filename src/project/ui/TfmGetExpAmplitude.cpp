#include "project/ui/TfmGetExpAmplitude.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace rv {

TfmGetExpAmplitude::TfmGetExpAmplitude(QWidget* parent) : QDialog(parent) {
  setObjectName("fmGetExpAmplitude");
  setWindowTitle(QString::fromUtf8("Амплитуда"));
  auto* v = new QVBoxLayout(this);
  v->addWidget(new QLabel(QString::fromUtf8("Введите амплитуду"), this));
  Edit1 = new QLineEdit(QStringLiteral("1"), this);
  Edit1->setObjectName("Edit1");
  v->addWidget(Edit1);
  auto* h = new QHBoxLayout;
  BitBtn1 = new QPushButton(QString::fromUtf8("ОК"), this);
  BitBtn1->setObjectName("BitBtn1");
  BitBtn1->setDefault(true);
  BitBtn2 = new QPushButton(QString::fromUtf8("Отмена"), this);
  BitBtn2->setObjectName("BitBtn2");
  h->addStretch();
  h->addWidget(BitBtn1);
  h->addWidget(BitBtn2);
  v->addLayout(h);
  connect(BitBtn1, &QPushButton::clicked, this, [this] {
    if (!check || check()) accept();
  });
  connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
}

}  // namespace rv
