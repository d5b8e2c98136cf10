#include "charts/curvefile.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>
#include <optional>

#include "solver/codepage.h"
#include "solver/numtext.h"
#include "solver/textutils.h"

namespace rv {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

bool IsBlankLine(std::string_view s) { return Trim(s).empty(); }

std::string AsciiLower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return s;
}

// Texts of curve files may be in cp866 (old DOS tools); the rest of the program is UTF-8.
// A file this program wrote as UTF-8 (its texts hold characters cp1251 lacks) is read as
// UTF-8; any other holds single-byte texts, possibly DOS Cyrillic.
std::string LabelText(std::string_view raw, bool utf8) { return utf8 ? std::string(raw) : Cp1251ToUtf8(DosToWin(raw)); }

// A piece of raw (cp1251) input for a message: only its start is converted.
std::string RawPiece(std::string_view raw) { return TextPiece(Cp1251ToUtf8(raw.substr(0, 120))); }

std::string NotANumber(const std::string& path, std::size_t line, std::string_view item) {
  return "Ошибка в строке " + IntToStr((long long)line) + " файла " + path + ": \"" +
         RawPiece(item) + "\" не является числом";
}

std::string OpenError(const std::string& path) { return "Невозможно открыть файл:" + path; }

// A number in the 23-character form the run and the generators write (FormatTextReal):
// an optional minus, one digit, a point, 14 digits, "E", a sign and 4 digits; or the
// words that form gives a value that is no finite number.
bool WrittenRealForm(std::string_view t) {
  if (!t.empty() && t[0] == '-') t.remove_prefix(1);
  if (t == "NAN" || t == "INF") return true;
  if (t.size() != 22 || t[1] != '.' || t[16] != 'E' || (t[17] != '-' && t[17] != '+')) return false;
  auto digits = [&](std::size_t b, std::size_t n) {
    for (std::size_t i = b; i < b + n; ++i)
      if (t[i] < '0' || t[i] > '9') return false;
    return true;
  };
  return digits(0, 1) && digits(2, 14) && digits(18, 4);
}

// The last line of a text when it has no line end (empty otherwise), and the text before it.
struct OpenTail {
  std::string_view before, line;
};
OpenTail SplitOpenTail(std::string_view text) {
  if (text.empty() || text.back() == '\n' || text.back() == '\r') return {text, {}};
  const std::size_t end = text.find_last_of("\r\n");
  const std::size_t b = end == std::string_view::npos ? 0 : end + 1;
  return {text.substr(0, b), text.substr(b)};
}

// Whether an unfinished last line with the numbers x and y was cut in the writing: the
// lines before it (prevOurs: the last of them) or its own X are in the written form, and
// its numbers are not both whole in that form.
bool CutInWriting(bool prevOurs, std::string_view x, std::string_view y) {
  return (prevOurs || WrittenRealForm(x)) && !(WrittenRealForm(x) && WrittenRealForm(y));
}

// text: the line as read, raw cp1251 or (utf8) converted already.
std::string CutLineNote(const std::string& path, std::size_t line, std::string_view text, bool utf8 = false) {
  return "Последняя строка " + IntToStr((long long)line) + " файла " + path + " оборвана («" +
         (utf8 ? TextPiece(Trim(text)) : RawPiece(Trim(text))) +
         "»: нет конца строки, числа короче, чем их пишет программа) и не прочитана: файл, видимо, записан не до "
         "конца (расчет прерван?).";
}

// One curve-file line: X, Y and the text after Y (without the one blank that separates
// it, so a label survives any number of save and load round trips unchanged).
struct CurveLine {
  std::string_view x, y, text;
  bool hasY = false;
};

