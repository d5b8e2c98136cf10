#include "charts/ui/TfmChart.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QEventLoop>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontInfo>
#include <QFontMetrics>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMouseEvent>
#include <QStatusBar>
#include <QTemporaryFile>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <cmath>
#include <exception>
#include <limits>
#include <thread>

#include <qcustomplot.h>

#include "charts/chartaxes.h"
#include "charts/ui/TfmBackSpectr.h"
#include "charts/ui/chartcolor.h"
#include "charts/ui/TfmSelectGr.h"
#include "charts/ui/TfmSelectGrParam.h"
#include "charts/ui/TfmSelectTwoGr.h"
#include "charts/ui/TfmSpectr.h"
#include "charts/ui/TfmValue.h"
#include "platform/filedialog.h"
#include "platform/platform.h"
#include "platform/prompter.h"

namespace rv {

// Axis ticks: labels in the chart's number format, a step the window may fix, 4 minor ticks.
class ChartAxisTicker : public QCPAxisTicker {
public:
  double fixedStep = 0;  // 0: the ticker's own choice

protected:
  double getTickStep(const QCPRange& range) override {
    return step_ = fixedStep > 0 ? fixedStep : QCPAxisTicker::getTickStep(range);
  }
  int getSubTickCount(double) override { return AxisMinorTicks; }
  QString getTickLabel(double tick, const QLocale&, QChar, int) override {
    return QString::fromStdString(AxisLabelText(tick, step_));
  }

private:
  double step_ = 0;  // the last step chosen: labels are asked for after it
};

// The chart's legend: one column of items, filled in one pass. The grid's own addElement
// widens every row on each call, which is quadratic in the graphs.
class ChartLegend : public QCPLegend {
public:
  void Attach(QCustomPlot* plot) {
    initializeParentPlot(plot);
    setParent(plot);
  }
  // Rows 0..n-1 of an empty legend.
  void SetItems(const std::vector<QCPAbstractLegendItem*>& items) {
    // No rows: no column either (a column of no rows upsets the layout's sizes).
    if (items.empty()) return;
    expandTo(int(items.size()), 1);
    for (std::size_t i = 0; i < items.size(); ++i) {
      mElements[int(i)][0] = items[i];
      adoptElement(items[i]);
    }
  }
};

namespace {

Qt::PenStyle ToQt(PenStyle s) {
  switch (s) {
    case PenStyle::Dash: return Qt::DashLine;
    case PenStyle::Dot: return Qt::DotLine;
    case PenStyle::DashDot: return Qt::DashDotLine;
    case PenStyle::DashDotDot: return Qt::DashDotDotLine;
    case PenStyle::Solid: break;
  }
  return Qt::SolidLine;
}

QString Q(const std::string& s) { return QString::fromStdString(s); }

QString Joined(const std::vector<std::string>& lines) {
  QStringList l;
  for (const auto& s : lines) l << Q(s);
  return l.join('\n');
}

bool AllBlank(const std::vector<std::string>& lines) {
  for (const auto& s : lines)
    if (s.find_first_not_of(" \t") != std::string::npos) return false;
  return true;
}

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Not finite values are drawn as gaps: QCustomPlot breaks a line at NaN.
inline double Drawn(double v) { return std::isfinite(v) ? v : kNaN; }

QFont FontOf(const ChartFont& f) {
  QFont q(Q(f.Name));
  q.setPointSize(f.Size > 0 ? f.Size : 10);
  return q;
}

ChartFont FromQFont(const QFont& q) {
  ChartFont f;
  f.Name = q.family().toStdString();
  f.Size = q.pointSize() > 0 ? q.pointSize() : 10;
  return f;
}

}  // namespace

TfmChart::Options TfmChart::DefaultOptions(const QStringList& arguments) {
  Options o;
  const std::string dir = platform::UserConfigDir();
  QString exe = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
  if (exe.isEmpty()) exe = "ravelin";
  o.settingsPath = dir + exe.toStdString() + ".INI";
  o.valueHistoryPath = dir + "TmpVal.txt";
  o.defaultDir = platform::HomeDir();
  o.arguments = arguments;
  return o;
}

TfmChart::TfmChart(const Options& options, QWidget* parent) : QMainWindow(parent), opt_(options) {
  setObjectName("fmChart");
  setWindowTitle("График");
  if (opt_.prompter) {
    prompter_ = opt_.prompter;
  } else {
    ownPrompter_ = std::make_unique<QtPrompter>(this);
    prompter_ = ownPrompter_.get();
  }
  model_.UnnamedGraphCounter = 1;
  model_.ActiveGraph = -1;
  RCTimeConstant = 1.5e-8;

  ReadChartSettings(opt_.settingsPath, opt_.defaultDir, settings_);

  BuildChart();
  BuildMenus();
  BuildToolBar();
  BuildEditCommands();
  BuildMeasureCommands();
  BuildStatusBar();
  BuildViewCommands();
  BuildMouse();

  OpenD = platform::NewFileDialog(this, "Открыть");
  OpenD->setObjectName("OpenD");
  OpenD->setFileMode(QFileDialog::ExistingFiles);
  OpenD->setAcceptMode(QFileDialog::AcceptOpen);
  OpenD->setNameFilters({"*.grf;*.sig;*.srg;*.csv;*.gpj (*.grf *.sig *.srg *.csv *.gpj)", "Все файлы (*)",
                         "Файлы графиков(*.grf;*.sig;*.srg) (*.grf *.sig *.srg)", "Тектроникс(*.csv) (*.csv)",
                         "Проект(*.gpj) (*.gpj)"});
  SaveD = platform::NewFileDialog(this, "Сохранение графика");
  SaveD->setObjectName("SaveD");
  // The overwrite question is the window's own ("Файл ... уже есть. Переписать?").
  SaveD->setOption(QFileDialog::DontConfirmOverwrite);
  SaveD->setAcceptMode(QFileDialog::AcceptSave);
  SaveD->setFileMode(QFileDialog::AnyFile);
  SaveD->setDefaultSuffix("srg");
  SaveD->setNameFilters({"*.srg;*.grf (*.srg *.grf)", "*.* (*)"});
  OpenD->setDirectory(Q(settings_.IniDir));
  SaveD->setDirectory(Q(settings_.IniDir));

  fmSelectGr = new TfmSelectGr(*prompter_, this);
  fmValue = new TfmValue(opt_.valueHistoryPath, this);
  fmSelectTwoGr = new TfmSelectTwoGr(this);
  fmSelectGrParam = new TfmSelectGrParam(this);
  fmSpectr = new TfmSpectr(*prompter_, this);
  fmSpectr->FormCreate(settings_.Spectr);
  fmBackSpectr = new TfmBackSpectr(*prompter_, this);

  feedTimer_ = new QTimer(this);
  feedTimer_->setInterval(50);
  connect(feedTimer_, &QTimer::timeout, this, &TfmChart::DrainLiveFeed);
  feedTimer_->start();

  UpdateMenus();
  Label1->clear();
  OpenCommandLineGraph(opt_.arguments);

  ApplyFonts();
  move(settings_.Left, settings_.Top);
  resize(settings_.Width, settings_.Height);
  RefreshChart();
}

TfmChart::~TfmChart() {
  // The plottables hold no pointers into the model; stop the timer before members go.
  if (feedTimer_) feedTimer_->stop();
  // QCustomPlot's own teardown removes them one by one through the legend: quadratic.
  if (Chart) ClearPlots();
}

// ---------------------------------------------------------------- construction

void TfmChart::BuildChart() {
  Chart = new QCustomPlot(this);
  Chart->setObjectName("Chart");
  Chart->installEventFilter(this);
  Chart->setBackground(Qt::white);
  Chart->setNoAntialiasingOnDrag(true);
  // The legend is filled in one pass after the graphs are made (SyncLegend).
  Chart->setAutoAddPlottableToLegend(false);
  // QFlags' own operator: rv's operator| for prompt buttons hides QCustomPlot's global one here.
  Chart->setInteractions(QCP::Interactions(QCP::iRangeDrag) | QCP::iRangeZoom);
  Chart->setToolTip("|Shift+mouse - можно сдвинуть график, Ctrl+mouse - выбор акт. гр.: если не нажата "
                    "кнопка \"Ред. акт. гр.\",  Alt+mouse - измерение");
  setCentralWidget(Chart);

  xTicker_ = new ChartAxisTicker;
  yTicker_ = new ChartAxisTicker;
  Chart->xAxis->setTicker(QSharedPointer<QCPAxisTicker>(xTicker_));
  Chart->yAxis->setTicker(QSharedPointer<QCPAxisTicker>(yTicker_));
  for (QCPAxis* a : {Chart->xAxis, Chart->yAxis}) {
    a->grid()->setPen(QPen(QColor(0, 0, 0, 90), 0, Qt::DotLine));
    a->setTickLength(4, 8);
    a->setSubTickLength(2, 4);
    a->setBasePen(QPen(Qt::black));
  }
  Chart->xAxis->setLabel("Ось X");
  Chart->xAxis2->setVisible(false);
  Chart->yAxis2->setVisible(false);
  connect(Chart->xAxis, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), this,
          [this] { if (!settingRange_) zoomed_ = true; });
  connect(Chart->yAxis, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), this,
          [this] { if (!settingRange_) zoomed_ = true; });

  // Graphs on a layer of their own (just above "main", whose layerables would take their
  // clicks) and their legend items on theirs, each list holding only them in order, so
  // closing from the front costs no search or shift per graph.
  Chart->addLayer("graphs", Chart->layer("main"), QCustomPlot::limAbove);
  Chart->addLayer("legendbox", Chart->layer("legend"), QCustomPlot::limBelow);
  plotHolder_ = new QObject(Chart);
  QCPLegend* stock = Chart->legend;
  Chart->axisRect()->insetLayout()->take(stock);
  auto* legend = new ChartLegend;
  legend->Attach(Chart);
  legend->setLayer("legendbox");
  Chart->legend = legend;
  delete stock;
  legend->setVisible(true);
  legend->setBorderPen(Qt::NoPen);
  legend->setBrush(Qt::NoBrush);
  legend->setFillOrder(QCPLayoutGrid::foRowsFirst);
  legend->setWrap(0);
  legend->setIconSize(20, 10);
  legend->setRowSpacing(0);

  // The legend's two holders, right of or below the plot. The plot's layout owns the one it
  // shows and hands it back to the chart when it lets go; the chart owns them until then, or
  // the one never shown would be lost.
  rightHolder_ = new QCPLayoutGrid;
  rightHolder_->setParent(Chart);
  rightHolder_->addElement(1, 0, new QCPLayoutElement(Chart));
  rightHolder_->setRowStretchFactors({0.001, 1});
  bottomHolder_ = new QCPLayoutGrid;
  bottomHolder_->setParent(Chart);
  bottomHolder_->addElement(0, 1, new QCPLayoutElement(Chart));
  bottomHolder_->setColumnStretchFactors({0.001, 1});

  title_ = new QCPTextElement(Chart, "", QFont("Arial", 10));
  title_->setTextColor(Qt::blue);
  foot_ = new QCPTextElement(Chart, "", QFont("Arial", 10));
  foot_->setTextColor(Qt::black);

  emptyHint_ = new QCPItemText(Chart);
  emptyHint_->position->setType(QCPItemPosition::ptAxisRectRatio);
  emptyHint_->position->setCoords(0.5, 0.5);
  emptyHint_->setPositionAlignment(Qt::AlignCenter);
  emptyHint_->setTextAlignment(Qt::AlignCenter);
  emptyHint_->setColor(Qt::darkGray);
  emptyHint_->setSelectable(false);
  emptyHint_->setText("Графиков нет.\nОткройте файл кнопкой «Открыть»\nили создайте график: «Файл» → «Новый».");

  yCaption_ = new QCPItemText(Chart);
  yCaption_->setClipToAxisRect(false);
  yCaption_->position->setType(QCPItemPosition::ptAbsolute);
  yCaption_->setPositionAlignment(Qt::AlignRight | Qt::AlignBottom);
  yCaption_->setSelectable(false);

  connect(Chart, &QCustomPlot::beforeReplot, this, &TfmChart::BeforeReplot);
  connect(Chart, &QCustomPlot::afterLayout, this, [this] {
    // The Y-axis title stands horizontally just above the plot area, ending at its left edge
    // (pushed right when it would not fit).
    // It stays clear of the top tick label, which stands centred on the plot's top edge.
    const QRect r = Chart->axisRect()->rect();
    const int w = QFontMetrics(yCaption_->font()).horizontalAdvance(yCaption_->text());
    const int tickHalf = QFontMetrics(Chart->yAxis->tickLabelFont()).height() / 2;
    yCaption_->position->setCoords(std::max(r.left() - 3, w + 10), r.top() - tickHalf - 2);
  });
  connect(Chart, &QCustomPlot::legendClick, this,
          [this](QCPLegend*, QCPAbstractLegendItem* item, QMouseEvent*) {
            auto* pi = qobject_cast<QCPPlottableLegendItem*>(item);
            if (!pi || LongCommandRunning()) return;
            const auto it = std::find(plots_.begin(), plots_.end(), pi->plottable());
            if (it == plots_.end()) return;
            model_.PickFromLegend(int(it - plots_.begin()), cbFixLine->isChecked());
            for (std::size_t i = 0; i < plots_.size(); ++i) StyleOf(int(i), plots_[i]);
            ShowActiveGraph();
            ArrangeLegend();
            Chart->replot(QCustomPlot::rpQueuedReplot);
          });
  connect(Chart, &QCustomPlot::plottableClick, this,
          [this](QCPAbstractPlottable* p, int, QMouseEvent* ev) {
            if (!(ev->modifiers() & Qt::ControlModifier) || LongCommandRunning()) return;
            const auto it = std::find(plots_.begin(), plots_.end(), p);
            if (it == plots_.end()) return;
            model_.SetActiveGraph(int(it - plots_.begin()));
            ShowActiveGraph();
            QApplication::beep();
          });
}

