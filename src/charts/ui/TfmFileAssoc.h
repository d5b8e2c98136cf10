// "Ассоциация файлов": which curve-file extensions the desktop opens with this program.
#pragma once
#include <QDialog>

#include <array>

#include "platform/fileassoc.h"

class QCheckBox;
class QPushButton;

namespace rv {

class TfmFileAssoc : public QDialog {
  Q_OBJECT
public:
  TfmFileAssoc(platform::DesktopPaths paths, std::string exe, QWidget* parent = nullptr);

  std::array<QCheckBox*, 5> CheckBox{};  // CheckBox1..CheckBox5
  QPushButton* Button1 = nullptr;       // "Закрыть"

  // The boxes from the desktop's present state.
  void ReadAssociations();
  // However the dialog closes: the ticks are applied and the chart file class written.
  void done(int r) override;

protected:
  void showEvent(QShowEvent* e) override;

private:
  platform::DesktopPaths paths_;
  std::string exe_;
};

}  // namespace rv