CurveLine SplitCurveLine(std::string_view s) {
  CurveLine out;
  std::size_t p = 0;
  auto skip = [&] { while (p < s.size() && IsBlank(s[p])) ++p; };
  auto token = [&] {
    const std::size_t b = p;
    while (p < s.size() && !IsBlank(s[p])) ++p;
    return s.substr(b, p - b);
  };
  skip();
  out.x = token();
  skip();
  if (p >= s.size()) return out;
  out.y = token();
  out.hasY = true;
  if (p < s.size()) {
    out.text = s.substr(p + 1);
  }
  return out;
}

// What a load read, before it joins the chart: one series per curve or channel (titled by
// the file's name unless the file names it) and the chart's texts as the file leaves them.
struct ReadCurves {
  ReadCurves(const ChartModel& m, const std::string& name, std::size_t count) : curves(count), texts(m.Texts) {
    for (ChartSeries& c : curves) c.Title = name;
    texts.BottomAxisTitle = "t, нс";  // as every named graph sets it
  }
  std::vector<ChartSeries> curves;
  ChartTexts texts;
};

// Adds the curves that got a point, in order, as named graphs with the texts read. When
// none did, the chart stays as it was and the message says no graph was added.
void Commit(ChartModel& m, const std::string& path, const std::string& name, ReadCurves& read, CurveLoadResult& r) {
  for (ChartSeries& c : read.curves) {
    if (c.Count() == 0) continue;
    ChartSeries& s = m.Series[std::size_t(m.AddNamedSeries(name))];
    s.Title = std::move(c.Title);
    s.X = std::move(c.X);
    s.Y = std::move(c.Y);
    s.XTitle = read.texts.BottomAxisTitle;
    s.YTitle = read.texts.YAxisCaption;
    ++r.seriesAdded;
  }
  if (r.seriesAdded > 0) {
    m.SetAxisTitles(read.texts.BottomAxisTitle, read.texts.YAxisCaption);
    m.Texts = std::move(read.texts);
    return;
  }
  if (r.ok) {
    r.ok = false;
    r.noPoints = true;
    r.message = "В файле " + path + " нет ни одной точки графика";
  }
  r.message += ". График не добавлен";
}

CurveLoadResult LoadCurve(ChartModel& m, const std::string& path, const std::string& name,
                          std::string_view text, bool utf8) {
  CurveLoadResult r;
  ReadCurves read(m, name, 1);
  ChartSeries& s = read.curves[0];
  std::size_t counter = 0;
  const OpenTail tail = SplitOpenTail(text);
  bool prevOurs = false;
  LineReader lines(tail.before);
  std::size_t li = 0;
  bool inTail = false;
  for (std::string_view line;;) {
    if (!inTail && lines.Next(line)) {
      li = lines.Number() - 1;
    } else if (!inTail && !tail.line.empty()) {
      inTail = true;
      line = tail.line;
      li = lines.Number();
    } else {
      break;
    }
    const CurveLine cl = SplitCurveLine(line);
    if (inTail && CutInWriting(prevOurs, cl.x, cl.y)) {
      r.note = CutLineNote(path, li + 1, line);
      break;
    }
    if (IsBlankLine(line)) continue;
    prevOurs = WrittenRealForm(cl.x) && WrittenRealForm(cl.y);
    double x = 0, y = 0;
    if (!ParseCurveNumber(cl.x, x)) {
      r.ok = false;
      r.message = NotANumber(path, li + 1, cl.x);
      break;
    }
    if (!cl.hasY) {
      r.ok = false;
      r.message = "Ошибка в строке " + IntToStr((long long)(li + 1)) + " файла " + path +
                  ": нет второго числа";
      break;
    }
    if (!ParseCurveNumber(cl.y, y)) {
      r.ok = false;
      r.message = NotANumber(path, li + 1, cl.y);
      break;
    }
    s.AddXY(x, y);
    ++counter;
    switch (counter) {
      case 1: s.Title = LabelText(cl.text, utf8); break;
      case 2: read.texts.BottomAxisTitle = LabelText(cl.text, utf8); break;
      case 3: read.texts.YAxisCaption = LabelText(cl.text, utf8); break;
      case 4:
      case 5:
        if (!NormalizeBlanks(cl.text).empty()) read.texts.Foot.push_back(LabelText(cl.text, utf8));
        break;
      default: break;
    }
  }
  Commit(m, path, name, read, r);
  return r;
}

