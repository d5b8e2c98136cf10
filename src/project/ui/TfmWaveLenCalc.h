// "Вычисление длины волны": frequency and free-space wavelength into each other, and the
// wavelength and the largest cell in a lossy material.
#pragma once
#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace rv {

class TfmWaveLenCalc : public QDialog {
  Q_OBJECT
public:
  explicit TfmWaveLenCalc(QWidget* parent = nullptr);

  QLineEdit *Edit1 = nullptr, *Edit2 = nullptr, *Edit3 = nullptr, *Edit4 = nullptr,
            *Edit5 = nullptr;
  QLabel *StaticText1 = nullptr, *StaticText2 = nullptr;
  QPushButton* Button1 = nullptr;  // "Закрыть"

  // One handler for all five edits; `tag` says which was typed in (1 frequency,
  // 2 wavelength, 0 neither: the material values only).
  void Edit1Change(int tag);
  void FormActivate();

protected:
  void showEvent(QShowEvent* e) override;

private:
  // Which edit a change comes from; 0 while the program writes into it.
  int tag1_ = 1, tag2_ = 2;
};

}  // namespace rv