void TfmChart::BuildMenus() {
  File1 = menuBar()->addMenu("Файл");
  File1->setObjectName("File1");
  actOpen = File1->addAction("Открыть..", this, &TfmChart::btnOpenClick);
  actOpen->setObjectName("Open1");
  actOpen->setToolTip("Открыть файл...");
  Save1 = File1->addAction("Сохранить график..", this, &TfmChart::Save1Click);
  Save1->setObjectName("Save1");
  Save1->setToolTip("Сохранить файл...");
  File1->addSeparator();
  Close1 = File1->addAction("Закрыть..", this, &TfmChart::Close1Click);
  Close1->setObjectName("Close1");
  Close1->setToolTip("Закрыть график...");
  DeleteAll1 = File1->addAction("Закрыть все", this, &TfmChart::DeleteAll1Click);
  DeleteAll1->setObjectName("DeleteAll1");
  File1->addSeparator();
  // Nothing would be written: the command stays unavailable.
  N42 = File1->addAction("Сохранить проект..");
  N42->setObjectName("N42");
  N42->setEnabled(false);
  // Available once the program gives it its dialog.
  N38 = File1->addAction("Ассоциация файлов...");
  N38->setObjectName("N38");
  N38->setEnabled(false);
  File1->addSeparator();
  Exit1 = File1->addAction("Закрыть", this, &TfmChart::Exit1Click);
  Exit1->setObjectName("Exit1");

  Edit1 = menuBar()->addMenu("Редактировать");
  Edit1->setObjectName("Edit1");
  mnSelectActive = Edit1->addAction("Выбрать активный график", this, &TfmChart::mnSelectActiveClick);
  mnSelectActive->setObjectName("mnSelectActive");
  mnTransform = Edit1->addMenu("Преобразование");
  mnTransform->setObjectName("mnTransform");
  mnSpectr = mnTransform->addAction("Спектр..", this, &TfmChart::mnSpectrClick);
  mnSpectr->setObjectName("mnSpectr");
  N18 = mnTransform->addAction("Обратно из спектра..", this, &TfmChart::N18Click);
  N18->setObjectName("N18");

  mnVid = menuBar()->addMenu("Вид");
  mnVid->setObjectName("mnVid");
  Legend1 = mnVid->addAction("Показать подписи графиков", this, &TfmChart::Legend1Click);
  Legend1->setObjectName("Legend1");
  Legend1->setCheckable(true);
  Legend1->setChecked(true);
  N26 = mnVid->addAction("Перерисовать график", this, &TfmChart::N26Click);
  N26->setObjectName("N26");

  mnFDTD = menuBar()->addAction("FDTD", this, &TfmChart::mnFDTDClick);
  mnFDTD->setObjectName("mnFDTD");
}