std::vector<std::string_view> SplitCommas(std::string_view s) {
  std::vector<std::string_view> f;
  std::size_t b = 0;
  for (;;) {
    const std::size_t c = s.find(',', b);
    if (c == std::string_view::npos) { f.push_back(s.substr(b)); break; }
    f.push_back(s.substr(b, c - b));
    b = c + 1;
  }
  return f;
}

// An export read to its end is a voltage over time in nanoseconds.
void ExportTexts(ReadCurves& read, const CurveLoadResult& r) {
  if (!r.ok) return;
  read.texts.YAxisCaption = "U, В";
  read.texts.BottomAxisTitle = "t, нс";
}

CurveLoadResult LoadMultiChannel(ChartModel& m, const std::string& path, const std::string& name,
                                 std::string_view text, const ConfirmChannels& confirm) {
  CurveLoadResult r;
  LineReader lines(text);
  std::string_view line;
  lines.Next(line);
  const int commas = int(std::count(line.begin(), line.end(), ','));
  const int channels = (commas + 1) / 6;
  if (channels < 1) {
    r.ok = false;
    r.message = "В файле " + path + " нет ни одного канала (6 полей через запятую на канал)";
    return r;
  }
  if (channels > kManyChannels && confirm && !confirm(channels)) {
    r.declined = true;
    return r;
  }
  ReadCurves read(m, name, std::size_t(channels));
  double t0 = 0;
  bool first = true;
  for (bool more = true; more && r.ok; more = lines.Next(line)) {
    const std::size_t li = lines.Number() - 1;
    if (IsBlankLine(line)) continue;
    const auto f = SplitCommas(line);
    double x = 0;
    for (int k = 1; k <= commas; ++k) {
      const int c = k / 6 + 1;
      if (c > channels) break;
      const int base = 6 * (c - 1);
      if (k != base + 1 && k != base + 4 && k != base + 5) continue;
      if (std::size_t(k) > f.size()) {
        r.ok = false;
        r.message = "Ошибка в строке " + IntToStr((long long)(li + 1)) + " файла " + path +
                    ": не хватает полей";
        break;
      }
      const std::string_view field = f[std::size_t(k - 1)];
      if (k == base + 4) {
        double t = 0;
        if (!ParseCurveNumber(field, t)) { r.ok = false; r.message = NotANumber(path, li + 1, field); break; }
        x = t * 1e9;
        if (first) t0 = x;  // the last channel's time of line 1 is the reference
        x -= t0;
      } else if (k == base + 5) {
        double y = 0;
        if (!ParseCurveNumber(field, y)) { r.ok = false; r.message = NotANumber(path, li + 1, field); break; }
        read.curves[std::size_t(c - 1)].AddXY(x, y);
      } else if (Trim(field) == "Source") {
        const std::string_view next = std::size_t(k) < f.size() ? Trim(f[std::size_t(k)]) : std::string_view{};
        read.curves[std::size_t(c - 1)].Title = Cp1251ToUtf8(next);
      }
    }
    first = false;
  }
  ExportTexts(read, r);
  Commit(m, path, name, read, r);
  return r;
}

