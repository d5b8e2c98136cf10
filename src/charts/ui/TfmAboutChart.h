// "О программе" of the chart window.
#pragma once
#include <QDialog>

class QLabel;
class QPushButton;

namespace rv {

class TfmAboutChart : public QDialog {
  Q_OBJECT
public:
  explicit TfmAboutChart(QWidget* parent = nullptr);

  QLabel* Image1 = nullptr;  // the program's icon
  QPushButton* btnClose = nullptr;
};

}  // namespace rv
