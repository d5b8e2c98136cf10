#include "charts/ui/TfmSpectr.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "charts/ui/dialogfields.h"
#include "solver/numtext.h"

namespace rv {

namespace {
QLineEdit* Edit(QWidget* parent, const char* name, const char* text) {
  auto* e = new QLineEdit(text, parent);
  e->setObjectName(name);
  return e;
}
QCheckBox* Check(QWidget* parent, const char* name, const char* caption) {
  auto* c = new QCheckBox(caption, parent);
  c->setObjectName(name);
  return c;
}
}  // namespace

QComboBox* TimeUnitList(QWidget* parent) {
  auto* c = new QComboBox(parent);
  c->setObjectName("cbTime");
  c->addItems({"наносекунды", "микросекунды", "миллисекунды", "секунды"});
  return c;
}

QHBoxLayout* OkCancelRow(QDialog* d, QPushButton*& ok, QPushButton*& cancel) {
  ok = new QPushButton("ОК", d);
  ok->setObjectName("BitBtn1");
  ok->setDefault(true);
  cancel = new QPushButton("Отмена", d);
  cancel->setObjectName("BitBtn2");
  auto* row = new QHBoxLayout;
  row->addStretch();
  row->addWidget(ok);
  row->addWidget(cancel);
  QObject::connect(ok, &QPushButton::clicked, d, &QDialog::accept);
  QObject::connect(cancel, &QPushButton::clicked, d, &QDialog::reject);
  return row;
}

TfmSpectr::TfmSpectr(Prompter& msgs, QWidget* parent) : QDialog(parent), msgs_(msgs) {
  setObjectName("fmSpectr");
  setWindowTitle("Спектр выбранных графиков, Гц");

  rgFourieType = new QGroupBox("Вид преобразования", this);
  rgFourieType->setObjectName("rgFourieType");
  rbDFT = new QRadioButton("DFT", rgFourieType);
  rbFFT = new QRadioButton("FFT", rgFourieType);
  rbDFT->setChecked(true);
  auto* rg = new QHBoxLayout(rgFourieType);
  rg->addWidget(rbDFT);
  rg->addWidget(rbFFT);

  edFMin = Edit(this, "edFMin", "0");
  edFMax = Edit(this, "edFMax", "1e9");
  GroupBox1 = new QGroupBox("Шаг по частоте", this);
  GroupBox1->setObjectName("GroupBox1");
  eddF = Edit(GroupBox1, "eddF", "1e6");
  CheckBox2 = Check(GroupBox1, "CheckBox2", "автоматически");
  auto* step = new QHBoxLayout(GroupBox1);
  step->addWidget(eddF);
  step->addWidget(new QLabel("Гц", GroupBox1));
  step->addWidget(CheckBox2);

  cbTime = TimeUnitList(this);
  CheckBox1 = Check(this, "CheckBox1", "Выполнить обратное преобразование");
  CheckBox3 = Check(this, "CheckBox3", "Вычислить абсолютные амплитуды спектра");
  CheckBox3->setChecked(true);
  CheckBox4 = Check(this, "CheckBox4", "Не выводить фазу");
  CheckBox4->setChecked(true);
  cbFreq = new QComboBox(this);
  cbFreq->setObjectName("cbFreq");
  cbFreq->addItems({"герцы", "килогерцы", "мегагерцы", "гигагерцы"});

  auto* form = new QFormLayout;
  form->addRow("Нижняя частота, Гц", edFMin);
  form->addRow("Верхняя частота, Гц", edFMax);
  auto* lower = new QFormLayout;
  lower->addRow("Время на графике:", cbTime);
  auto* out = new QFormLayout;
  out->addRow("Выходной результат:", cbFreq);
  auto* buttons = OkCancelRow(this, BitBtn1, BitBtn2);
  auto* lay = new QVBoxLayout(this);
  lay->addWidget(rgFourieType);
  lay->addLayout(form);
  lay->addWidget(GroupBox1);
  lay->addLayout(lower);
  lay->addWidget(CheckBox1);
  lay->addWidget(CheckBox3);
  lay->addWidget(CheckBox4);
  lay->addLayout(out);
  lay->addLayout(buttons);

  // As the original component did, a rule runs on every change of the box, also one made
  // by loading the settings.
  connect(CheckBox1, &QCheckBox::toggled, this, &TfmSpectr::CheckBox1Click);
  connect(CheckBox2, &QCheckBox::toggled, this, &TfmSpectr::CheckBox2Click);
  connect(rbDFT, &QRadioButton::toggled, this, &TfmSpectr::rgFourieTypeClick);
}

void TfmSpectr::FormCreate(const SpectrSettings& s) {
  cbTime->setCurrentIndex(0);
  cbFreq->setCurrentIndex(0);
  edFMin->setText(QString::fromStdString(s.edFMin));
  edFMax->setText(QString::fromStdString(s.edFMax));
  eddF->setText(QString::fromStdString(s.eddF));
  CheckBox1->setChecked(s.CheckBox1);
  CheckBox2->setChecked(s.CheckBox2);
  CheckBox3->setChecked(s.CheckBox3);
  CheckBox4->setChecked(s.CheckBox4);
  if (s.cbTime >= 0 && s.cbTime < cbTime->count()) cbTime->setCurrentIndex(s.cbTime);
  if (s.cbFreq >= 0 && s.cbFreq < cbFreq->count()) cbFreq->setCurrentIndex(s.cbFreq);
}

void TfmSpectr::SaveTo(SpectrSettings& s) const {
  s.edFMin = edFMin->text().toStdString();
  s.edFMax = edFMax->text().toStdString();
  s.eddF = eddF->text().toStdString();
  s.CheckBox1 = CheckBox1->isChecked();
  s.CheckBox2 = CheckBox2->isChecked();
  s.CheckBox3 = CheckBox3->isChecked();
  s.CheckBox4 = CheckBox4->isChecked();
  s.cbTime = cbTime->currentIndex();
  s.cbFreq = cbFreq->currentIndex();
}

SpectrumOptions TfmSpectr::ReadOptions() const {
  SpectrumOptions o;
  o.type = rbFFT->isChecked() ? 1 : 0;
  o.fMax = StrToFloat(edFMax->text().toStdString());
  o.fMin = StrToFloat(edFMin->text().toStdString());
  // The step field counts only for the direct transform with a step of its own.
  if (o.type == 0 && !CheckBox2->isChecked()) o.dF = StrToFloat(eddF->text().toStdString());
  o.autoStep = CheckBox2->isChecked();
  o.inverse = CheckBox1->isChecked();
  o.absolute = CheckBox3->isChecked();
  o.noPhase = CheckBox4->isChecked();
  o.cbTime = cbTime->currentIndex();
  o.cbFreq = cbFreq->currentIndex();
  return o;
}

void TfmSpectr::done(int r) {
  if (r == Accepted) {
    const bool step = rbDFT->isChecked() && !CheckBox2->isChecked();
    for (QLineEdit* e : {edFMin, edFMax, eddF})
      if ((e != eddF || step) && !AcceptField(e, msgs_, [](const std::string& t) { StrToFloat(t); })) return;
  }
  QDialog::done(r);
}

void TfmSpectr::CheckBox1Click() {
  const bool free = !CheckBox1->isChecked();
  CheckBox3->setEnabled(free);
  CheckBox4->setEnabled(free);
  cbFreq->setEnabled(free);
  cbFreq->setCurrentIndex(0);
}

void TfmSpectr::CheckBox2Click() { eddF->setEnabled(!CheckBox2->isChecked()); }

void TfmSpectr::rgFourieTypeClick() { GroupBox1->setVisible(rbDFT->isChecked()); }

}  // namespace rv
