#include "editor/ui/TfmParobolaDLG.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace rv {

namespace {
QString Q(const char* s) { return QString::fromUtf8(s); }

QSpinBox* Spin(QWidget* parent, const char* name, int lo, int hi, int value) {
  auto* s = new QSpinBox(parent);
  s->setObjectName(name);
  s->setRange(lo, hi);
  s->setValue(value);
  return s;
}
}  // namespace

TfmParobolaDLG::TfmParobolaDLG(QWidget* parent) : QDialog(parent) {
  setObjectName("fmParobolaDLG");
  setWindowTitle(Q("Создание параболы в текущем сечении"));
  auto* top = new QVBoxLayout(this);
  auto* focus = new QGroupBox(Q("Координаты фокуса"), this);
  auto* fl = new QHBoxLayout(focus);
  spFocusX = Spin(focus, "spFocusX", 0, 100000, 1);
  spFocusY = Spin(focus, "spFocusY", 0, 100000, 1);
  spFocusZ = Spin(focus, "spFocusZ", 0, 100000, 1);
  const char* names[] = {"X", "Y", "Z"};
  QSpinBox* spins[] = {spFocusX, spFocusY, spFocusZ};
  for (int i = 0; i < 3; ++i) {
    fl->addWidget(new QLabel(Q(names[i]), focus));
    fl->addWidget(spins[i]);
  }
  top->addWidget(focus);
  auto* form = new QFormLayout;
  // A focal length of 0 has no parabola; the aperture is bounded so the loops stay short.
  spFocusLength = Spin(this, "spFocusLength", 1, 10000, 5);
  spDiameter = Spin(this, "spDiameter", 1, 20000, 100);
  form->addRow(Q("Фокусное расстояние, ячеек"), spFocusLength);
  form->addRow(Q("Длина параболы, ячеек"), spDiameter);
  top->addLayout(form);
  rgDirect = new QGroupBox(Q("Ось параболы"), this);
  rgDirect->setObjectName("rgDirect");
  auto* rl = new QVBoxLayout(rgDirect);
  for (auto& b : items) {
    b = new QRadioButton(rgDirect);
    rl->addWidget(b);
  }
  top->addWidget(rgDirect);
  auto* buttons = new QDialogButtonBox(this);
  buttons->addButton(Q("Создать"), QDialogButtonBox::AcceptRole);
  buttons->addButton(Q("Отмена"), QDialogButtonBox::RejectRole);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  top->addWidget(buttons);
}

void TfmParobolaDLG::SetAxisItems(const char* const captions[4]) {
  for (int i = 0; i < 4; ++i) items[i]->setText(Q(captions[i]));
  items[0]->setChecked(true);
}

QString TfmParobolaDLG::Axis() const {
  for (const QRadioButton* b : items)
    if (b->isChecked()) return b->text();
  return {};
}

}  // namespace rv