CurveLoadResult LoadPlainCsv(ChartModel& m, const std::string& path, const std::string& name,
                             std::string_view text) {
  CurveLoadResult r;
  ReadCurves read(m, name, 1);
  ChartSeries& s = read.curves[0];
  double t0 = 0;
  bool first = true;
  LineReader lines(text);
  for (std::string_view line; lines.Next(line);) {
    const std::size_t li = lines.Number() - 1;
    if (IsBlankLine(line)) continue;
    const std::size_t c = line.find(',');
    if (c == std::string_view::npos) {
      r.ok = false;
      r.message = "Ошибка в строке " + IntToStr((long long)(li + 1)) + " файла " + path +
                  ": нет запятой между X и Y";
      break;
    }
    double t = 0, y = 0;
    const std::string_view xs = line.substr(0, c), ys = line.substr(c + 1);
    if (!ParseCurveNumber(xs, t)) { r.ok = false; r.message = NotANumber(path, li + 1, xs); break; }
    // A comma separates the fields here: one more is a third field, not a decimal comma.
    if (ys.find(',') != std::string_view::npos || !ParseCurveNumber(ys, y)) { r.ok = false; r.message = NotANumber(path, li + 1, ys); break; }
    double x = t * 1e9;
    if (first) t0 = x;
    first = false;
    s.AddXY(x - t0, y);
  }
  ExportTexts(read, r);
  Commit(m, path, name, read, r);
  return r;
}

}  // namespace

namespace {
CurveLoadResult LoadGraphFileImpl(ChartModel& m, const std::string& path, const ConfirmChannels& confirm);
CurveLoadResult LoadTempGraphImpl(ChartModel& m, const std::string& path, const std::string& displayName);
}  // namespace

std::string ChartNumber(double v, int p, int d) {
  return FormatGeneral(v, p, d >= 5 ? 0 : std::max(d, 0), 1e-4);
}

std::string CurveNumber(double v) { return ChartNumber(v, 15, 0); }

bool ParseCurveNumber(std::string_view s, double& v) {
  if (TryStrToFloat(s, v)) return true;
  const std::string_view t = Trim(s);
  const std::string u = AsciiLower(std::string(t));
  if (u == "nan") { v = std::numeric_limits<double>::quiet_NaN(); return true; }
  if (u == "inf" || u == "+inf") { v = std::numeric_limits<double>::infinity(); return true; }
  if (u == "-inf") { v = -std::numeric_limits<double>::infinity(); return true; }
  return false;
}

std::string ExtractFileName(const std::string& path) {
  const std::size_t p = path.find_last_of("/\\");
  return p == std::string::npos ? path : path.substr(p + 1);
}

std::string ExtractFileDir(const std::string& path) {
  const std::size_t p = path.find_last_of("/\\");
  return p == std::string::npos ? std::string() : path.substr(0, p + 1);
}

std::string ExtractFileExt(const std::string& path) {
  const std::string name = ExtractFileName(path);
  const std::size_t p = name.rfind('.');
  return p == std::string::npos ? std::string() : name.substr(p);
}

std::string ChangeFileExt(const std::string& path, const std::string& ext) {
  const std::string e = ExtractFileExt(path);
  return path.substr(0, path.size() - e.size()) + ext;
}

namespace {

// What a load may change in the chart, put back when it runs out of memory.
struct ChartState {
  explicit ChartState(const ChartModel& m)
      : series(m.Series.size()), names(m.FileNames.size()), active(m.ActiveGraph),
        counter(m.UnnamedGraphCounter), last(m.LastSeries), texts(m.Texts) {}
  void Restore(ChartModel& m) {
    m.Series.erase(m.Series.begin() + std::ptrdiff_t(std::min(series, m.Series.size())), m.Series.end());
    m.FileNames.erase(m.FileNames.begin() + std::ptrdiff_t(std::min(names, m.FileNames.size())),
                      m.FileNames.end());
    m.ActiveGraph = active;
    m.UnnamedGraphCounter = counter;
    m.LastSeries = last;
    m.Texts = std::move(texts);
  }
  std::size_t series, names;
  int active, counter;
  CurveId last;
  ChartTexts texts;
};

// Runs a load; when it runs out of memory the chart is as it was and the message says so.
template <class Load>
CurveLoadResult Guarded(ChartModel& m, const std::string& path, Load load) {
  std::optional<ChartState> before;
  try {
    before.emplace(m);
    return load();
  } catch (const std::bad_alloc&) {
    if (before) before->Restore(m);
    CurveLoadResult r;
    r.ok = false;
    r.message = NoMemoryMessage(path);
    return r;
  }
}

}  // namespace