void TfmChart::BuildToolBar() {
  ToolBar1 = addToolBar("Панель");
  ToolBar1->setObjectName("ToolBar1");
  ToolBar1->setMovable(false);
  ToolBar1->setToolButtonStyle(Qt::ToolButtonTextOnly);
  auto* open = ToolBar1->addAction("Открыть", this, &TfmChart::btnOpenClick);
  open->setObjectName("btnOpen");
  open->setToolTip("Открыть файл...");
  auto* save = ToolBar1->addAction("Сохранить", this, &TfmChart::Save1Click);
  save->setObjectName("btnSave");
  save->setToolTip("Сохранить файл...");
  auto* close = ToolBar1->addAction("Закрыть график", this, &TfmChart::Close1Click);
  close->setObjectName("btnClose");
  close->setToolTip("Закрыть график...");
  auto* exit = ToolBar1->addAction("Закрыть", this, &TfmChart::Exit1Click);
  exit->setObjectName("btnExit");
  exit->setToolTip("Закрыть");
  ToolBar1->addSeparator();
  ToolButton15 = ToolBar1->addAction("Спектр", this, &TfmChart::mnSpectrClick);
  ToolButton15->setObjectName("ToolButton15");
  ToolButton15->setToolTip("Преобразование Фурье");
  ToolButton16 = ToolBar1->addAction("Обр. спектр", this, &TfmChart::N18Click);
  ToolButton16->setObjectName("ToolButton16");
  ToolButton16->setToolTip("Обратное преобразование Фурье");
  ToolBar1->addSeparator();
  cbFixLine = new QCheckBox("Фикс. линий", this);
  cbFixLine->setObjectName("cbFixLine");
  ToolBar1->addWidget(cbFixLine);
  ToolBar1->addSeparator();
  ToolBar1->addWidget(new QLabel(" ПХ, нс ", this));
  Edit2 = new QLineEdit("0.0", this);
  Edit2->setObjectName("Edit2");
  Edit2->setMaximumWidth(70);
  connect(Edit2, &QLineEdit::textChanged, this, &TfmChart::Edit2Change);
  ToolBar1->addWidget(Edit2);
  SpeedButton4 = new QToolButton(this);
  SpeedButton4->setObjectName("SpeedButton4");
  SpeedButton4->setText("Измерить");
  SpeedButton4->setCheckable(true);
  ToolBar1->addWidget(SpeedButton4);
}

