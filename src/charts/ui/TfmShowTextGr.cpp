#include "charts/ui/TfmShowTextGr.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "charts/chartview.h"
#include "platform/prompter.h"

namespace rv {

TfmShowTextGr::TfmShowTextGr(Prompter& msgs, QWidget* parent) : QDialog(parent), msgs_(msgs) {
  setObjectName("fmShowTextGr");
  setWindowTitle("Исходный текст");
  ValueListEditor1 = new QTableWidget(0, 2, this);
  ValueListEditor1->setObjectName("ValueListEditor1");
  ValueListEditor1->setHorizontalHeaderLabels({"X", "Y"});
  ValueListEditor1->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
  Button1 = new QPushButton("OK", this);
  Button1->setObjectName("Button1");
  Button2 = new QPushButton("Отмена", this);
  Button2->setObjectName("Button2");
  auto* row = new QHBoxLayout;
  row->addStretch();
  row->addWidget(Button1);
  row->addWidget(Button2);
  auto* lay = new QVBoxLayout(this);
  lay->addWidget(ValueListEditor1);
  lay->addLayout(row);
  resize(360, 480);
  connect(Button1, &QPushButton::clicked, this, &TfmShowTextGr::Button1Click);
  connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
}

bool TfmShowTextGr::Execute(ChartModel& m, int index) {
  if (index < 0 || index >= m.SeriesCount()) return false;
  const ChartSeries& g = m.Series[std::size_t(index)];
  if (g.Count() > kMaxTablePoints) {
    msgs_.message(kTooManyPoints);
    return false;
  }
  model_ = &m;
  ShownSeries = index;
  ValueListEditor1->setRowCount(int(g.Count()));
  for (std::size_t i = 0; i < g.Count(); ++i) {
    ValueListEditor1->setItem(int(i), 0, new QTableWidgetItem(QString::fromStdString(PointCellText(g.X[i]))));
    ValueListEditor1->setItem(int(i), 1, new QTableWidgetItem(QString::fromStdString(PointCellText(g.Y[i]))));
  }
  const bool ok = exec() == QDialog::Accepted;
  ValueListEditor1->setRowCount(0);
  model_ = nullptr;
  return ok;
}

void TfmShowTextGr::Button1Click() {
  if (!model_ || ShownSeries < 0 || ShownSeries >= model_->SeriesCount()) return reject();
  std::vector<std::pair<std::string, std::string>> rows(std::size_t(ValueListEditor1->rowCount()));
  for (int r = 0; r < ValueListEditor1->rowCount(); ++r)
    for (int c = 0; c < 2; ++c)
      if (const QTableWidgetItem* it = ValueListEditor1->item(r, c))
        (c == 0 ? rows[std::size_t(r)].first : rows[std::size_t(r)].second) = it->text().toStdString();
  std::string err;
  // A bad cell keeps the dialog open and the graph as it was, so the user can mend it.
  if (!ReadPointRows(rows, model_->Series[std::size_t(ShownSeries)], err)) return msgs_.error(err);
  accept();
}

void TfmShowTextGr::keyPressEvent(QKeyEvent* e) {
  QTableWidget* t = ValueListEditor1;
  if (e->key() == Qt::Key_Insert) {
    t->insertRow(t->currentRow() + 1);
    t->setCurrentCell(t->currentRow() + 1, 0);
    return;
  }
  if (e->key() == Qt::Key_Delete && (e->modifiers() & Qt::ControlModifier) && t->currentRow() >= 0) {
    t->removeRow(t->currentRow());
    return;
  }
  QDialog::keyPressEvent(e);
}

}  // namespace rv
