// The spectrum commands in the chart window (offscreen): graphs made, the rebuilt signal,
// a stop of a long spectrum while the window stays live.

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>
#include <QRadioButton>
#include <QTest>
#include <QToolButton>

#include <numbers>

#include <qcustomplot.h>

#include "charts/measure.h"
#include "charts/spectrum.h"
#include "charts/ui/TfmBackSpectr.h"
#include "solver/codepage.h"
#include "charts/ui/TfmSpectr.h"
#include "solver/numtext.h"  // ConvertError
#include "chart_window_util.h"

using namespace rv;
using rv::test::Joined;
using rv::test::Answer;
using rv::test::WhenModal;

// Sines over 0..100 ns at 0.1 ns unless told otherwise.
struct ChartSpectra : rv::test::ChartWindowTest {
  void AddSine(const std::string& title, double freqGHz, double x1 = 100, double step = 0.1) {
    AddCurve(title, 0, x1, step, [freqGHz](double x) { return std::sin(2 * std::numbers::pi * freqGHz * x); });
  }
};

namespace {

// Answers the rebuild dialog: 0..10 ns in 500 steps, output in nanoseconds, after `check`
// has looked at it and set the divisor fields.
void AnswerRebuild(std::function<void(TfmBackSpectr&)> check) {
  Answer<TfmBackSpectr>([check](TfmBackSpectr* b) {
    b->edTMin->setText("0");
    b->edTMax->setText("1e-8");
    b->edNPoint->setText("500");
    b->cbTime->setCurrentIndex(0);
    b->CheckBox1->setChecked(false);
    check(*b);
    b->BitBtn1->click();
  });
}

// The peak of the last graph.
double LastPeak(const ChartModel& m) {
  const std::vector<double>& y = m.Series.back().Y;
  return y.empty() ? 0 : *std::max_element(y.begin(), y.end());
}

// The pulse's spectrum by direct summation, 0..3 GHz in 10 MHz steps, absolute amplitudes,
// shown in the unit of list index `unit`.
void PulseSpectrum(TfmSpectr& d, int unit, bool noPhase = false) {
  d.rbDFT->click();
  d.CheckBox1->setChecked(false);
  d.CheckBox3->setChecked(true);
  d.CheckBox4->setChecked(noPhase);
  d.edFMin->setText("0");
  d.edFMax->setText("3e9");
  d.eddF->setText("1e7");
  d.cbFreq->setCurrentIndex(unit);
}

// Answers the selection dialog with the given list entries, then the spectrum dialog after
// `setUp` has set its fields.
void AnswerSpectrum(std::vector<int> entries, std::function<void(TfmSpectr&)> setUp) {
  rv::test::AnswerSelection(entries, [setUp] {
    Answer<TfmSpectr>([setUp](TfmSpectr* d) {
      setUp(*d);
      d->BitBtn1->click();
    });
  });
}

}  // namespace

