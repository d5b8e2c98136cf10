#include "charts/ui/TfmBackSpectr.h"
#include "charts/ui/TfmSpectr.h"

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
  cbTime = TimeUnitList(this);
  CheckBox1 = new QCheckBox("Удалить исходные графики спектра", this);
  CheckBox1->setObjectName("CheckBox1");

  auto* form = new QFormLayout;
  form->addRow("От какого времени, с", edTMin);
  form->addRow("До какого времени, с", edTMax);
  form->addRow("Сколько точек графика", edNPoint);
  form->addRow("Время на выходе", cbTime);
  auto* buttons = OkCancelRow(this, BitBtn1, BitBtn2);
  auto* lay = new QVBoxLayout(this);
  lay->addWidget(Label3);
  lay->addLayout(form);
  lay->addWidget(CheckBox1);
  lay->addLayout(buttons);
  FormCreate();
}

void TfmBackSpectr::FormCreate() { cbTime->setCurrentIndex(0); }

}  // namespace rv
