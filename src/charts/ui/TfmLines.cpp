#include "charts/ui/TfmLines.h"

#include <QColorDialog>
#include <QComboBox>
#include <QEvent>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>

#include "charts/ui/chartcolor.h"
#include "charts/ui/dialogfields.h"

namespace rv {

TfmLines::TfmLines(QWidget* parent) : QDialog(parent) {
  setObjectName("fmLines");
  setWindowTitle("Линии графика");
  ComboBox1 = new QComboBox(this);
  ComboBox1->setObjectName("ComboBox1");
  QGroupBox* styles = RadioGroup(this, "RadioGroup1", "Стиль линии",
                                 {"Сплошная", "Крупный пунктир (1)", "Мелкий пунктир  (2)", "1+2", "1+2+2"}, RadioGroup1);
  SpinEdit1 = new QSpinBox(this);
  SpinEdit1->setObjectName("SpinEdit1");
  SpinEdit1->setRange(1, 100);
  SpinEdit1->setValue(1);
  Image1 = new QLabel(this);
  Image1->setObjectName("Image1");
  Image1->setFixedSize(40, 20);
  Image1->setAutoFillBackground(true);
  Image1->setFrameShape(QFrame::Box);
  Image1->setToolTip("Двойной щелчок - выбор цвета");
  Image1->installEventFilter(this);
  ColorD = new QColorDialog(this);
  ColorD->setObjectName("ColorD");
  ColorD->setOption(QColorDialog::DontUseNativeDialog);
  btnClose = new QPushButton("Закрыть", this);
  btnClose->setObjectName("btnClose");
  connect(btnClose, &QPushButton::clicked, this, &QDialog::accept);

  auto* form = new QFormLayout;
  form->addRow(ComboBox1);
  form->addRow(styles);
  form->addRow("Толщина линии:", SpinEdit1);
  form->addRow("Цвет линии:", Image1);
  auto* lay = new QVBoxLayout(this);
  lay->addLayout(form);
  lay->addWidget(btnClose, 0, Qt::AlignRight);

  connect(ComboBox1, &QComboBox::currentIndexChanged, this, &TfmLines::ComboBox1Change);
  connect(RadioGroup1, &QButtonGroup::idClicked, this, [this](int id) {
    if (ChartSeries* s = Selected()) {
      s->Style = PenStyle(id);
      Changed();
    }
  });
  connect(SpinEdit1, &QSpinBox::valueChanged, this, [this](int v) {
    RadioGroup1->button(0)->parentWidget()->setEnabled(v == 1);
    if (ChartSeries* s = Selected()) {
      s->PenWidth = v;
      Changed();
    }
  });
}

void TfmLines::Execute(ChartModel& m, std::function<void()> changed) {
  if (!m.HasSeries()) return;
  model_ = &m;
  changed_ = std::move(changed);
  loading_ = true;
  ComboBox1->clear();
  for (const auto& s : m.Series) ComboBox1->addItem(QString::fromStdString(s.Title));
  loading_ = false;
  ComboBox1->setCurrentIndex(0);
  ComboBox1Change();
  exec();
  model_ = nullptr;
  changed_ = nullptr;
}

ChartSeries* TfmLines::Selected() {
  if (loading_ || !model_ || SelectedSeries < 0 || SelectedSeries >= model_->SeriesCount()) return nullptr;
  return &model_->Series[std::size_t(SelectedSeries)];
}

void TfmLines::Changed() {
  if (changed_) changed_();
}

void TfmLines::ComboBox1Change() {
  if (loading_ || !model_) return;
  SelectedSeries = ComboBox1->currentIndex();
  ChartSeries* s = Selected();
  if (!s) return;
  loading_ = true;  // showing the series' pen must not write it back
  RadioGroup1->button(int(s->Style))->setChecked(true);
  SpinEdit1->setValue(s->PenWidth);
  RadioGroup1->button(0)->parentWidget()->setEnabled(s->PenWidth == 1);
  loading_ = false;
  ShowSwatch();
}

void TfmLines::ShowSwatch() {
  const ChartSeries* s = Selected();
  if (!s) return;
  QPalette p = Image1->palette();
  p.setColor(QPalette::Window, ToQColor(s->Color));
  Image1->setPalette(p);
}

void TfmLines::Image1DblClick() {
  ChartSeries* s = Selected();
  if (!s) return;
  ColorD->setCurrentColor(ToQColor(s->Color));
  if (ColorD->exec() != QDialog::Accepted) return;
  s->Color = FromQColor(ColorD->selectedColor());
  ShowSwatch();
  Changed();
}

bool TfmLines::eventFilter(QObject* o, QEvent* e) {
  if (o == Image1 && e->type() == QEvent::MouseButtonDblClick) {
    Image1DblClick();
    return true;
  }
  return QDialog::eventFilter(o, e);
}

}  // namespace rv
