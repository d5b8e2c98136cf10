#include "project/ui/TfmLamped.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "platform/prompter.h"
#include "platform/widgets.h"
#include "project/ui/StringGridView.h"
#include "solver/solverdata.h"

namespace rv {

TfmLamped::TfmLamped(SolverData& data, LampedTables& tables, Prompter& prompter, QWidget* parent)
    : QDialog(parent), d_(data), t_(tables), prompter_(prompter) {
  setObjectName("fmLamped");
  setWindowTitle(QString::fromUtf8("Сосредоточенные элементы"));
  resize(560, 330);

  auto* main = new QVBoxLayout(this);
  PageControl1 = new QTabWidget(this);
  PageControl1->setObjectName("PageControl1");
  main->addWidget(PageControl1, 1);

  sgResistors = addPage("Резисторы", t_.sgResistors, {44, 46, 46, 113, 177}, Button2, "Button2",
                        Button1, "Button1", Button3, "Button3");
  sgCapacitors = addPage("Конденсаторы", t_.sgCapacitors, {44, 46, 46, 89, 114}, Button8, "Button8",
                         Button7, "Button7", Button9, "Button9");
  sgSourses = addPage("Источники", t_.sgSourses, {44, 46, 46, 75, 113, 79}, Button11, "Button11",
                      Button10, "Button10", Button12, "Button12");
  sgRazraydnic = addPage("Разрядники", t_.sgRazraydnic, {44, 46, 46, 116, 173}, Button5, "Button5",
                         Button4, "Button4", Button6, "Button6");
  sgInductor = addPage("Индуктивности", t_.sgInductor, {44, 46, 46, 126, 167}, Button14, "Button14",
                       Button13, "Button13", Button15, "Button15");

  auto* bottom = new QHBoxLayout;
  bottom->addStretch(1);
  Button16 = MakeButton(this, "Закрыть", "Button16");
  bottom->addWidget(Button16);
  main->addLayout(bottom);
  connect(Button16, &QPushButton::clicked, this, &QDialog::accept);
}

StringGridView* TfmLamped::addPage(const QString& caption, StringGrid& g, std::initializer_list<int> widths,
                                   QPushButton*& addBtn, const char* addName, QPushButton*& delBtn,
                                   const char* delName, QPushButton*& clearBtn, const char* clearName) {
  QHBoxLayout* panel = nullptr;
  StringGridView* view = AddGridPage(PageControl1, caption, g, d_.Modified, widths, panel);
  view->selectCell = [this, view](int col, int row) { return sgResistorsSelectCell(view, col, row); };
  view->cycleColumns = {4};  // the direction; a source's polarity too
  if (g.Tag() == 10) view->cycleColumns.append(5);
  QWidget* page = view->parentWidget();
  addBtn = MakeButton(page, "Новая строка", addName);
  delBtn = MakeButton(page, "Удалить текущую строку", delName);
  clearBtn = MakeButton(page, "Очистить всё", clearName);
  panel->addWidget(addBtn);
  panel->addWidget(delBtn);
  panel->addWidget(clearBtn);
  panel->addStretch(1);
  ConnectRowButtons(view, addBtn, delBtn, clearBtn, prompter_);
  return view;
}

void TfmLamped::reloadViewOf(const StringGrid& g) {
  for (StringGridView* v : {sgResistors, sgCapacitors, sgSourses, sgRazraydnic, sgInductor})
    if (v && &v->grid() == &g) v->reload();
}

void TfmLamped::AddGridRow(StringGrid& g) {
  rv::AddGridRow(g, d_.Modified);
  reloadViewOf(g);
}

void TfmLamped::DeleteGridRow(StringGrid& g) {
  rv::DeleteGridRow(g, d_.Modified);
  reloadViewOf(g);
}

void TfmLamped::ClearGridAsk(StringGrid& g) {
  rv::ClearGridAsk(g, d_.Modified, prompter_);
  reloadViewOf(g);
}

void TfmLamped::ClearGrid(StringGrid& g) {
  rv::ClearGrid(g, d_.Modified);
  reloadViewOf(g);
}

void TfmLamped::RefreshFromTables() {
  for (StringGridView* v : {sgResistors, sgCapacitors, sgSourses, sgRazraydnic, sgInductor}) v->reload();
}

bool TfmLamped::sgResistorsSelectCell(StringGridView* view, int col, int row) {
  return LampedSelectCell(view->grid(), col, row, d_.Modified);
}

void TfmLamped::showEvent(QShowEvent* e) {
  RefreshFromTables();
  QDialog::showEvent(e);
}

}  // namespace rv
