#include <gtest/gtest.h>

#include <cfloat>
#include <random>

#include "charts/chartedit.h"
#include "charts/chartview.h"
#include "charts/curvefile.h"
#include "charts/measure.h"
#include "charts/spectrum.h"
#include "charts_testutil.h"
#include "common/alloc_fail.h"
#include "solver/codepage.h"
#include "solver/numtext.h"

using namespace rv;
using rv::test::ReadBytes;
using rv::test::TempDir;
using rv::test::WriteBytes;

namespace {
std::string Cp(const std::string& utf8) { return Utf8ToCp1251(utf8); }
}  // namespace

TEST(CurveFile, ReadsCurveWithLabels) {
  TempDir dir;
  const std::string p = dir.file("Ez.srg");
  // cp1251, CR LF; the recorder's 23-character reals; labels on lines 1..5, more later (ignored).
  WriteBytes(p, Cp(" 0.00000000000000E+0000  1.50000000000000E+0000  Ez(5,6,7)\r\n1e-3 -2 t, нс\r\n"
                   "2 3.25E-8  U, В\r\n3 4 первая строка\r\n4 5    \r\n5 6 не метка\r\n\r\n"));
  ChartModel m;
  const CurveLoadResult r = LoadGraphFile(m, p);
  ASSERT_TRUE(r.ok) << r.message;
  const ChartSeries& s = m.Series.at(0);
  ASSERT_EQ(std::tuple(m.SeriesCount(), s.Count()), std::tuple(1, 6u));
  EXPECT_EQ(std::tuple(s.X[0], s.Y[0], s.X[1], s.Y[2]), std::tuple(0.0, 1.5, 1e-3, 3.25e-8));
  // One separating blank is dropped: a label written by the recorder (" Ez(") stays as is.
  // Line 5 holds blanks only: no footer line.
  EXPECT_EQ(std::tuple(s.Title, m.Texts.BottomAxisTitle, m.Texts.YAxisCaption, m.FileNames[0], m.ActiveGraph),
            std::tuple(" Ez(5,6,7)", "t, нс", " U, В", "Ez.srg", 0));
  EXPECT_EQ(m.Texts.Foot, std::vector<std::string>{"первая строка"});

  // LF-only lines, a DOS (cp866) label and a first line without text.
  const std::string q = dir.file("dos.grf");
  const std::string dosLabel = "\x92\xAE\xAA";  // "Ток" in cp866
  WriteBytes(q, "1 2\n3 4 " + dosLabel + "\n");
  ChartModel m2;
  ASSERT_TRUE(LoadGraphFile(m2, q).ok);
  EXPECT_EQ(std::tuple(m2.Series[0].Title, m2.FileNames[0], m2.Texts.BottomAxisTitle), std::tuple("", "dos.grf", "Ток"));

  // Loading a file twice gives two series of the same title and name; the footer collects.
  ASSERT_TRUE(LoadGraphFile(m, p).ok);
  EXPECT_EQ(std::tuple(m.SeriesCount(), m.Series[1].Title, m.FileNames[1], m.Texts.Foot.size(), m.ActiveGraph),
            std::tuple(2, m.Series[0].Title, m.FileNames[0], 2u, 1));
}

TEST(CurveFile, ReadsBothCsvLayouts) {
  TempDir dir;
  // Two channels of an oscilloscope export: six fields each, the channel's name after "Source".
  const std::string p = dir.file("scope.CSV");
  WriteBytes(p,
             "Record Length,4,,1.0e-6,0.5,,Record Length,4,,2.0e-6,7,\r\n"
             "Sample Interval,1e-9,,1.001e-6,0.6,,Sample Interval,1e-9,,2.001e-6,8,\r\n"
             "Source,CH1,,1.002e-6,0.7,,Source,CH2,,2.002e-6,9,\r\n");
  ChartModel m;
  CurveLoadResult r = LoadGraphFile(m, p);
  ASSERT_TRUE(r.ok) << r.message;
  ASSERT_EQ(std::tuple(m.SeriesCount(), m.FileNames), std::tuple(2, std::vector<std::string>{"scope.grf", "scope.grf"}));
  ASSERT_EQ(std::tuple(m.Series[0].Title, m.Series[1].Title, m.Series[0].Count(), m.Series[1].Count()),
            std::tuple("CH1", "CH2", 3u, 3u));
  // Nanoseconds; the reference is the time read last on line 1 (the last channel's).
  for (auto [got, want] : {std::pair{m.Series[0].X[0], 0.0}, {m.Series[1].X[0], 0.0}, {m.Series[0].X[1], 1001.0 - 2000},
                           {m.Series[1].X[2], 2.0}})
    EXPECT_NEAR(got, want, 1e-6);
  EXPECT_EQ(std::tuple(m.Series[0].Y[2], m.Series[1].Y[1], m.Texts.YAxisCaption, m.Texts.BottomAxisTitle, m.ActiveGraph),
            std::tuple(0.7, 8.0, "U, В", "t, нс", 1));

  // Plain x,y: seconds in, nanoseconds from 0 out.
  const std::string q = dir.file("plain.csv");
  WriteBytes(q, "1e-6,0.25\n1.5e-6, -0.5\n2e-6,1\n");
  ChartModel m2;
  r = LoadGraphFile(m2, q);
  ASSERT_TRUE(r.ok && m2.Series.at(0).Count() == 3u) << r.message;
  for (int k : {0, 1, 2}) EXPECT_NEAR(m2.Series[0].X[size_t(k)], 500 * k, 1e-6);
  EXPECT_EQ(std::tuple(m2.Series[0].Y[1], m2.FileNames[0]), std::tuple(-0.5, "plain.grf"));
}