void TfmChart::BuildStatusBar() {
  StatusBar1 = statusBar();
  StatusBar1->setObjectName("StatusBar1");
  paColor = new QFrame(this);
  paColor->setObjectName("paColor");
  paColor->setFixedSize(18, 14);
  paColor->setFrameShape(QFrame::Box);
  paColor->setAutoFillBackground(true);
  paColor->setToolTip("Цвет активного графика");
  Label1 = new QLabel(this);
  Label1->setObjectName("Label1");
  Label1->setToolTip("Выбрать активный график");
  Label1->installEventFilter(this);
  lbCoopd = new QLabel(this);
  lbCoopd->setObjectName("lbCoopd");
  lbProgress = new QLabel(this);
  lbProgress->setObjectName("lbProgress");
  StatusBar1->addWidget(paColor);
  StatusBar1->addWidget(Label1);
  StatusBar1->addWidget(lbCoopd, 1);
  lbHint = new QLabel(this);
  lbHint->setObjectName("lbHint");
  StatusBar1->addWidget(lbHint);
  StatusBar1->addPermanentWidget(lbProgress);
  // The stop button stands beside the progress, where a narrow window cannot hide it.
  btnStop = new QToolButton(this);
  btnStop->setObjectName("btnStop");
  btnStop->setText("СТОП");
  btnStop->setToolTip(kStopFourier);
  btnStop->setStyleSheet("QToolButton { color: red; font-weight: bold; }");
  connect(btnStop, &QToolButton::clicked, this, &TfmChart::btnStopClick);
  StatusBar1->addPermanentWidget(btnStop);
  btnStop->hide();
}

// ---------------------------------------------------------------- drawing

QCPAbstractPlottable* TfmChart::MakePlottable(int index) {
  const ChartSeries& s = model_.Series[std::size_t(index)];
  const std::size_t n = s.Count();
  QCPAbstractPlottable* p = nullptr;
  if (s.XNonDecreasing()) {
    // A function of X: the graph keeps X sorted, which it already is.
    auto* g = new QCPGraph(Chart->xAxis, Chart->yAxis);
    QVector<QCPGraphData> d(static_cast<qsizetype>(n));
    double key = 0;
    for (double x : s.X)
      if (std::isfinite(x)) { key = x; break; }
    for (std::size_t i = 0; i < n; ++i) {
      const double x = s.X[i];
      const bool okX = std::isfinite(x);
      if (okX) key = x;
      d[qsizetype(i)] = QCPGraphData(key, okX ? Drawn(s.Y[i]) : kNaN);
    }
    g->data()->set(d, true);
    p = g;
  } else {
    // X goes back somewhere: a parametric curve keeps the order of the points.
    auto* c = new QCPCurve(Chart->xAxis, Chart->yAxis);
    QVector<QCPCurveData> d(static_cast<qsizetype>(n));
    for (std::size_t i = 0; i < n; ++i) {
      const bool ok = std::isfinite(s.X[i]) && std::isfinite(s.Y[i]);
      d[qsizetype(i)] = QCPCurveData(double(i), ok ? s.X[i] : kNaN, ok ? s.Y[i] : kNaN);
    }
    c->data()->set(d, true);
    p = c;
  }
  StyleOf(index, p);
  return p;
}

void TfmChart::StyleOf(int index, QCPAbstractPlottable* p) {
  const ChartSeries& s = model_.Series[std::size_t(index)];
  QPen pen(ToQColor(s.Color));
  pen.setWidth(s.PenWidth < 1 ? 1 : s.PenWidth);
  pen.setStyle(ToQt(s.Style));
  p->setPen(pen);
  p->setName(Q(model_.LegendText(index)));
}

void TfmChart::ClearLegend() {
  // QCustomPlot re-lays out the whole legend after each item it removes, and finds an
  // item by walking all of them: thousands of graphs took minutes. Every cell is taken in
  // one pass from the front and the grid tidied once.
  QCPLegend* legend = Chart->legend;
  for (int i = 0, n = legend->elementCount(); i < n; ++i) delete legend->takeAt(i);
  legend->simplify();
}

