#include "editor/ui/TfmMove.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <climits>

#include "editor/ui/DialogKit.h"

namespace rv {

TfmMove::TfmMove(QWidget* parent) : QDialog(parent) {
  setObjectName("fmMove");
  setWindowTitle(QString::fromUtf8("Перемещение объекта"));
  auto* top = new QVBoxLayout(this);
  auto* warn = new QLabel(QString::fromUtf8("Предупреждение: Если объект переместится за пределы рабочего "
                                            "пространства, то все попавшее за пределы будет утеряно."),
                          this);
  warn->setWordWrap(true);
  top->addWidget(warn);
  auto* form = new QFormLayout;
  seX = NamedSpin(this, "seX", INT_MIN / 2, INT_MAX / 2, 0);
  seY = NamedSpin(this, "seY", INT_MIN / 2, INT_MAX / 2, 0);
  seZ = NamedSpin(this, "seZ", INT_MIN / 2, INT_MAX / 2, 0);
  form->addRow(QString::fromUtf8("По X"), seX);
  form->addRow(QString::fromUtf8("По Y"), seY);
  form->addRow(QString::fromUtf8("По Z"), seZ);
  top->addLayout(form);
  Button1 = new QPushButton(QString::fromUtf8("Сброс"), this);
  Button1->setObjectName("Button1");
  connect(Button1, &QPushButton::clicked, this, [this] {
    for (QSpinBox* s : {seX, seY, seZ}) s->setValue(0);
  });
  top->addWidget(Button1);
  CheckBox1 = new QCheckBox(QString::fromUtf8("Переместить также сосредоточенные элементы и точки вывода"), this);
  top->addWidget(CheckBox1);
  top->addWidget(new QLabel(QString::fromUtf8("Примечание: откат для сосредоточенных элементов и точек вывода не "
                                              "реализован"),
                            this));
  top->addWidget(OkCancelButtons(this, "OK", "Отмена"));
}

}  // namespace rv
