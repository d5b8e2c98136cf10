#include "project/ui/TfmOutPoint.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

#include "platform/prompter.h"
#include "platform/widgets.h"
#include "project/ui/StringGridView.h"
#include "solver/solverdata.h"

namespace rv {

TfmOutPoint::TfmOutPoint(SolverData& data, OutPointTables& tables, Prompter& prompter, QWidget* parent)
    : QDialog(parent), d_(data), t_(tables), prompter_(prompter) {
  setObjectName("fmOutPoint");
  setWindowTitle(QString::fromUtf8("Точки вывода"));
  resize(520, 360);

  auto* main = new QVBoxLayout(this);

  auto* options = new QVBoxLayout;
  auto* rateRow = new QHBoxLayout;
  rateRow->addWidget(new QLabel(QString::fromUtf8("Выводить каждый"), this));
  seOutputRate = new QSpinBox(this);
  seOutputRate->setObjectName("seOutputRate");
  seOutputRate->setRange(MinOutputRate, MaxOutputRate);
  rateRow->addWidget(seOutputRate);
  rateRow->addWidget(new QLabel(QString::fromUtf8("результат."), this));
  rateRow->addStretch(1);
  options->addLayout(rateRow);
  cbShowGr = new QCheckBox(QString::fromUtf8("Показать графики"), this);
  cbShowGr->setObjectName("cbShowGr");
  cbShowInput = new QCheckBox(QString::fromUtf8("Показать исходный сигнал"), this);
  cbShowInput->setObjectName("cbShowInput");
  cbNoWriteFile = new QCheckBox(QString::fromUtf8("Не записывать файлы результатов на диск"), this);
  cbNoWriteFile->setObjectName("cbNoWriteFile");
  options->addWidget(cbShowGr);
  options->addWidget(cbShowInput);
  options->addWidget(cbNoWriteFile);
  main->addLayout(options);

  PageControl1 = new QTabWidget(this);
  PageControl1->setObjectName("PageControl1");
  main->addWidget(PageControl1, 1);

  sgOutPoint = addPage("Одиночные точки", t_.sgOutPoint, {48, 51, 46, 44, 47, 200}, Button16, "Button16",
                       Button2, "Button2", Button1, "Button1", Button3, "Button3");
  sgOutPoint->selectCell = [this](int col, int row) { return sgOutPointSelectCell(col, row); };
  sgOutPoint->cycleColumns = {1};
  sgCurrent = addPage("Токовые регионы", t_.sgCurrent, {48, 51, 46, 44, 47, 49, 164}, Button4, "Button4",
                      Button5, "Button5", Button6, "Button6", Button7, "Button7");
  sgVoltage = addPage("Разности потенциалов", t_.sgVoltage, {48, 51, 46, 44, 47, 49, 164}, Button8,
                      "Button8", Button9, "Button9", Button10, "Button10", Button11, "Button11");
  sgFarPoints = addPage("Дальнее поле", t_.sgFarPoints, {122, 119, 115}, Button12, "Button12", Button13,
                        "Button13", Button14, "Button14", Button15, "Button15");
  PageControl1->setCurrentIndex(0);

  RefreshFromTables();
  connect(seOutputRate, &QSpinBox::valueChanged, this, &TfmOutPoint::optionsChanged);
  for (QCheckBox* cb : {cbShowGr, cbShowInput, cbNoWriteFile})
    connect(cb, &QCheckBox::toggled, this, &TfmOutPoint::optionsChanged);
}

StringGridView* TfmOutPoint::addPage(const QString& caption, StringGrid& g, std::initializer_list<int> widths,
                                     QPushButton*& closeBtn, const char* closeName, QPushButton*& addBtn,
                                     const char* addName, QPushButton*& delBtn, const char* delName,
                                     QPushButton*& clearBtn, const char* clearName) {
  QHBoxLayout* panel = nullptr;
  StringGridView* view = AddGridPage(PageControl1, caption, g, d_.Modified, widths, panel);
  QWidget* page = view->parentWidget();
  closeBtn = MakeButton(page, "Закрыть", closeName);
  addBtn = MakeButton(page, "Новая строка", addName);
  delBtn = MakeButton(page, "Удалить", delName);
  clearBtn = MakeButton(page, "Очистить всё", clearName);
  panel->addWidget(closeBtn);
  panel->addStretch(1);
  panel->addWidget(addBtn);
  panel->addWidget(delBtn);
  panel->addWidget(clearBtn);
  connect(closeBtn, &QPushButton::clicked, this, &QDialog::accept);
  ConnectRowButtons(view, addBtn, delBtn, clearBtn, prompter_);
  return view;
}

void TfmOutPoint::RefreshFromTables() {
  {
    const QSignalBlocker b1(seOutputRate), b2(cbShowGr), b3(cbShowInput), b4(cbNoWriteFile);
    seOutputRate->setValue(t_.seOutputRate);
    cbShowGr->setChecked(t_.cbShowGr);
    cbShowInput->setChecked(t_.cbShowInput);
    cbNoWriteFile->setChecked(t_.cbNoWriteFile);
  }
  for (StringGridView* v : {sgOutPoint, sgCurrent, sgVoltage, sgFarPoints}) v->reload();
}

bool TfmOutPoint::sgOutPointSelectCell(int col, int row) {
  return OutPointSelectCell(t_.sgOutPoint, col, row, d_.Modified);
}

void TfmOutPoint::optionsChanged() {
  t_.seOutputRate = seOutputRate->value();
  t_.cbShowGr = cbShowGr->isChecked();
  t_.cbShowInput = cbShowInput->isChecked();
  t_.cbNoWriteFile = cbNoWriteFile->isChecked();
  d_.Modified = 1;
}

void TfmOutPoint::showEvent(QShowEvent* e) {
  RefreshFromTables();
  QDialog::showEvent(e);
}

}  // namespace rv
