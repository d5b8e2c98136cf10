// The chart window's appearance commands (titles, fonts, legend, lines, colours, zoom), its
// pictures (BMP, SVG, the clipboard) and printing.
#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QColorDialog>
#include <QFileDialog>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPainter>
#include <QPicture>
#include <QPrintDialog>
#include <QPrinter>
#include <QSvgGenerator>
#include <QToolBar>
#include <QToolButton>

#include <cmath>

#include <qcustomplot.h>

#include "charts/chartview.h"
#include "charts/ui/TfmAboutChart.h"
#include "charts/ui/TfmChart.h"
#include "charts/ui/dialogfields.h"
#include "charts/ui/TfmEditComments.h"
#include "charts/ui/TfmLegend.h"
#include "charts/ui/TfmLines.h"
#include "charts/ui/TfmPrinOptions.h"
#include "charts/ui/TfmShowTextGr.h"
#include "charts/ui/chartcolor.h"
#include "platform/filedialog.h"
#include "platform/prompter.h"

namespace rv {

namespace {

QFileDialog* PictureDialog(QWidget* parent, const char* name, const char* title, const char* suffix,
                           const char* filter) {
  QFileDialog* d = platform::NewFileDialog(parent, QString::fromUtf8(title));
  d->setObjectName(name);
  d->setAcceptMode(QFileDialog::AcceptSave);
  d->setFileMode(QFileDialog::AnyFile);
  d->setDefaultSuffix(suffix);
  d->setNameFilters({QString::fromUtf8(filter), "*.* (*)"});
  return d;
}

// Runs the save dialog; on OK its folder becomes the folder it opens in next time.
QString AskPictureName(QFileDialog* d) {
  if (d->exec() != QDialog::Accepted || d->selectedFiles().isEmpty()) return {};
  const QString name = d->selectedFiles().first();
  d->setDirectory(QFileInfo(name).absolutePath());
  return name;
}

// Hourglass cursor for a scope.
struct WaitCursor {
  WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~WaitCursor() { QApplication::restoreOverrideCursor(); }
};

// An axis' range through a linear change: a logarithmic axis is changed in its exponents.
void ChangeRange(QCPAxis* a, AxisSpan (*f)(AxisSpan, double), double factor) {
  const QCPRange r = a->range();
  const bool lg = a->scaleType() == QCPAxis::stLogarithmic && r.lower > 0 && r.upper > 0;
  AxisSpan s = lg ? AxisSpan{std::log10(r.lower), std::log10(r.upper)} : AxisSpan{r.lower, r.upper};
  s = f(s, factor);
  a->setRange(lg ? std::pow(10.0, s.Min) : s.Min, lg ? std::pow(10.0, s.Max) : s.Max);
}

}  // namespace

void TfmChart::BuildViewCommands() {
  connect(File1, &QMenu::aboutToShow, this, &TfmChart::File1Click);
  QAction* before = Exit1;
  auto fileItem = [&](const char* caption, void (TfmChart::*slot)(), const char* name) {
    QAction* a = new QAction(QString::fromUtf8(caption), this);
    connect(a, &QAction::triggered, this, slot);
    File1->insertAction(before, a);
    return Named(a, name);
  };
  SaveaBitmap1 = fileItem("Сохранить как BMP...", &TfmChart::SaveaBitmap1Click, "SaveaBitmap1");
  SaveaMetafile1 = fileItem("Сохранить как SVG..", &TfmChart::SaveaMetafile1Click, "SaveaMetafile1");
  CopytoClipboardBMP1 = fileItem("Копировать в буфер как BMP", &TfmChart::CopytoClipboardBMP1Click, "CopytoClipboardBMP1");
  CopytoClipboardBMP1->setShortcut(QKeySequence("Ctrl+B"));
  CopytoClipboard1 = fileItem("Копировать в буфер как SVG", &TfmChart::CopytoClipboard1Click, "CopytoClipboard1");
  CopytoClipboard1->setShortcut(QKeySequence("Ctrl+W"));
  File1->insertSeparator(before);
  PrintOption1 = fileItem("Параметры печати..", &TfmChart::PrintOption1Click, "PrintOption1");
  Print1 = fileItem("Печатать", &TfmChart::Print1Click, "Print1");
  File1->insertSeparator(before);
  // The shortcuts work with the menu closed.
  addAction(CopytoClipboardBMP1);
  addAction(CopytoClipboard1);

  mnVid->addSeparator();
  Titles1 = Named(mnVid->addAction("Заголовки и шрифты..", this, &TfmChart::Titles1Click), "Titles1");
  Legengs1 = Named(mnVid->addAction("Подписи легенд графиков..", this, &TfmChart::Legengs1Click), "Legengs1");
  Lines1 = Named(mnVid->addAction("Линии (толщина и цвет)..", this, &TfmChart::Lines1Click), "Lines1");
  Fon1 = Named(mnVid->addAction("Цвет фона...", this, &TfmChart::Fon1Click), "Fon1");
  N4 = Named(mnVid->addAction("Текущий график на весь экран", this, &TfmChart::N4Click), "N4");
  N35 = Named(mnVid->addAction("Исходный текст", this, &TfmChart::N35Click), "N35");
  QMenu* kinds = mnVid->addMenu("Графики");
  kinds->setObjectName("mnKinds");
  mnKindTime = Named(kinds->addAction("Сигналы (t)", this, [this] { ShowKindClick(AxisKind::Time); }), "mnKindTime");
  mnKindFrequency =
      Named(kinds->addAction("Спектры (f)", this, [this] { ShowKindClick(AxisKind::Frequency); }), "mnKindFrequency");
  mnKindImpedance = Named(kinds->addAction("Сопротивление (Z, Ом)", this, [this] { ShowKindClick(AxisKind::Impedance); }),
                          "mnKindImpedance");
  // One kind at a time, or none while the axes are titled otherwise.
  auto* kindGroup = new QActionGroup(kinds);
  kindGroup->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
  for (QAction* a : {mnKindTime, mnKindFrequency, mnKindImpedance}) {
    a->setCheckable(true);
    kindGroup->addAction(a);
  }

  QMenu* help = menuBar()->addMenu("?");
  About1 = Named(help->addAction("О программе", this, &TfmChart::About1Click), "About1");

  ToolBar2->addSeparator();
  BitBtn1 = Named(ToolBar2->addAction("+", this, &TfmChart::BitBtn1Click), "BitBtn1", "Увеличить");
  BitBtn2 = Named(ToolBar2->addAction("−", this, &TfmChart::BitBtn2Click), "BitBtn2", "Уменьшить");
  BitBtn3 = Named(ToolBar2->addAction("All", this, &TfmChart::BitBtn3Click), "BitBtn3", "Показать все");
  SpeedButton5 = Named(ToolBar2->addAction("↕", this, &TfmChart::SpeedButton5Click), "SpeedButton5",
                       "Уменьшить по вертикали");
  btnN4 = Named(ToolBar2->addAction("[ ]", this, &TfmChart::N4Click), "btnN4", "Текущий график на весь экран");
  btnLegend = Named(ToolBar2->addAction("Легенда", this, [this] {
                      Legend1->toggle();
                      Legend1Click();
                    }),
                    "btnLegend", "Показать подписи графиков");
  SpeedButton9 = Named(ToolBar2->addAction("⇆", this, &TfmChart::SpeedButton9Click), "SpeedButton9",
                       "Переключатель положения легенд");
  btnEdit = new QToolButton(this);
  btnEdit->setObjectName("btnEdit");
  btnEdit->setText("Ред.");
  btnEdit->setCheckable(true);
  btnEdit->setToolTip("Редактировать активный график|При нажатой кнопке мышью можно редактировать активный график");
  ToolBar2->addWidget(btnEdit);
  paColor->installEventFilter(this);

  ColorD = new QColorDialog(this);
  ColorD->setObjectName("ColorD");
  ColorD->setOption(QColorDialog::DontUseNativeDialog);
  SaveBMP = PictureDialog(this, "SaveBMP", "Сохранение графика в виде рисунка BMP", "bmp", "*.bmp (*.bmp)");
  SaveWMF = PictureDialog(this, "SaveWMF", "Сохранение графика в виде рисунка SVG", "svg", "*.svg (*.svg)");

  ChartLook look;
  look.font = [this](ChartElement e) { return ElementFont(int(e)); };
  look.setFont = [this](ChartElement e, const QFont& f) { SetElementFont(int(e), f); };
  look.repaint = [this] {
    SyncTexts();
    ArrangeLegend();
  };
  look.legendRight = [this] { return legendRight_; };
  look.alignLegend = [this](bool right) { SetLegendRight(right); };
  fmEditComments = new TfmEditComments(look, this);
  fmLegend = new TfmLegend(this);
  fmLines = new TfmLines(this);
  fmShowTextGr = new TfmShowTextGr(*prompter_, this);
  fmPrinOptions = new TfmPrinOptions(this);
  fmAboutChart = new TfmAboutChart(this);
  ApplyBackColor();
}

QFont TfmChart::ElementFont(int element) const {
  switch (ChartElement(element)) {
    case ChartElement::LeftLabels: return Chart->yAxis->tickLabelFont();
    case ChartElement::BottomLabels: return Chart->xAxis->tickLabelFont();
    case ChartElement::RightLabels: return Chart->yAxis2->tickLabelFont();
    case ChartElement::TopLabels: return Chart->xAxis2->tickLabelFont();
    case ChartElement::Foot: return foot_->font();
    case ChartElement::Title: return title_->font();
    case ChartElement::LeftTitle: return yCaption_->font();
    case ChartElement::TopTitle: return Chart->xAxis2->labelFont();
    case ChartElement::BottomTitle: return Chart->xAxis->labelFont();
    case ChartElement::RightTitle: return Chart->yAxis2->labelFont();
    case ChartElement::Legend: return Chart->legend->font();
  }
  return font();
}

void TfmChart::SetElementFont(int element, const QFont& f) {
  switch (ChartElement(element)) {
    case ChartElement::LeftLabels: Chart->yAxis->setTickLabelFont(f); break;
    case ChartElement::BottomLabels: Chart->xAxis->setTickLabelFont(f); break;
    case ChartElement::RightLabels: Chart->yAxis2->setTickLabelFont(f); break;
    case ChartElement::TopLabels: Chart->xAxis2->setTickLabelFont(f); break;
    case ChartElement::Foot: foot_->setFont(f); break;
    case ChartElement::Title: title_->setFont(f); break;
    case ChartElement::LeftTitle: yCaption_->setFont(f); break;
    case ChartElement::TopTitle: Chart->xAxis2->setLabelFont(f); break;
    case ChartElement::BottomTitle: Chart->xAxis->setLabelFont(f); break;
    case ChartElement::RightTitle: Chart->yAxis2->setLabelFont(f); break;
    case ChartElement::Legend:
      Chart->legend->setFont(f);
      for (int i = 0; i < Chart->legend->itemCount(); ++i) Chart->legend->item(i)->setFont(f);
      break;
  }
}

void TfmChart::SetLegendRight(bool right) {
  legendRight_ = right;
  ArrangeLegend();
}

void TfmChart::ApplyBackColor() {
  const QColor c = ToQColor(model_.BackColor);
  Chart->setBackground(c);
  Chart->legend->setBrush(c);
  Chart->replot(QCustomPlot::rpQueuedReplot);
}

// ---------------------------------------------------------------- commands

void TfmChart::File1Click() { UpdateMenus(); }

void TfmChart::ShowKindClick(AxisKind k) {
  if (LongCommandRunning() || !model_.ShowKind(k)) return;
  zoomed_ = false;
  RefreshChart();
}

void TfmChart::Titles1Click() {
  const std::string oldX = model_.Texts.BottomAxisTitle, oldY = model_.Texts.YAxisCaption;
  if (LongCommandRunning() || !fmEditComments->Execute(model_.Texts)) return;
  model_.AxisTitlesRenamed(oldX, oldY);
  SyncTexts();
  ArrangeLegend();
}

void TfmChart::Legengs1Click() {
  const int a = model_.ActiveGraph;
  if (LongCommandRunning() || a < 0 || a >= model_.SeriesCount() || model_.UserGraphCount() == 0) return;
  fmLegend->setWindowTitle("Редактор легенд");
  std::vector<std::string> lines;
  for (int i : model_.UserGraphIndices()) lines.push_back(model_.Series[std::size_t(i)].Title);
  if (!fmLegend->Execute(lines)) return;
  ApplyLegendTexts(model_, lines);
  for (std::size_t i = 0; i < plots_.size(); ++i) StyleOf(int(i), plots_[i]);
  ArrangeLegend();
}

void TfmChart::Lines1Click() {
  if (LongCommandRunning()) return;
  fmLines->Execute(model_, [this] {
    for (std::size_t i = 0; i < plots_.size(); ++i) StyleOf(int(i), plots_[i]);
    ShowActiveGraph();
    Chart->replot(QCustomPlot::rpQueuedReplot);
  });
}

void TfmChart::Fon1Click() {
  if (LongCommandRunning()) return;
  ColorD->setCurrentColor(ToQColor(model_.BackColor));
  if (ColorD->exec() == QDialog::Accepted) model_.BackColor = FromQColor(ColorD->selectedColor());
  ApplyBackColor();
}

void TfmChart::SpeedButton9Click() { SetLegendRight(!legendRight_); }

void TfmChart::paColorClick() {
  const int a = model_.ActiveGraph;
  if (LongCommandRunning() || a < 0 || a >= model_.SeriesCount()) return;
  ChartSeries& s = model_.Series[std::size_t(a)];
  ColorD->setCurrentColor(ToQColor(s.Color));
  if (ColorD->exec() != QDialog::Accepted) return;
  s.Color = FromQColor(ColorD->selectedColor());
  if (std::size_t(a) < plots_.size()) StyleOf(a, plots_[std::size_t(a)]);
  ShowActiveGraph();
  Chart->replot(QCustomPlot::rpQueuedReplot);
}

void TfmChart::ZoomBy(double factor) {
  BitBtn1->setEnabled(false);
  BitBtn2->setEnabled(false);
  ChangeRange(Chart->xAxis, ZoomSpan, factor);
  ChangeRange(Chart->yAxis, ZoomSpan, factor);
  BitBtn1->setEnabled(true);
  BitBtn2->setEnabled(true);
  Chart->replot(QCustomPlot::rpQueuedReplot);
}

void TfmChart::BitBtn1Click() { ZoomBy(kZoomIn); }
void TfmChart::BitBtn2Click() { ZoomBy(kZoomOut); }

void TfmChart::SpeedButton5Click() {
  zoomed_ = true;
  ChangeRange(Chart->yAxis, [](AxisSpan s, double) { return StretchVertical(s); }, 0);
  Chart->replot(QCustomPlot::rpQueuedReplot);
}

void TfmChart::N4Click() {
  const int a = model_.ActiveGraph;
  if (LongCommandRunning() || a < 0 || a >= model_.SeriesCount()) return;
  ZoomBy(kZoomOut);
  const ChartSeries& g = model_.Series[std::size_t(a)];
  double lo = 0, hi = 0;
  for (auto [axis, v] : {std::pair{Chart->xAxis, &g.X}, std::pair{Chart->yAxis, &g.Y}}) {
    if (!FiniteRange(*v, lo, hi)) continue;
    const AxisSpan s = FitSpan({axis->range().lower, axis->range().upper}, lo, hi);
    axis->setRange(s.Min, s.Max);
  }
  Chart->replot(QCustomPlot::rpQueuedReplot);
}

void TfmChart::N35Click() {
  const int a = model_.ActiveGraph;
  if (LongCommandRunning()) return;
  if (a < 0 || a >= model_.SeriesCount()) return prompter_->message("Не выбран активный график");
  if (fmShowTextGr->Execute(model_, a)) RefreshChart();
}

void TfmChart::About1Click() { fmAboutChart->exec(); }

void TfmChart::PrintOption1Click() { fmPrinOptions->exec(); }

// ---------------------------------------------------------------- pictures

void TfmChart::PaintChart(QPainter& painter, int w, int h) {
  // Recorded at screen resolution; played back, a picture keeps its physical size, so its
  // units are brought back to the painter's own pixels here.
  QPicture pic;
  QCPPainter rec;
  if (rec.begin(&pic)) {
    Chart->toPainter(&rec, w, h);
    rec.end();
  }
  const double ratio = double(painter.device()->logicalDpiX()) / pic.logicalDpiX();
  const double ratioY = double(painter.device()->logicalDpiY()) / pic.logicalDpiY();
  painter.save();
  if (ratio > 0 && ratioY > 0) painter.scale(1 / ratio, 1 / ratioY);
  painter.drawPicture(0, 0, pic);
  painter.restore();
  Chart->replot();  // the layout goes back to the window's size
}

bool TfmChart::SaveBmp(const QString& fileName) {
  if (Chart->saveBmp(fileName, Chart->width(), Chart->height())) return true;
  prompter_->error("Не удалось записать файл " + fileName.toStdString());
  return false;
}

QByteArray TfmChart::SvgData() {
  QBuffer buf;
  buf.open(QIODevice::WriteOnly);
  QSvgGenerator gen;
  gen.setOutputDevice(&buf);
  gen.setSize(Chart->size());
  gen.setViewBox(QRect(QPoint(0, 0), Chart->size()));
  gen.setTitle(windowTitle());
  QCPPainter p;
  if (p.begin(&gen)) {
    Chart->toPainter(&p, Chart->width(), Chart->height());
    p.end();
  }
  Chart->replot();
  return buf.data();
}

bool TfmChart::SaveSvg(const QString& fileName) {
  QFile f(fileName);
  const QByteArray data = SvgData();
  if (f.open(QIODevice::WriteOnly) && f.write(data) == data.size() && f.flush()) return true;
  prompter_->error("Не удалось записать файл " + fileName.toStdString());
  return false;
}

void TfmChart::SaveaBitmap1Click() {
  const QString name = AskPictureName(SaveBMP);
  if (!name.isEmpty()) SaveBmp(name);
}

void TfmChart::SaveaMetafile1Click() {
  const QString name = AskPictureName(SaveWMF);
  if (!name.isEmpty()) SaveSvg(name);
}

void TfmChart::CopytoClipboardBMP1Click() {
  QApplication::clipboard()->setImage(Chart->toPixmap(Chart->width(), Chart->height()).toImage());
}

void TfmChart::CopytoClipboard1Click() {
  auto* mime = new QMimeData;
  mime->setData("image/svg+xml", SvgData());
  QApplication::clipboard()->setMimeData(mime);
}

// ---------------------------------------------------------------- printing

void TfmChart::Print1Click() {
  if (LongCommandRunning() || !model_.HasSeries()) return;
  if (!printer_) printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
  const QPageLayout::Orientation kept = printer_->pageLayout().orientation();
  printer_->setPageOrientation(fmPrinOptions->RadioGroup2->checkedId() == 1 ? QPageLayout::Landscape
                                                                              : QPageLayout::Portrait);
  QPrintDialog dlg(printer_.get(), this);
  if (dlg.exec() == QDialog::Accepted) PrintTo(*printer_);
  printer_->setPageOrientation(kept);
}

bool TfmChart::PrintTo(QPrinter& printer) {
  const QBrush legendBrush = Chart->legend->brush();
  Chart->legend->setBrush(Qt::white);
  WaitCursor wait;
  printer.setDocName("Печать графика");
  QPainter painter;
  bool ok = painter.begin(&printer);
  if (ok) {
    const int n = fmPrinOptions->RadioGroup3->checkedId() == 0 ? 2 : 1;
    const PrintRect r = ChartPrintRect(printer.width(), printer.height(), n);
    const int w = r.Right - r.Left, h = r.Bottom - r.Top;
    painter.translate(r.Left, r.Top);
    if (fmPrinOptions->RadioGroup1->checkedId() == 1 && Chart->width() > 0 && Chart->height() > 0) {
      // Screen proportional: the chart as laid out on screen, stretched into the rectangle.
      painter.scale(double(w) / Chart->width(), double(h) / Chart->height());
      PaintChart(painter, Chart->width(), Chart->height());
    } else {
      // Thin lines and small fonts: laid out over the whole rectangle at the printer's
      // resolution, texts in their own point sizes and lines as thin as on screen.
      const double k = double(printer.logicalDpiX()) / QPicture().logicalDpiX();
      painter.scale(k, k);
      PaintChart(painter, int(std::lround(w / k)), int(std::lround(h / k)));
    }
    ok = painter.end();
  } else {
    printer.abort();
  }
  Chart->legend->setBrush(legendBrush);
  Chart->replot(QCustomPlot::rpQueuedReplot);
  if (!ok) prompter_->error("Не удалось напечатать график: принтер недоступен");
  return ok;
}

}  // namespace rv
