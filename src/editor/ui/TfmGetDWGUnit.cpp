#include "editor/ui/TfmGetDWGUnit.h"

#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "editor/dxfimport.h"
#include "editor/ui/DialogKit.h"

namespace rv {

TfmGetDWGUnit::TfmGetDWGUnit(QWidget* parent) : QDialog(parent) {
  setObjectName("fmGetDWGUnit");
  setWindowTitle(QString::fromUtf8("Выбор масштаба при импорте"));
  auto* top = new QVBoxLayout(this);
  top->addWidget(new QLabel(QString::fromUtf8(DxfScaleLabel), this));
  Edit1 = new QLineEdit(QString::fromUtf8(DefaultDxfScale), this);
  Edit1->setObjectName("Edit1");
  top->addWidget(Edit1);
  top->addWidget(OkCancelButtons(this, "OK", "Отменить", [this] { return !check || check(); }));
}

}  // namespace rv