void TfmChart::SyncLegend() {
  ClearLegend();
  auto* legend = static_cast<ChartLegend*>(Chart->legend);
  std::vector<QCPAbstractLegendItem*> items;
  if (Legend1->isChecked()) {
    // Made on the legend box's layer, which holds nothing else, so the move to the items'
    // layer is no search.
    Chart->setCurrentLayer("legendbox");
    for (std::size_t i = 0; i < plots_.size(); ++i)
      if (model_.Series[i].ShowInLegend && model_.OnAxes(int(i))) items.push_back(new QCPPlottableLegendItem(legend, plots_[i]));
    Chart->setCurrentLayer("main");
  }
  legend->SetItems(items);
}

void TfmChart::ClearPlots() {
  ClearLegend();
  // From the front: each plottable is then first in every list that holds it.
  while (Chart->plottableCount() > 0) Chart->removePlottable(0);
  plots_.clear();
}

void TfmChart::SyncTexts() {
  Chart->xAxis->setLabel(Q(model_.Texts.BottomAxisTitle));
  Chart->xAxis2->setLabel(Q(model_.Texts.TopAxisTitle));
  Chart->yAxis2->setLabel(Q(model_.Texts.RightAxisTitle));
  title_->setText(Joined(model_.Texts.Title));
  foot_->setText(Joined(model_.Texts.Foot));
  yCaption_->setText(Q(model_.Texts.YAxisCaption));
  const int h = QFontMetrics(yCaption_->font()).height() +
                QFontMetrics(Chart->yAxis->tickLabelFont()).height() / 2;
  // Room above the plot for the Y-axis title, and on the right for the last X label.
  Chart->axisRect()->setMinimumMargins(QMargins(0, model_.Texts.YAxisCaption.empty() ? 0 : h + 6, 12, 0));
}

void TfmChart::RefreshChart() {
  ClearPlots();
  plots_.reserve(model_.Series.size());
  Chart->setCurrentLayer("graphs");
  for (int i = 0; i < model_.SeriesCount(); ++i) {
    plots_.push_back(MakePlottable(i));
    // Out of the plot's own child list at once, while it is still near its end.
    plots_.back()->setParent(plotHolder_);
    // Kept, not drawn, on axes of another kind.
    plots_.back()->setVisible(model_.OnAxes(i));
  }
  Chart->setCurrentLayer("main");
  // The commands on the active graph act on a curve the user sees.
  if (model_.ActiveGraph >= 0 && !model_.OnAxes(model_.ActiveGraph))
    for (int i = model_.SeriesCount() - 1; i >= 0; --i)
      if (model_.OnAxes(i)) {
        model_.SetActiveGraph(i);
        break;
      }
  SyncLegend();
  SyncTexts();
  AutoRange();
  ShowActiveGraph();
  UpdateMenus();
  ArrangeLegend();
  Chart->replot(QCustomPlot::rpQueuedReplot);
}

void TfmChart::AutoRange() {
  if (zoomed_) return;
  settingRange_ = true;
  if (plots_.empty()) {
    Chart->xAxis->setRange(0, 1);
    Chart->yAxis->setRange(0, 1);
  } else {
    Chart->rescaleAxes(true);
  }
  settingRange_ = false;
}

void TfmChart::BitBtn3Click() {
  zoomed_ = false;
  AutoRange();
  Chart->replot(QCustomPlot::rpQueuedReplot);
}

void TfmChart::BeforeReplot() {
  // The left axis' label step follows the range and the room for labels on every drawing.
  const QCPRange r = Chart->yAxis->range();
  const int fontPx = QFontInfo(Chart->yAxis->tickLabelFont()).pixelSize();
  yTicker_->fixedStep = LeftAxisStep(r.lower, r.upper, Chart->axisRect()->height(), fontPx);
  UpdateMeasurement();
}

void TfmChart::ShowActiveGraph() {
  const int a = model_.ActiveGraph;
  if (a < 0 || a >= model_.SeriesCount()) {
    Label1->clear();
    return;
  }
  const QColor c = ToQColor(model_.Series[std::size_t(a)].Color);
  Label1->setText(Q(model_.ActiveGraphText()));
  QPalette lp = Label1->palette();
  lp.setColor(QPalette::WindowText, c);
  Label1->setPalette(lp);
  QPalette pp = paColor->palette();
  pp.setColor(QPalette::Window, c);
  paColor->setPalette(pp);
}

void TfmChart::UpdateMenus() {
  // The one place that sets what needs a curve: the menus and the bars' buttons together.
  // On an empty chart only opening a file (or making a new curve) and closing the window act.
  const bool has = model_.HasSeries();
  Edit1->setEnabled(has);
  mnVid->setEnabled(has);
  for (QAction* a : {Save1, Close1, DeleteAll1, SaveaBitmap1, SaveaMetafile1, CopytoClipboardBMP1,
                     CopytoClipboard1, Print1})
    a->setEnabled(has);
  for (QToolBar* bar : {ToolBar1, ToolBar2})
    for (QAction* a : bar->actions())
      if (!a->isSeparator() && !bar->widgetForAction(a)->inherits("QLabel") && a->objectName() != "btnOpen" &&
          a->objectName() != "btnExit" && bar->widgetForAction(a) != cbFixLine && bar->widgetForAction(a) != Edit2)
        a->setEnabled(has);
  for (QWidget* w : std::initializer_list<QWidget*>{SpeedButton4, btnEdit}) w->setEnabled(has);
  const AxisKind shown = model_.ShownKind();
  const std::pair<QAction*, AxisKind> kinds[] = {
      {mnKindTime, AxisKind::Time}, {mnKindFrequency, AxisKind::Frequency}, {mnKindImpedance, AxisKind::Impedance}};
  for (const auto& [a, k] : kinds) {
    bool any = false;
    for (const ChartSeries& s : model_.Series) any = any || model_.KindOf(s) == k;
    a->setEnabled(any);
    a->setChecked(k == shown);
  }
  // An empty plot says how to fill it; the status bar, where curves of other axes are.
  if (emptyHint_->visible() == has) {
    emptyHint_->setVisible(!has);
    Chart->replot(QCustomPlot::rpQueuedReplot);
  }
  const int off = model_.OffAxesCount();
  lbHint->setText(off > 0 ? QString("Графиков других осей: %1 («Вид» → «Графики»)").arg(off) : QString());
}

