#include "charts/ui/TfmSelectGrParam.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace rv {

TfmSelectGrParam::TfmSelectGrParam(QWidget* parent) : QDialog(parent) {
  setObjectName("fmSelectGrParam");
  setWindowTitle("Выбор параметров графиков");
  ComboBoxTime = new QComboBox(this);
  ComboBoxTime->setObjectName("ComboBoxTime");
  ComboBoxTime->addItems({"Секунды", "Миллисекунды", "Микросекунды", "Наносекунды", "Пикосекунды"});
  ComboBoxTime->setCurrentIndex(3);
  ComboBoxScale = new QComboBox(this);
  ComboBoxScale->setObjectName("ComboBoxScale");
  ComboBoxScale->addItems({"Килоамперы", "Амперы", "Миллиамперы", "Микроамперы"});
  ComboBoxScale->setCurrentIndex(1);
  btnCancel = new QPushButton("Отмена", this);
  btnOK = new QPushButton("ОК", this);
  btnOK->setDefault(true);
  auto* form = new QFormLayout;
  form->addRow("Время на графике", ComboBoxTime);
  form->addRow("Амплитуда на графике", ComboBoxScale);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(btnCancel);
  buttons->addWidget(btnOK);
  auto* lay = new QVBoxLayout(this);
  lay->addLayout(form);
  lay->addLayout(buttons);
  connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

}  // namespace rv
