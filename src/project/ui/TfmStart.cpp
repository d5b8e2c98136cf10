#include "project/ui/TfmStart.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "platform/desktop.h"

namespace rv {

TfmStart::TfmStart(const VersionLabels& version, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
  setObjectName("fmStart");
  setWindowTitle(QString::fromStdString(version.splashCaption));
  setStyleSheet("background: white");
  auto* v = new QVBoxLayout(this);
  v->setContentsMargins(0, 0, 0, 12);
  Image1 = new QLabel(this);
  Image1->setObjectName("Image1");
  Image1->setPixmap(platform::SplashPicture(devicePixelRatioF()));
  v->addWidget(Image1, 0, Qt::AlignHCenter);

  auto* row = new QHBoxLayout;
  row->setContentsMargins(24, 0, 24, 0);
  ProgramIcon = new QLabel(this);
  ProgramIcon->setObjectName("ProgramIcon");
  ProgramIcon->setPixmap(QApplication::windowIcon().pixmap(48, 48));
  row->addWidget(ProgramIcon, 0, Qt::AlignTop);
  auto* texts = new QVBoxLayout;
  auto* caption = new QLabel(QString::fromStdString(version.splashCaption), this);
  caption->setObjectName("lbCaption");
  QFont f = caption->font();
  f.setPointSize(f.pointSize() * 2);
  f.setBold(true);
  caption->setFont(f);
  texts->addWidget(caption);
  Label5 = new QLabel(QString::fromStdString(version.release), this);
  Label5->setObjectName("Label5");
  texts->addWidget(Label5);
  texts->addWidget(new QLabel(QStringLiteral("Загрузка..."), this));
  row->addLayout(texts, 1);
  v->addLayout(row);
  // Sized to the picture: as wide as it, the texts below it.
  setFixedSize(sizeHint().expandedTo(QSize(Image1->sizeHint().width(), 0)));
}

}  // namespace rv
