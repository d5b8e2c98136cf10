// The signal window (offscreen): presets and the measurement shown, the spectrum drawn, the
// preview interval, the signal file and the section "Signal".
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QStackedWidget>
#include <QToolButton>
#include <qcustomplot.h>

#include "ui_fixture.h"

using namespace rv;
using rvtest::WriteFile;
using ::testing::FieldsAre;
using ::testing::HasSubstr;
using ::testing::StartsWith;
namespace fs = std::filesystem;

namespace {

struct Window {
  SignalSource source;
  ScriptedPrompter prompter;
  std::atomic<uint8_t> modified{0};
  TfmInputSource fm{source, prompter};
  Window() { fm.SetModifiedFlag(&modified); }
  void kind(int k) { fm.cbExpression->setCurrentIndex(k); }
  QLineEdit* ed(const char* name) { return fm.edits.at(name); }
};

}  // namespace

TEST(TfmInputSourceWindow, CreatesWithTheFirstKindAndHidesChartsForNoSignal) {
  Window w;
  ASSERT_EQ(std::tuple(w.fm.cbExpression->count(), w.fm.cbTime->count()), std::tuple(10, 6));
  EXPECT_EQ(std::tuple(w.fm.windowTitle(), w.fm.cbExpression->itemText(8), w.fm.Chart1Title->text()),
            std::tuple(QString::fromUtf8("Выбор сигнала"), QString::fromUtf8("Из файла"), QString::fromUtf8("Синусоида\n")));
  EXPECT_FALSE(w.fm.FileLoaded() || w.fm.eddF->isEnabled());
  // A sine of 1 GHz over 50 ns: 20 points per tenth of a period.
  EXPECT_EQ(std::tuple(w.fm.PreviewX().size(), w.fm.Notebook1->currentWidget()->objectName()), std::tuple(10000u, "Sin"));
  EXPECT_NEAR(w.source.GetSignal(0.25e-9), 1.0, 1e-12);  // what the window shows, the solver gets

  w.fm.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w.fm));
  w.kind(SigNone);
  // The preview is left as it was.
  EXPECT_EQ(std::tuple(w.fm.Panel2->isVisible(), w.fm.PreviewX().size(), w.source.GetSignal(0.25e-9)),
            std::tuple(false, 10000u, 0.0));
  w.kind(SigGauss);  // the user's choice marks the project
  EXPECT_EQ(std::tuple(w.fm.Panel2->isVisible(), w.fm.Notebook1->currentWidget()->objectName(), int(w.modified),
                       w.prompter.messages.empty()), std::tuple(true, "Gauss", 1, true));
}

TEST(TfmInputSourceWindow, PresetsAndTheirMeasure) {
  Window w;
  w.kind(SigExp);
  std::optional<std::string> answer = "1";
  w.fm.SetAmplitudeAsker([&] { return answer; });
  w.fm.SpeedButton1->click();  // "0,5/3 нс"
  // No natural step: T/500.
  EXPECT_EQ(std::tuple(w.fm.SpeedButton1->text(), w.ed("edExp_a")->text(), w.ed("edExp_b")->text(),
                       w.ed("edExpAmpl")->text(), w.fm.PreviewX().size()),
            std::tuple(QString::fromUtf8("0,5/3 нс"), "382204000", "2356220000", "1.69749", 10000u));

  // The preset's pulse against the analytic one is the core's test; the window shows it.
  ASSERT_TRUE(w.fm.Measure().Valid && w.fm.Measure().HasRise && w.fm.Measure().HasWidth);
  EXPECT_EQ(w.fm.MeasureText(), QString::fromUtf8("Амплитуда = 1; Тф = 0.5; Ти = 3"));

  // Zoomed in on the rise, the measurement follows what is visible: no falling edge.
  w.fm.Chart1->xAxis->setRange(0, 1);
  EXPECT_TRUE(w.fm.Measure().Valid && !w.fm.Measure().HasWidth);
  w.fm.ShowAll(1);
  EXPECT_TRUE(w.fm.Measure().HasWidth);

  // The radio-pulse page's presets set its own edits.
  answer = "2";
  w.fm.SpeedButton8->click();  // "5/25 нс", tag 4
  EXPECT_EQ(std::tuple(w.ed("edExpRadio_a")->text(), w.ed("edExpRadioAmpl")->text()), std::tuple("55935868", "4.6318012"));
  // Not a number: a message and nothing changes; Cancel: nothing at all.
  answer = "abc";
  w.fm.SpeedButton2->click();
  EXPECT_EQ(std::tuple(w.prompter.messages, w.ed("edExp_a")->text()),
            std::tuple(std::vector<std::string>{"Неверное значение амплитуды: «Введите амплитуду» = \"abc\" — не число. "
                                                "Введите число, например 1."},
                       "382204000"));
  answer.reset();
  w.fm.SpeedButton2->click();
  EXPECT_EQ(std::tuple(w.ed("edExp_a")->text(), w.prompter.messages.size()), std::tuple("382204000", 1u));

  // Without the measurement nothing is drawn on the preview.
  w.fm.CheckBox1->click();
  EXPECT_FALSE(w.fm.Measure().Valid || !w.fm.MeasureText().isEmpty());
}

