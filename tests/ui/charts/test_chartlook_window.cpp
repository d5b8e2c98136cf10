// The chart's appearance dialogs, its pictures, printing and the point table (offscreen).

#include <QAction>
#include <QButtonGroup>
#include <QComboBox>
#include <QClipboard>
#include <QMimeData>
#include <QFontDialog>
#include <QGroupBox>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTableWidget>
#include <QXmlStreamReader>

#include <qcustomplot.h>

#include <set>

#include "charts/chartview.h"
#include "charts/ui/TfmEditComments.h"
#include "charts/ui/TfmLegend.h"
#include "charts/ui/TfmLines.h"
#include "charts/ui/TfmPrinOptions.h"
#include "charts/ui/TfmShowTextGr.h"
#include "charts/ui/chartcolor.h"
#include "chart_window_util.h"

using namespace rv;
using rv::test::Joined;
using rv::test::Answer;
using ChartLookWindow = rv::test::ChartWindowTest;

namespace {

QByteArray Read(const std::string& path) { return QByteArray::fromStdString(rv::test::ReadBytes(path)); }

quint32 Le32(const QByteArray& b, int at) {
  quint32 v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | quint8(b[at + i]);
  return v;
}

}  // namespace

TEST_F(ChartLookWindow, TitlesDialogRoundTripAndFonts) {
  AddCurve("g", 0, 1, 0.1, [](double x) { return x; });
  ChartTexts& t = w.model().Texts;
  t.Title = {"T1", "T2"};
  t.YAxisCaption = "U, В";
  Answer<TfmEditComments>([](TfmEditComments* d) {
    EXPECT_EQ(d->MemoTitle->toPlainText(), "T1\nT2");
    EXPECT_EQ(d->edLeftAxis->currentText(), "U, В");
    EXPECT_EQ(d->edLeftAngle->text(), "90");
    d->edBottomAxis->setCurrentIndex(4);
    d->MemoFoot->setPlainText("низ");
    d->edRightAxis->setText("R");
    d->RadioGroup1->button(1)->click();
    d->btnOK->click();
  });
  w.Titles1->trigger();
  EXPECT_EQ(std::tuple(t.BottomAxisTitle, t.Foot, t.RightAxisTitle, t.Title.size()),
            std::tuple("f, ГГц", std::vector<std::string>{"низ"}, "R", std::size_t(2)));
  EXPECT_EQ(w.Chart->xAxis->label(), "f, ГГц");
  EXPECT_TRUE(w.LegendRight());
  // Cancel changes no text.
  Answer<TfmEditComments>([](TfmEditComments* d) {
    d->MemoTitle->clear();
    d->btnCancel->click();
  });
  w.Titles1->trigger();
  EXPECT_EQ(t.Title.size(), 2u);

  // One font for every text but the top and right axes'.
  const QFont top = w.Chart->xAxis2->labelFont(), right = w.Chart->yAxis2->tickLabelFont();
  QFont chosen("DejaVu Serif", 17);
  Answer<QFontDialog>([chosen](QFontDialog* d) {
    d->setCurrentFont(chosen);
    d->accept();
  });
  w.fmEditComments->Button1Click();
  for (const QFont& f : {w.Chart->xAxis->labelFont(), w.Chart->yAxis->tickLabelFont(), w.Chart->legend->font()})
    EXPECT_EQ(f.pointSize(), 17);
  EXPECT_EQ(w.Chart->xAxis2->labelFont(), top);
  EXPECT_EQ(w.Chart->yAxis2->tickLabelFont(), right);
}

TEST_F(ChartLookWindow, LinesDialogWidthDisablesStyles) {
  AddCurve("a", 0, 1, 0.5, [](double x) { return x; });
  AddCurve("b", 0, 1, 0.5, [](double x) { return -x; });
  Answer<TfmLines>([](TfmLines* d) {
    d->ComboBox1->setCurrentIndex(1);
    d->RadioGroup1->button(2)->click();
    d->SpinEdit1->setValue(3);
    EXPECT_FALSE(d->RadioGroup1->button(0)->parentWidget()->isEnabled());
    d->ComboBox1->setCurrentIndex(0);
    EXPECT_TRUE(d->RadioGroup1->button(0)->parentWidget()->isEnabled());
    d->btnClose->click();
  });
  w.Lines1->trigger();
  const ChartSeries& b = w.model().Series[1];
  EXPECT_EQ(std::tuple(b.Style, b.PenWidth, w.model().Series[0].PenWidth), std::tuple(PenStyle::Dot, 3, 1));
  auto* g = qobject_cast<QCPGraph*>(w.Chart->plottable(1));
  ASSERT_TRUE(g);
  EXPECT_EQ(std::pair(g->pen().width(), g->pen().style()), std::pair(3, Qt::DotLine));

  // Legend texts: one line for two graphs renames the first only.
  Answer<TfmLegend>([](TfmLegend* d) {
    EXPECT_EQ(d->Memo1->toPlainText(), "a\nb");
    d->Memo1->setPlainText("A");
    d->btnOK->click();
  });
  w.Legengs1->trigger();
  EXPECT_EQ(std::pair(w.model().Series[0].Title, w.model().Series[1].Title), std::pair(std::string("A"), std::string("b")));
  EXPECT_EQ(g->name(), "2. b");
}