CurveLoadResult LoadGraphFile(ChartModel& m, const std::string& path, const ConfirmChannels& confirm) {
  return Guarded(m, path, [&] { return LoadGraphFileImpl(m, path, confirm); });
}

std::string ManyChannelsQuestion(const std::string& path, int channels) {
  return "В файле " + path + " каналов: " + IntToStr(channels) + ". Окно графиков показывает с пользой не больше " +
         IntToStr(kManyChannels) + ": подписи стольких графиков не умещаются под графиком, а цвета повторяются. " +
         "Загрузить все каналы?";
}

CurveLoadResult LoadTempGraph(ChartModel& m, const std::string& path, const std::string& displayName) {
  return Guarded(m, path, [&] { return LoadTempGraphImpl(m, path, displayName); });
}

namespace {

CurveLoadResult LoadGraphFileImpl(ChartModel& m, const std::string& path, const ConfirmChannels& confirm) {
  CurveLoadResult r;
  std::string text, err;
  bool marked = false;
  if (!ReadRawText(path, text, err, &marked)) {
    r.ok = false;
    r.fileOpened = false;
    r.message = OpenError(path);
    return r;
  }
  std::string name = ExtractFileName(path);
  const std::string ext = ExtractFileExt(name);
  if (ext == ".gpj") return r;
  const bool csv = AsciiLower(ext) == ".csv";
  if (!csv) {
    std::string utf8;
    if (marked && ReadTextFile(path, utf8, err))
      r = LoadCurve(m, path, name, utf8, true);
    else
      r = LoadCurve(m, path, name, text, false);
  } else {
    name = ChangeFileExt(name, ".grf");
    const std::string_view first = std::string_view(text).substr(0, text.find('\n'));
    const bool multi = first.find("Record Length") != std::string_view::npos;
    r = multi ? LoadMultiChannel(m, path, name, text, confirm) : LoadPlainCsv(m, path, name, text);
  }
  if (r.seriesAdded > 0) m.ActiveGraph = m.SeriesCount() - 1;
  return r;
}

CurveLoadResult LoadTempGraphImpl(ChartModel& m, const std::string& path, const std::string& displayName) {
  CurveLoadResult r;
  std::string text, err;
  const std::string fileName = ExtractFileName(path);
  if (!ReadTextFile(path, text, err)) {
    r.ok = false;
    r.fileOpened = false;
    r.message = OpenError(path);
    return r;
  }
  // The whole file is read before the chart changes, so a bad word leaves it as it was.
  ChartSeries pts;
  std::string title = displayName.empty() ? fileName : displayName;
  std::string bottom = m.Texts.BottomAxisTitle, yCaption = m.Texts.YAxisCaption;
  std::vector<std::string> foot;
  long long counter = 1;
  const std::string shown = displayName.empty() ? fileName : displayName;
  const OpenTail tail = SplitOpenTail(text);
  bool prevOurs = false;
  std::string note;
  // One line; false when it ends the load (a bad word, or a last line cut in the writing).
  auto take = [&](std::string_view raw, bool last, std::size_t number) {
    const std::string line = NormalizeBlanks(raw);
    const int words = WordCount(line);
    const std::string w1 = words >= 1 ? GetWord(line, 1) : std::string(), w2 = words >= 2 ? GetWord(line, 2) : std::string();
    if (last && CutInWriting(prevOurs, w1, w2)) {
      note = CutLineNote(shown, number, raw, true);
      return false;
    }
    if (words < 2) return true;
    prevOurs = WrittenRealForm(w1) && WrittenRealForm(w2);
    double x = 0, y = 0;
    const bool okX = ParseCurveNumber(w1, x);
    if (!okX || !ParseCurveNumber(w2, y)) {
      r.ok = false;
      r.message = "Ошибка " + TextPiece(okX ? w2 : w1) + " в строке " + IntToStr(counter) + " в файле " + shown;
      return false;
    }
    pts.AddXY(x, y);
    if (counter <= 5 && words >= 3) {
      // Blanks are single after NormalizeBlanks: the third word starts after the second blank.
      const std::size_t b1 = line.find(' ');
      const std::size_t b2 = line.find(' ', b1 + 1);
      const std::string text = line.substr(b2 + 1);
      switch (counter) {
        case 1: title = text; break;
        case 2: bottom = text; break;
        case 3: yCaption = text; break;
        default: foot.push_back(text); break;
      }
    }
    ++counter;
    return true;
  };
  LineReader lines(tail.before);
  bool going = true;
  for (std::string_view raw; going && lines.Next(raw);) going = take(raw, false, lines.Number());
  if (going && !tail.line.empty()) take(tail.line, true, lines.Number() + 1);
  if (!r.ok) return r;
  if (pts.Count() == 0) {
    r.ok = false;
    r.noPoints = true;
    r.message = "В файле " + (displayName.empty() ? fileName : displayName) +
                " нет ни одной точки графика. График не добавлен";
    return r;
  }
  const int si = m.AddSeries(title, m.SeriesDefaultColor(), std::string());
  ChartSeries& s = m.Series[std::size_t(si)];
  s.X = std::move(pts.X);
  s.Y = std::move(pts.Y);
  s.XTitle = bottom;
  s.YTitle = yCaption;
  m.FileNames[std::size_t(si)] = m.NextUnnamedName();
  m.Texts.Foot = std::move(foot);
  m.SetAxisTitles(bottom, yCaption);
  m.ActiveGraph = si;
  r.seriesAdded = 1;
  r.note = std::move(note);
  return r;
}

}  // namespace

