// The chart window's arithmetic: the "X" and "Y" members, derivative, integral, RC
// transforms, combining and reshaping graphs, logarithmic axes. Each command asks for its
// graphs (and number), calls the core and redraws.
#include <QAction>
#include <QCheckBox>
#include <QDateTime>
#include <QFile>
#include <QFileDialog>
#include <QMenu>
#include <QSpinBox>
#include <QLineEdit>
#include <QTextStream>
#include <QToolBar>

#include <qcustomplot.h>

#include "charts/chartedit.h"
#include "charts/ui/TfmChart.h"
#include "charts/ui/dialogfields.h"
#include "charts/ui/TfmChartRC.h"
#include "charts/ui/TfmSelectGr.h"
#include "charts/ui/TfmSelectTwoGr.h"
#include "charts/ui/TfmValue.h"
#include "platform/filedialog.h"
#include "platform/prompter.h"
#include "solver/numtext.h"

namespace rv {

namespace {

const char* const kShiftError = "Неверно задано значение сдвига";
const char* const kMulError = "Неверно задано значение умножения";
const char* const kDivError = "Неверно задано значение деления";

// One in-place member of the "X" and "Y" menus.
struct PointMember {
  PointOp op;
  const char* menu;     // "X", "Y" or nullptr (tool button only)
  const char* action;   // menu item's name, or the tool button's when it has no item
  const char* caption;  // menu item's caption
  const char* tool;     // tool button's name, nullptr for none
  const char* hint;
  int bar;              // 1 or 2
  const char* select;   // selection caption
  const char* value;    // value caption, nullptr when the member takes no number
  const char* error;
};

const std::string kSensorSelect = std::string("Выбрать графики для U(В)-->I(А) ") + kSensorName;
const std::string kSensorCaption = std::string("U(В)-->I(А) ") + kSensorName;

const PointMember kMembers[] = {
    {PointOp::ShiftX, "X", "CdvigX", "Сдвиг...", "ToolButton18", "Сдвиг по горизонтали", 1,
     "Выбрать графики для сдвига по X", "Задать величину сдвига по X", kShiftError},
    {PointOp::MulX, "X", "MulX", "Умножить...", "ToolButton20", "Умножить", 1, "Выбрать графики для умножения по X",
     "Задать величину умножения по X", kMulError},
    {PointOp::DivX, "X", "N22", "Разделить..", "ToolButton19", "Разделить", 1, "Выбрать графики для деления по X",
     "Задать величину деления по X", kDivError},
    {PointOp::InvX, "X", "N36", "X=1/X", nullptr, nullptr, 1, "Выбрать графики для X=1/X", nullptr, nullptr},
    {PointOp::ShiftY, "Y", "SdvigY", "Сдвиг...", "ToolButton1", "Сдвиг по вертикали", 1,
     "Выбрать графики для сдвига по Y", "Задать величину сдвига по Y", kShiftError},
    {PointOp::MulY, "Y", "MulY", "Умножить...", "ToolButton2", "Умножить", 1, "Выбрать графики для умножения по Y",
     "Задать величину умножения по Y", kMulError},
    {PointOp::DivY, "Y", "N15", "Разделить...", "ToolButton3", "Разделить", 1, "Выбрать графики для деления по Y",
     "Задать величину деления по Y", kDivError},
    {PointOp::SqrtAbsY, "Y", "KorY", "Корень квадр. модуля...", "ToolButton4", "Корень из модуля", 1,
     "Выбрать графики для извлечения корня по Y", nullptr, nullptr},
    {PointOp::SquareY, "Y", "KvadratY", "Квадрат...", "ToolButton5", "Возведение в квадрат", 1,
     "Выбрать графики для возведения в квадрат по Y", nullptr, nullptr},
    {PointOp::AbsY, "Y", "Modul", "Модуль...", "ToolButton6", "Модуль", 1, "Выбрать графики для получения модуля по Y",
     nullptr, nullptr},
    {PointOp::NegY, "Y", "N11", "Инверсия...", "ToolButton7", "Инверсия", 1, "Выбрать графики для инверсии по Y",
     nullptr, nullptr},
    {PointOp::InvY, "Y", "Y1Y1", "Y=1/Y..", "ToolButton8", "Y=1/Y", 1, "Выбрать графики для Y=1/Y", nullptr, nullptr},
    {PointOp::UtoI, "Y", "UBIA1", kSensorCaption.c_str(), "ToolButton25", kSensorCaption.c_str(), 1,
     kSensorSelect.c_str(), nullptr, nullptr},
    {PointOp::XdivY, nullptr, "ToolButton22", "X/Y", "ToolButton22", "X/Y", 1, "Выбрать графики для X/Y", nullptr,
     nullptr},
    {PointOp::YdivX, nullptr, "ToolButton23", "Y/X", "ToolButton23", "Y/X", 1, "Выбрать графики для Y/X", nullptr,
     nullptr},
    {PointOp::SwapXY, nullptr, "ToolButton24", "X<->Y", "ToolButton24", "Поменять местами X и Y", 1,
     "Выбрать графики для Y<->X", nullptr, nullptr},
    {PointOp::XFromZero, nullptr, "ToolButton26", "X→0", "ToolButton26", "Сдвиг к нулю координат по горизонтали", 2,
     "Выбрать графики для сдвига к нулю координат по горизонтали", nullptr, nullptr},
    {PointOp::DB, nullptr, "ToolButton30", "дБ", "ToolButton30", "Пребразование в децибелы", 2,
     "Выбрать графики для пребразования в децибелы", "Задать относительную базу", kMulError},
};

// Short texts of the tool buttons (the bar shows text only).
QString ToolText(const PointMember& m) {
  switch (m.op) {
    case PointOp::ShiftX: return "X+";
    case PointOp::MulX: return "X*";
    case PointOp::DivX: return "X/";
    case PointOp::ShiftY: return "Y+";
    case PointOp::MulY: return "Y*";
    case PointOp::DivY: return "Y/";
    case PointOp::SqrtAbsY: return "√|Y|";
    case PointOp::SquareY: return "Y²";
    case PointOp::AbsY: return "|Y|";
    case PointOp::NegY: return "-Y";
    case PointOp::InvY: return "1/Y";
    case PointOp::UtoI: return "U→I";
    default: return QString::fromUtf8(m.caption);
  }
}

}  // namespace

void TfmChart::BuildEditCommands() {
  ToolBar2 = new QToolBar("Панель 2", this);
  ToolBar2->setObjectName("ToolBar2");
  ToolBar2->setMovable(false);
  ToolBar2->setToolButtonStyle(Qt::ToolButtonTextOnly);
  addToolBarBreak();
  addToolBar(ToolBar2);

  QMenu* mx = new QMenu("X", Edit1);
  mx->setObjectName("mnX");
  QMenu* my = new QMenu("Y", Edit1);
  my->setObjectName("mnY");
  Edit1->insertMenu(mnTransform->menuAction(), mx);
  Edit1->insertMenu(mnTransform->menuAction(), my);
  for (const PointMember& m : kMembers) {
    auto run = [this, &m] {
      double v = 0;
      const std::vector<int> chosen = ChooseGraphs(QString::fromUtf8(m.select));
      if (chosen.empty()) return;
      if (m.value && !AskValue(QString::fromUtf8(m.value), m.error, v,
                               [&m](double x) { return m.op != PointOp::DB || x > 0; }))
        return;
      for (int i : chosen) ApplyPointOp(model_.Series[std::size_t(i)], m.op, v, &model_.Texts);
      RefreshChart();
    };
    QAction* item = nullptr;
    if (m.menu) item = Named((m.menu[0] == 'X' ? mx : my)->addAction(QString::fromUtf8(m.caption), this, run), m.action);
    if (!m.tool) continue;
    QToolBar* bar = m.bar == 2 ? ToolBar2 : ToolBar1;
    QAction* b = Named(bar->addAction(ToolText(m), this, run), m.tool, m.hint);
    if (!item) b->setObjectName(m.action);
  }
  Named(my->addAction("Нормализация..", this, &TfmChart::N23Click), "N23");
  Named(ToolBar1->addAction("Норм.", this, &TfmChart::N23Click), "ToolButton9", "Нормализация");

  Named(Edit1->addAction("Сложение графиков..", this, &TfmChart::SummaClick), "Summa");
  Named(Edit1->addAction("Перемножение графиков..", this, &TfmChart::N17Click), "N17");
  Named(Edit1->addAction("Срастить графики", this, &TfmChart::N21Click), "N21");
  Named(Edit1->addAction("Клонировать...", this, &TfmChart::N33Click), "N33");
  Named(Edit1->addAction("Уменьшить кол-во точек вдвое", this, &TfmChart::N25Click), "N25");
  Named(Edit1->addAction("Кадрировать по X", this, &TfmChart::Y2Click), "Y2");
  Named(ToolBar1->addAction("Σ", this, &TfmChart::SummaClick), "ToolButton11", "Сложение графиков");
  Named(ToolBar1->addAction("Π", this, &TfmChart::N17Click), "ToolButton12", "Умножение графиков");

  mnTransform->addSeparator();
  Named(mnTransform->addAction("Производная...", this, &TfmChart::mnDifferClick), "mnDiffer");
  Named(mnTransform->addAction("Интеграл...", this, &TfmChart::N5Click), "N5");
  Named(mnTransform->addAction("Дифференцирование..", this, &TfmChart::RC1Click), "RC1");
  Named(mnTransform->addAction("Интегрирование..", this, &TfmChart::RC3Click), "RC3");
  Named(mnTransform->addAction("Постоянная времени..", this, &TfmChart::RC2Click), "RC2");
  Named(ToolBar1->addAction("d/dx", this, &TfmChart::mnDifferClick), "ToolButton13", "Производная");
  Named(ToolBar1->addAction("∫", this, &TfmChart::N5Click), "ToolButton14", "Интеграл");

  Named(ToolBar2->addAction("Среднее", this, &TfmChart::ToolButton27Click), "ToolButton27",
        "Вычисление среднего значения");
  Named(ToolBar2->addAction("СКЗ", this, &TfmChart::ToolButton28Click), "ToolButton28",
        "Вычисление среднеквадратического значения");
  // The list division is a hidden command: an action of the window, on no bar or menu.
  QAction* list = Named(new QAction("Y/список", this), "ToolButton31", "деление по Y на список");
  connect(list, &QAction::triggered, this, &TfmChart::ToolButton31Click);
  addAction(list);

  LogX1 = Named(mnVid->addAction("LogX", this, &TfmChart::LogX1Click), "LogX1");
  LogX1->setCheckable(true);
  LogY1 = Named(mnVid->addAction("LogY", this, &TfmChart::LogY1Click), "LogY1");
  LogY1->setCheckable(true);
  File1->insertAction(Exit1, Named(new QAction("Заменить все имена файлов на легенды", File1), "N40"));
  connect(findChild<QAction*>("N40"), &QAction::triggered, this, &TfmChart::N40Click);

  fmChartRC = new TfmChartRC(*prompter_, RCTimeConstant, this);
}

std::vector<int> TfmChart::ChooseGraphs(const QString& caption) {
  if (LongCommandRunning() || model_.UserGraphCount() == 0) return {};
  fmSelectGr->setWindowTitle(caption);
  if (!fmSelectGr->Execute(model_)) return {};
  return fmSelectGr->SelectedSeries();
}

bool TfmChart::AskValue(const QString& caption, const std::string& errorText, double& v,
                        const std::function<bool(double)>& ok) {
  for (;;) {
    if (!fmValue->Execute(caption)) return false;
    if (fmValue->Value(v) && (!ok || ok(v))) return true;
    prompter_->error(errorText);
  }
}

namespace {
// The chosen graphs' points left out for their NaN X.
std::vector<std::pair<std::string, std::size_t>> NanXOf(const ChartModel& m, const std::vector<int>& chosen) {
  std::vector<std::pair<std::string, std::size_t>> r;
  for (int i : chosen) r.emplace_back(m.Series[std::size_t(i)].Title, NanXCount(m.Series[std::size_t(i)].X));
  return r;
}
}  // namespace

bool TfmChart::RefuseUnordered(const std::vector<int>& graphs) {
  for (int i : graphs) {
    const ChartSeries& g = model_.Series[std::size_t(i)];
    std::vector<double> x, y;
    if (TimeOrdered(g.X, g.Y, x, y)) continue;
    // A graph read from a file without a title is known by its file name.
    prompter_->error(UnorderedTimeText(g.Title.empty() ? model_.FileNames[std::size_t(i)] : g.Title));
    return true;
  }
  return false;
}

void TfmChart::EachChosen(const QString& caption, const std::function<void(ChartSeries&)>& f, bool skipsNanX) {
  const std::vector<int> chosen = ChooseGraphs(caption);
  if (chosen.empty()) return;
  const auto skipped = skipsNanX ? NanXOf(model_, chosen) : std::vector<std::pair<std::string, std::size_t>>{};
  for (int i : chosen) f(model_.Series[std::size_t(i)]);
  RefreshChart();
  ReportSkipped(skipped);
}

void TfmChart::ReportSkipped(const std::vector<std::pair<std::string, std::size_t>>& graphs) {
  if (const std::string text = SkippedNanXText(graphs); !text.empty()) prompter_->message(text);
}

void TfmChart::mnDifferClick() { EachChosen("Выбрать графики для вычисления производной", Derivative); }
void TfmChart::N5Click() { EachChosen("Выбрать графики для вычисления интеграла", RunningIntegral, true); }
void TfmChart::ToolButton27Click() {
  EachChosen("Выбрать графики для вычисления среднего значения", RunningMean, true);
}
void TfmChart::ToolButton28Click() {
  EachChosen("Выбрать графики для вычисления среднеквадратич. значения", RunningRms, true);
}
void TfmChart::N25Click() { EachChosen("Выбрать графики для уменьш. точек", HalvePoints); }

void TfmChart::Y2Click() {
  const QCPRange r = Chart->xAxis->range();
  EachChosen("Выбрать графики для кадрирования", [&r](ChartSeries& g) { Crop(g, r.lower, r.upper); });
}

void TfmChart::RC1Click() {
  RCTimeUnit = 1e-9;
  const bool quantize = fmChartRC->cbRandomError->isChecked();
  const int levels = fmChartRC->SpinEdit1->value();
  const auto seed = std::uint32_t(QDateTime::currentMSecsSinceEpoch());
  EachChosen(
      "Выбрать графики для дифференцирования",
      [&](ChartSeries& g) {
        RcDifferentiate(g, RCTimeConstant, RCTimeUnit);
        if (quantize) Quantize(g, levels, seed + std::uint32_t(g.id));
      },
      true);
}

void TfmChart::RC3Click() {
  RCTimeUnit = 1e-9;
  EachChosen(
      "Выбрать графики для интегрирования", [this](ChartSeries& g) { RcIntegrate(g, RCTimeConstant, RCTimeUnit); },
      true);
}

void TfmChart::RC2Click() {
  if (!LongCommandRunning()) fmChartRC->exec();
}

void TfmChart::N23Click() {
  const std::vector<int> chosen = ChooseGraphs("Выбрать графики для нормализации по Y");
  if (chosen.empty()) return;
  Normalize(model_, chosen);
  RefreshChart();
}

void TfmChart::SummaClick() { CombineChosen("Выбрать графики для суммирования", false); }
void TfmChart::N17Click() { CombineChosen("Выбрать графики для перемножения", true); }

void TfmChart::CombineChosen(const QString& caption, bool product) {
  if (LongCommandRunning()) return;
  BitBtn3Click();
  const std::vector<int> chosen = ChooseGraphs(caption);
  if (chosen.empty() || RefuseUnordered(chosen) || CombineGraphs(model_, chosen, product) < 0) return;
  RefreshChart();
  ReportSkipped(NanXOf(model_, chosen));
}

void TfmChart::N21Click() {
  if (LongCommandRunning() || model_.SeriesCount() < 2) return;
  fmSelectTwoGr->setWindowTitle("Срастить графики");
  if (!fmSelectTwoGr->Execute(model_.SeriesCount())) return;
  double t = 0;
  try {
    t = StrToFloat(fmSelectTwoGr->Edit1->text().toStdString());
  } catch (const ConvertError& e) {
    prompter_->error(e.what());
    return;
  }
  SpliceGraphs(model_, fmSelectTwoGr->SpinEdit1->value() - 1, fmSelectTwoGr->SpinEdit2->value() - 1, t);
  RefreshChart();
}

void TfmChart::N33Click() {
  const std::vector<int> chosen = ChooseGraphs("Выбрать графики для клонирования");
  if (chosen.empty() || RefuseUnordered(chosen)) return;
  int points = 0;
  for (;;) {
    if (!fmValue->Execute("Задать количество точек на выходе")) return;
    if (TryStrToInt(fmValue->Text().toStdString(), points) && points >= 2 && points <= kMaxClonePoints) break;
    prompter_->error("Неверно задано количество точек");
  }
  for (int k : chosen) CloneGraph(model_, k, points);
  RefreshChart();
  ReportSkipped(NanXOf(model_, chosen));
}

void TfmChart::N40Click() {
  if (LongCommandRunning()) return;
  if (prompter_->question("Заменить все имена файлов на легенды", PromptButton::Yes | PromptButton::No) !=
      PromptButton::Yes)
    return;
  FileNamesFromTitles(model_);
}

void TfmChart::ToolButton31Click() {
  if (LongCommandRunning()) return;
  const QString name = platform::AskFileName(this, false, "Открыть файл значений", QString::fromStdString(settings_.IniDir),
                                             "*.txt (*.txt);;*.* (*)");
  if (name.isEmpty()) return;
  QFile f(name);
  if (!f.open(QIODevice::ReadOnly | QIODevice::Text)) {
    prompter_->error("Не удалось открыть файл " + name.toStdString());
    return;
  }
  std::vector<std::string> lines;
  QTextStream in(&f);
  while (!in.atEnd()) lines.push_back(in.readLine().toStdString());
  std::vector<double> d;
  if (const std::string e = ListDivisors(lines, model_.SeriesCount(), d); !e.empty()) {
    prompter_->error(e);
    return;
  }
  for (std::size_t k = 0; k < d.size(); ++k)
    for (double& y : model_.Series[k].Y) y /= d[k];
  RefreshChart();
}

void TfmChart::LogX1Click() { SetLogAxis(LogX1, true); }
void TfmChart::LogY1Click() { SetLogAxis(LogY1, false); }

void TfmChart::SetLogAxis(QAction* item, bool xAxis) {
  QCPAxis* axis = xAxis ? Chart->xAxis : Chart->yAxis;
  QSharedPointer<QCPAxisTicker>& linear = linearTicker_[xAxis ? 0 : 1];
  const bool log = item->isChecked();
  if (log) {
    // A logarithmic axis needs some positive value to show; without one it is refused.
    bool positive = false;
    for (const ChartSeries& s : model_.Series)
      for (double v : xAxis ? s.X : s.Y) positive = positive || v > 0;
    if (!positive) {
      item->setChecked(false);
      return;
    }
    if (axis->scaleType() == QCPAxis::stLogarithmic) return;
    linear = axis->ticker();
    axis->setTicker(QSharedPointer<QCPAxisTickerLog>::create());
    axis->setScaleType(QCPAxis::stLogarithmic);
  } else {
    if (axis->scaleType() == QCPAxis::stLinear) return;
    axis->setScaleType(QCPAxis::stLinear);
    if (linear) axis->setTicker(linear);
    linear.reset();
  }
  BitBtn3Click();
}

}  // namespace rv
