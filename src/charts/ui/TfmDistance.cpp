#include "charts/ui/TfmDistance.h"

#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "charts/ui/TfmSpectr.h"
#include "charts/ui/dialogfields.h"

namespace rv {

TfmDistance::TfmDistance(QWidget* parent) : QDialog(parent) {
  setObjectName("fmDistance");
  setWindowTitle("Параметры для расчета задержки");
  auto* form = new QFormLayout;
  edH1 = NumberField(this, form, "edH1", "Высота излучателя", "5");
  edH2 = NumberField(this, form, "edH2", "Предельная высота точки наблюдения", "10");
  edL = NumberField(this, form, "edL", "Расстояние", "10");
  RadioButton1 = new QRadioButton("По правилу равенства улов падения и отражения", this);
  RadioButton1->setObjectName("RadioButton1");
  RadioButton1->setChecked(true);
  RadioButton2 = new QRadioButton("По гипотезе о центре отражения под генератором", this);
  RadioButton2->setObjectName("RadioButton2");
  QPushButton *ok = nullptr, *cancel = nullptr;
  auto* lay = new QVBoxLayout(this);
  lay->addLayout(form);
  lay->addWidget(RadioButton1);
  lay->addWidget(RadioButton2);
  lay->addLayout(OkCancelRow(this, ok, cancel));
  ok->setText("OK");
}

}  // namespace rv
