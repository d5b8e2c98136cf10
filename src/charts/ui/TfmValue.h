// One number typed by the user, with the history of the last ones ("TmpVal.txt").
#pragma once
#include <QDialog>
#include <string>

#include "charts/valuehistory.h"

class QComboBox;
class QLabel;
class QPushButton;

namespace rv {

class TfmValue : public QDialog {
  Q_OBJECT
public:
  // Loads the history from `historyPath`; it is written back when the dialog is destroyed.
  explicit TfmValue(const std::string& historyPath, QWidget* parent = nullptr);
  ~TfmValue() override;

  // Sets the caption and shows the dialog; true on OK. The text is then in Text().
  bool Execute(const QString& caption);
  QString Text() const;
  // The text as a number ("." as separator); false when it is not one.
  bool Value(double& v) const;
  const ValueHistory& History() const { return history_; }

  QLabel* Label1 = nullptr;
  QComboBox* edValue = nullptr;
  QPushButton* btnOK = nullptr;
  QPushButton* btnCancel = nullptr;

public slots:
  void edValueExit();

protected:
  bool eventFilter(QObject* o, QEvent* e) override;

private:
  std::string historyPath_;
  ValueHistory history_;
};

}  // namespace rv