TEST(TfmInputSourceWindow, GaussianSpectrumAndItsSteps) {
  Window w;
  w.kind(SigGauss);
  EXPECT_TRUE(w.fm.FastLineSeries1->data()->isEmpty());  // "Не показывать спектр"
  EXPECT_EQ(std::tuple(w.fm.Chart2Title->text(), w.fm.Chart1->accessibleName()),
            std::tuple(QString::fromUtf8("Спектр сигнала"), QString::fromUtf8("Форма сигнала")));
  w.fm.CheckBox3->click();
  ASSERT_TRUE(w.fm.ShowSignalClick());
  const SpectrumResult& s = w.fm.Spectrum();
  ASSERT_TRUE(s.Computed);
  EXPECT_NEAR(s.DF, 0.5 / (w.fm.PreviewX().back() * 1e-9) / 1.01, 1);
  // The spectrum against the Gaussian's transform is the core's test; the window draws it.
  ASSERT_EQ(w.fm.FastLineSeries1->data()->size(), int(s.FMHz.size()));
  EXPECT_EQ(w.fm.FastLineSeries1->data()->at(5)->value, s.Mag[5]);
  EXPECT_EQ(std::tuple(w.fm.Chart2Title->text(), w.fm.Chart2->xAxis->label(), w.fm.Label29->text()),
            std::tuple(QString::fromUtf8("Модуль спектра"), QString::fromUtf8("f, МГц"), QString()));

  // "Шаг авто" off: the typed step.
  w.fm.CheckBox2->click();
  EXPECT_TRUE(w.fm.eddF->isEnabled());
  w.ed("eddF")->setText("10e6");
  w.fm.ShowSignalClick();
  EXPECT_EQ(std::tuple(w.fm.Spectrum().DF, w.fm.FastLineSeries1->data()->size()), std::tuple(10e6, 200));
  // fMax not above fMin: nothing drawn.
  w.ed("edFMin")->setText("3e9");
  w.fm.ShowSignalClick();
  EXPECT_TRUE(w.fm.FastLineSeries1->data()->isEmpty() && w.prompter.messages.empty());
}

TEST(TfmInputSourceWindow, PreviewIntervalAndBadTexts) {
  Window w;
  w.fm.RadioButton1->setChecked(true);
  ASSERT_FALSE(w.fm.ShowSignalClick());  // no main window to take the run's duration from
  EXPECT_EQ(w.prompter.messages, std::vector<std::string>{"Ошибка в шаге по времени в главной форма"});
  // 1001 steps of 0.01 ns preview 10 ns.
  w.fm.SetRunTime([](int& steps, std::string& dT) {
    steps = 1001;
    dT = "0.01";
  });
  ASSERT_TRUE(w.fm.ShowSignalClick());
  EXPECT_NEAR(w.fm.PreviewX().back(), 9.995, 0.005);

  w.fm.RadioButton2->setChecked(true);
  w.ed("edMaxTime")->setText("abc");
  EXPECT_FALSE(w.fm.ShowSignalClick());
  EXPECT_EQ(w.prompter.messages.back(), "Ошибка в интервале времени показа");
  w.ed("edMaxTime")->setText("50");

  // A parameter that is no number is reported and stops the preview.
  w.ed("edSinAmpl")->setText("x");
  EXPECT_FALSE(w.fm.ShowSignalClick());
  EXPECT_EQ(w.prompter.messages.back(), "Обнаружены ошибки в значениях параметров сигналов\n"
                                        "«Амплитуда, В (В/м):» = \"x\" (вид сигнала «Синусоида») не является числом.");
  EXPECT_EQ(w.modified, 0);  // the program set these texts, not the user
}