TEST_F(ChartSpectra, SpectraAndRebuiltSignals) {
  AddSine("A", 0.05);
  AddSine("B", 0.1);
  AnswerSpectrum({0, 1}, [](TfmSpectr& d) {
    EXPECT_FALSE(d.GroupBox1->isHidden());
    d.rbFFT->click();
    EXPECT_TRUE(d.GroupBox1->isHidden());
    d.rbDFT->click();
  });
  const QString title = w.windowTitle();
  w.mnSpectrClick();
  EXPECT_TRUE(msgs.shown.empty()) << Joined(msgs.shown);
  EXPECT_EQ(w.windowTitle(), title);  // the plot's size, not the summation's time
  ASSERT_EQ(w.model().SeriesCount(), 4);
  EXPECT_EQ(std::tuple(w.model().Series[2].Title, w.model().Series[3].Title, w.model().Series[3].Count()),
            std::tuple("Модуль спектра: A", "Модуль спектра: B", 1000u));
  // A whole number of periods: the sine's amplitude at its own frequency.
  EXPECT_NEAR(w.model().Series[3].Y[100], 1, 0.02);

  AnswerSpectrum({0, 1}, [](TfmSpectr& d) {
    d.CheckBox1->setChecked(true);
    EXPECT_FALSE(d.CheckBox4->isEnabled());
  });
  w.mnSpectrClick();
  EXPECT_TRUE(msgs.shown.empty()) << Joined(msgs.shown);
  ASSERT_EQ(w.model().SeriesCount(), 6);
  for (int i : {4, 5}) {
    const ChartSeries& s = w.model().Series[std::size_t(i)];
    EXPECT_EQ(w.model().FileNames[std::size_t(i)], i == 4 ? "A" : "B");
    ASSERT_EQ(s.Count(), 1001u);
    EXPECT_NEAR(s.X.back(), 100, 1e-9);
    // The band holds the sine: the rebuilt curve follows it away from the record's ends.
    EXPECT_NEAR(s.Y[500], w.model().Series[std::size_t(i - 4)].Y[500], 0.05);
  }
  EXPECT_EQ(std::tuple(w.fmBackSpectr->edNPoint->text(), w.fmBackSpectr->edTMax->text()), std::tuple("1000", "1E-7"));

  // The rebuild command from a modulus and a phase graph: a 1 MHz step shortens the span,
  // with a message (its wording is the core's test).
  ChartModel& m = w.model();
  m.DeleteAll();
  for (const char* t : {"mod", "phase"}) m.Series[std::size_t(m.AddSeries(t, 0, t))].X = {0, 1e6};
  m.Series[0].Y = {2, 0};
  m.Series[1].Y = {0, 0};
  m.ActiveGraph = 1;
  WhenModal([](QWidget* d) {
    auto* b = qobject_cast<TfmBackSpectr*>(d);
    if (!b) return false;
    b->edTMin->setText("0");
    b->edTMax->setText("1");
    b->edNPoint->setText("256");
    b->CheckBox1->setChecked(true);
    b->BitBtn1->click();
    return true;
  });
  w.N18Click();
  ASSERT_EQ(std::tuple(msgs.messages.size(), m.SeriesCount()), std::tuple(1u, 1));
  EXPECT_EQ(m.Series[0].Count(), 257u);
  // Titled without a stray blank before it; the dialog's note sends the frequency unit to its
  // list rather than asking for hertz.
  EXPECT_EQ(m.Series[0].Title, "Восстановленный из спектра сигнал");
  const QString note = w.fmBackSpectr->Label3->text();
  EXPECT_TRUE(note.contains("\"Частота в графиках спектра\"") && !note.contains("герц")) << note.toStdString();
}

// "СТОП" ends a spectrum of 10^7 samples while the window's own timers go on running.
TEST_F(ChartSpectra, StopEndsLongSpectrum) {
  AddSine("long", 0.05, 1000, 1);
  // The DFT: 9,999,801 samples, 10^6 frequencies; the FFT: 2^24 samples for its band.
  for (bool fft : {false, true}) {
    // A window timer clicks «Стоп» at the first progress shown: a busy machine only delays
    // the stop. The FFT's transform itself cannot be stopped; its progress comes as it samples.
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, [&] {
      if (!w.lbProgress->text().startsWith("Преобразование Фурье - ")) return;
      EXPECT_EQ(std::tuple(w.btnStop->isVisible(), w.btnStop->toolTip(), w.menuBar()->isEnabled()),
                std::tuple(true, QString(kStopFourier), false));
      watcher.stop();
      QTest::mouseClick(w.btnStop, Qt::LeftButton);
    });
    AnswerSpectrum({0}, [&](TfmSpectr& d) {
      (fft ? d.rbFFT : d.rbDFT)->click();
      d.edFMin->setText(fft ? "0" : "3.9999e12");
      d.edFMax->setText(fft ? "8e12" : "4.9999e12");
      d.eddF->setText("1e6");
      watcher.start(2);
    });
    w.mnSpectrClick();
    ASSERT_FALSE(watcher.isActive()) << "the spectrum ended before the stop";
    EXPECT_TRUE(msgs.shown.empty()) << Joined(msgs.shown);
    EXPECT_EQ(std::tuple(w.model().SeriesCount(), w.menuBar()->isEnabled(), w.btnStop->isVisible()),
              std::tuple(1, true, false));  // no spectrum added after the stop
  }
}