bool SaveGraphFile(const ChartModel& m, int seriesIndex, const std::string& path, std::string& err) {
  if (seriesIndex < 0 || seriesIndex >= m.SeriesCount()) {
    err = "Нет графика с номером " + IntToStr(seriesIndex + 1);
    return false;
  }
  const ChartSeries& s = m.Series[std::size_t(seriesIndex)];
  std::vector<std::string> out;
  out.reserve(s.Count());
  for (std::size_t i = 0; i < s.Count(); ++i) {
    std::string line = CurveNumber(s.X[i]);
    line += ' ';
    line += CurveNumber(s.Y[i]);
    line += ' ';
    switch (i) {
      case 0: line += s.Title; break;
      // A curve keeps the titles of its own quantities whatever the chart shows now.
      case 1: line += m.XTitleOf(s); break;
      case 2: line += m.YTitleOf(s); break;
      case 3: if (!m.Texts.Foot.empty()) line += m.Texts.Foot[0]; break;
      case 4: if (m.Texts.Foot.size() >= 2) line += m.Texts.Foot[1]; break;
      default: break;
    }
    out.push_back(std::move(line));
  }
  return WriteTextLines(path, out, err);
}

bool WriteTempCurve(const std::string& path, const std::vector<double>& x, const std::vector<double>& y,
                    const std::string& title, const std::string& xTitle, const std::string& yTitle,
                    std::string& err) {
  const std::size_t n = std::min(x.size(), y.size());
  std::vector<std::string> out;
  out.reserve(n);
  const std::string texts[4] = {title, xTitle, yTitle, std::string()};
  for (std::size_t i = 0; i < n; ++i) {
    std::string line = FormatTextReal(x[i]) + " " + FormatTextReal(y[i]);
    if (i < 4) line += " " + texts[i];
    out.push_back(NormalizeBlanks(line));
  }
  return WriteTextLines(path, out, err);
}

bool IsCommandLineGraph(const std::string& arg, bool fileExists) {
  return fileExists && !arg.empty() && ExtractFileExt(arg) != ".fdt";
}

}  // namespace rv