void TfmChart::ArrangeLegend() {
  QCPLayoutGrid* L = Chart->plotLayout();
  QCPAxisRect* ar = Chart->axisRect();
  QCPLegend* legend = Chart->legend;
  for (QCPLayoutElement* e : std::initializer_list<QCPLayoutElement*>{title_, ar, rightHolder_, bottomHolder_, foot_})
    if (e->layout()) e->layout()->take(e);
  if (legend->layout()) legend->layout()->take(legend);
  L->simplify();

  const bool legendOn = Legend1->isChecked();
  legend->setVisible(legendOn);
  int row = 0;
  const bool hasTitle = !AllBlank(model_.Texts.Title);
  title_->setVisible(hasTitle);
  if (hasTitle) L->addElement(row++, 0, title_);
  L->addElement(row, 0, ar);
  L->setRowStretchFactor(row, 1);
  if (legendRight_) {
    rightHolder_->addElement(0, 0, legend);
    L->addElement(row, 1, rightHolder_);
    L->setColumnStretchFactors({1, 0.001});
  }
  ++row;
  if (!legendRight_) {
    bottomHolder_->addElement(0, 0, legend);
    L->addElement(row, 0, bottomHolder_);
    L->setRowStretchFactor(row, 0.001);
    ++row;
  }
  // The footer shows only together with the legend.
  const bool footOn = legendOn && !AllBlank(model_.Texts.Foot);
  foot_->setVisible(footOn);
  if (footOn) {
    L->addElement(row, 0, foot_);
    L->setRowStretchFactor(row, 0.001);
  }
  if (hasTitle) L->setRowStretchFactor(0, 0.001);
  Chart->replot(QCustomPlot::rpQueuedReplot);
}

void TfmChart::UpdateCaption() {
  setWindowTitle(Q(ChartCaption(Chart->width(), Chart->height())));
}

void TfmChart::ApplyFonts() {
  title_->setFont(FontOf(settings_.TitleFont));
  foot_->setFont(FontOf(settings_.FootFont));
  yCaption_->setFont(FontOf(settings_.LeftAxisFont));
  Chart->yAxis->setTickLabelFont(FontOf(settings_.LeftAxisLabelsFont));
  Chart->xAxis->setLabelFont(FontOf(settings_.BottomAxisFont));
  Chart->xAxis->setTickLabelFont(FontOf(settings_.BottomAxisLabelsFont));
  const QFont lf = FontOf(settings_.BottomLegendFont);
  Chart->legend->setFont(lf);
  for (int i = 0; i < Chart->legend->itemCount(); ++i) Chart->legend->item(i)->setFont(lf);
}

void TfmChart::ReadFontsBack() {
  settings_.TitleFont = FromQFont(title_->font());
  settings_.FootFont = FromQFont(foot_->font());
  settings_.LeftAxisFont = FromQFont(yCaption_->font());
  settings_.LeftAxisLabelsFont = FromQFont(Chart->yAxis->tickLabelFont());
  settings_.BottomAxisFont = FromQFont(Chart->xAxis->labelFont());
  settings_.BottomAxisLabelsFont = FromQFont(Chart->xAxis->tickLabelFont());
  settings_.BottomLegendFont = FromQFont(Chart->legend->font());
}

// ---------------------------------------------------------------- live feed of a run

LiveFeed::Handle TfmChart::AddRunSeries(const std::string& title) {
  const int i = model_.AddRunSeries(title);
  // The recorder's time axis; set here because its thread may not touch the chart.
  model_.SetAxisTitles("t, нс", model_.Texts.YAxisCaption);
  const LiveFeed::Handle h = feed_.Open(model_.Series[std::size_t(i)].id);
  RefreshChart();
  return h;
}

void TfmChart::DrainLiveFeed() {
  // A long command reads the series in place: points wait in the buffers until it ends.
  if (LongCommandRunning() || feed_.Pending() == 0) return;
  const auto delivered = feed_.Drain(model_);
  if (delivered.empty()) return;
  if (plots_.size() != model_.Series.size()) {
    RefreshChart();
    return;
  }
  for (const auto& d : delivered) {
    const ChartSeries& s = model_.Series[std::size_t(d.series)];
    QCPAbstractPlottable* p = plots_[std::size_t(d.series)];
    if (auto* g = qobject_cast<QCPGraph*>(p)) {
      double last = g->data()->isEmpty() ? -std::numeric_limits<double>::infinity()
                                         : (g->data()->constEnd() - 1)->key;
      QVector<double> keys, values;
      keys.reserve(qsizetype(s.Count() - d.first));
      values.reserve(keys.capacity());
      bool sorted = true;
      for (std::size_t i = d.first; i < s.Count(); ++i) {
        const double x = s.X[i];
        if (std::isfinite(x)) {
          if (x < last) { sorted = false; break; }
          last = x;
          keys << x;
          values << Drawn(s.Y[i]);
        } else if (std::isfinite(last)) {
          keys << last;
          values << kNaN;
        }
      }
      if (!sorted) {
        // The curve turned back in X: it is drawn as a parametric curve from now on.
        RefreshChart();
        return;
      }
      g->addData(keys, values, true);
    } else if (auto* c = qobject_cast<QCPCurve*>(p)) {
      for (std::size_t i = d.first; i < s.Count(); ++i) {
        const bool ok = std::isfinite(s.X[i]) && std::isfinite(s.Y[i]);
        c->addData(double(i), ok ? s.X[i] : kNaN, ok ? s.Y[i] : kNaN);
      }
    }
  }
  AutoRange();
  ShowActiveGraph();
  Chart->replot(QCustomPlot::rpQueuedReplot);
}

