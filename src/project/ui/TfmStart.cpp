#include "project/ui/TfmStart.h"

#include <QApplication>
#include <QLabel>
#include <QVBoxLayout>

namespace rv {

TfmStart::TfmStart(const VersionLabels& version, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
  setObjectName("fmStart");
  setWindowTitle(QString::fromStdString(version.splashCaption));
  setStyleSheet("background: white");
  auto* v = new QVBoxLayout(this);
  v->setContentsMargins(24, 16, 24, 16);
  ProgramIcon = new QLabel(this);
  ProgramIcon->setObjectName("ProgramIcon");
  ProgramIcon->setPixmap(QApplication::windowIcon().pixmap(48, 48));
  v->addWidget(ProgramIcon, 0, Qt::AlignHCenter);
  auto* caption = new QLabel(QString::fromStdString(version.splashCaption), this);
  caption->setObjectName("lbCaption");
  QFont f = caption->font();
  f.setPointSize(f.pointSize() * 2);
  f.setBold(true);
  caption->setFont(f);
  v->addWidget(caption, 0, Qt::AlignHCenter);
  Label5 = new QLabel(QString::fromStdString(version.release), this);
  Label5->setObjectName("Label5");
  v->addWidget(Label5, 0, Qt::AlignHCenter);
  v->addWidget(new QLabel(QStringLiteral("Loading..."), this), 0, Qt::AlignHCenter);
}

}  // namespace rv
