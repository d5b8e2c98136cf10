// The chart window's "Новый" menu (graphs from formulas) and the buttons that move the
// active graph up and down the list.
#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QRadioButton>
#include <QCheckBox>
#include <QToolBar>

#include "charts/chartedit.h"
#include "charts/generators.h"
#include "charts/ui/Tfm3expDLG.h"
#include "charts/ui/TfmChart.h"
#include "charts/ui/TfmDistance.h"
#include "charts/ui/TfmPolarDielectric.h"
#include "platform/prompter.h"
#include "solver/numtext.h"

namespace rv {

namespace {

// A refused generator's message; true when the curve was refused.
bool Refused(Prompter& msgs, const GeneratedCurve& c) {
  if (c.error.empty()) return false;
  msgs.error(c.error);
  return true;
}

}  // namespace

void TfmChart::BuildNewCommands() {
  QMenu* mnNew = new QMenu("Новый", File1);
  mnNew->setObjectName("New1");
  File1->insertMenu(actOpen, mnNew);
  struct Item {
    const char* name;
    const char* caption;
    void (TfmChart::*slot)();
    bool hidden;
  };
  const Item items[] = {
      {"ImpRect", "Прямоугольный импульс", &TfmChart::ImpRectClick, false},
      {"N31", "3-х эксп. импульс", &TfmChart::N31Click, true},
      {"Re1", "Вода {Re}", &TfmChart::Re1Click, false},
      {"Im1", "Вода {Im}", &TfmChart::Im1Click, false},
      {"N30", "Вода-проводимость", &TfmChart::Im1Click, false},
      {"N28", "Полярный диэлектрик", &TfmChart::N28Click, false},
      {"N32", "Задержка отраж. сигнала", &TfmChart::N32Click, true},
      {"SinXX1", "Sin(X)/X", &TfmChart::SinXX1Click, false},
  };
  for (const Item& it : items) {
    QAction* a = mnNew->addAction(QString::fromUtf8(it.caption), this, it.slot);
    a->setObjectName(it.name);
    a->setVisible(!it.hidden);
  }
  // The menu item's tag chooses the water curve.
  findChild<QAction*>("N30")->setData(1);
  findChild<QAction*>("Im1")->setData(0);

  QAction* up = ToolBar1->addAction("↑", this, &TfmChart::SpeedButton7Click);
  up->setObjectName("SpeedButton7");
  up->setToolTip("Текущий график вверх");
  QAction* down = ToolBar1->addAction("↓", this, &TfmChart::SpeedButton8Click);
  down->setObjectName("SpeedButton8");
  down->setToolTip("Текущий график вниз");

  fm3expDLG = new Tfm3expDLG(this);
  fmPolarDielectric = new TfmPolarDielectric(this);
  fmDistance = new TfmDistance(this);
}

bool TfmChart::LoadGenerated(const GeneratedCurve& c) {
  return !Refused(*prompter_, c) && LoadGeneratedCurve(c.X, c.Y, c.title, c.xTitle, c.yTitle);
}

void TfmChart::AddGeneratedSeries(const GeneratedCurve& c) {
  const int k = model_.AddNamedSeries(c.title);
  model_.Series[std::size_t(k)].X = c.X;
  model_.Series[std::size_t(k)].Y = c.Y;
  RefreshChart();
}

void TfmChart::ImpRectClick() {
  if (!LongCommandRunning()) LoadGenerated(CountingErrorTable());
}

void TfmChart::N31Click() {
  if (LongCommandRunning() || fm3expDLG->exec() != QDialog::Accepted) return;
  GeneratedCurve c;
  try {
    c = ThreeExpPulse(fm3expDLG->Params());
  } catch (const ConvertError& e) {
    prompter_->error(e.what());
    return;
  }
  if (Refused(*prompter_, c)) return;
  AddGeneratedSeries(c);
}

void TfmChart::Re1Click() {
  if (!LongCommandRunning()) LoadGenerated(WaterRe());
}

void TfmChart::Im1Click() {
  auto* item = qobject_cast<QAction*>(sender());
  if (!LongCommandRunning()) LoadGenerated(WaterIm(item && item->data().toInt() == 1));
}

void TfmChart::N28Click() {
  if (LongCommandRunning() || fmPolarDielectric->exec() != QDialog::Accepted) return;
  PolarParams p;
  try {
    p = fmPolarDielectric->Params();
  } catch (const ConvertError& e) {
    prompter_->error(e.what());
    return;
  }
  if (fmPolarDielectric->CheckBox1->isChecked() && !LoadGenerated(PolarDielectric(p, false))) return;
  if (fmPolarDielectric->CheckBox2->isChecked()) LoadGenerated(PolarDielectric(p, true));
}

void TfmChart::N32Click() {
  if (LongCommandRunning() || fmDistance->exec() != QDialog::Accepted) return;
  GeneratedCurve c;
  try {
    c = ReflectionDelay(StrToFloat(fmDistance->edH1->text().toStdString()),
                        StrToFloat(fmDistance->edH2->text().toStdString()),
                        StrToFloat(fmDistance->edL->text().toStdString()), fmDistance->RadioButton1->isChecked(),
                        fmDistance->edH1->text().toStdString(), fmDistance->edL->text().toStdString());
  } catch (const ConvertError& e) {
    prompter_->error(e.what());
    return;
  }
  if (Refused(*prompter_, c)) return;
  const int k = model_.AddSeries(c.title, model_.SeriesDefaultColor(), model_.NextUnnamedName());
  model_.Series[std::size_t(k)].X = c.X;
  model_.Series[std::size_t(k)].Y = c.Y;
  model_.Series[std::size_t(k)].XTitle = c.xTitle;
  model_.Series[std::size_t(k)].YTitle = c.yTitle;
  model_.SetAxisTitles(c.xTitle, c.yTitle);
  model_.SetActiveGraph(k);
  RefreshChart();
}

void TfmChart::SinXX1Click() {
  if (!LongCommandRunning()) AddGeneratedSeries(SinXX());
}

void TfmChart::SpeedButton7Click() {
  if (!LongCommandRunning() && MoveActiveGraph(model_, -1)) RefreshChart();
}

void TfmChart::SpeedButton8Click() {
  if (!LongCommandRunning() && MoveActiveGraph(model_, +1)) RefreshChart();
}

}  // namespace rv
