#include "charts/ui/TfmSelectTwoGr.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace rv {

TfmSelectTwoGr::TfmSelectTwoGr(QWidget* parent) : QDialog(parent) {
  setObjectName("fmSelectTwoGr");
  setWindowTitle("Срастить графики");
  SpinEdit1 = new QSpinBox(this);
  SpinEdit1->setObjectName("SpinEdit1");
  SpinEdit2 = new QSpinBox(this);
  SpinEdit2->setObjectName("SpinEdit2");
  for (QSpinBox* s : {SpinEdit1, SpinEdit2}) s->setRange(1, 1);
  Edit1 = new QLineEdit("0", this);
  Edit1->setObjectName("Edit1");
  btnOK = new QPushButton("OK", this);
  btnOK->setDefault(true);
  btnCancel = new QPushButton("Отмена", this);
  auto* form = new QFormLayout;
  form->addRow("Первый график (слева) - номер", SpinEdit1);
  form->addRow("Второй график (справа) - номер", SpinEdit2);
  form->addRow("Точка на оси X", Edit1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(btnOK);
  buttons->addWidget(btnCancel);
  auto* lay = new QVBoxLayout(this);
  lay->addLayout(form);
  lay->addLayout(buttons);
  connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

bool TfmSelectTwoGr::Execute(int seriesCount) {
  const int top = seriesCount < 1 ? 1 : seriesCount;
  SpinEdit1->setMaximum(top);
  SpinEdit2->setMaximum(top);
  return exec() == QDialog::Accepted;
}

}  // namespace rv
