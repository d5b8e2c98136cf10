#include "editor/modelstore.h"

#include <algorithm>
#include <cstring>

#include "solver/textutils.h"
#include "solver/numtext.h"

namespace rv {

namespace {

// Cells 1..n of each axis that both arrays hold and the grid counts (n = N-1 for the
// model cells, N where the materials table's scans include index N).
struct Box {
  int nx, ny, nz;
};
Box CellBox(const SolverData& d, int beyond, const tSpace& a, const tSpace* b = nullptr) {
  auto lim = [&](int n, int la, int lb) { return std::max(0, std::min({n - 1 + beyond, la - 1, lb - 1})); };
  const tSpace& o = b ? *b : a;
  return {lim(d.Nx, a.len1(), o.len1()), lim(d.Ny, a.len2(), o.len2()), lim(d.Nz, a.len3(), o.len3())};
}

// Rewrites every cell of Space through the map, whatever its position, so that no stale
// number survives anywhere in the array.
void Renumber(tSpace& s, const std::array<uint8_t, 256>& map) {
  uint8_t* p = s.data();
  for (size_t i = 0, n = s.size(); i < n; ++i) p[i] = map[p[i]];
}

std::array<uint8_t, 256> Identity() {
  std::array<uint8_t, 256> m{};
  for (int i = 0; i < 256; ++i) m[size_t(i)] = uint8_t(i);
  return m;
}

// Removes material i of count c from the table: i+1..c move down one entry (entry c keeps
// its record).
void RemoveRecord(LayerTable& L, int i, int c) {
  for (int k = i; k < c; ++k) L[size_t(k)] = L[size_t(k + 1)];
}

int Clamp(int v, int lo, int hi) { return std::max(lo, std::min(v, hi)); }

}  // namespace

uint32_t DefaultLayerColor(int n) {
  static const uint32_t first[17] = {0x0000FF, 0xFF0000, 0x008000, 0x00FFFF, 0xFFFF00, 0xFF00FF,
                                     0x808000, 0x808080, 0x00FF00, 0xC0C0C0, 0x000080, 0x800000,
                                     0x008080, 0x800080, 0xC0C0C0, 0x0000FF, 0x000000};
  return n >= 1 && n <= 17 ? first[n - 1] : 0x0000FF;
}

void FillDefaultLayers(LayerTable& layers) {
  for (int i = 1; i <= MaxMaterials; ++i) {
    tLayer& L = layers[size_t(i)];
    L.On = 1;
    L.Name = "Новый материал";
    L.Sigma = 1e7;
    L.EpsStatic = 1.0;
    L.EpsInf = L.EpsStatic;
    L.Tau = 0.0;
    L.Mu = 1.0;
    L.Density = 1000.0;
    L.Color = DefaultLayerColor(i);
  }
}

namespace {
// Copies the model cells' z rows from one array to the other.
void CopyCells(const SolverData& d, const tSpace& from, tSpace& to) {
  const Box b = CellBox(d, 0, from, &to);
  if (b.nz < 1) return;
  for (int x = 1; x <= b.nx; ++x)
    for (int y = 1; y <= b.ny; ++y) std::memcpy(&to(x, y, 1), &from(x, y, 1), size_t(b.nz));
}
}  // namespace

void SaveUndo(SolverData& d, MaterialState& m) {
  d.Modified = 1;
  CopyCells(d, d.Space, d.UndoSpace);
  m.UndoLayerCount = m.LayerCount;
  for (int i = 1; i <= MaxMaterials; ++i) d.UndoLayers[size_t(i)] = d.Layers[size_t(i)];
  m.UndoReady = true;
}

bool RestoreUndo(SolverData& d, MaterialState& m) {
  if (!m.UndoReady) return false;
  d.Modified = 1;
  m.UndoReady = false;
  CopyCells(d, d.UndoSpace, d.Space);
  ModelChanged(d);
  m.LayerCount = Clamp(m.UndoLayerCount, 1, MaxMaterials);
  for (int i = 1; i <= MaxMaterials; ++i) d.Layers[size_t(i)] = d.UndoLayers[size_t(i)];
  m.CurLayer = Clamp(m.CurLayer, 1, m.LayerCount);
  return true;
}

UndoLevel KeepUndoLevel(const SolverData& d, const MaterialState& m) {
  UndoLevel u;
  if (!m.UndoReady) return u;
  u.Ready = true;
  u.LayerCount = m.UndoLayerCount;
  u.Cells.assign(d.UndoSpace.data(), d.UndoSpace.data() + d.UndoSpace.size());
  u.Layers = d.UndoLayers;
  return u;
}

void PutBackUndoLevel(SolverData& d, MaterialState& m, const UndoLevel& u) {
  m.UndoReady = u.Ready && u.Cells.size() == d.UndoSpace.size();
  if (!m.UndoReady) return;
  std::memcpy(d.UndoSpace.data(), u.Cells.data(), u.Cells.size());
  m.UndoLayerCount = u.LayerCount;
  d.UndoLayers = u.Layers;
}

std::array<int64_t, 256> MaterialHistogram(const SolverData& d) {
  // Four counters per value, so that runs of one material do not wait on one counter.
  std::vector<std::array<uint32_t, 256>> part(4);
  std::array<int64_t, 256> h{};
  const Box b = CellBox(d, 1, d.Space);
  for (int x = 1; x <= b.nx; ++x) {
    for (int y = 1; y <= b.ny; ++y) {
      const uint8_t* row = &d.Space(x, y, 0);
      int z = 1;
      for (; z + 3 <= b.nz; z += 4) {
        ++part[0][row[z]];
        ++part[1][row[z + 1]];
        ++part[2][row[z + 2]];
        ++part[3][row[z + 3]];
      }
      for (; z <= b.nz; ++z) ++part[0][row[z]];
    }
    // Flushed per plane, so no 32-bit counter overflows.
    for (auto& p : part) {
      for (int v = 0; v < 256; ++v) h[size_t(v)] += p[size_t(v)];
      p.fill(0);
    }
  }
  return h;
}

bool MaterialUsed(const SolverData& d, int material) {
  if (material < 0 || material > 255) return false;
  const Box b = CellBox(d, 1, d.Space);
  for (int x = 1; x <= b.nx; ++x)
    for (int y = 1; y <= b.ny; ++y) {
      const uint8_t* row = &d.Space(x, y, 1);
      if (b.nz > 0 && std::memchr(row, material, size_t(b.nz))) return true;
    }
  return false;
}

bool AddLayer(SolverData& d, MaterialState& m) {
  if (m.LayerCount >= MaxMaterials) return false;
  ++m.LayerCount;
  m.CurLayer = m.LayerCount;
  d.Modified = 1;
  return true;
}

bool DeleteCurrentLayer(SolverData& d, MaterialState& m) {
  const int c = Clamp(m.LayerCount, 1, MaxMaterials);
  if (c <= 1) return false;
  const int cur = Clamp(m.CurLayer, 1, c);
  std::array<uint8_t, 256> map = Identity();
  map[size_t(cur)] = 0;
  for (int v = cur + 1; v < 256; ++v) map[size_t(v)] = uint8_t(v - 1);
  Renumber(d.Space, map);
  ModelChanged(d);
  RemoveRecord(d.Layers, cur, c);
  m.LayerCount = c - 1;
  m.CurLayer = std::min(cur, m.LayerCount);
  d.Modified = 1;
  return true;
}

int DeleteUnusedLayers(SolverData& d, MaterialState& m) {
  const std::array<int64_t, 256> h = MaterialHistogram(d);
  int c = Clamp(m.LayerCount, 1, MaxMaterials);
  // orig[k] is the material that now stands at entry k.
  std::vector<int> orig(size_t(c) + 1);
  for (int k = 0; k <= c; ++k) orig[size_t(k)] = k;
  int removed = 0;
  for (int i = 1; i <= c && c != 1;) {
    if (h[size_t(orig[size_t(i)])] > 0) {
      ++i;
      continue;
    }
    RemoveRecord(d.Layers, i, c);
    orig.erase(orig.begin() + i);
    --c;
    ++removed;
  }
  if (removed == 0) return 0;
  std::array<uint8_t, 256> map{};  // removed materials: 0
  for (int k = 1; k <= c; ++k) map[size_t(orig[size_t(k)])] = uint8_t(k);
  for (int v = c + removed + 1; v < 256; ++v) map[size_t(v)] = uint8_t(v - removed);
  // The current material follows its number; when it went, the nearest one below it.
  int cur = 1;
  for (int k = 1; k <= c; ++k)
    if (orig[size_t(k)] <= m.CurLayer) cur = k;
  Renumber(d.Space, map);
  ModelChanged(d);
  m.LayerCount = c;
  m.CurLayer = Clamp(cur, 1, c);
  d.Modified = 1;
  return removed;
}

// ---- table texts

const std::array<const char*, LayerColumnCount>& LayerColumnTitles() {
  static const std::array<const char*, LayerColumnCount> t = {
      "Цвет", "Статус", "Диэл.пр.(f=0)", "Провод-сть(См/м)", "Магн. пр.",
      "Материал (комментарий)", "Диэл.пр.(f=~)", "T релакс, с", "Плотн, (кг/м3)"};
  return t;
}

const char* OnText(uint8_t on) { return on ? "вкл" : "ОТКЛ"; }

std::array<std::string, LayerColumnCount> LayerRowTexts(const tLayer& L) {
  auto g = [](double v) { return FormatGeneral(v, 15); };
  return {"", OnText(L.On), g(L.EpsStatic), g(L.Sigma), g(L.Mu), L.Name,
          g(L.EpsInf), g(L.Tau), g(L.Density)};
}

namespace {

// The rule of a number column: above 0, or not negative; and why a value breaking it cannot be
// used.
struct ColumnRule {
  bool positive;
  const char* why;
};
ColumnRule RuleOf(int col) {
  switch (col) {
    case ColEpsStatic: return {true, "диэлектрическая проницаемость должна быть больше 0"};
    case ColSigma:
      return {false, "проводимость не может быть отрицательной: такой материал отдает энергию, и поле в "
                     "расчете растет без ограничения"};
    case ColMu: return {true, "магнитная проницаемость должна быть больше 0"};
    case ColEpsInf: return {true, "проницаемость на бесконечной частоте должна быть больше 0"};
    case ColTau: return {false, "время релаксации не может быть отрицательным"};
    default: return {false, "плотность не может быть отрицательной"};
  }
}

// Why the text of number column `col` cannot be taken; "" when it can, with its value in v.
// A permittivity or permeability of 0 or below, or a negative loss, relaxation time or
// density, makes the run's fields infinite or growing.
std::string ValueFault(int col, const std::string& text, double& v) {
  if (!TryStrToFloat(text, v)) return NotNumberReason(text);
  const ColumnRule r = RuleOf(col);
  return (r.positive ? v > 0 : v >= 0) ? std::string() : r.why;
}

}  // namespace

CellError ApplyLayerRows(const LayerRows& rows, bool full, LayerTable& layers) {
  const int last = full ? ColDensity : ColName;
  for (size_t r = 0; r < rows.size() && r + 1 <= size_t(MaxMaterials); ++r) {
    const int row = int(r) + 1;
    tLayer L = layers[size_t(row)];
    double* field[LayerColumnCount] = {nullptr, nullptr, &L.EpsStatic, &L.Sigma, &L.Mu, nullptr,
                                       &L.EpsInf, &L.Tau, &L.Density};
    for (int c = ColEpsStatic; c <= last; ++c) {
      if (c == ColName) {
        L.Name = rows[r][size_t(c)];
        continue;
      }
      double v = 0;
      if (!ValueFault(c, rows[r][size_t(c)], v).empty()) return {c, row};
      *field[c] = v;
    }
    layers[size_t(row)] = L;
  }
  return {};
}

std::string LayerCellRefusal(const char* head, const CellError& e, const LayerRows& rows) {
  if (e.ok() || e.row > int(rows.size()) || e.col < 0 || e.col >= LayerColumnCount) return head;
  const auto& row = rows[size_t(e.row) - 1];
  const std::string& text = row[size_t(e.col)];
  const std::string column = std::string("«") + LayerColumnTitles()[size_t(e.col)] + "»", number = IntToStr(e.row);
  double v = 0;
  const std::string why = ValueFault(e.col, text, v);
  const bool blank = text.find_first_not_of(" \t") == std::string::npos;
  const std::string value = blank                                   ? " не задано: нужно число"
                            : TryStrToFloat(text, v) ? " = " + FormatGeneral(v, 15) + " — " + why
                                                     : " = \"" + TextPiece(text) + "\" — " + why;
  return std::string(head) + "\nМатериал " + number + " \"" + TextPiece(row[ColName]) + "\": " + column + value +
         ".\nИзмените " + column + " в строке " + number + " (ячейка выделена).";
}

}  // namespace rv
