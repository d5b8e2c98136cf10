#include "charts/ui/Tfm3expDLG.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "charts/ui/TfmSpectr.h"
#include "charts/ui/dialogfields.h"

namespace rv {

Tfm3expDLG::Tfm3expDLG(QWidget* parent) : QDialog(parent) {
  setObjectName("fm3expDLG");
  setWindowTitle("Параметры 3-х экпоненциального импульса");
  auto* form = new QFormLayout;
  Edit7 = NumberField(this, form, "Edit7", "A", "1");
  Edit1 = NumberField(this, form, "Edit1", "K1", "0.5");
  Edit2 = NumberField(this, form, "Edit2", "K2", "0.5");
  Edit3 = NumberField(this, form, "Edit3", "K3", "1");
  Edit4 = NumberField(this, form, "Edit4", "T1", "0.0000001e9");
  Edit5 = NumberField(this, form, "Edit5", "T2", "0.000000045e9");
  Edit6 = NumberField(this, form, "Edit6", "T3", "0.22e9");
  Edit8 = NumberField(this, form, "Edit8", "Конечное время, с:", "1e-7");
  Edit9 = NumberField(this, form, "Edit9", "Шаг по времени, с:", "1e-9");
  QPushButton *ok = nullptr, *cancel = nullptr;
  QHBoxLayout* row = OkCancelRow(this, ok, cancel);
  ok->setText("Нарисовать");
  cancel->setText("Не надо");
  auto* lay = new QVBoxLayout(this);
  lay->addWidget(new QLabel("Общий вид формулы:", this));
  lay->addWidget(new QLabel("f(t)=A*(K1*exp(-T1*t)+K2*exp(-T2*t)-K3*exp(-T3*t))", this));
  lay->addLayout(form);
  lay->addLayout(row);
}

ThreeExpParams Tfm3expDLG::Params() const {
  ThreeExpParams p;
  p.A = FieldValue(Edit7);
  p.K1 = FieldValue(Edit1);
  p.K2 = FieldValue(Edit2);
  p.K3 = FieldValue(Edit3);
  p.T1 = FieldValue(Edit4);
  p.T2 = FieldValue(Edit5);
  p.T3 = FieldValue(Edit6);
  p.tEnd = FieldValue(Edit8);
  p.dt = FieldValue(Edit9);
  return p;
}

}  // namespace rv