TEST(CurveFile, MalformedLinesKeepPointsSoFar) {
  TempDir dir;
  struct Case {
    std::string name, text;
    std::size_t kept;
    std::string inMessage;
  };
  const Case cases[] = {
      {"word.grf", "1 2 a\r\n2 3\r\n3 abc\r\n4 5\r\n", 2, "\"abc\""},
      {"single.grf", "1 2\r\n7\r\n3 4\r\n", 1, "строке 2"},
      {"semicolon.srg", "1;5 2\r\n", 0, "\"1;5\""},
      {"noComma.csv", "1e-9,1\n2e-9 2\n", 1, "строке 2"},
      {"twoCommas.csv", "1e-9,1\n2e-9,2,3\n", 1, "\"2,3\""},
      {"short.csv", "Record Length,4,,0,1,\r\nSource,CH1\r\n", 1, "не хватает"},
      {"badY.csv", "Record Length,4,,0,1,\r\n,,,1e-9,x1\r\n", 1, "\"x1\""},
      {"nochan.csv", "Record Length,4\r\n", 0, "нет ни одного канала"},
  };
  for (const Case& c : cases) {
    const std::string p = dir.file(c.name);
    WriteBytes(p, c.text);
    ChartModel m;
    const CurveLoadResult r = LoadGraphFile(m, p);
    EXPECT_FALSE(r.ok) << c.name;
    EXPECT_NE(r.message.find(c.inMessage), std::string::npos) << c.name << ": " << r.message;
    // A failed load keeps what it read only when it read something, and says when it kept nothing.
    ASSERT_EQ(std::tuple(m.SeriesCount(), r.seriesAdded, m.FileNames.size()),
              std::tuple(int(c.kept > 0), int(c.kept > 0), std::size_t(c.kept > 0)))
        << c.name;
    if (c.kept > 0) {
      EXPECT_EQ(m.Series[0].Count(), c.kept) << c.name;
    }
    EXPECT_EQ(c.kept == 0 && c.name != "nochan.csv", r.message.ends_with("График не добавлен")) << r.message;
  }
  // A file that cannot be opened adds nothing.
  ChartModel m;
  const CurveLoadResult r = LoadGraphFile(m, dir.file("missing.grf"));
  EXPECT_EQ(std::tuple(r.ok, r.message, m.SeriesCount()),
            std::tuple(false, "Невозможно открыть файл:" + dir.file("missing.grf"), 0));
  // ".gpj" is ignored, ".GPJ" read as a curve file.
  for (auto [name, count] : {std::pair{"a.gpj", 0}, {"b.GPJ", 1}}) {
    WriteBytes(dir.file(name), "1 2\r\n");
    EXPECT_TRUE(LoadGraphFile(m, dir.file(name)).ok);
    EXPECT_EQ(m.SeriesCount(), count) << name;
  }
}

