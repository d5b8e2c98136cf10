#include "charts/ui/TfmCalcZ.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "charts/ui/TfmSpectr.h"
#include "charts/ui/dialogfields.h"
#include "platform/prompter.h"
#include "solver/numtext.h"

namespace rv {

namespace {

int LastSelectedRow(const QListWidget* l) {
  int row = 0;
  for (int i = 0; i < l->count(); ++i)
    if (l->item(i)->isSelected()) row = i;
  return row;
}

int SeriesOfRow(const ChartModel& m, int row) {
  const std::vector<int> users = m.UserGraphIndices();
  return row >= 0 && row < int(users.size()) ? users[std::size_t(row)] : -1;
}

}  // namespace

TfmCalcZ::TfmCalcZ(Prompter& msgs, QWidget* parent) : QDialog(parent), msgs_(msgs) {
  setObjectName("fmCalcZ");
  setWindowTitle("Вычисление сопротивления");
  auto* memo = new QPlainTextEdit(this);
  memo->setReadOnly(true);
  QFont bold = memo->font();
  bold.setBold(true);
  memo->setFont(bold);
  memo->setPlainText(
      "  Вычисляется комплексное сопротивление по отношению модулей спектров |U(w)|/|I(w)|\n"
      "и разности фаз между током и напряжением.\n"
      "  Перед вычислением необходимо выбрать графики тока и напряжения.");
  memo->setMaximumHeight(70);
  const QString hint = "Выделите требуемые графики, используя мышь и клавиши Shift или Ctrl";
  for (QListWidget** l : {&ListBox1, &ListBox2}) {
    *l = new QListWidget(this);
    (*l)->setSelectionMode(QAbstractItemView::ExtendedSelection);
    (*l)->setToolTip(hint);
  }
  ListBox1->setObjectName("ListBox1");
  ListBox2->setObjectName("ListBox2");
  edFMin = new QLineEdit("0", this);
  edFMin->setObjectName("edFMin");
  edFMax = new QLineEdit("1e9", this);
  edFMax->setObjectName("edFMax");
  eddF = new QLineEdit("1e6", this);
  eddF->setObjectName("eddF");
  cbTime = TimeUnitList(this);
  cbFreq = new QComboBox(this);
  cbFreq->setObjectName("cbFreq");
  cbFreq->addItems({"герцы", "килогерцы", "мегагерцы", "гигагерцы"});
  cbDeleteSpectr = new QCheckBox("Удалить графики спектров", this);
  cbDeleteSpectr->setObjectName("cbDeleteSpectr");
  cbDeleteSpectr->setChecked(true);

  auto* lists = new QHBoxLayout;
  for (auto [label, list] : {std::pair{"Выбрать график напряжения:", ListBox1}, {"Выбрать график тока:", ListBox2}}) {
    auto* col = new QVBoxLayout;
    col->addWidget(new QLabel(label, this));
    col->addWidget(list);
    lists->addLayout(col);
  }
  auto* form = new QFormLayout;
  form->addRow("Нижняя частота, Гц", edFMin);
  form->addRow("Верхняя частота, Гц", edFMax);
  auto* step = new QHBoxLayout;
  step->addWidget(eddF);
  step->addWidget(new QLabel("Гц", this));
  form->addRow("Шаг по частоте", step);
  form->addRow("Время на графиках:", cbTime);
  form->addRow("Выходной результат:", cbFreq);
  auto* lay = new QVBoxLayout(this);
  lay->addWidget(memo);
  lay->addLayout(lists);
  lay->addLayout(form);
  lay->addWidget(cbDeleteSpectr);
  lay->addLayout(OkCancelRow(this, BitBtn1, BitBtn2));
  BitBtn1->setText("Вычислить");
  BitBtn2->setText("Отменить");
}

void TfmCalcZ::FormCreate(const SpectrZSettings& s) {
  edFMin->setText(QString::fromStdString(s.edFMin));
  edFMax->setText(QString::fromStdString(s.edFMax));
  eddF->setText(QString::fromStdString(s.eddF));
  cbTime->setCurrentIndex(s.cbTime >= 0 && s.cbTime < cbTime->count() ? s.cbTime : 0);
  cbFreq->setCurrentIndex(s.cbFreq >= 0 && s.cbFreq < cbFreq->count() ? s.cbFreq : 0);
  cbDeleteSpectr->setChecked(s.cbDeleteSpectr);
}

void TfmCalcZ::SaveTo(SpectrZSettings& s) const {
  s.edFMin = edFMin->text().toStdString();
  s.edFMax = edFMax->text().toStdString();
  s.eddF = eddF->text().toStdString();
  s.cbTime = cbTime->currentIndex();
  s.cbFreq = cbFreq->currentIndex();
  s.cbDeleteSpectr = cbDeleteSpectr->isChecked();
}

bool TfmCalcZ::Execute(ChartModel& m) {
  ListBox1->clear();
  ListBox2->clear();
  if (const std::string e = m.RepairFileNames(); !e.empty()) msgs_.error(e);
  int activeRow = -1;
  for (int i = 0; i < m.SeriesCount(); ++i) {
    if (m.Series[std::size_t(i)].Tag != UserGraphTag) continue;
    if (i == m.ActiveGraph) activeRow = ListBox1->count();
    const QString row = QString::number(i + 1) + ". " + QString::fromStdString(m.FileNames[std::size_t(i)]) + ": " +
                        QString::fromStdString(m.Series[std::size_t(i)].Title);
    ListBox1->addItem(row);
    ListBox2->addItem(row);
  }
  if (activeRow >= 0) {
    ListBox1->item(activeRow)->setSelected(true);
    ListBox2->item(activeRow)->setSelected(true);
  }
  return exec() == QDialog::Accepted;
}

void TfmCalcZ::done(int r) {
  if (r == Accepted)
    for (QLineEdit* e : {edFMin, edFMax, eddF})
      if (!AcceptField(e, msgs_, [](const std::string& t) { StrToFloat(t); })) return;
  QDialog::done(r);
}

ImpedanceOptions TfmCalcZ::ReadOptions() const {
  ImpedanceOptions o;
  o.fMax = StrToFloat(edFMax->text().toStdString());
  o.fMin = StrToFloat(edFMin->text().toStdString());
  o.dF = StrToFloat(eddF->text().toStdString());
  o.cbTime = cbTime->currentIndex();
  o.cbFreq = cbFreq->currentIndex();
  o.deleteSpectra = cbDeleteSpectr->isChecked();
  return o;
}

int TfmCalcZ::VoltageSeries(const ChartModel& m) const { return SeriesOfRow(m, LastSelectedRow(ListBox1)); }
int TfmCalcZ::CurrentSeries(const ChartModel& m) const { return SeriesOfRow(m, LastSelectedRow(ListBox2)); }

}  // namespace rv
