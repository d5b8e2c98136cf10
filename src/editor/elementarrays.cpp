#include "editor/elementarrays.h"

#include <string>

#include "solver/codepage.h"
#include "solver/numtext.h"
#include "solver/solverdata.h"

namespace rv {

namespace {

// The first character of a cell, upper-cased, as the one-byte letter of a record (0 for an
// empty cell). A non-Latin letter keeps its Windows Cyrillic byte, so it compares unequal
// to X, Y, Z like any other wrong letter.
char FirstLetter(const std::string& text) {
  if (text.empty()) return 0;
  const unsigned char lead = static_cast<unsigned char>(text[0]);
  if (lead < 0x80) return static_cast<char>(lead >= 'a' && lead <= 'z' ? lead - 32 : lead);
  size_t len = 1;
  if (lead >= 0xF0) len = 4;
  else if (lead >= 0xE0) len = 3;
  else if (lead >= 0xC0) len = 2;
  const std::string one = Utf8ToCp1251(UpperCaseText(text.substr(0, len)));
  return one.empty() ? '?' : one[0];
}

// One row's cells read as the record's numbers; false when any of them is not a number.
struct RowReader {
  const StringGrid& g;
  int r;
  bool ok = true;
  int Int(int c) {
    int v = 0;
    if (!TryStrToInt(g.Cells(c, r), v)) ok = false;
    return v;
  }
  double Real(int c) {
    double v = 0;
    if (!TryStrToFloat(g.Cells(c, r), v)) ok = false;
    return v;
  }
};

// Re-sizing keeps the existing records (their run state) and zero-fills new ones.
template <class Rec, class Parse>
void BuildArray(const StringGrid& g, std::vector<Rec>& out, Parse parse) {
  const int n = g.RowCount() - 1;
  out.resize(static_cast<size_t>(n < 0 ? 0 : n));
  for (int r = 1; r <= n; ++r) {
    Rec& rec = out[static_cast<size_t>(r - 1)];
    Rec next = rec;
    RowReader rd{g, r};
    if (!g.Cells(0, r).empty()) parse(rd, next);
    if (!g.Cells(0, r).empty() && rd.ok) {
      rec = std::move(next);
    } else {
      rec.X = rec.Y = rec.Z = 0;
    }
  }
}

void BuildRegions(const StringGrid& g, std::vector<tCurrentRegion>& out, bool currentRegions,
                  Messages& msgs) {
  const int n = g.RowCount() - 1;
  out.resize(static_cast<size_t>(n < 0 ? 0 : n));
  for (int r = 1; r <= n; ++r) {
    tCurrentRegion& rec = out[static_cast<size_t>(r - 1)];
    RowReader rd{g, r};
    tCurrentRegion next = rec;
    next.X1 = rd.Int(0);
    next.Y1 = rd.Int(1);
    next.Z1 = rd.Int(2);
    next.X2 = rd.Int(3);
    next.Y2 = rd.Int(4);
    next.Z2 = rd.Int(5);
    next.FileName = UpperCaseText(g.Cells(6, r));
    if (g.Cells(0, r).empty() || !rd.ok) {
      rec.X1 = rec.Y1 = rec.Z1 = rec.X2 = rec.Y2 = rec.Z2 = 0;
      continue;
    }
    next.Plane = RegionPlane(next);
    if (next.Plane == 0 && currentRegions) {
      next.Plane = 'E';
      // Numbered as the table shows its rows, from 1.
      msgs.push_back("Ошибка: Токовый регион № " + IntToStr(r) +
                     " не ортогонален ни одной из координатных осей. Сделайте его плоским: в строке " +
                     IntToStr(r) + " таблицы «Токовые регионы» окна «Точки вывода» задайте X1 = X2, Y1 = Y2 "
                     "или Z1 = Z2.");
    }
    rec = std::move(next);
  }
}

template <class Rec>
bool FindAt(const std::vector<Rec>& v, int x, int y, int z, int& index) {
  if (x == 0) return false;  // X = 0 marks an unused record
  for (size_t i = 0; i < v.size(); ++i) {
    if (v[i].X == x && v[i].Y == y && v[i].Z == z) {
      index = static_cast<int>(i);
      return true;
    }
  }
  return false;
}

}  // namespace

char RegionPlane(const tCurrentRegion& r) {
  if (r.X1 == r.X2) return 'X';
  if (r.Y1 == r.Y2) return 'Y';
  if (r.Z1 == r.Z2) return 'Z';
  return 0;
}

Messages LoadElementArrays(const SolverData& d, const OutPointTables& outputs,
                           const LampedTables& lamped, ElementArrays& a) {
  Messages msgs;
  if (d.CalcRunning) return msgs;

  BuildRegions(outputs.sgCurrent, a.CurrentRegions, true, msgs);
  BuildRegions(outputs.sgVoltage, a.VoltageLines, false, msgs);

  BuildArray(outputs.sgOutPoint, a.OutputPoints, [](RowReader& rd, tOutputPoint& p) {
    p.Kind = FirstLetter(rd.g.Cells(0, rd.r));
    p.Dir = FirstLetter(rd.g.Cells(1, rd.r));
    p.X = rd.Int(2);
    p.Y = rd.Int(3);
    p.Z = rd.Int(4);
    p.FileName = UpperCaseText(rd.g.Cells(5, rd.r));
  });
  BuildArray(lamped.sgRazraydnic, a.SparkGaps, [](RowReader& rd, tSparkGap& s) {
    s.X = rd.Int(0);
    s.Y = rd.Int(1);
    s.Z = rd.Int(2);
    s.Threshold = rd.Real(3);
    s.Dir = FirstLetter(rd.g.Cells(4, rd.r));
  });
  BuildArray(lamped.sgSourses, a.VoltageSources, [](RowReader& rd, tVoltageSource& s) {
    s.X = rd.Int(0);
    s.Y = rd.Int(1);
    s.Z = rd.Int(2);
    s.R = rd.Real(3);
    s.Dir = FirstLetter(rd.g.Cells(4, rd.r));
    s.Polarity = FirstLetter(AsciiMinus(rd.g.Cells(5, rd.r)));
  });
  auto lumped = [](RowReader& rd, tLumpedElement& e) {
    e.X = rd.Int(0);
    e.Y = rd.Int(1);
    e.Z = rd.Int(2);
    e.Value = rd.Real(3);
    e.Dir = FirstLetter(rd.g.Cells(4, rd.r));
  };
  BuildArray(lamped.sgResistors, a.Resistors, lumped);
  BuildArray(lamped.sgCapacitors, a.Capacitors, lumped);
  BuildArray(lamped.sgInductor, a.Inductors, [](RowReader& rd, tInductor& e) {
    e.X = rd.Int(0);
    e.Y = rd.Int(1);
    e.Z = rd.Int(2);
    e.L = rd.Real(3);
    e.Dir = FirstLetter(rd.g.Cells(4, rd.r));
  });
  return msgs;
}

bool FindOutputPointAt(const ElementArrays& a, int x, int y, int z, int& index) {
  if (!FindAt(a.OutputPoints, x, y, z, index)) return false;
  ++index;
  return true;
}
bool FindSparkGapAt(const ElementArrays& a, int x, int y, int z, int& index) {
  return FindAt(a.SparkGaps, x, y, z, index);
}
bool FindSourceAt(const ElementArrays& a, int x, int y, int z, int& index) {
  return FindAt(a.VoltageSources, x, y, z, index);
}
bool FindResistorAt(const ElementArrays& a, int x, int y, int z, int& index) {
  return FindAt(a.Resistors, x, y, z, index);
}
bool FindCapacitorAt(const ElementArrays& a, int x, int y, int z, int& index) {
  return FindAt(a.Capacitors, x, y, z, index);
}
bool FindInductorAt(const ElementArrays& a, int x, int y, int z, int& index) {
  return FindAt(a.Inductors, x, y, z, index);
}

}  // namespace rv