// Stored fields come back with their click rules; the lists keep their stored index. The
// FFT check titles its curve with the band.
TEST_F(ChartSpectra, DialogSettingsAndFftCheck) {
  TfmSpectr d(msgs);
  SpectrSettings s;
  s.CheckBox1 = s.CheckBox2 = true;
  s.cbFreq = 2;
  s.cbTime = 1;
  s.eddF = "5e5";
  d.FormCreate(s);
  EXPECT_EQ(std::tuple(d.CheckBox4->isEnabled(), d.eddF->isEnabled(), d.cbFreq->currentIndex()), std::tuple(false, false, 2));
  d.CheckBox1->click();
  EXPECT_EQ(std::tuple(d.CheckBox4->isEnabled(), d.cbFreq->currentIndex()), std::tuple(true, 0));
  SpectrSettings back;
  d.SaveTo(back);
  EXPECT_EQ(std::tuple(back.eddF, back.cbTime), std::tuple("5e5", 1));
  d.edFMax->setText("1e9x");
  EXPECT_THROW(d.ReadOptions(), ConvertError);

  AddSine("A", 0.05, 99.9);
  AnswerSpectrum({0}, [](TfmSpectr& f) {
    f.rbFFT->click();
    f.CheckBox1->setChecked(true);
  });
  w.mnSpectrClick();
  EXPECT_TRUE(msgs.shown.empty()) << Joined(msgs.shown);
  ASSERT_EQ(w.model().SeriesCount(), 2);
  EXPECT_EQ(std::tuple(w.model().Series[1].Title, w.model().FileNames[1], w.model().Series[1].Count()),
            std::tuple("A ( 0...9.9002E08 ) Гц", "A", 1001u));
}

// A spectrum in absolute amplitudes (the default) rebuilt into its signal gives the 1 V
// pulse, not 2/T times it: the rebuilding undoes the divisor the spectrum carries. A
// spectrum read from files cannot tell, and the dialog asks. The X axis is titled with what
// it shows.
TEST_F(ChartSpectra, RebuildUndoesTheSpectrumDivisor) {
  AddCurve("pulse", 0, 10, 0.01, [](double t) { return std::exp(-(t - 5) * (t - 5) / 0.5); });
  AnswerSpectrum({0}, [](TfmSpectr& d) { PulseSpectrum(d, 0); });
  w.mnSpectrClick();
  ChartModel& m = w.model();
  ASSERT_EQ(m.SeriesCount(), 3);
  EXPECT_EQ(m.Texts.BottomAxisTitle, "f, Гц");
  AnswerRebuild([](TfmBackSpectr& b) {
    EXPECT_EQ(std::tuple(b.cbAbsolute->isChecked(), b.cbAbsolute->isEnabled(), b.lbDivisorKnown->isVisible()),
              std::tuple(true, false, true));
  });
  w.N18Click();
  ASSERT_EQ(m.SeriesCount(), 4);
  EXPECT_EQ(m.Texts.BottomAxisTitle, "t, нс");
  EXPECT_NEAR(LastPeak(m), 1, 1e-3);

  // The same spectrum read back from curve files: the dialog asks; a record length that is
  // not a number keeps it open with the field selected.
  for (int i : {1, 2}) ASSERT_TRUE(w.SaveGraphFile(QString::fromStdString(dir.file(std::to_string(i) + ".srg")), i));
  m.DeleteAll();
  w.OpenFiles({QString::fromStdString(dir.file("1.srg")), QString::fromStdString(dir.file("2.srg"))});
  ASSERT_EQ(m.SeriesCount(), 2);
  AnswerRebuild([this](TfmBackSpectr& b) {
    EXPECT_TRUE(b.cbAbsolute->isEnabled() && !b.lbDivisorKnown->isVisible());
    b.cbAbsolute->setChecked(true);
    b.edTRecord->setText("10нс");
    b.BitBtn1->click();
    EXPECT_EQ(std::tuple(b.isVisible(), msgs.errors.size(), b.edTRecord->selectedText()), std::tuple(true, 1u, "10нс"));
    b.edTRecord->setText("1e-8");
  });
  w.N18Click();
  ASSERT_EQ(m.SeriesCount(), 3);
  EXPECT_NEAR(LastPeak(m), 1, 1e-3);
}

