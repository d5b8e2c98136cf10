#include "editor/ui/TfmTriangle.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace rv {

namespace {
// Between two looks at the window: short enough that a press is felt at once.
constexpr qint64 PumpMs = 40;
}  // namespace

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
  btnStop = new QPushButton(QString::fromUtf8("Прервать"), this);
  btnStop->setObjectName("btnStop");
  btnStop->hide();
  BitBtn1 = new QPushButton(QStringLiteral("OK"), this);
  BitBtn1->setObjectName("BitBtn1");
  connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
  connect(btnStop, &QPushButton::clicked, this, [this] { stopAsked_ = true; });
  bottom->addWidget(Label1, 1);
  bottom->addWidget(btnStop);
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
  Pump();
}

void TfmTriangle::BeginWork() {
  // Modality changes only while the window is hidden. The other windows take no input
  // meanwhile, so nothing re-sizes, reloads or edits the model under the import.
  hide();
  setWindowModality(Qt::ApplicationModal);
  working_ = true;
  stopAsked_ = false;
  clock_.invalidate();
  BitBtn1->hide();
  btnStop->show();
  show();
  raise();
}

void TfmTriangle::EndWork() {
  hide();
  working_ = false;
  setWindowModality(Qt::NonModal);
  btnStop->hide();
  BitBtn1->show();
  show();
  raise();
}

bool TfmTriangle::Pump() {
  if (!clock_.isValid() || clock_.elapsed() >= PumpMs) {
    clock_.restart();
    // The "open this file" channel waits until the import ends.
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::ExcludeSocketNotifiers);
  }
  return stopAsked_;
}

void TfmTriangle::reject() {
  if (working_) {
    stopAsked_ = true;
    return;
  }
  QDialog::reject();
}

void TfmTriangle::closeEvent(QCloseEvent* e) {
  if (working_) {
    stopAsked_ = true;
    e->ignore();
    return;
  }
  QDialog::closeEvent(e);
}

}  // namespace rv