// ---------------------------------------------------------------- files

bool TfmChart::ConfirmManyChannels(const std::string& path, int channels) {
  return prompter_->question(ManyChannelsQuestion(path, channels), PromptButton::Yes | PromptButton::No) ==
         PromptButton::Yes;
}

CurveLoadResult TfmChart::LoadGraphFile(const QString& fileName) {
  const std::string path = fileName.toStdString();
  const CurveLoadResult r =
      rv::LoadGraphFile(model_, path, [&](int channels) { return ConfirmManyChannels(path, channels); });
  RefreshChart();
  if (!r.ok) prompter_->error(r.message);
  if (!r.note.empty()) prompter_->warning(r.note);
  return r;
}

void TfmChart::OpenCommandLineGraph(const QStringList& args) {
  if (args.isEmpty()) return;
  const QString f = args.first();
  const QFileInfo fi(f);
  if (IsCommandLineGraph(f.toStdString(), fi.exists() && fi.isFile())) LoadGraphFile(fi.absoluteFilePath());
}

void TfmChart::WriteIniDirOf(const QString& file) {
  std::string dir = QFileInfo(file).absolutePath().toStdString();
  if (dir.empty() || dir.back() != '/') dir += '/';
  settings_.IniDir = dir;
  WriteIniDir(opt_.settingsPath, dir);
  folderChosen_ = true;
}

void TfmChart::OpenFiles(const QStringList& files) {
  if (files.isEmpty()) return;
  const QFileInfo first(files.first());
  OpenD->setDirectory(first.absolutePath());
  SaveD->setDirectory(first.absolutePath());
  SaveD->selectFile(first.fileName());
  WriteIniDirOf(first.absoluteFilePath());
  std::string failure;
  std::vector<std::string> notes;  // said once the chart shows what was read
  for (const QString& f : files) {
    const std::string path = f.toStdString();
    const CurveLoadResult r =
        rv::LoadGraphFile(model_, path, [&](int channels) { return ConfirmManyChannels(path, channels); });
    if (!r.note.empty()) notes.push_back(r.note);
    if (r.ok) continue;
    // A file that could not be opened or holds no point is skipped; a malformed one ends
    // the command.
    if (r.fileOpened && !r.noPoints) {
      failure = r.message;
      break;
    }
    prompter_->error(r.message);
  }
  if (model_.HasSeries()) model_.ActiveGraph = model_.SeriesCount() - 1;
  for (auto& s : model_.Series) s.ShowInLegend = Legend1->isChecked();
  RefreshChart();
  for (const std::string& n : notes) prompter_->warning(n);
  if (!failure.empty()) prompter_->error(failure);
}

bool TfmChart::SaveGraphFile(const QString& fileName, int seriesIndex) {
  std::string err;
  if (rv::SaveGraphFile(model_, seriesIndex, fileName.toStdString(), err)) return true;
  prompter_->error(err);
  return false;
}

bool TfmChart::LoadTempGraph(const QString& fileName, const QString& displayName) {
  const CurveLoadResult r = rv::LoadTempGraph(model_, fileName.toStdString(), displayName.toStdString());
  RefreshChart();
  if (!r.ok) prompter_->error(r.message);
  if (!r.note.empty()) prompter_->warning(r.note);
  return r.ok;
}

bool TfmChart::LoadGeneratedCurve(const std::vector<double>& x, const std::vector<double>& y,
                                  const std::string& title, const std::string& xTitle,
                                  const std::string& yTitle) {
  QTemporaryFile tmp(QDir::tempPath() + "/Streem-XXXXXX.txt");
  if (!tmp.open()) {
    prompter_->error("Не удалось создать временный файл Streem.txt");
    return false;
  }
  tmp.close();  // the name stays reserved until tmp is destroyed
  std::string err;
  if (!WriteTempCurve(tmp.fileName().toStdString(), x, y, title, xTitle, yTitle, err)) {
    prompter_->error(err);
    return false;
  }
  return LoadTempGraph(tmp.fileName(), "Streem.txt");
}

// ---------------------------------------------------------------- commands

void TfmChart::btnOpenClick() {
  if (LongCommandRunning()) return;
  if (!folderChosen_ && resultsFolder_) {
    const QString dir = Q(resultsFolder_());
    if (!dir.isEmpty() && QFileInfo(dir).isDir()) OpenD->setDirectory(dir);
  }
  if (OpenD->exec() != QDialog::Accepted) return;
  OpenFiles(OpenD->selectedFiles());
}

void TfmChart::Save1Click() {
  if (LongCommandRunning() || model_.UserGraphCount() == 0) return;
  fmSelectGr->setWindowTitle("Сохранить график");
  if (!fmSelectGr->Execute(model_)) return;
  for (int idx : fmSelectGr->SelectedSeries()) {
    if (idx < 0 || idx >= model_.SeriesCount()) continue;
    SaveD->selectFile(Q(model_.FileNames[std::size_t(idx)]));
    QString name;
    for (;;) {
      if (SaveD->exec() != QDialog::Accepted) { name.clear(); break; }
      name = SaveD->selectedFiles().value(0);
      if (name.isEmpty()) break;
      if (QFileInfo::exists(name) &&
          prompter_->question("Файл " + name.toStdString() + " уже есть. Переписать?",
                              PromptButton::Yes | PromptButton::No) != PromptButton::Yes) {
        SaveD->selectFile(name);
        continue;
      }
      break;
    }
    if (name.isEmpty()) continue;
    SaveD->setDirectory(QFileInfo(name).absolutePath());
    if (!SaveGraphFile(name, idx)) return;
    model_.FileNames[std::size_t(idx)] = QFileInfo(name).absoluteFilePath().toStdString();
    WriteIniDirOf(name);
  }
}

