#include "charts/ui/TfmChartRC.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <cmath>

#include "platform/prompter.h"
#include "solver/numtext.h"

namespace rv {

namespace {

// The differentiating circuit: C in series from "Вход" to "Выход", R from the output to the
// common wire.
class RcPicture : public QWidget {
public:
  explicit RcPicture(QWidget* parent) : QWidget(parent) { setMinimumSize(260, 120); }

protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(rect(), Qt::white);
    p.setPen(QPen(Qt::black, 2));
    const int w = width(), top = 35, bottom = height() - 15;
    const int cx = w / 2 - 30, rx = w / 2 + 40;
    p.drawLine(55, top, cx - 5, top);  // input wire
    p.drawLine(cx - 5, top - 14, cx - 5, top + 14);  // capacitor plates
    p.drawLine(cx + 5, top - 14, cx + 5, top + 14);
    p.drawLine(cx + 5, top, w - 55, top);  // output wire
    p.drawLine(rx, top, rx, top + 15);
    p.drawRect(rx - 7, top + 15, 14, bottom - top - 35);  // resistor
    p.drawLine(rx, bottom - 20, rx, bottom);
    p.drawLine(55, bottom, w - 55, bottom);  // common wire
    p.drawText(cx - 4, top - 18, "C");
    p.drawText(rx + 12, (top + bottom) / 2, "R");
    const QFont f = p.font();
    for (auto [x, text] : {std::pair{2, "Вход"}, std::pair{w - 53, "Выход"}}) {
      const QRect box(x, top - 10, 51, 20);
      p.fillRect(box, Qt::blue);
      p.setPen(Qt::white);
      p.drawText(box, Qt::AlignCenter, text);
      p.setPen(QPen(Qt::black, 2));
    }
    p.setFont(f);
  }
};

}  // namespace

TfmChartRC::TfmChartRC(Prompter& prompter, double& timeConstant, QWidget* parent)
    : QDialog(parent), prompter_(prompter), timeConstant_(timeConstant) {
  setObjectName("fmChartRC");
  setWindowTitle("Постоянная интегрирорования/ дифференцироания");
  Label1 = new QLabel("Постоянная времени задается для решения двух задач. ", this);
  Label2 = new QLabel("Первая из них - дифференцирование - пропускает сигнал через RC-цепь.", this);
  Label3 = new QLabel("Вторая - интегрирование - находит исходный сигнал по отклику на выходе RC - цепи", this);
  Label4 = new QLabel("Схема RC:", this);
  Label5 = new QLabel("Постоянная времени, нс:", this);
  edTau = new QLineEdit("15", this);
  edTau->setObjectName("edTau");
  OK = new QPushButton("OK", this);
  OK->setObjectName("OK");
  OK->setDefault(true);
  Image1 = new RcPicture(this);
  Image1->setObjectName("Image1");
  GroupBox1 = new QGroupBox("Модель погрешности квантования.", this);
  GroupBox1->setObjectName("GroupBox1");
  cbRandomError = new QCheckBox("Включить модель", GroupBox1);
  cbRandomError->setObjectName("cbRandomError");
  SpinEdit1 = new QSpinBox(GroupBox1);
  SpinEdit1->setObjectName("SpinEdit1");
  SpinEdit1->setRange(5, 256);
  SpinEdit1->setValue(100);
  auto* g = new QGridLayout(GroupBox1);
  g->addWidget(new QLabel("Число уровней квантования:", GroupBox1), 0, 0);
  g->addWidget(SpinEdit1, 0, 1);
  g->addWidget(cbRandomError, 1, 0, 1, 2);

  auto* tau = new QHBoxLayout;
  tau->addWidget(Label5);
  tau->addWidget(edTau);
  tau->addStretch();
  tau->addWidget(OK);
  auto* lay = new QVBoxLayout(this);
  for (QWidget* wd : {static_cast<QWidget*>(Label1), static_cast<QWidget*>(Label2), static_cast<QWidget*>(Label3),
                      static_cast<QWidget*>(Label4), Image1, static_cast<QWidget*>(GroupBox1)})
    lay->addWidget(wd);
  lay->addLayout(tau);
  connect(OK, &QPushButton::clicked, this, &QDialog::accept);
}

bool TfmChartRC::FormCloseQuery() {
  double v = 0;
  if (TryStrToFloat(edTau->text().toStdString(), v) && v > 0 && std::isfinite(v * 1e-9)) {
    timeConstant_ = v * 1e-9;
    return true;
  }
  prompter_.error("Неверно задана постоянная времени!");
  return false;
}

void TfmChartRC::done(int r) {
  if (FormCloseQuery()) QDialog::done(r);
}

}  // namespace rv