// A frequency that is not a number keeps the spectrum dialog open with the field selected.
TEST_F(ChartSpectra, BadFrequencyKeepsTheDialogOpen) {
  AddSine("A", 0.05);
  AnswerSpectrum({0}, [this](TfmSpectr& d) {
    d.rbDFT->click();
    d.CheckBox2->setChecked(false);
    d.edFMax->setText("1e9x");
    d.BitBtn1->click();
    EXPECT_EQ(std::tuple(d.isVisible(), msgs.errors.size(), d.edFMax->selectedText()), std::tuple(true, 1u, "1e9x"));
    d.edFMax->setText("1e9");
  });
  w.mnSpectrClick();
  EXPECT_EQ(w.model().SeriesCount(), 2);
}

// A 1 V pulse's spectrum made in each frequency unit rebuilds to 1 V: a spectrum made here
// knows its unit (shown, locked); read back from files the dialog asks it. A saved spectrum
// graph carries its frequency title even while the chart shows the rebuilt time signal.
TEST_F(ChartSpectra, RebuildReadsTheSpectrumFrequencyUnit) {
  ChartModel& m = w.model();
  for (int unit : {0, 1, 2, 3}) {
    m.DeleteAll();
    AddCurve("pulse", 0, 10, 0.01, [](double t) { return std::exp(-(t - 5) * (t - 5) / 0.5); });
    AnswerSpectrum({0}, [unit](TfmSpectr& d) { PulseSpectrum(d, unit); });
    w.mnSpectrClick();
    ASSERT_EQ(m.SeriesCount(), 3);
    AnswerRebuild([unit](TfmBackSpectr& b) {
      EXPECT_EQ(std::pair(b.cbFreq->currentIndex(), b.cbFreq->isEnabled()), std::pair(unit, false));
    });
    w.N18Click();
    ASSERT_EQ(m.SeriesCount(), 4);
    EXPECT_NEAR(LastPeak(m), 1, 1e-3) << unit;
    EXPECT_EQ(m.Texts.BottomAxisTitle, "t, нс");
    for (int i : {1, 2}) ASSERT_TRUE(w.SaveGraphFile(QString::fromStdString(dir.file(std::to_string(i) + ".srg")), i));
    std::string text, err;
    ASSERT_TRUE(ReadTextFile(dir.file("1.srg"), text, err));
    EXPECT_NE(text.find(FrequencyAxisTitle(unit)), std::string::npos) << unit;
  }
  // Read back from files (the last, in GHz): the unit is asked.
  m.DeleteAll();
  w.OpenFiles({QString::fromStdString(dir.file("1.srg")), QString::fromStdString(dir.file("2.srg"))});
  ASSERT_EQ(m.SeriesCount(), 2);
  EXPECT_EQ(m.Texts.BottomAxisTitle, "f, ГГц");
  AnswerRebuild([](TfmBackSpectr& b) {
    EXPECT_TRUE(b.cbFreq->isEnabled());
    b.cbFreq->setCurrentIndex(3);
    b.cbAbsolute->setChecked(true);
    b.edTRecord->setText("1e-8");
  });
  w.N18Click();
  EXPECT_NEAR(LastPeak(m), 1, 1e-3);
}

