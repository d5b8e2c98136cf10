#include "editor/modelfiles.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "project/stringgrid.h"
#include "solver/codepage.h"
#include "solver/numtext.h"
#include "solver/pendingfile.h"
#include "solver/textutils.h"

namespace rv {

namespace {

const char* const AnchorTitle = "Точка привязки (X,Y,Z)";
const char* const SizeTitle = "Размер (X,Y,Z)";
const char* const LayersTitle = "Характеристики слоев (Epsilon, Sigma, Mu)";
const char* const BodyTitle = "Объект";
const char* const BodyEnd = "Объект кончился";
const char* const CellTitle = "CELL file";
const char* const CellEnd = "end of CELL file";

// Lines of a text with the number of the last one taken, for the refusals.
class Cursor {
public:
  explicit Cursor(std::string_view text) : r_(text) {}
  bool Next(std::string_view& line) { return r_.Next(line); }
  std::size_t Line() const { return r_.Number(); }
  // The next line, or a refusal naming the end of the file.
  bool Take(std::string_view& line, std::string& err) {
    if (r_.Next(line)) return true;
    err = LineError(r_.Number() + 1, "файл кончился раньше времени");
    return false;
  }
  bool Expect(const char* literal, std::string& err) {
    std::string_view l;
    if (!Take(l, err)) return false;
    if (l == literal) return true;
    err = std::string(InvalidFileText) + ": " + LineError(Line(), std::string("ожидалось \"") + literal + "\"");
    return false;
  }
  bool Int64(long long& v, std::string& err) {
    std::string_view l;
    if (!Take(l, err)) return false;
    if (TryStrToInt64(l, v)) return true;
    err = LineError(Line(), "не целое число \"" + TextPiece(l) + "\"");
    return false;
  }
  bool Int(int& v, std::string& err) {
    long long w = 0;
    if (!Int64(w, err)) return false;
    if (w < std::numeric_limits<int>::min() || w > std::numeric_limits<int>::max()) {
      err = LineError(Line(), "число вне допустимых пределов");
      return false;
    }
    v = int(w);
    return true;
  }
  bool Float(double& v, std::string& err) {
    std::string_view l;
    if (!Take(l, err)) return false;
    if (TryStrToFloat(l, v)) return true;
    err = LineError(Line(), "не число \"" + TextPiece(l) + "\"");
    return false;
  }

private:
  LineReader r_;
};

bool SameProperties(const tLayer& a, const tLayer& b) {
  return a.Sigma == b.Sigma && a.EpsStatic == b.EpsStatic && a.EpsInf == b.EpsInf && a.Tau == b.Tau &&
         a.Mu == b.Mu && a.Density == b.Density && a.Color == b.Color && a.On == b.On;
}

// Cells the model takes: 1..N-1 of each axis and within the array.
struct Limits {
  int64_t x, y, z;
};
Limits CellLimits(const SolverData& d) {
  return {std::min<int64_t>(d.Nx - 1, d.Space.len1() - 1), std::min<int64_t>(d.Ny - 1, d.Space.len2() - 1),
          std::min<int64_t>(d.Nz - 1, d.Space.len3() - 1)};
}

// Reads a run body up to its end line (or the end of the text): pairs of a number 0..maxK
// and a run length >= 0. `map` turns a number into the final material.
bool ReadRuns(Cursor& c, const char* endLine, int maxK, const std::vector<uint8_t>& map,
              std::vector<MaterialRun>& runs, int64_t& total, std::string& err) {
  total = 0;
  for (;;) {
    std::string_view l;
    if (!c.Next(l) || l == endLine) return true;
    long long k = 0, n = 0;
    if (!TryStrToInt64(l, k)) {
      err = LineError(c.Line(), "не целое число \"" + TextPiece(l) + "\"");
      return false;
    }
    if (k < 0 || k > maxK) {
      err = LineError(c.Line(), "номер материала " + IntToStr(k) + " вне пределов 0.." + IntToStr(maxK));
      return false;
    }
    if (!c.Next(l) || l == endLine) return true;
    if (!TryStrToInt64(l, n)) {
      err = LineError(c.Line(), "не целое число \"" + TextPiece(l) + "\"");
      return false;
    }
    if (n < 0) {
      err = LineError(c.Line(), "отрицательная длина серии");
      return false;
    }
    if (n > std::numeric_limits<int64_t>::max() - total) {
      err = LineError(c.Line(), "слишком много ячеек");
      return false;
    }
    total += n;
    if (n > 0) runs.push_back({map[size_t(k)], n});
  }
}

}  // namespace

std::string LineError(std::size_t line, const std::string& why) {
  return "Строка " + IntToStr((long long)line) + ": " + why;
}

int FindLayerByName(const LayerTable& layers, int layerCount, std::string_view name) {
  const std::string key = UpperCaseText(name);
  const int n = std::min(layerCount, MaxMaterials);
  for (int i = 1; i <= n; ++i)
    if (UpperCaseText(layers[size_t(i)].Name) == key) return i;
  return 0;
}

// ---------------------------------------------------------------- object file

bool ObjectText(const SolverData& d, const MaterialState& m, std::string& text, std::string& err) {
  const tSpace& s = d.Space;
  // The box is sought over indices 1..N of each axis that the array holds.
  const int nx = std::min(d.Nx, s.len1() - 1), ny = std::min(d.Ny, s.len2() - 1),
            nz = std::min(d.Nz, s.len3() - 1);
  int lo[3] = {std::numeric_limits<int>::max(), std::numeric_limits<int>::max(), std::numeric_limits<int>::max()};
  int hi[3] = {0, 0, 0};
  for (int x = 1; x <= nx; ++x)
    for (int y = 1; y <= ny; ++y)
      for (int z = 1; z <= nz; ++z)
        if (s(x, y, z) != 0) {
          lo[0] = std::min(lo[0], x), hi[0] = std::max(hi[0], x);
          lo[1] = std::min(lo[1], y), hi[1] = std::max(hi[1], y);
          lo[2] = std::min(lo[2], z), hi[2] = std::max(hi[2], z);
        }
  if (hi[0] == 0) {
    err = NoObjectText;
    return false;
  }
  std::vector<std::string> out;
  out.push_back(AnchorTitle);
  for (int a = 0; a < 3; ++a) out.push_back(IntToStr(lo[a]));
  out.push_back(SizeTitle);
  for (int a = 0; a < 3; ++a) out.push_back(IntToStr(hi[a] - lo[a] + 1));
  out.push_back(LayersTitle);
  const int count = std::clamp(m.LayerCount, 0, MaxMaterials);
  out.push_back(IntToStr(count));
  for (int i = 1; i <= count; ++i) {
    const tLayer& L = d.Layers[size_t(i)];
    out.push_back(FloatToStr(L.EpsStatic));
    out.push_back(FloatToStr(L.Sigma));
    out.push_back(FloatToStr(L.EpsInf));
    out.push_back(FloatToStr(L.Tau));
    out.push_back(FloatToStr(L.Mu));
    out.push_back(IntToStr(L.On));
    out.push_back(IntToStr(int32_t(L.Color)));
    out.push_back(L.Name);
    out.push_back(FormatTextReal(L.Density));
  }
  out.push_back(BodyTitle);
  uint8_t cur = s(lo[0], lo[1], lo[2]);
  long long n = 0;
  for (int z = lo[2]; z <= hi[2]; ++z)
    for (int y = lo[1]; y <= hi[1]; ++y)
      for (int x = lo[0]; x <= hi[0]; ++x) {
        const uint8_t v = s(x, y, z);
        if (v == cur) { ++n; continue; }
        out.push_back(IntToStr(cur));
        out.push_back(IntToStr(n));
        cur = v, n = 1;
      }
  out.push_back(IntToStr(cur));
  out.push_back(IntToStr(n));
  out.push_back(BodyEnd);
  text = EncodeLines(out);
  return true;
}

bool WriteObjectFile(const std::string& path, const SolverData& d, const MaterialState& m, std::string& err) {
  std::string bytes;
  if (!ObjectText(d, m, bytes, err)) return false;
  return WriteWholeFile(path, bytes, err);
}

bool ParseObject(std::string_view text, const SolverData& d, const MaterialState& m, CellPlan& plan,
                 std::string& err) {
  plan = CellPlan{};
  Cursor c(text);
  int a[3], sz[3], count = 0;
  if (!c.Expect(AnchorTitle, err)) return false;
  for (int& v : a) if (!c.Int(v, err)) return false;
  if (!c.Expect(SizeTitle, err)) return false;
  for (int& v : sz) {
    if (!c.Int(v, err)) return false;
    if (v < 1) {
      err = LineError(c.Line(), "размер объекта меньше 1");
      return false;
    }
  }
  if (!c.Expect(LayersTitle, err)) return false;
  if (!c.Int(count, err)) return false;
  if (count < 0 || count > MaxLayers) {
    err = LineError(c.Line(), "число материалов " + IntToStr(count) + " вне пределов 0.." + IntToStr(MaxLayers));
    return false;
  }
  // Each file material takes the project's material of its name; one whose name an earlier
  // material of the same file took with other properties is a material of its own.
  std::vector<tLayer> file(size_t(count) + 1);
  std::vector<uint8_t> map(size_t(count) + 1, 0);
  const int have = std::clamp(m.LayerCount, 0, MaxMaterials);
  for (int i = 1; i <= count; ++i) {
    tLayer& L = file[size_t(i)];
    int on = 0;
    long long color = 0;
    std::string_view name;
    if (!c.Float(L.EpsStatic, err) || !c.Float(L.Sigma, err) || !c.Float(L.EpsInf, err) ||
        !c.Float(L.Tau, err) || !c.Float(L.Mu, err) || !c.Int(on, err) || !c.Int64(color, err))
      return false;
    if (color < std::numeric_limits<int32_t>::min() || color > std::numeric_limits<uint32_t>::max()) {
      err = LineError(c.Line(), "цвет вне пределов 32 бит");
      return false;
    }
    if (!c.Take(name, err) || !c.Float(L.Density, err)) return false;
    L.On = on != 0;
    L.Color = uint32_t(color);
    L.Name = std::string(name);
    const std::string key = UpperCaseText(L.Name);
    int j = 1;
    while (j < i && UpperCaseText(file[size_t(j)].Name) != key) ++j;
    if (j < i && SameProperties(file[size_t(j)], L)) {
      map[size_t(i)] = map[size_t(j)];
      continue;
    }
    const int found = j < i ? 0 : FindLayerByName(d.Layers, have, L.Name);
    if (found > 0) {
      map[size_t(i)] = uint8_t(found);
      continue;
    }
    if (have + int(plan.NewLayers.size()) >= MaxMaterials) {
      err = std::string(TooManyLayers) + " (" + LineError(c.Line(), L.Name) + ")";
      return false;
    }
    plan.NewLayers.push_back(L);
    map[size_t(i)] = uint8_t(have + int(plan.NewLayers.size()));
  }
  plan.AddLayerCount = int(plan.NewLayers.size());
  if (!c.Expect(BodyTitle, err)) return false;
  int64_t total = 0;
  if (!ReadRuns(c, BodyEnd, count, map, plan.Runs, total, err)) return false;
  const int64_t cells = int64_t(sz[0]) * sz[1];  // below 2^62
  if (cells > std::numeric_limits<int64_t>::max() / sz[2] || total != cells * sz[2]) {
    err = std::string(InvalidFileText) + ": серии содержат " + IntToStr(total) + " ячеек вместо " +
          IntToStr(sz[0]) + "·" + IntToStr(sz[1]) + "·" + IntToStr(sz[2]);
    return false;
  }
  plan.RowX = sz[0], plan.RowY = sz[1];
  plan.AX = a[0], plan.AY = a[1], plan.AZ = a[2];
  plan.Summary = {"Базовая точка: " + IntToStr(a[0]) + "," + IntToStr(a[1]) + "," + IntToStr(a[2]),
                  "Размер по X, Y, Z: " + IntToStr(sz[0]) + "," + IntToStr(sz[1]) + "," + IntToStr(sz[2]), ""};
  return true;
}

// ---------------------------------------------------------------- cell file

namespace {
// `count` numbers of a line, the words taken by GetWord.
bool Words(Cursor& c, bool normalize, int count, double* v, std::string& err) {
  std::string_view l;
  if (!c.Take(l, err)) return false;
  const std::string s = normalize ? NormalizeBlanks(l) : std::string(TrimBlanks(l));
  for (int i = 0; i < count; ++i) {
    const std::string w = GetWord(s, i + 1);
    if (!TryStrToFloat(w, v[i])) {
      err = LineError(c.Line(), "слово " + IntToStr(i + 1) + " не число \"" + TextPiece(w) + "\"");
      return false;
    }
  }
  return true;
}
bool Skip(Cursor& c, int n, std::string& err) {
  std::string_view l;
  for (int i = 0; i < n; ++i)
    if (!c.Take(l, err)) return false;
  return true;
}
bool Whole(const Cursor& c, double v, long long& out, std::string& err) {
  if (TryRound(v, out) && double(out) == v && out >= std::numeric_limits<int>::min() &&
      out <= std::numeric_limits<int>::max())
    return true;
  err = LineError(c.Line(), "не целое число " + FloatToStr(v));
  return false;
}
}  // namespace

bool ParseCellFile(std::string_view text, const MaterialState& m, CellPlan& plan, std::string& err) {
  plan = CellPlan{};
  Cursor c(text);
  std::string_view l;
  if (!c.Take(l, err)) return false;
  if (l != CellTitle) {
    err = InvalidFileText;
    return false;
  }
  double base[3], area[3], cell[3], blocks[4], layers[3];
  long long b[3], ar[3], ce[3], bl[4], la[3];
  if (!Skip(c, 2, err) || !Words(c, false, 3, base, err)) return false;
  for (int i = 0; i < 3; ++i)
    if (!TryRound(base[i], b[i]) || b[i] < std::numeric_limits<int>::min() ||
        b[i] > std::numeric_limits<int>::max()) {
      err = LineError(c.Line(), "базовая точка вне пределов");
      return false;
    }
  if (!Skip(c, 1, err) || !Words(c, false, 3, area, err)) return false;
  for (int i = 0; i < 3; ++i)
    if (!TryRound(area[i], ar[i])) return err = LineError(c.Line(), "размер вне пределов"), false;
  if (!Skip(c, 1, err) || !Words(c, false, 3, cell, err)) return false;
  for (int i = 0; i < 3; ++i)
    if (!TryRound(cell[i], ce[i])) return err = LineError(c.Line(), "размер ячейки вне пределов"), false;
  if (!Skip(c, 1, err) || !Words(c, true, 4, blocks, err)) return false;
  for (int i = 0; i < 4; ++i)
    if (!Whole(c, blocks[i], bl[i], err)) return false;
  if (bl[1] < 1 || bl[2] < 1) {
    err = LineError(c.Line(), "размер блока меньше 1");
    return false;
  }
  if (!Skip(c, 1, err) || !Words(c, true, 3, layers, err)) return false;
  for (int i = 0; i < 3; ++i)
    if (!Whole(c, layers[i], la[i], err)) return false;
  const int have = std::clamp(m.LayerCount, 0, MaxMaterials);
  if (la[0] < 0 || la[0] > MaxMaterials - have) {
    err = LineError(c.Line(), "слоев " + IntToStr(la[0]) + ", а материалов может добавиться не более " +
                                  IntToStr(MaxMaterials - have));
    return false;
  }
  const int L = int(la[0]);
  if (!Skip(c, 1 + L + 1, err)) return false;
  std::vector<uint8_t> map(size_t(L) + 1, 0);
  for (int k = 1; k <= L; ++k) map[size_t(k)] = uint8_t(have + k);
  int64_t total = 0;
  if (!ReadRuns(c, CellEnd, L, map, plan.Runs, total, err)) return false;
  plan.AddLayerCount = L;
  plan.RowX = bl[1], plan.RowY = bl[2];
  plan.AX = int(b[0]), plan.AY = int(b[1]), plan.AZ = int(b[2]);
  auto join = [](const long long* v, const char* sep) {
    return IntToStr(v[0]) + sep + IntToStr(v[1]) + sep + IntToStr(v[2]);
  };
  plan.Summary = {"Base point of Rated Area (Xo,Yo,Zo): " + join(b, ","),
                  "Size of Rated Area (X,Y,Z): " + join(ar, "х"),
                  "Cell size (dX,dY,dZ): " + join(ce, ","),
                  "All cells amount & Explode amount(Nx,Ny,Nz): " + join(bl + 1, ","),
                  "Layers,  Edges,  Unempty cells: " + IntToStr(la[0]) + "," + IntToStr(bl[0]) + "," +
                      IntToStr(la[1]) + "," + IntToStr(la[2]),
                  ""};
  return true;
}

void ApplyCellPlan(const CellPlan& plan, int ax, int ay, int az, SolverData& d, MaterialState& m) {
  SaveUndo(d, m);
  ModelChanged(d);  // the writes below end in several places
  for (const tLayer& L : plan.NewLayers) d.Layers[size_t(++m.LayerCount)] = L;
  m.LayerCount += plan.AddLayerCount - int(plan.NewLayers.size());
  m.LayerCount = std::clamp(m.LayerCount, 1, MaxMaterials);
  const Limits lim = CellLimits(d);
  const int64_t W = plan.RowX, D = plan.RowY;
  int64_t t = 0;  // cells of the runs passed so far
  for (const MaterialRun& r : plan.Runs) {
    const int64_t t0 = t, t1 = t + r.Count;
    t = t1;
    if (r.Material == 0) continue;
    // Row by row over the run; rows outside the model are skipped a plane at a time.
    int64_t row = t0 / W;
    const int64_t lastRow = (t1 - 1) / W;
    while (row <= lastRow) {
      const int64_t z = az + row / D, y = ay + row % D;
      if (z > lim.z) return;  // later runs lie further on
      if (z < 1) { row = (1 - int64_t(az)) * D; continue; }
      if (y < 1) { row += 1 - y; continue; }
      if (y > lim.y) { row = (row / D + 1) * D; continue; }
      const int64_t from = std::max(t0, row * W) - row * W, to = std::min(t1, (row + 1) * W) - row * W;
      const int64_t x0 = std::max<int64_t>(ax + from, 1), x1 = std::min<int64_t>(ax + to - 1, lim.x);
      for (int64_t x = x0; x <= x1; ++x) d.Space(int(x), int(y), int(z)) = r.Material;
      ++row;
    }
  }
}

// ---------------------------------------------------------------- point list

bool ParsePointList(std::string_view text, std::vector<PointCell>& points, std::string& err) {
  points.clear();
  Cursor c(text);
  std::string_view l;
  c.Next(l);
  while (c.Next(l)) {
    const std::string s = NormalizeBlanks(l);
    if (s.empty()) continue;
    int xyz[3];
    double v = 0;
    for (int i = 0; i < 3; ++i)
      if (!TryStrToInt(GetWord(s, i + 1), xyz[i])) {
        err = LineError(c.Line(), "координата " + IntToStr(i + 1) + " не целое число");
        return false;
      }
    if (!TryStrToFloat(GetWord(s, 4), v)) {
      err = LineError(c.Line(), "значение не число");
      return false;
    }
    points.push_back({xyz[0], xyz[1], xyz[2], uint8_t(v > 1e-9 ? 1 : 0)});
  }
  // A file with nothing after its title line is no point list at all: loading it would
  // look like success and change nothing.
  if (points.empty()) {
    err = NoPointsText;
    return false;
  }
  return true;
}

void ApplyPointList(const std::vector<PointCell>& points, SolverData& d, MaterialState& m) {
  SaveUndo(d, m);
  const Limits lim = CellLimits(d);
  for (const PointCell& p : points)
    if (p.X >= 1 && p.X <= lim.x && p.Y >= 1 && p.Y <= lim.y && p.Z >= 1 && p.Z <= lim.z)
      d.Space(p.X, p.Y, p.Z) = p.Value;
  ModelChanged(d);
}

}  // namespace rv