TEST_F(ChartLookWindow, ZoomAndFitActiveGraph) {
  AddCurve("wide", -50, 50, 1, [](double x) { return x; });
  AddCurve("narrow", 2, 4, 0.5, [](double x) { return x * x; });
  w.model().Series[1].Y[1] = std::numeric_limits<double>::infinity();
  w.RefreshChart();
  w.N4->trigger();
  const QCPRange x = w.Chart->xAxis->range(), y = w.Chart->yAxis->range();
  EXPECT_EQ(std::tuple(x.lower, x.upper, y.lower, y.upper), std::tuple(2.0, 4.0, 4.0, 16.0));
  w.Chart->yAxis->setRange(-2, 10);
  w.SpeedButton5->trigger();
  EXPECT_EQ(std::pair(w.Chart->yAxis->range().lower, w.Chart->yAxis->range().upper), std::pair(-2.5, 10.5));
  w.Chart->xAxis->setRange(0, 100);
  w.BitBtn1->trigger();
  EXPECT_NEAR(w.Chart->xAxis->range().lower, 6.52, 0.005);
  w.BitBtn3->trigger();
  EXPECT_EQ(w.Chart->xAxis->range().lower, -50);
}

TEST_F(ChartLookWindow, PicturesAndPrint) {
  w.resize(700, 500);
  QApplication::processEvents();
  AddCurve("red", 0, 10, 0.1, [](double x) { return std::sin(x); });
  AddCurve("blue", 0, 10, 0.1, [](double x) { return std::cos(x); });
  w.model().Series[0].Color = 0x0000FF;
  w.model().Series[1].Color = 0xFF0000;
  w.RefreshChart();
  w.File1Click();
  EXPECT_TRUE(w.Print1->isEnabled());

  ASSERT_TRUE(w.SaveBmp(QString::fromStdString(dir.file("c.bmp"))));
  const QByteArray bmp = Read(dir.file("c.bmp"));
  ASSERT_GT(bmp.size(), 26);
  EXPECT_EQ(bmp.left(2), "BM");
  EXPECT_EQ(std::pair(Le32(bmp, 18), Le32(bmp, 22)), std::pair(quint32(w.Chart->width()), quint32(w.Chart->height())));

  ASSERT_TRUE(w.SaveSvg(QString::fromStdString(dir.file("c.svg"))));
  QXmlStreamReader xml(Read(dir.file("c.svg")));
  std::set<QString> strokes;
  QString root;
  while (!xml.atEnd()) {
    if (xml.readNext() != QXmlStreamReader::StartElement) continue;
    if (root.isEmpty()) root = xml.name().toString();
    if (xml.attributes().hasAttribute("stroke")) strokes.insert(xml.attributes().value("stroke").toString());
  }
  EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
  EXPECT_EQ(root, "svg");
  EXPECT_TRUE(strokes.count("#ff0000") && strokes.count("#0000ff"));
  w.CopytoClipboard1->trigger();
  const QMimeData* clip = QApplication::clipboard()->mimeData();
  EXPECT_TRUE(clip && clip->data("image/svg+xml").startsWith("<?xml"));

  for (int scale : {0, 1}) {
    w.fmPrinOptions->RadioGroup1->button(scale)->setChecked(true);
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    const std::string pdf = dir.file("p" + std::to_string(scale) + ".pdf");
    printer.setOutputFileName(QString::fromStdString(pdf));
    ASSERT_TRUE(w.PrintTo(printer));
    const QByteArray doc = Read(pdf);
    EXPECT_TRUE(doc.startsWith("%PDF"));
    EXPECT_EQ(QString::fromLatin1(doc).count(QRegularExpression("/Type\\s*/Page[^s]")), 1);
  }
  EXPECT_EQ(w.Chart->legend->brush().color(), ToQColor(w.model().BackColor));
  EXPECT_EQ(w.Chart->width(), w.centralWidget()->width());
}

TEST_F(ChartLookWindow, PointTable) {
  AddCurve("g", 0, 2, 1, [](double x) { return 10 * x; });
  auto edit = [](std::vector<std::pair<int, QString>> cells, bool ok) {
    Answer<TfmShowTextGr>([cells, ok](TfmShowTextGr* d) {
      EXPECT_EQ(d->ValueListEditor1->item(2, 1)->text(), "20");
      for (auto [cell, text] : cells) d->ValueListEditor1->item(cell / 2, cell % 2)->setText(text);
      (ok ? d->Button1 : d->Button2)->click();
      if (d->isVisible()) d->Button2->click();  // a refused table is closed by hand
    });
  };
  edit({{3, "-1"}}, false);
  w.N35->trigger();
  EXPECT_EQ(w.model().Series[0].Y, (std::vector<double>{0, 10, 20}));
  edit({{3, "1e-3"}, {4, "5"}}, true);
  w.N35->trigger();
  EXPECT_EQ(w.model().Series[0].X, (std::vector<double>{0, 1, 5}));
  EXPECT_EQ(w.model().Series[0].Y, (std::vector<double>{0, 0.001, 20}));
  edit({{5, "2..0"}}, true);
  w.N35->trigger();
  EXPECT_EQ(msgs.errors, std::vector<std::string>{"Строка 3: '2..0' не является числом"});
  EXPECT_EQ(w.model().Series[0].Y, (std::vector<double>{0, 0.001, 20}));

  AddCurve("long", 0, 10000, 1, [](double x) { return x; });
  w.N35->trigger();
  EXPECT_EQ(msgs.messages, std::vector<std::string>{kTooManyPoints});
  w.model().ActiveGraph = -1;
  w.N35->trigger();
  EXPECT_EQ(msgs.messages.back(), "Не выбран активный график");
}