// A value the run start refuses is not previewed: the refusal stands in the curve's place, for
// every kind and the file, and a usable value brings the curve back.
TEST(TfmInputSourceWindow, PreviewShowsTheRunStartsRefusalInPlaceOfTheCurve) {
  Window w;
  w.fm.SetRunTime([](int& steps, std::string& dT) { steps = 1001, dT = "0.01"; });  // 1/(2 dt) = 5e10 Hz
  w.fm.RadioButton1->setChecked(true);
  const auto view = [&w] {
    return std::tuple(w.fm.lbPreviewRefusal->isVisibleTo(&w.fm), w.fm.Chart1->isVisibleTo(&w.fm), w.fm.PreviewX().empty(),
                      w.fm.Series1->data()->isEmpty(), w.fm.lbPreviewRefusal->text().toStdString());
  };
  const auto refuses = [&](const char* edit, const char* text, const char* why) {
    const QString was = w.ed(edit)->text();
    w.ed(edit)->setText(text);
    EXPECT_FALSE(w.fm.ShowSignalClick()) << edit;
    EXPECT_THAT(view(), FieldsAre(true, false, true, true, HasSubstr(why))) << edit;
    w.ed(edit)->setText(was);
    EXPECT_TRUE(w.fm.ShowSignalClick());
    EXPECT_EQ(std::tuple(view(), w.fm.PreviewRefusal()), std::tuple(std::tuple(false, true, false, false, ""), ""));
  };
  refuses("edSinFreq", "0", "Сигнал «Синусоида»: «Частота, Гц:» = 0 — при нулевой частоте");
  for (const auto& [kind, edit] : std::initializer_list<std::pair<int, const char*>>{
           {SigSin, "edSinAmpl"}, {SigSlowSin, "edSlowSinAmpl"}, {SigGauss, "edGaussAmpl"}, {SigGaussRadio, "edGaussRadioAmpl"},
           {SigExp, "edExpAmpl"}, {SigExpRadio, "edExpRadioAmpl"}, {SigBlackmanHarris, "edBlackmanAmpl"}, {SigSinXdivX, "edSinXdivXAmpl"}}) {
    w.kind(kind);
    refuses(edit, "0", "сигнал равен нулю во все моменты времени");
    refuses(edit, "x", "= \"x\"");
  }
  // No signal file chosen: the run would take a zero signal. "Нет сигнала" is meant.
  w.kind(SigFromFile);
  EXPECT_THAT(view(), FieldsAre(true, false, true, true, StartsWith("Сигнал «Из файла»: имя файла не задано")));
  w.kind(SigNone);
  EXPECT_EQ(w.fm.PreviewRefusal(), "");
}

// What is typed is drawn at Enter or on leaving the field, with no box.
TEST(TfmInputSourceWindow, TypedEditRedrawsThePreviewAtEnterWithoutABox) {
  Window w;
  w.fm.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w.fm));
  const auto type = [&w](const char* edit, const char* text, bool enter = true) {
    QLineEdit* e = w.ed(edit);
    e->setFocus();
    e->selectAll();
    QTest::keyClicks(e, text);
    if (enter) QTest::keyClick(e, Qt::Key_Return);
  };
  const auto peak = [&w] { return *std::max_element(w.fm.PreviewY().begin(), w.fm.PreviewY().end()); };
  type("edSinAmpl", "3");
  EXPECT_NEAR(peak(), 3.0, 1e-6);
  type("edSinAmpl", "x");
  EXPECT_THAT(std::tuple(w.fm.lbPreviewRefusal->isVisible(), w.fm.PreviewX().empty(), w.fm.PreviewRefusal()),
              FieldsAre(true, true, HasSubstr("= \"x\"")));
  type("edSinAmpl", "2");
  EXPECT_EQ(std::tuple(w.fm.lbPreviewRefusal->isVisible(), w.fm.PreviewRefusal()), std::tuple(false, ""));
  EXPECT_NEAR(peak(), 2.0, 1e-6);
  type("edMaxTime", "10", false);
  w.ed("edSinFreq")->setFocus();  // leaving the field is enough
  EXPECT_NEAR(w.fm.PreviewX().back(), 10.0, 0.01);
  type("edMaxTime", "abc");
  EXPECT_THAT(w.fm.PreviewRefusal(), HasSubstr("Ошибка в интервале времени показа"));
  w.fm.SetRunTime([](int& steps, std::string& dT) { steps = 1001, dT = "0.01"; });
  w.fm.RadioButton1->click();
  EXPECT_EQ(w.fm.PreviewRefusal(), "");
  EXPECT_NEAR(w.fm.PreviewX().back(), 9.995, 0.005);
  EXPECT_TRUE(w.prompter.messages.empty());
}