// Files that give no point add no series and leave the chart as it was: an empty file (or
// blank lines), a temporary curve without points, a scope export whose first line holds a
// million commas; of the channels of an export only those that got a point stay.
TEST(CurveFile, LoadsWithoutPointsAddNothing) {
  TempDir dir;
  ChartModel m;
  m.AddNamedSeries("old");
  m.Texts.BottomAxisTitle = "f, ГГц";
  const auto state = [&] { return std::tuple(m.SeriesCount(), m.ActiveGraph, m.UnnamedGraphCounter, m.Texts.BottomAxisTitle); };
  const auto before = state();
  std::string commas = "Record Length";
  commas.append(1000000, ',');
  for (auto [name, text] : {std::pair{"empty.grf", ""}, {"blank.srg", " \r\n\r\n"}, {"empty.csv", ""},
                            {"wide.csv", commas.c_str()}}) {
    WriteBytes(dir.file(name), text);
    const CurveLoadResult r = LoadGraphFile(m, dir.file(name));
    EXPECT_EQ(std::tuple(r.ok, r.seriesAdded, r.noPoints, r.message.ends_with("График не добавлен"), state()),
              std::tuple(false, 0, std::string(name) != "wide.csv", true, before))
        << name << ": " << r.message;
  }
  WriteBytes(dir.file("words.txt"), "one\r\n\r\n");
  const CurveLoadResult t = LoadTempGraph(m, dir.file("words.txt"));
  EXPECT_EQ(std::tuple(t.ok, t.noPoints, state()), std::tuple(false, true, before));

  // Channel 2's value is not a number on line 1: channel 1 keeps its point, channel 2 goes.
  WriteBytes(dir.file("two.csv"), "Record Length,4,,0,1,,Record Length,4,,0,x,\r\n");
  const CurveLoadResult r = LoadGraphFile(m, dir.file("two.csv"));
  EXPECT_EQ(std::tuple(r.ok, r.seriesAdded, m.SeriesCount(), m.Series[1].Count(), m.ActiveGraph),
            std::tuple(false, 1, 2, 1u, 1));
}

TEST(CurveFile, WriteAndReadBackTo15Digits) {
  TempDir dir;
  ChartModel m;
  const int i = m.AddNamedSeries("src");
  ChartSeries& s = m.Series[std::size_t(i)];
  std::mt19937_64 rng(42);
  std::uniform_real_distribution<double> mant(-10, 10);
  std::uniform_int_distribution<int> ex(-40, 40);
  for (int k = 0; k < 2000; ++k) s.AddXY(k * 0.1e-9, mant(rng) * std::pow(10.0, ex(rng)));
  for (double v : {0.0, 1e-4, 9.99999999999999e-5, 1e15, 999999999999999.0, -1.5e-8, 2e20, double(INFINITY),
                   -double(INFINITY), double(NAN), 1.0 / 3.0, DBL_MAX, -DBL_MAX})
    s.AddXY(v, v);
  s.Title = "Заголовок";
  m.Texts.BottomAxisTitle = "t, нс";
  m.Texts.YAxisCaption = "E, В/м";
  m.Texts.Foot = {"подпись 1", "подпись 2", "лишняя"};
  const std::string p = dir.file("out.srg");
  std::string err;
  ASSERT_TRUE(SaveGraphFile(m, i, p, err)) << err;

  const std::string bytes = ReadBytes(p);  // cp1251 and CR LF
  EXPECT_TRUE(bytes.rfind("0 ", 0) == 0 && bytes.find(Cp(" Заголовок\r\n")) != bytes.npos &&
              bytes.find("\nINF INF \r\n") != bytes.npos);

  ChartModel back;
  const CurveLoadResult r = LoadGraphFile(back, p);
  ASSERT_TRUE(r.ok) << r.message;
  const ChartSeries& b = back.Series[0];
  ASSERT_EQ(b.Count(), s.Count());
  for (std::size_t k = 0; k < s.Count(); ++k) {
    if (std::isnan(s.Y[k])) { EXPECT_TRUE(std::isnan(b.Y[k])); continue; }
    EXPECT_EQ(std::pair(CurveNumber(b.X[k]), CurveNumber(b.Y[k])), std::pair(CurveNumber(s.X[k]), CurveNumber(s.Y[k]))) << k;
    if (std::isfinite(s.Y[k]) && s.Y[k] != 0) {
      EXPECT_LE(std::fabs(b.Y[k] / s.Y[k] - 1), 5e-15) << k;
    }
  }
  EXPECT_EQ(std::tuple(b.Title, back.Texts.BottomAxisTitle, back.Texts.YAxisCaption), std::tuple("Заголовок", "t, нс", "E, В/м"));
  EXPECT_EQ(back.Texts.Foot, (std::vector<std::string>{"подпись 1", "подпись 2"}));

  // Saved again, the file is the same: labels do not gather blanks.
  const std::string p2 = dir.file("again.srg");
  ASSERT_TRUE(SaveGraphFile(back, 0, p2, err)) << err;
  EXPECT_EQ(ReadBytes(p2), bytes);

  // Three points carry the title and both axis titles, no footer line.
  ChartModel three;
  three.AddNamedSeries("x");
  for (int k = 0; k < 3; ++k) three.Series[0].AddXY(k, k);
  three.Texts.Foot = {"f"};
  ASSERT_TRUE(SaveGraphFile(three, 0, p2, err));
  EXPECT_EQ(ReadBytes(p2), Cp("0 0 x\r\n1 1 t, нс\r\n2 2 \r\n"));
  // A folder that does not exist: an error, no exception.
  EXPECT_FALSE(SaveGraphFile(three, 0, dir.file("no/such/dir.srg"), err) || err.empty());
}

