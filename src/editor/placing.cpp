#include "editor/placing.h"

#include <algorithm>

#include "solver/lumped.h"
#include "solver/numtext.h"

namespace rv {

namespace {

// Whether columns first..first+2 of row r read as the whole numbers of cell c.
bool RowAt(const StringGrid& g, int r, int first, const Cell3& c) {
  for (int i = 0; i < 3; ++i) {
    int v;
    if (!TryStrToInt(g.Cells(first + i, r), v) || v != c[size_t(i)]) return false;
  }
  return true;
}

}  // namespace

const std::array<OutputKind, 21>& OutputKinds() {
  static const std::array<OutputKind, 21> k{{{1, "E", "x"},  {2, "E", "y"},  {3, "E", "z"},  {4, "E", ""},
                                             {11, "H", "x"}, {12, "H", "y"}, {13, "H", "z"}, {14, "H", ""},
                                             {21, "I", "x"}, {22, "I", "y"}, {23, "I", "z"}, {24, "I", ""},
                                             {31, "J", "x"}, {32, "J", "y"}, {33, "J", "z"}, {34, "J", ""},
                                             {41, "U", "x"}, {42, "U", "y"}, {43, "U", "z"}, {44, "U", ""},
                                             {45, "P", ""}}};
  return k;
}

const OutputKind* OutputKindOfTag(int tag) {
  for (const OutputKind& k : OutputKinds())
    if (k.Tag == tag) return &k;
  return nullptr;
}

std::array<std::string, 6> OutputRowTexts(const OutputKind& k, const Cell3& c) {
  const std::string x = IntToStr(c[0]), y = IntToStr(c[1]), z = IntToStr(c[2]);
  return {k.Kind, k.Dir, x, y, z, std::string(k.Kind) + k.Dir + "(" + x + "," + y + "," + z + ").grf"};
}

int FindOutputRow(const StringGrid& g, const OutputKind& k, const Cell3& c) {
  const auto t = OutputRowTexts(k, c);
  const std::string dir = UpperCaseText(k.Dir);
  for (int r = 1; r < g.RowCount(); ++r)
    if (UpperCaseText(g.Cells(0, r)) == k.Kind && UpperCaseText(g.Cells(1, r)) == dir && g.Cells(2, r) == t[2] &&
        g.Cells(3, r) == t[3] && g.Cells(4, r) == t[4])
      return r;
  return 0;
}

void SetOutputAt(StringGrid& g, const OutputKind& k, const Cell3& c, bool on, ModifiedFlag& modified) {
  if (on) {
    const auto t = OutputRowTexts(k, c);
    AppendRow(g, std::vector<std::string>(t.begin(), t.end()), modified);
  } else if (const int r = FindOutputRow(g, k, c)) {
    g.SetCurrent(0, r);
    DeleteGridRow(g, modified);
  }
}

std::vector<int> OutputTagsAt(const StringGrid& g, const Cell3& c) {
  std::vector<int> tags;
  for (int r = 1; r < g.RowCount(); ++r) {
    if (g.Cells(0, r).empty() || !RowAt(g, r, 2, c)) continue;
    const std::string key = UpperCaseText(g.Cells(0, r) + g.Cells(1, r));
    for (const OutputKind& k : OutputKinds())
      if (key == UpperCaseText(std::string(k.Kind) + k.Dir)) tags.push_back(k.Tag);
  }
  return tags;
}

StringGrid& ElementGrid(LampedTables& t, ElementKind k) {
  switch (k) {
    case ElementKind::Resistor: return t.sgResistors;
    case ElementKind::Capacitor: return t.sgCapacitors;
    case ElementKind::Source: return t.sgSourses;
    case ElementKind::SparkGap: return t.sgRazraydnic;
    case ElementKind::Inductor: break;
  }
  return t.sgInductor;
}

namespace {

struct ElementValueRule {
  const char* bad;    // the message's first words
  const char* label;  // the dialog's field
  bool (*usable)(double);  // none: any number
  const char* hint;   // what to type
};

std::string TrimBlanks(const std::string& s) {
  const size_t a = s.find_first_not_of(" \t"), b = s.find_last_not_of(" \t");
  return a == std::string::npos ? std::string() : s.substr(a, b - a + 1);
}

const ElementValueRule& RuleOf(ElementKind k) {
  static const ElementValueRule rules[5] = {
      {"Неверно задано сопротивление", "Сопротивление, Ом", UsableResistance, "число больше 0, например 50"},
      {"Неверно задана емкость", "Емкость, Ф", UsableCapacitance, "число не меньше 0, например 1e-12"},
      {"Неверно задано внутреннее сопротивление", "Внутреннее сопротивление, Ом", UsableResistance,
       "число больше 0, например 50"},
      {"Неверно задано напряжение пробоя", "Напряжение пробоя, В", UsableThreshold, "число, например 1000"},
      {"Неверно задана индуктивность", "Индуктивность, Гн", UsableInductance, "число больше 0, например 1e-9"},
  };
  return rules[size_t(k)];
}

}  // namespace

const char* ElementValueLabel(ElementKind k) { return RuleOf(k).label; }

std::string ElementValueRefusal(ElementKind k, const std::string& value, const std::string& polarity, int& field) {
  const ElementValueRule& r = RuleOf(k);
  field = 1;
  double v = 0;
  if (!TryStrToFloat(value, v)) return FieldRefusal(r.bad, r.label, value, NotNumberReason(value), r.hint);
  if (r.usable && !r.usable(v)) return FieldRefusal(r.bad, r.label, value, WhyLumpedValueUnusable(v), r.hint);
  field = 2;
  const std::string sign = TrimBlanks(AsciiMinus(polarity));
  if (k == ElementKind::Source && sign != "+" && sign != "-")
    return FieldRefusal("Неверно задана полярность", PolarityLabel, polarity, "не «+» и не «-»", "+ или -");
  field = 0;
  return "";
}

bool AddElementAt(LampedTables& t, ElementKind k, const Cell3& c, const std::string& value, char dir,
                  const std::string& polarity, ModifiedFlag& modified, std::string& err) {
  int field = 0;
  err = ElementValueRefusal(k, value, polarity, field);
  if (!err.empty()) return false;
  std::vector<std::string> row{IntToStr(c[0]), IntToStr(c[1]), IntToStr(c[2]), value, std::string(1, dir)};
  if (k == ElementKind::Source) row.push_back(TrimBlanks(AsciiMinus(polarity)));
  AppendRow(ElementGrid(t, k), row, modified);
  return true;
}

int DeleteElementsAt(LampedTables& t, const Cell3& c, ModifiedFlag& modified) {
  int removed = 0;
  for (ElementKind k : {ElementKind::SparkGap, ElementKind::Capacitor, ElementKind::Inductor, ElementKind::Source,
                        ElementKind::Resistor}) {
    StringGrid& g = ElementGrid(t, k);
    for (int r = 1; r < g.RowCount(); ++r)
      if (!g.Cells(0, r).empty() && RowAt(g, r, 0, c)) {
        g.SetCurrent(0, r);
        DeleteGridRow(g, modified);
        ++removed;
        break;
      }
  }
  return removed;
}

std::array<std::string, 7> CurrentRegionRow(const SectionView& v, const GridRect& sel, bool sectionShown) {
  const auto clip = [](int a, int n) { return std::clamp(a, 0, std::max(n - 1, 0)); };
  const Cell3 a = SliceCellToModel(v, clip(sel.Col1, v.ColCount), clip(sel.Row1, v.RowCount), 0);
  const Cell3 b = SliceCellToModel(v, clip(sel.Col2, v.ColCount), clip(sel.Row2, v.RowCount), 0);
  std::array<std::string, 7> row;
  std::string lo, hi;
  for (size_t i = 0; i < 3; ++i) {
    row[i] = IntToStr(std::min(a[i], b[i]));
    row[i + 3] = IntToStr(std::max(a[i], b[i]));
    lo += (i ? "," : "") + row[i];
    hi += (i ? "," : "") + row[i + 3];
  }
  const std::string letter = sectionShown ? std::string("I") + char(AxisLetter(v.Axis) - 'A' + 'a') : std::string();
  row[6] = letter + " (" + lo + ";" + hi + ")";
  return row;
}

void AppendRow(StringGrid& g, const std::vector<std::string>& cells, ModifiedFlag& modified) {
  AddGridRow(g, modified);
  for (size_t i = 0; i < cells.size(); ++i) g.SetCell(int(i), g.RowCount() - 1, cells[i]);
}

}  // namespace rv
