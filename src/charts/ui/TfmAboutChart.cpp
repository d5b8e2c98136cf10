#include "charts/ui/TfmAboutChart.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace rv {

TfmAboutChart::TfmAboutChart(QWidget* parent) : QDialog(parent) {
  setObjectName("fmAboutChart");
  setWindowTitle("О программе");
  Image1 = new QLabel(this);
  Image1->setObjectName("Image1");
  Image1->setPixmap(QApplication::windowIcon().pixmap(48, 48));
  auto* texts = new QVBoxLayout;
  texts->addWidget(new QLabel("Программа работы с графиками", this));
  texts->addWidget(new QLabel("Версия 3", this));
  auto* top = new QHBoxLayout;
  top->addWidget(Image1);
  top->addLayout(texts);
  btnClose = new QPushButton("ЗАКРЫТЬ", this);
  btnClose->setObjectName("btnClose");
  connect(btnClose, &QPushButton::clicked, this, &QDialog::accept);
  auto* lay = new QVBoxLayout(this);
  lay->addLayout(top);
  lay->addWidget(btnClose, 0, Qt::AlignCenter);
}

}  // namespace rv