void TfmChart::Close1Click() {
  if (LongCommandRunning() || model_.UserGraphCount() == 0) return;
  fmSelectGr->setWindowTitle("Закрыть график");
  if (!fmSelectGr->Execute(model_)) return;
  model_.CloseGraphs(fmSelectGr->SelectedSeries());
  RefreshChart();
}

void TfmChart::DeleteAll1Click() {
  if (LongCommandRunning()) return;
  model_.DeleteAll();
  RefreshChart();
  Label1->clear();
  BitBtn3Click();
}

void TfmChart::Exit1Click() { close(); }

void TfmChart::mnSelectActiveClick() {
  if (LongCommandRunning() || model_.UserGraphCount() == 0) return;
  fmSelectGr->setWindowTitle("Сделать активным график");
  if (!fmSelectGr->Execute(model_)) return;
  const std::vector<int> sel = fmSelectGr->SelectedSeries();
  if (!sel.empty()) model_.SetActiveGraph(sel.back());
  ShowActiveGraph();
  ArrangeLegend();
}

void TfmChart::btnStopClick() {
  btnStop->hide();
  StopRequested = true;
}

void TfmChart::Edit2Change() {
  if (!SpeedButton4->isChecked()) return;
  SpeedButton4->setChecked(false);
  Chart->replot(QCustomPlot::rpQueuedReplot);
}

void TfmChart::N26Click() { ArrangeLegend(); }

void TfmChart::mnFDTDClick() {
  if (showMainWindow_) showMainWindow_();
}

void TfmChart::Legend1Click() {
  for (auto& s : model_.Series) s.ShowInLegend = Legend1->isChecked();
  SyncLegend();
  ArrangeLegend();
}

// ---------------------------------------------------------------- long commands

void TfmChart::BeginLongCommand(const QString& stopHint) {
  if (longDepth_++ > 0) return;
  btnStop->setToolTip(stopHint);
  StopRequested = false;
  lastPercent_ = -1;
  EnableCommands(false);
  btnStop->show();
}

void TfmChart::EndLongCommand() {
  if (longDepth_ == 0 || --longDepth_ > 0) return;
  btnStop->hide();
  EnableCommands(true);
  lbProgress->clear();
  UpdateMenus();
  DrainLiveFeed();
}

void TfmChart::EnableCommands(bool on) {
  menuBar()->setEnabled(on);
  for (QToolBar* bar : {ToolBar1, ToolBar2})
    for (QAction* a : bar->actions()) a->setEnabled(on);
  cbFixLine->setEnabled(on);
  Edit2->setEnabled(on);
  Chart->setEnabled(on);
}

void TfmChart::ShowProgress(int percent) {
  if (percent == lastPercent_) return;
  lastPercent_ = percent;
  lbProgress->setText(progressCaption_ + QString::number(percent) + " %");
}

void TfmChart::RunOffGuiThread(const std::function<void(ILongTask&)>& job) {
  struct Task : ILongTask {
    TfmChart* w = nullptr;
    void Progress(int p) override {
      QMetaObject::invokeMethod(w, [w = w, p] { w->ShowProgress(p); }, Qt::QueuedConnection);
    }
    bool StopRequested() const override { return w->StopRequested.load(std::memory_order_relaxed); }
  } task;
  task.w = this;
  StopRequested = false;
  lastPercent_ = -1;
  btnStop->show();
  QEventLoop loop;
  std::exception_ptr failure;
  std::thread worker([&] {
    try {
      job(task);
    } catch (...) {
      failure = std::current_exception();
    }
    // Posted after every progress call, so the loop ends once they have been shown.
    QMetaObject::invokeMethod(&loop, "quit", Qt::QueuedConnection);
  });
  loop.exec();
  worker.join();
  btnStop->hide();
  if (failure) std::rethrow_exception(failure);
}

// ---------------------------------------------------------------- window events

void TfmChart::closeEvent(QCloseEvent* e) {
  if (LongCommandRunning()) {
    e->ignore();
    return;
  }
  ReadFontsBack();
  settings_.Left = x();
  settings_.Top = y();
  settings_.Width = width();
  settings_.Height = height();
  WriteChartSettings(opt_.settingsPath, settings_);
  e->accept();  // the window is only hidden; its curves stay
}

void TfmChart::resizeEvent(QResizeEvent* e) {
  QMainWindow::resizeEvent(e);
  ArrangeLegend();
}

void TfmChart::showEvent(QShowEvent* e) {
  QMainWindow::showEvent(e);
  UpdateMenus();
  ArrangeLegend();
  UpdateCaption();
}

void TfmChart::changeEvent(QEvent* e) {
  QMainWindow::changeEvent(e);
  if (e->type() != QEvent::WindowStateChange) return;
  // Minimising the chart minimises the whole program, and restoring it brings the rest back.
  if (isMinimized()) {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (w == this || !w->isVisible() || w->isMinimized()) continue;
      if (w->windowType() != Qt::Window && w->windowType() != Qt::Dialog) continue;
      minimizedWithUs_.push_back(w);
      w->showMinimized();
    }
  } else if (!minimizedWithUs_.empty()) {
    const auto list = std::move(minimizedWithUs_);
    minimizedWithUs_.clear();
    for (QWidget* w : QApplication::topLevelWidgets())
      if (std::find(list.begin(), list.end(), w) != list.end()) w->showNormal();
  }
}

bool TfmChart::eventFilter(QObject* o, QEvent* e) {
  // The caption gives the plot's own size, which a tool bar shown or hidden changes too.
  if (o == Chart && e->type() == QEvent::Resize) UpdateCaption();
  if (o == Label1 && e->type() == QEvent::MouseButtonPress) {
    mnSelectActiveClick();
    return true;
  }
  if (o == paColor && e->type() == QEvent::MouseButtonPress) {
    paColorClick();
    return true;
  }
  return QMainWindow::eventFilter(o, e);
}

}  // namespace rv
