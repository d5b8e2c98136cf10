// "О программе": the program's name, purpose and version.
#pragma once
#include <QDialog>

#include "project/versiontext.h"

class QLabel;
class QPushButton;

namespace rv {

class TfmAbout : public QDialog {
  Q_OBJECT
public:
  explicit TfmAbout(const VersionLabels& version, QWidget* parent = nullptr);

  QLabel* ProgramIcon = nullptr;
  QLabel* lbVer = nullptr;
  QLabel* Label5 = nullptr;
  QPushButton* BitBtn1 = nullptr;  // "OK": closes
};

}  // namespace rv
