#include "charts/ui/TfmBackSpectr.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace rv {

TfmBackSpectr::TfmBackSpectr(QWidget* parent) : QDialog(parent) {
  setObjectName("fmBackSpectr");
  setWindowTitle("Обратное преобразование Фурье");
  Label3 = new QLabel(
      "Для преобразования берутся два последних графика. Предпоследний график считается модулем спектра, "
      "последний - фазой. Частота в файлах должна быть в герцах, шаг по частоте - равномерный и совпадать в "
      "обоих графиках, количество точек - одинаковым.",
      this);
  Label3->setObjectName("Label3");
  Label3->setAlignment(Qt::AlignCenter);
  Label3->setWordWrap(true);
  edTMin = new QLineEdit("0", this);
  edTMin->setObjectName("edTMin");
  edTMax = new QLineEdit("1", this);
  edTMax->setObjectName("edTMax");
  edNPoint = new QLineEdit("256", this);
  edNPoint->setObjectName("edNPoint");
  cbTime = new QComboBox(this);
  cbTime->setObjectName("cbTime");
  cbTime->addItems({"наносекунды", "микросекунды", "миллисекунды", "секунды"});
  CheckBox1 = new QCheckBox("Удалить исходные графики спектра", this);
  CheckBox1->setObjectName("CheckBox1");
  BitBtn1 = new QPushButton("ОК", this);
  BitBtn1->setObjectName("BitBtn1");
  BitBtn1->setDefault(true);
  BitBtn2 = new QPushButton("Отмена", this);
  BitBtn2->setObjectName("BitBtn2");

  auto* form = new QFormLayout;
  form->addRow("От какого времени, с", edTMin);
  form->addRow("До какого времени, с", edTMax);
  form->addRow("Сколько точек графика", edNPoint);
  form->addRow("Время на выходе", cbTime);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(BitBtn1);
  buttons->addWidget(BitBtn2);
  auto* lay = new QVBoxLayout(this);
  lay->addWidget(Label3);
  lay->addLayout(form);
  lay->addWidget(CheckBox1);
  lay->addLayout(buttons);
  connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
  connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
  FormCreate();
}

void TfmBackSpectr::FormCreate() { cbTime->setCurrentIndex(0); }

}  // namespace rv
