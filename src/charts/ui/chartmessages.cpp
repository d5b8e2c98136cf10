#include "charts/ui/chartmessages.h"

#include <QMessageBox>
#include <QPushButton>

namespace rv {

namespace {
void Show(QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text) {
  QMessageBox box(icon, title, text, QMessageBox::NoButton, parent);
  box.addButton("ОК", QMessageBox::AcceptRole);
  box.exec();
}
}  // namespace

void ChartMessages::Error(QWidget* parent, const QString& text) {
  Show(parent, QMessageBox::Critical, "Ошибка", text);
}

void ChartMessages::Info(QWidget* parent, const QString& text) {
  Show(parent, QMessageBox::Information, "Информация", text);
}

bool ChartMessages::YesNo(QWidget* parent, const QString& text) {
  QMessageBox box(QMessageBox::Question, "Подтверждение", text, QMessageBox::NoButton, parent);
  QPushButton* yes = box.addButton("Да", QMessageBox::YesRole);
  QPushButton* no = box.addButton("Нет", QMessageBox::NoRole);
  box.setDefaultButton(yes);
  box.setEscapeButton(no);
  box.exec();
  return box.clickedButton() == yes;
}

}  // namespace rv