TEST(CurveFile, TemporaryCurveRoundTrip) {
  TempDir dir;
  const std::string p = dir.file("Streem-1234.txt");
  std::string err;
  ASSERT_TRUE(WriteTempCurve(p, {0, 1e-9, 2e-9, 3e-9, 4e-9}, {1, -2, 3, 4, 5}, "Вода Re",
                             "f, ГГц", "Re(eps)", err)) << err;
  const std::string bytes = ReadBytes(p);
  EXPECT_EQ(bytes.substr(0, 45), "0.00000000000000E+0000 1.00000000000000E+0000");
  ChartModel m;
  m.AddNamedSeries("existing");
  m.Texts.Foot = {"old"};
  const int counter = m.UnnamedGraphCounter;
  CurveLoadResult r = LoadTempGraph(m, p, "Streem.txt");
  ASSERT_TRUE(r.ok) << r.message;
  ASSERT_EQ(m.SeriesCount(), 2);
  const ChartSeries& s = m.Series[1];
  EXPECT_EQ(std::tuple(s.Title, s.Count(), s.Y[1], s.Color, m.FileNames[1], m.UnnamedGraphCounter),
            std::tuple("Вода Re", 5u, -2.0, PaletteColor(1), "Без имени-" + std::to_string(counter), counter + 1));
  EXPECT_EQ(std::tuple(m.Texts.BottomAxisTitle, m.Texts.YAxisCaption, m.Texts.Foot.empty(), m.ActiveGraph,
                       m.IndexOf(m.LastSeries)), std::tuple("f, ГГц", "Re(eps)", true, 1, 1));

  // A word that is not a number: the message, and the chart as it was.
  const std::string q = dir.file("bad.txt");
  WriteBytes(q, "1 2 title\r\nskip\r\n3 x4\r\n");
  r = LoadTempGraph(m, q);
  EXPECT_EQ(std::tuple(r.ok, r.message, m.SeriesCount(), m.UnnamedGraphCounter),
            std::tuple(false, "Ошибка x4 в строке 2 в файле bad.txt", 2, counter + 1));
}

TEST(CurveFile, CommandLineAndPaths) {
  // The test is case-sensitive.
  EXPECT_EQ(std::tuple(IsCommandLineGraph("/d/a.grf", true), IsCommandLineGraph("/d/a.FDT", true),
                       IsCommandLineGraph("/d/a.fdt", true), IsCommandLineGraph("/d/a.grf", false)),
            std::tuple(true, true, false, false));
  // 5 or more exponent digits: no padding.
  EXPECT_EQ(std::tuple(ExtractFileName("/a/b.c/d.srg"), ExtractFileDir("/a/b.c/d.srg"), ExtractFileExt("/a/b.c/d"),
                       ChangeFileExt("x.CSV", ".grf"), ChartNumber(1234.5, 3, 2), ChartNumber(1.5e-8, 3, 7)),
            std::tuple("d.srg", "/a/b.c/", "", "x.grf", "1.23E03", "1.5E-8"));
}

