#include "charts/ui/TfmFileAssoc.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace rv {

TfmFileAssoc::TfmFileAssoc(platform::DesktopPaths paths, std::string exe, QWidget* parent)
    : QDialog(parent), paths_(std::move(paths)), exe_(std::move(exe)) {
  setObjectName("fmFileAssoc");
  setWindowTitle("Ассоциация файлов");
  auto* v = new QVBoxLayout(this);
  v->addWidget(new QLabel("Связать с программой просмотра графиков следующие файлы:", this));
  for (size_t i = 0; i < CheckBox.size(); ++i) {
    CheckBox[i] = new QCheckBox(platform::kChartFileExts[i], this);
    CheckBox[i]->setObjectName(QString("CheckBox%1").arg(i + 1));
    v->addWidget(CheckBox[i]);
  }
  Button1 = new QPushButton("Закрыть", this);
  Button1->setObjectName("Button1");
  v->addWidget(Button1, 0, Qt::AlignRight);
  connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
}

void TfmFileAssoc::ReadAssociations() {
  const auto state = platform::ReadAssociations(paths_);
  for (size_t i = 0; i < CheckBox.size(); ++i)
    if (state[i]) CheckBox[i]->setChecked(*state[i]);
}

void TfmFileAssoc::showEvent(QShowEvent* e) {
  QDialog::showEvent(e);
  ReadAssociations();
}

void TfmFileAssoc::done(int r) {
  std::array<bool, 5> wanted{};
  for (size_t i = 0; i < CheckBox.size(); ++i) wanted[i] = CheckBox[i]->isChecked();
  platform::ApplyAssociations(paths_, wanted);
  platform::RegisterChartFileClass(paths_, exe_);
  QDialog::done(r);
}

}  // namespace rv
