#include "charts/ui/TfmSelectGr.h"

#include <algorithm>

#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QStatusBar>
#include <QVBoxLayout>

#include "charts/chartmodel.h"
#include "platform/prompter.h"

namespace rv {

TfmSelectGr::TfmSelectGr(Prompter& prompter, QWidget* parent)
    : QDialog(parent), prompter_(prompter) {
  setObjectName("fmSelectGr");
  setWindowTitle("Выбор графика");
  ListBox1 = new QListWidget(this);
  ListBox1->setObjectName("ListBox1");
  ListBox1->setSelectionMode(QAbstractItemView::ExtendedSelection);
  const QString hint = "Выделите требуемые графики, используя мышь и клавиши Shift или Ctrl";
  ListBox1->setToolTip(hint);
  btnOK = new QPushButton("OK", this);
  btnOK->setObjectName("btnOK");
  btnOK->setDefault(true);
  btnCancel = new QPushButton("Отмена", this);
  btnCancel->setObjectName("btnCancel");
  Button1 = new QPushButton("Инверсия выделенного", this);
  Button1->setObjectName("Button1");
  Button2 = new QPushButton("Выделить всё", this);
  Button2->setObjectName("Button2");
  StatusBar1 = new QStatusBar(this);
  StatusBar1->setSizeGripEnabled(false);
  StatusBar1->showMessage(hint);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(Button1);
  buttons->addWidget(Button2);
  buttons->addStretch();
  buttons->addWidget(btnOK);
  buttons->addWidget(btnCancel);
  auto* lay = new QVBoxLayout(this);
  lay->addWidget(ListBox1, 1);
  lay->addLayout(buttons);
  lay->addWidget(StatusBar1);
  // Wide enough for the hint at the font in use.
  resize(std::max(420, StatusBar1->fontMetrics().horizontalAdvance(hint) + 40), 320);

  connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(Button1, &QPushButton::clicked, this, &TfmSelectGr::Button1Click);
  connect(Button2, &QPushButton::clicked, this, &TfmSelectGr::Button2Click);
  connect(ListBox1, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
}

bool TfmSelectGr::Execute(ChartModel& m) {
  ListBox1->clear();
  entrySeries_.clear();
  SelectedCount = 0;
  GraphCount = m.SeriesCount();
  if (m.ActiveGraph >= GraphCount) m.ActiveGraph = GraphCount - 1;
  const std::string mismatch = m.RepairFileNames();
  if (!mismatch.empty()) prompter_.error(mismatch);
  for (int i = 0; i < m.SeriesCount(); ++i) {
    const ChartSeries& s = m.Series[std::size_t(i)];
    if (s.Tag != UserGraphTag) continue;
    ListBox1->addItem(QString::number(i + 1) + ". " + QString::fromStdString(m.FileNames[std::size_t(i)]) +
                      ": " + QString::fromStdString(s.Title));
    entrySeries_.push_back(i);
  }
  // The active graph's entry starts selected, so OK at once means "the active graph".
  for (std::size_t k = 0; k < entrySeries_.size(); ++k)
    if (entrySeries_[k] == m.ActiveGraph) {
      ListBox1->setCurrentRow(int(k), QItemSelectionModel::ClearAndSelect);
      break;
    }
  if (exec() != QDialog::Accepted) return false;
  SelectedCount = int(ListBox1->selectedItems().size());
  if (SelectedCount == 0) {
    prompter_.message("Нет выбранных графиков");
    setResult(0);
    return false;
  }
  return true;
}

std::vector<int> TfmSelectGr::SelectedSeries() const {
  std::vector<int> out;
  for (int k = 0; k < ListBox1->count() && std::size_t(k) < entrySeries_.size(); ++k)
    if (ListBox1->item(k)->isSelected()) out.push_back(entrySeries_[std::size_t(k)]);
  return out;
}

void TfmSelectGr::Button1Click() {
  for (int k = 0; k < ListBox1->count(); ++k)
    ListBox1->item(k)->setSelected(!ListBox1->item(k)->isSelected());
}

void TfmSelectGr::Button2Click() { ListBox1->selectAll(); }

}  // namespace rv