TEST(TfmInputSourceWindow, SignalFileAndTheSectionSignal) {
  const std::string dir = rvtest::FreshDir("rv_signal_window_test", "file");
  Window w;
  WriteFile(dir + "good.srg", "1 5 name\r\n2 0\r\n");
  WriteFile(dir + "bad.srg", "1 5\r\nthis is no number\r\n");
  w.fm.cbTime->setCurrentIndex(5);  // "литры" can't be kept
  EXPECT_EQ(w.fm.cbTime->currentIndex(), 0);
  EXPECT_EQ(w.prompter.messages, std::vector<std::string>{"Пить надо меньше!!!"});

  std::optional<std::string> chosen = dir + "good.srg";
  w.fm.SetFileChooser([&] { return chosen; });
  // No file yet: no error, the page says a file is to be chosen and the preview shows
  // zeros; the run start's check of the signal refuses that (no warning before it).
  const size_t said = w.prompter.shown.size();
  w.kind(SigFromFile);
  EXPECT_EQ(std::tuple(w.prompter.shown.size(), w.fm.lbNoFile->isVisibleTo(&w.fm), w.fm.PreviewX().empty(),
                       w.source.GetSignal(0.5e-9)), std::tuple(said, true, false, 0.0));
  std::string refusal;
  std::vector<std::string> warnings;
  EXPECT_TRUE(w.fm.RefreshForRun(refusal, warnings));
  EXPECT_TRUE(warnings.empty() && !w.fm.Current().FileLoaded && w.fm.Current().FileName.empty());
  // A named file that is not there is an error.
  w.fm.edFileName->setText(QString::fromStdString(dir + "none.srg"));
  w.fm.ShowSignalClick();
  EXPECT_EQ(std::tuple(w.prompter.messages.back(), w.fm.lbNoFile->isVisibleTo(&w.fm)),
            std::tuple("Ошибка: нет заданного файла сигнала или его формат неверен\nФайл: " + dir + "none.srg", false));
  w.fm.btnOpenFile->click();
  ASSERT_TRUE(w.fm.FileLoaded());  // the preview's end is the file's last time, ns
  EXPECT_EQ(std::tuple(w.fm.edFileName->text().toStdString(), w.fm.edMaxTime->text()), std::tuple(dir + "good.srg", "2"));
  EXPECT_NEAR(w.source.GetSignal(0.5e-9), 2.5, 1e-6);
  EXPECT_NEAR(w.fm.PreviewX().back(), 2.0, 0.01);
  // An empty file holds no signal: said so, and the loaded one stays with its name.
  WriteFile(dir + "empty.srg", "");
  chosen = dir + "empty.srg";
  w.fm.btnOpenFile->click();
  EXPECT_EQ(w.prompter.messages.back(),
            "Файл входного сигнала " + dir + "empty.srg не содержит данных: нет ни одной строки со временем больше 0.");
  EXPECT_EQ(std::tuple(w.fm.FileLoaded(), w.fm.edFileName->text().toStdString()), std::tuple(true, dir + "good.srg"));
  EXPECT_NEAR(w.source.GetSignal(0.5e-9), 2.5, 1e-6);

  // Saved and read back through a project file; the rest of the file stays.
  const std::string project = dir + "p.fdt";
  WriteFile(project, "[Geometry]\r\nNX=10\r\n");
  w.ed("edGaussWidth")->setText("2e-9");
  w.fm.SpinEdit2->setValue(2);
  ASSERT_TRUE(w.fm.SaveSignalSettings(project));
  const SignalPageSettings saved = w.fm.GetSettings();
  w.ed("edGaussWidth")->setText("5");
  w.kind(SigSin);
  const size_t before = w.prompter.messages.size();
  ASSERT_TRUE(w.fm.LoadSignalSettings(project));
  EXPECT_EQ(w.fm.GetSettings().Edits, saved.Edits);
  EXPECT_EQ(std::tuple(w.fm.SpinEdit2->value(), w.fm.cbExpression->currentIndex(), w.fm.FileLoaded(), w.prompter.messages.size()),
            std::tuple(2, SigFromFile, true, before));
  EXPECT_NE(rvtest::ReadFile(project).find("NX=10"), std::string::npos);

  // A bad line: the loader's message only, the signal unloaded, the settings still shown.
  SignalPageSettings bad = saved;
  bad.Edit("edFileName") = dir + "bad.srg";
  EXPECT_FALSE(w.fm.ApplyProjectSettings(bad) || w.fm.FileLoaded());
  EXPECT_EQ(std::tuple(w.prompter.messages.back(), w.prompter.messages.size(), w.source.GetSignal(0.5e-9),
                       w.fm.edFileName->text().toStdString()),
            std::tuple("Файл входного сигнала не читается из-за ошибки в строке 2", before + 1, 0.0, dir + "bad.srg"));

  // A name without a folder is looked for in the program's folder.
  w.fm.SetProgramDir(dir);
  bad.Edit("edFileName") = "good.srg";
  EXPECT_TRUE(w.fm.ApplyProjectSettings(bad));
  EXPECT_EQ(w.fm.edFileName->text().toStdString(), dir + "good.srg");
}
