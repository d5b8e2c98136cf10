#include "charts/ui/TfmPolarDielectric.h"

#include <QCheckBox>
#include <QVBoxLayout>

#include "charts/ui/TfmSpectr.h"
#include "charts/ui/dialogfields.h"

namespace rv {

TfmPolarDielectric::TfmPolarDielectric(QWidget* parent) : QDialog(parent) {
  setObjectName("fmPolarDielectric");
  setWindowTitle("Задание свойств полярного диэлектрика");
  auto* form = new QFormLayout;
  Edit1 = NumberField(this, form, "Edit1", "Начальная диэлектрическая проницаемость:", "120");
  Edit2 = NumberField(this, form, "Edit2", "Конечная диэлектрическая проницаемость:", "15");
  Edit3 = NumberField(this, form, "Edit3", "Время релаксаци, с:", "6.67e-9");
  Edit4 = NumberField(this, form, "Edit4", "Проводимость, См/м:", "0.64");
  Edit5 = NumberField(this, form, "Edit5", "До какой частоты считать, ГГц:", "0.5");
  CheckBox1 = new QCheckBox("Считать проницаемость", this);
  CheckBox1->setObjectName("CheckBox1");
  CheckBox1->setChecked(true);
  CheckBox2 = new QCheckBox("Считать проводимость", this);
  CheckBox2->setObjectName("CheckBox2");
  CheckBox2->setChecked(true);
  QPushButton *ok = nullptr, *cancel = nullptr;
  auto* lay = new QVBoxLayout(this);
  lay->addLayout(form);
  lay->addWidget(CheckBox1);
  lay->addWidget(CheckBox2);
  lay->addLayout(OkCancelRow(this, ok, cancel));
}

PolarParams TfmPolarDielectric::Params() const {
  PolarParams p;
  p.epsS = FieldValue(Edit1);
  p.epsInf = FieldValue(Edit2);
  p.tau = FieldValue(Edit3);
  p.sigma = FieldValue(Edit4);
  p.fMaxGHz = FieldValue(Edit5);
  p.textS = Edit1->text().toStdString();
  p.textInf = Edit2->text().toStdString();
  p.textTau = Edit3->text().toStdString();
  p.textSigma = Edit4->text().toStdString();
  return p;
}

}  // namespace rv
