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

#include <cmath>

#include "charts/curvefile.h"
#include "charts/spectrum.h"
#include "charts/ui/dialogfields.h"
#include "solver/numtext.h"

namespace rv {

TfmBackSpectr::TfmBackSpectr(Prompter& msgs, QWidget* parent) : QDialog(parent), msgs_(msgs) {
  setObjectName("fmBackSpectr");
  setWindowTitle("Обратное преобразование Фурье");
  Label3 = new QLabel(
      "Для преобразования берутся два последних графика. Предпоследний график считается модулем спектра, "
      "последний - фазой. Единица частоты графиков - в списке \"Частота в графиках спектра\" ниже, "
      "шаг по частоте - равномерный и совпадать в обоих графиках, количество точек - одинаковым.",
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
  cbAbsolute = new QCheckBox("Модуль спектра - абсолютные амплитуды (разделён на T/2)", this);
  cbAbsolute->setObjectName("cbAbsolute");
  edTRecord = new QLineEdit(this);
  edTRecord->setObjectName("edTRecord");
  lbDivisorKnown = new QLabel("Спектр вычислен в этой программе: его масштаб известен", this);
  lbDivisorKnown->setObjectName("lbDivisorKnown");
  connect(cbAbsolute, &QCheckBox::toggled, this, &TfmBackSpectr::SyncDivisorFields);
  cbFreq = new QComboBox(this);
  cbFreq->setObjectName("cbFreq");
  cbFreq->addItems({"герцы", "килогерцы", "мегагерцы", "гигагерцы"});
  connect(cbFreq, &QComboBox::currentIndexChanged, this, &TfmBackSpectr::UnitChanged);

  auto* form = new QFormLayout;
  form->addRow("От какого времени, с", edTMin);
  form->addRow("До какого времени, с", edTMax);
  form->addRow("Сколько точек графика", edNPoint);
  form->addRow("Время на выходе", cbTime);
  auto* scale = new QFormLayout;
  scale->addRow("Частота в графиках спектра", cbFreq);
  scale->addRow(cbAbsolute);
  scale->addRow("Длительность исходного сигнала T, с", edTRecord);
  scale->addRow(lbDivisorKnown);
  auto* buttons = OkCancelRow(this, BitBtn1, BitBtn2);
  auto* lay = new QVBoxLayout(this);
  lay->addWidget(Label3);
  lay->addLayout(form);
  lay->addLayout(scale);
  lay->addWidget(CheckBox1);
  lay->addLayout(buttons);
  FormCreate();
  ShowDivisor(0);
}

void TfmBackSpectr::FormCreate() { cbTime->setCurrentIndex(0); }

void TfmBackSpectr::ShowDivisor(double known) {
  known_ = known > 0;
  if (known_) {
    cbAbsolute->setChecked(known != 1);
    edTRecord->setText(known != 1 ? QString::fromStdString(ChartNumber(2 * known, 15)) : QString());
  }
  lbDivisorKnown->setVisible(known_);
  SyncDivisorFields();
}

void TfmBackSpectr::ShowFreqUnit(int known) {
  cbFreq->setEnabled(known < 0);
  if (known >= 0) cbFreq->setCurrentIndex(FreqUnitIndex(known));
}

int TfmBackSpectr::FreqUnit() const { return FreqUnitIndex(cbFreq->currentIndex()); }

void TfmBackSpectr::ShowImpliedSpan(const ChartSeries& phase) {
  // 256 points over a long record would step over a short pulse: as many as the spectrum's
  // top frequency asks for.
  if (ImpliedRecordLength(phase, FreqUnit()) > 0) edNPoint->setText(QString::number(ImpliedPointCount(phase)));
  // Only the first two frequencies matter; the graph itself may be long.
  phase_ = std::make_unique<ChartSeries>();
  for (std::size_t j = 0; j < phase.Count() && phase_->Count() < 2; ++j)
    if (!std::isnan(phase.X[j])) phase_->AddXY(phase.X[j], 0);
  impliedSpan_.clear();
  const double T = ImpliedRecordLength(phase, FreqUnit());
  if (!(T > 0)) return;
  impliedSpan_ = QString::fromStdString(ChartNumber(T, 15));
  edTMin->setText("0");
  edTMax->setText(impliedSpan_);
}

void TfmBackSpectr::UnitChanged() {
  // A span the user typed stays; one worked out from the graphs follows their unit.
  if (phase_ && !impliedSpan_.isEmpty() && edTMax->text() == impliedSpan_) ShowImpliedSpan(*phase_);
}

void TfmBackSpectr::SyncDivisorFields() {
  cbAbsolute->setEnabled(!known_);
  edTRecord->setEnabled(!known_ && cbAbsolute->isChecked());
}

double TfmBackSpectr::AskedDivisor() const {
  double T = 0;
  return cbAbsolute->isChecked() && TryStrToFloat(edTRecord->text().toStdString(), T) ? T / 2 : 1;
}

void TfmBackSpectr::done(int r) {
  if (r == Accepted) {
    auto number = [](const std::string& t) { StrToFloat(t); };
    auto record = [](const std::string& t) {
      const double T = StrToFloat(t);
      if (!(T > 0) || !std::isfinite(T / 2)) throw ConvertError("Длительность сигнала должна быть больше нуля");
    };
    if (!AcceptField(edTMin, msgs_, number) || !AcceptField(edTMax, msgs_, number) ||
        !AcceptField(edNPoint, msgs_, [](const std::string& t) { StrToInt(t); }) ||
        (edTRecord->isEnabled() && !AcceptField(edTRecord, msgs_, record)))
      return;
  }
  QDialog::done(r);
}

}  // namespace rv
