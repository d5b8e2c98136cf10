#include "charts/ui/TfmPrinOptions.h"

#include <QPushButton>

#include "charts/ui/dialogfields.h"

namespace rv {

TfmPrinOptions::TfmPrinOptions(QWidget* parent) : QDialog(parent) {
  setObjectName("fmPrinOptions");
  setWindowTitle("Параметры печати");
  auto* lay = new QVBoxLayout(this);
  lay->addWidget(RadioGroup(this, "RadioGroup1", "Масштаб", {"Thin lines and Small fonts", "Screen proportional"},
                            RadioGroup1));
  lay->addWidget(RadioGroup(this, "RadioGroup2", "Ориентация", {"Портрет", "Ландшафт"}, RadioGroup2));
  lay->addWidget(RadioGroup(this, "RadioGroup3", "Размер", {"1/2 Страницы", "Целая страница"}, RadioGroup3));
  btnOK = new QPushButton("OK", this);
  btnOK->setObjectName("btnOK");
  btnOK->setDefault(true);
  lay->addWidget(btnOK, 0, Qt::AlignRight);
  connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
}

}  // namespace rv
