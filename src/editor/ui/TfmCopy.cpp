#include "editor/ui/TfmCopy.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QRadioButton>
#include <QVBoxLayout>

#include "editor/ui/DialogKit.h"

namespace rv {

TfmCopy::TfmCopy(QWidget* parent) : QDialog(parent) {
  setObjectName("fmCopy");
  setWindowTitle(QString::fromUtf8("Клонирование выделенной области"));
  auto* top = new QVBoxLayout(this);
  auto* dir = new QGroupBox(QString::fromUtf8("Направление копирования"), this);
  auto* dl = new QVBoxLayout(dir);
  RadioButton1 = new QRadioButton(QString::fromUtf8("Вперед"), dir);
  RadioButton2 = new QRadioButton(QString::fromUtf8("Назад"), dir);
  RadioButton3 = new QRadioButton(QString::fromUtf8("В конкретный слой"), dir);
  for (QRadioButton* b : {RadioButton1, RadioButton2, RadioButton3}) dl->addWidget(b);
  RadioButton3->setChecked(true);
  top->addWidget(dir);
  auto* form = new QFormLayout;
  seNumCop = NamedSpin(this, "seNumCop", 1, 100000000, 1);
  seNumLay = NamedSpin(this, "seNumLay", 1, 100000000, 1);
  form->addRow(QString::fromUtf8("Сколько слоев"), seNumCop);
  form->addRow(QString::fromUtf8("В какой слой"), seNumLay);
  top->addLayout(form);
  CheckBox1 = new QCheckBox(QString::fromUtf8("Копировать пустое пространство"), this);
  CheckBox2 = new QCheckBox(QString::fromUtf8("Копировать невидимые материалы"), this);
  CheckBox3 = new QCheckBox(QString::fromUtf8("Затирать невидимые материалы"), this);
  for (QCheckBox* c : {CheckBox1, CheckBox2, CheckBox3}) top->addWidget(c);
  top->addWidget(OkCancelButtons(this, "OK", "Отмена"));
  FitTitle(this);
}

CloneOptions TfmCopy::Options() const {
  CloneOptions o;
  o.Mode = RadioButton1->isChecked()   ? CloneOptions::Forward
           : RadioButton2->isChecked() ? CloneOptions::Backward
                                       : CloneOptions::ToSection;
  o.Count = seNumCop->value();
  o.Section = seNumLay->value();
  o.CopyEmpty = CheckBox1->isChecked();
  o.CopyHidden = CheckBox2->isChecked();
  o.OverwriteHidden = CheckBox3->isChecked();
  return o;
}

}  // namespace rv
