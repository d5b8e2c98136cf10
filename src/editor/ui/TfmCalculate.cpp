#include "editor/ui/TfmCalculate.h"

#include <QButtonGroup>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "editor/thinwire.h"
#include "platform/prompter.h"
#include "platform/widgets.h"
#include "solver/numtext.h"

namespace rv {

namespace {
QString Q(const std::string& s) { return QString::fromStdString(s); }

QLineEdit* Edit(QWidget* parent, const char* name, const char* text) {
  auto* e = new QLineEdit(QString::fromUtf8(text), parent);
  e->setObjectName(name);
  return e;
}
}  // namespace

TfmCalculate::TfmCalculate(Prompter& prompter, QWidget* parent)
    : QDialog(parent), prompter_(prompter) {
  setObjectName("fmCalculate");
  setWindowTitle(Q("Проводимость ячеек тонких проводников"));
  auto* lay = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  Edit1 = Edit(this, "Edit1", "2.5");
  Edit2 = Edit(this, "Edit2", "12");
  form->addRow(Q("Диаметр проводника, мм:"), Edit1);
  form->addRow(Q("Частота, МГц:"), Edit2);
  lay->addLayout(form);
  auto* metal = new QGroupBox(Q("Удельная проводимость материала, См/м:"), this);
  Edit3 = Edit(metal, "Edit3", "2e7");
  (new QVBoxLayout(metal))->addWidget(Edit3);
  lay->addWidget(metal);

  auto* dir = new QGroupBox(Q("Направление тока:"), this);
  dir->setObjectName("RadioGroup1");
  auto* dirRow = new QHBoxLayout(dir);
  RadioGroup1 = new QButtonGroup(this);
  const char* axes[] = {"X", "Y", "Z"};
  for (int i = 0; i < 3; ++i) {
    auto* b = new QRadioButton(Q(axes[i]), dir);
    RadioGroup1->addButton(b, i);
    dirRow->addWidget(b);
  }
  RadioGroup1->button(1)->setChecked(true);
  lay->addWidget(dir);

  auto* cells = new QGroupBox(Q("Размер ячеек, (м):"), this);
  auto* cellForm = new QFormLayout(cells);
  edX = Edit(cells, "edX", "0.01");
  edY = Edit(cells, "edY", "0.01");
  edZ = Edit(cells, "edZ", "0.01");
  cellForm->addRow(Q("X:"), edX);
  cellForm->addRow(Q("Y:"), edY);
  cellForm->addRow(Q("Z:"), edZ);
  lay->addWidget(cells);

  Memo1 = new QPlainTextEdit(this);
  Memo1->setObjectName("Memo1");
  Memo1->setReadOnly(true);
  lay->addWidget(Memo1);
  auto* buttons = new QHBoxLayout;
  Button1 = MakeButton(this, "Выбрать..", "Button1");
  Button1->setEnabled(false);  // nothing to choose from yet
  Button2 = MakeButton(this, "Вычислить", "Button2");
  Button3 = MakeButton(this, "Закрыть", "Button3");
  for (QPushButton* b : {Button1, Button2, Button3}) buttons->addWidget(b);
  lay->addLayout(buttons);

  connect(Button2, &QPushButton::clicked, this, &TfmCalculate::Button2Click);
  connect(Button3, &QPushButton::clicked, this, &QDialog::accept);
}

void TfmCalculate::showEvent(QShowEvent* e) {
  QDialog::showEvent(e);
  FormActivate();
}

void TfmCalculate::FormActivate() {
  if (!cellSizes_) return;
  const std::array<std::string, 3> s = cellSizes_();
  edX->setText(Q(s[0]));
  edY->setText(Q(s[1]));
  edZ->setText(Q(s[2]));
}

void TfmCalculate::Button2Click() {
  ThinWireInput in;
  double* fields[] = {&in.DiameterMm, &in.FrequencyMHz, &in.Sigma, &in.Dx, &in.Dy, &in.Dz};
  QLineEdit* edits[] = {Edit1, Edit2, Edit3, edX, edY, edZ};
  // Every one is a size, a frequency or a conductivity: 0 or below gives no wire.
  const char* labels[] = {"Диаметр проводника, мм:", "Частота, МГц:", "Удельная проводимость материала, См/м:",
                          "Размер ячеек, (м): X", "Размер ячеек, (м): Y", "Размер ячеек, (м): Z"};
  for (int i = 0; i < 6; ++i) {
    const std::string t = edits[i]->text().toStdString();
    const bool number = TryStrToFloat(t, *fields[i]);
    if (!number || !(*fields[i] > 0)) {
      RefuseField(prompter_, edits[i],
                  FieldRefusal("Неверно задано значение", labels[i], t, number ? "не больше 0" : NotNumberReason(t),
                               "число больше 0"));
      return;
    }
  }
  const int id = RadioGroup1->checkedId();
  in.Dir = id == 1 ? 'Y' : id == 2 ? 'Z' : 'X';
  const ThinWireResult r = ThinWire(in);
  Memo1->clear();
  Memo1->appendPlainText(Q("Новая проводимость:"));
  Memo1->appendPlainText(Q(FormatGeneral(r.SigmaNew, 15)));
  Memo1->appendPlainText(Q("Погонное сопротивление:"));
  Memo1->appendPlainText(Q(FormatGeneral(r.R, 15)));
}

}  // namespace rv
