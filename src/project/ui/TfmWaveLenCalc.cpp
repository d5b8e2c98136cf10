#include "project/ui/TfmWaveLenCalc.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "project/wavelength.h"

namespace rv {

namespace {
QString Q(const char* s) { return QString::fromUtf8(s); }
std::string S(const QLineEdit* e) { return e->text().toStdString(); }
}  // namespace

TfmWaveLenCalc::TfmWaveLenCalc(QWidget* parent) : QDialog(parent) {
  setObjectName("fmWaveLenCalc");
  setWindowTitle(Q("Вычисление длины волны"));
  auto* v = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  auto edit = [&](QLineEdit*& e, const char* name, const char* text, const char* caption) {
    e = new QLineEdit(Q(text), this);
    e->setObjectName(name);
    form->addRow(Q(caption), e);
  };
  edit(Edit1, "Edit1", "1850e6", "Частота, Гц");
  edit(Edit2, "Edit2", "0.162", "или длина волны в вакууме, м");
  edit(Edit3, "Edit3", "2.1", "Проводимость, См/м");
  edit(Edit4, "Edit4", "65", "Относит. диэлектрическая проницаемость");
  edit(Edit5, "Edit5", "1", "Относит. магнитная проницаемость");
  StaticText1 = new QLabel(this);
  StaticText1->setObjectName("StaticText1");
  form->addRow(Q("Длина волны в материале, м"), StaticText1);
  StaticText2 = new QLabel(this);
  StaticText2->setObjectName("StaticText2");
  form->addRow(Q("Максимальный шаг FDTD, м"), StaticText2);
  v->addLayout(form);
  Button1 = new QPushButton(Q("Закрыть"), this);
  Button1->setObjectName("Button1");
  v->addWidget(Button1, 0, Qt::AlignRight);
  connect(Button1, &QPushButton::clicked, this, &QDialog::close);

  connect(Edit1, &QLineEdit::textChanged, this, [this] { Edit1Change(tag1_); });
  connect(Edit2, &QLineEdit::textChanged, this, [this] { Edit1Change(tag2_); });
  for (QLineEdit* e : {Edit3, Edit4, Edit5})
    connect(e, &QLineEdit::textChanged, this, [this] { Edit1Change(0); });
}

void TfmWaveLenCalc::Edit1Change(int tag) {
  // The edit written here is marked so that its own change converts nothing back.
  auto convert = [](QLineEdit* from, QLineEdit* to, int& toTag, int restore) {
    toTag = 0;
    const auto text = WaveFreqConvert(S(from));
    to->setText(text ? QString::fromStdString(*text) : QStringLiteral("Error"));
    toTag = restore;
  };
  if (tag == 1) convert(Edit1, Edit2, tag2_, 2);
  if (tag == 2) convert(Edit2, Edit1, tag1_, 1);
  FormActivate();
}

void TfmWaveLenCalc::FormActivate() {
  const MaterialWave w = MaterialWavelength(S(Edit1), S(Edit3), S(Edit4), S(Edit5));
  StaticText1->setText(QString::fromStdString(w.wavelength));
  StaticText2->setText(QString::fromStdString(w.maxStep));
}

void TfmWaveLenCalc::showEvent(QShowEvent* e) {
  QDialog::showEvent(e);
  FormActivate();
}

}  // namespace rv