// Each reader meets a failed allocation at every step in turn: a message, the chart as it was.
TEST(CurveFile, LoadsRunningOutOfMemoryChangeNothing) {
  RVTEST_NEEDS_ALLOC_FAIL();
  TempDir dir;
  const std::string grf = dir.file("a.grf"), csv = dir.file("b.csv"), tmp = dir.file("c.txt");
  WriteBytes(grf, "1 2 title\r\n\r\n2 3 x\r\n3 4 y\r\n");
  WriteBytes(csv, "0,1\r\n1e-9,2\r\n");
  WriteBytes(tmp, "0 1 t\r\n1 2 x\r\n");
  ChartModel m;
  m.AddNamedSeries("existing");
  m.Texts.Foot = {"old"};
  const ChartModel before = m;
  for (const std::string& path : {grf, csv, tmp}) {
    CurveLoadResult r;
    rvtest::FailEachAllocation(
        path.c_str(),
        [&] { r = path == tmp ? LoadTempGraph(m, path) : LoadGraphFile(m, path); },
        [&](bool failed) {
          EXPECT_EQ(r.ok, !failed);
          if (!failed) return;
          EXPECT_NE(r.message.find("Не хватает памяти"), std::string::npos) << r.message;
          EXPECT_EQ(std::tuple(m.SeriesCount(), m.Texts.Foot, m.Texts.BottomAxisTitle, m.ActiveGraph, m.UnnamedGraphCounter),
                    std::tuple(1, before.Texts.Foot, before.Texts.BottomAxisTitle, before.ActiveGraph,
                               before.UnnamedGraphCounter));
        });
    m = before;
  }
}

// A saved curve carries the titles of its own X and Y whatever the axes show then: a time
// curve after a spectrum and an impedance, the spectra, the Z graphs, a sum, a product and
// a swap. Renaming an axis renames the curves it showed.
TEST(CurveFile, SavedTitlesAreTheCurvesOwn) {
  TempDir dir;
  WriteBytes(dir.file("U.grf"), Cp("0 0 U\r\n1e-3 1 t, нс\r\n2e-3 0 U, В\r\n"));
  ChartModel m;
  ASSERT_TRUE(LoadGraphFile(m, dir.file("U.grf")).ok);
  const std::vector<double> v{1, 2, 3};
  AddSpectrumGraphs(m, "U", {.noPhase = false, .cbFreq = 3}, {v, v, v});
  AddImpedanceGraphs(m, "U", {v, v, v}, "U", {v, v, v}, {.cbFreq = 3});
  CombineGraphs(m, {0, 0}, false);
  CombineGraphs(m, {0, 0}, true);
  ApplyPointOp(m.Series[std::size_t(CombineGraphs(m, {0}, false))], PointOp::SwapXY, 0, &m.Texts);
  std::vector<std::string> titles;
  for (int i : {0, 1, 2, 3, 6, 7, 8}) {
    std::string err;
    ChartModel back;
    ASSERT_TRUE(SaveGraphFile(m, i, dir.file("s.grf"), err) && LoadGraphFile(back, dir.file("s.grf")).ok) << err;
    titles.push_back(back.Texts.BottomAxisTitle + "|" + back.Texts.YAxisCaption);
  }
  EXPECT_EQ(titles, (std::vector<std::string>{"t, нс|U, В", "f, ГГц|Модуль спектра", "f, ГГц|Фаза спектра, рад",
                                               "f, ГГц|Z, Ом", "t, нс|U, В", "t, нс|", "U, В|t, нс"}));
  EXPECT_EQ(m.Texts.BottomAxisTitle + "|" + m.Texts.YAxisCaption, "f, ГГц|Z, Ом");
  m.Series[0].Title = "Z, Ω (λ/2) \xF0\x9F\x98\x80";  // characters cp1251 lacks come back as typed
  std::string err;
  ChartModel back;
  ASSERT_TRUE(SaveGraphFile(m, 0, dir.file("w.grf"), err) && LoadGraphFile(back, dir.file("w.grf")).ok) << err;
  EXPECT_EQ(back.Series[0].Title, m.Series[0].Title);
  m.Texts.BottomAxisTitle = "Частота, ГГц";
  m.AxisTitlesRenamed("f, ГГц", "Z, Ом");
  EXPECT_EQ(std::tuple(m.XTitleOf(m.Series[0]), m.XTitleOf(m.Series[3])), std::tuple("t, нс", "Частота, ГГц"));
}