// "Обр. спектр" after a spectrum without its phase says what to do and opens nothing; with
// a pair its time span starts at the record length the frequency step implies.
TEST_F(ChartSpectra, RebuildNeedsAPairAndStartsAtTheImpliedSpan) {
  AddCurve("pulse", 0, 10, 0.01, [](double t) { return std::exp(-(t - 5) * (t - 5) / 0.5); });
  for (bool noPhase : {true, false}) {
    AnswerSpectrum({0}, [noPhase](TfmSpectr& d) { PulseSpectrum(d, 2, noPhase); });
    w.mnSpectrClick();
  }
  ChartModel& m = w.model();
  ASSERT_EQ(m.SeriesCount(), 4);  // pulse, modulus, modulus, phase
  bool shown = false;
  // The modulus alone at the end.
  m.CloseGraphs({3});
  // One look only: an answer left waiting would take the rebuild dialog further down.
  QTimer::singleShot(20, [&shown] {
    if (auto* b = qobject_cast<TfmBackSpectr*>(QApplication::activeModalWidget())) shown = true, b->BitBtn2->click();
  });
  w.N18Click();
  EXPECT_FALSE(shown);
  ASSERT_EQ(msgs.errors.size(), 1u);
  EXPECT_EQ(msgs.errors[0], SynthesisSourceError(m));
  EXPECT_NE(msgs.errors[0].find("Не выводить фазу"), std::string::npos);
  QTest::qWait(50);
  EXPECT_EQ(m.SeriesCount(), 3);

  AnswerSpectrum({0}, [](TfmSpectr& d) { d.CheckBox4->setChecked(false); });
  w.mnSpectrClick();
  Answer<TfmBackSpectr>([](TfmBackSpectr* b) {
    // df = 10 MHz: a record of 1e-7 s.
    EXPECT_EQ(std::pair(b->edTMin->text(), b->edTMax->text()), std::pair(QString("0"), QString("1E-7")));
    b->BitBtn2->click();
  });
  w.N18Click();
}

// The rebuild dialog's defaults, as they stand, give the pulse back: over the record the
// frequency step implies, with two points for each frequency of the spectrum (256 points
// over 100 ns would sample the pulse 0.4 ns apart and miss its peak by 1.2 %).
TEST_F(ChartSpectra, RebuildDefaultsGiveThePulseBack) {
  AddCurve("pulse", 0, 10, 0.01, [](double t) { return std::exp(-(t - 5) * (t - 5) / 0.5); });
  AnswerSpectrum({0}, [](TfmSpectr& d) { PulseSpectrum(d, 2); });
  w.mnSpectrClick();
  ChartModel& m = w.model();
  ASSERT_EQ(m.SeriesCount(), 3);
  Answer<TfmBackSpectr>([](TfmBackSpectr* b) {
    EXPECT_EQ(std::tuple(b->edTMin->text(), b->edTMax->text(), b->edNPoint->text()),
              std::tuple(QString("0"), QString("1E-7"), QString("600")));
    b->BitBtn1->click();
  });
  w.N18Click();
  ASSERT_EQ(m.SeriesCount(), 4) << ::testing::PrintToString(msgs.shown);
  EXPECT_NEAR(LastPeak(m), 1, 1e-3);
}

