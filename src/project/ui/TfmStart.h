// The splash window shown while the program's windows are created.
#pragma once
#include <QDialog>

#include "project/versiontext.h"

class QLabel;

namespace rv {

class TfmStart : public QDialog {
  Q_OBJECT
public:
  explicit TfmStart(const VersionLabels& version, QWidget* parent = nullptr);

  QLabel* Image1 = nullptr;       // the picture; the window is as wide as it
  QLabel* ProgramIcon = nullptr;
  QLabel* Label5 = nullptr;       // "Release r.b"
};

}  // namespace rv