// A run killed while writing leaves its last line cut anywhere: a line shorter than its
// written form (of a negative, an infinite or a plain value) is left out with a note, never
// read as a cut number; the whole line without its line end is read.
TEST(CurveFile, ALastLineCutInTheWritingIsNotRead) {
  TempDir dir;
  const std::string p = dir.file("cut.srg");
  for (double yLast : {4.37460700049996E-0003, -2.84788939097780E-0008, HUGE_VAL}) {
    SCOPED_TRACE(yLast);
    std::string body;
    const int n = 40;
    for (int i = 0; i < n; ++i)
      body += FormatTextReal(float(i * 1.25e-3)) + " " + FormatTextReal(float(i + 1 < n ? std::sin(i) * 1e-3 : yLast)) +
              (i ? "" : "  Ez(5,6,7)") + (i + 1 < n ? "\r\n" : "");
    ChartModel whole;
    WriteBytes(p, body);
    ASSERT_TRUE(LoadGraphFile(whole, p).ok);
    const std::vector<double> &wx = whole.Series.at(0).X, &wy = whole.Series.at(0).Y;
    const std::size_t lastStart = body.rfind('\n') + 1, lastLen = body.size() - lastStart;
    ASSERT_EQ(std::tuple(lastLen, wx.size()), std::tuple(47u, size_t(n)));
    for (std::size_t cut = 1; cut <= lastLen + 1; ++cut) {
      SCOPED_TRACE(cut);
      WriteBytes(p, cut <= lastLen ? body.substr(0, lastStart + cut) : body + "\r");
      ChartModel m;
      const CurveLoadResult r = LoadGraphFile(m, p);
      ASSERT_TRUE(r.ok) << r.message;
      const ChartSeries& s = m.Series.at(0);
      const bool full = cut >= lastLen;
      ASSERT_EQ(s.Count(), size_t(full ? n : n - 1));
      EXPECT_TRUE(std::equal(s.X.begin(), s.X.end(), wx.begin()) && std::equal(s.Y.begin(), s.Y.end(), wy.begin()));
      EXPECT_TRUE(full ? r.note.empty() : r.note.find("Последняя строка 40 файла " + p + " оборвана") != std::string::npos)
          << r.note;
    }
  }
  // A generated curve (blanks normalised) cut in its last number, and whole but its line end.
  const std::string g = dir.file("gen.txt");
  std::string err;
  ASSERT_TRUE(WriteTempCurve(g, {0, 1, 2}, {1, -2.5e-8, 3}, "T", "X", "Y", err)) << err;
  const std::string gen = ReadBytes(g);
  for (std::size_t keep : {gen.size() - 6, gen.size() - 2}) {
    WriteBytes(g, gen.substr(0, keep));
    ChartModel m;
    const CurveLoadResult r = LoadTempGraph(m, g, "Streem.txt");
    const bool whole = keep == gen.size() - 2;
    EXPECT_EQ(std::tuple(r.ok, m.Series.size() ? m.Series[0].Count() : 0, r.note.empty()),
              std::tuple(true, size_t(whole ? 3 : 2), whole)) << r.note;
  }
  // Hand-made numbers, no line end at the end: every point, no note.
  WriteBytes(dir.file("hand.grf"), "0 1\r\n1 2.5\r\n2 4.374");
  ChartModel m;
  const CurveLoadResult r = LoadGraphFile(m, dir.file("hand.grf"));
  EXPECT_EQ(std::tuple(r.ok, m.Series.at(0).Count(), m.Series.at(0).Y.back(), r.note), std::tuple(true, 3u, 4.374, ""));
}

// A huge bad word (10 MB) in every curve reader's input: the message quotes only its start.
TEST(CurveFile, AMessageQuotesOnlyTheStartOfAHugeWord) {
  TempDir dir;
  const std::string word = "q" + std::string(10u << 20, '7');
  auto check = [&](const char* what, bool refused, const std::string& msg) {
    EXPECT_TRUE(refused && msg.size() < 600 && msg.find("q7777777") != std::string::npos &&
                msg.find("…") != std::string::npos) << what << ": " << msg.substr(0, 600);
  };
  const std::pair<const char*, std::string> files[] = {
      {"curve.grf", "1 2\r\n" + word + " 3\r\n"},
      {"plain.csv", "1,2\r\n3," + word + "\r\n"},
      {"scope.csv", "Record Length,2500,Points,0," + word + ",\r\n"},
      {"gen.txt", "1 2\r\n3 " + word + "\r\n"},  // a generated curve, by its own reader
  };
  for (const auto& [name, text] : files) {
    WriteBytes(dir.file(name), text);
    ChartModel m;
    const CurveLoadResult r = name[0] == 'g' ? LoadTempGraph(m, dir.file(name)) : LoadGraphFile(m, dir.file(name));
    check(name, !r.ok, r.message);
  }
  std::vector<double> div;
  check("divisors", true, ListDivisors({"2", word}, 2, div));
  ChartSeries g;
  std::string err;
  check("pasted", !ReadPointRows({{"1", "2"}, {word, "3"}}, g, err), err);
}
