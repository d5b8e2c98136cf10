#include "editor/ui/TfmTriangle.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace rv {

TfmTriangle::TfmTriangle(QWidget* parent) : QDialog(parent) {
  setObjectName("fmTriangle");
  setWindowTitle(QString::fromUtf8("Импорт данных из DXF"));
  auto* top = new QVBoxLayout(this);
  Memo1 = new QPlainTextEdit(this);
  Memo1->setObjectName("Memo1");
  Memo1->setReadOnly(true);
  Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
  top->addWidget(Memo1, 1);
  auto* bottom = new QHBoxLayout;
  Label1 = new QLabel(this);
  Label1->setObjectName("Label1");
  BitBtn1 = new QPushButton(QStringLiteral("OK"), this);
  BitBtn1->setObjectName("BitBtn1");
  connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
  bottom->addWidget(Label1, 1);
  bottom->addWidget(BitBtn1);
  top->addLayout(bottom);
  resize(520, 400);
}

void TfmTriangle::AddLines(const std::vector<std::string>& lines) {
  for (const std::string& l : lines) Memo1->appendPlainText(QString::fromStdString(l));
}

void TfmTriangle::Progress(const std::string& text) {
  Label1->setText(QString::fromStdString(text));
  Label1->repaint();
  // Repaints and timers only: input and the "open this file" channel wait until the import
  // ends, so nothing re-sizes or reloads the model under it.
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents | QEventLoop::ExcludeSocketNotifiers);
}

}  // namespace rv