// A graph whose times rise and fall is refused by name (its file's when it has no title) by the
// spectrum, which goes on to the next graph, one written with falling times; by sum and clone.
TEST_F(ChartSpectra, MixedTimesRefusedByName) {
  AddSine("mixed", 0.05);
  AddCurve("back", 100, 0, -0.1, [](double x) { return std::sin(0.1 * std::numbers::pi * x); });
  ChartModel& m = w.model();
  std::swap(m.Series[0].X[10], m.Series[0].X[500]);
  m.Series[0].Title.clear();  // as a file without a header leaves it
  AnswerSpectrum({0, 1}, [](TfmSpectr& d) { d.rbDFT->click(); });
  w.mnSpectrClick();
  EXPECT_GT(LastPeak(m), 0.5);  // the falling one's
  rv::test::AnswerSelection({0});
  w.SummaClick();
  rv::test::AnswerSelection({0});
  w.N33Click();
  EXPECT_EQ(std::tuple(msgs.errors, m.SeriesCount()), std::tuple(std::vector<std::string>(3, UnorderedTimeText("mixed.srg")), 3));
}

// Z curves, a spectrum and the times each get axes of their own; none is closed on the way.
TEST_F(ChartSpectra, EachKindOfCurveIsDrawnOnAxesOfItsOwn) {
  w.model().SetAxisTitles("t, нс", "");
  AddSine("U_FEED", 0.05);
  AddCurve("I_FEED", 0, 100, 0.1, [](double x) { return 0.02 * std::sin(2 * std::numbers::pi * 0.05 * x + 0.3); });
  ImpedanceOptions o;
  o.fMin = 1e7, o.fMax = 2e8, o.dF = 1e7, o.cbFreq = 3;
  ChartModel& m = w.model();
  GraphSpectrum su, si;
  ASSERT_TRUE(ComputeGraphSpectrum(m.Series[0].X, m.Series[0].Y, PlanGraphSpectrum(m.Series[0], o), o, su) &&
              ComputeGraphSpectrum(m.Series[1].X, m.Series[1].Y, PlanGraphSpectrum(m.Series[1], o), o, si));
  AddImpedanceGraphs(m, "U_FEED", su, "I_FEED", si, o);
  w.RefreshChart();
  const auto drawn = [&] {
    std::vector<std::string> t;
    for (int i = 0; i < w.Chart->plottableCount(); ++i)
      if (w.Chart->plottable(i)->visible()) t.push_back(m.Series[std::size_t(i)].Title);
    EXPECT_EQ(int(t.size()), w.Chart->legend->itemCount());
    return t;
  };
  const std::vector<std::string> z{"Действительная часть Z", "Мнимая часть Z", "Модуль Z"};
  EXPECT_EQ(drawn(), z);
  EXPECT_EQ(std::tuple(w.Chart->xAxis->label().toStdString(), m.Texts.YAxisCaption, m.SeriesCount(), m.ActiveGraph),
            std::tuple("f, ГГц", "Z, Ом", 5, 4));  // the active graph is one the axes show
  EXPECT_LE(w.Chart->xAxis->range().upper, 0.2 + 1e-9);  // the times (up to 100 ns) are off
  EXPECT_EQ(w.lbHint->text().toStdString(), "Графиков других осей: 2 («Вид» → «Графики»)");

  AnswerSpectrum({0}, [](TfmSpectr& d) { PulseSpectrum(d, 3, true); });
  w.mnSpectrClick();
  EXPECT_TRUE(msgs.shown.empty()) << Joined(msgs.shown);
  EXPECT_EQ(std::tuple(drawn(), m.Texts.YAxisCaption),
            std::tuple(std::vector<std::string>{"Модуль спектра: U_FEED"}, "Модуль спектра"));
  EXPECT_NEAR(w.Chart->yAxis->range().upper, LastPeak(m), LastPeak(m) * 0.5);
  w.mnKindTime->trigger();
  EXPECT_EQ(drawn(), (std::vector<std::string>{"U_FEED", "I_FEED"}));
  EXPECT_EQ(std::tuple(w.Chart->xAxis->label().toStdString(), m.SeriesCount(), w.mnKindTime->isChecked(),
                       w.mnKindImpedance->isChecked()),
            std::tuple("t, нс", 6, true, false));
}
