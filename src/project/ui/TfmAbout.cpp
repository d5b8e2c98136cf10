#include "project/ui/TfmAbout.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace rv {

TfmAbout::TfmAbout(const VersionLabels& version, QWidget* parent) : QDialog(parent) {
  setObjectName("fmAbout");
  setWindowTitle(QString::fromUtf8("О программе"));
  auto* v = new QVBoxLayout(this);
  auto* top = new QHBoxLayout;
  ProgramIcon = new QLabel(this);
  ProgramIcon->setObjectName("ProgramIcon");
  ProgramIcon->setPixmap(QApplication::windowIcon().pixmap(32, 32));
  top->addWidget(ProgramIcon);
  auto* texts = new QVBoxLayout;
  texts->addWidget(
      new QLabel(QString::fromUtf8("Программа расчета электромагнитных полей методом FDTD"), this));
  lbVer = new QLabel(QString::fromStdString(version.aboutVersion), this);
  lbVer->setObjectName("lbVer");
  texts->addWidget(lbVer);
  Label5 = new QLabel(QString::fromStdString(version.release), this);
  Label5->setObjectName("Label5");
  texts->addWidget(Label5);
  top->addLayout(texts);
  v->addLayout(top);
  BitBtn1 = new QPushButton(QStringLiteral("OK"), this);
  BitBtn1->setObjectName("BitBtn1");
  BitBtn1->setDefault(true);
  v->addWidget(BitBtn1, 0, Qt::AlignHCenter);
  connect(BitBtn1, &QPushButton::clicked, this, &QDialog::close);
}

}  // namespace rv
