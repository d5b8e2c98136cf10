#include "solver/edgematerial.h"

#include <cmath>
#include <cstring>
#include <map>
#include <new>
#include <unordered_map>

#include "solver/constants.h"

namespace rv {

namespace {

using ld = long double;

// The material of a cell when it counts as material (inside Space, a material number that
// names an entry of Layers, switched on); 0 otherwise.
inline uint8_t CountingMaterial(const SolverData& d, int i, int j, int k) {
  if (!d.Space.inside(i, j, k)) return 0;
  const uint8_t m = d.Space(i, j, k);
  if (m == 0 || m >= MaxLayers || d.Layers[m].On == 0) return 0;
  return m;
}

// The four cells of an edge in the order the average takes them: the own cell, then the
// first, second and third of the others; and the Neighbour byte each of the others fills.
struct EdgeCells {
  uint8_t own = 0, c[3] = {0, 0, 0};
  uint8_t slot[3] = {0, 0, 0};
};

inline bool OutsideBox(const SolverData& d, int I, int J, int K) {
  return I < d.ObjXMin || I > d.ObjXMax || J < d.ObjYMin || J > d.ObjYMax || K < d.ObjZMin ||
         K > d.ObjZMax;
}

// A neighbour counts only when its shifted indices are at least 1.
inline EdgeCells CellsOf(const SolverData& d, int I, int J, int K, char Axis) {
  EdgeCells e;
  e.own = CountingMaterial(d, I, J, K);
  switch (Axis) {
    case 'X':
      e.c[0] = (J >= 2 && K >= 2) ? CountingMaterial(d, I, J - 1, K - 1) : 0;
      e.c[1] = (J >= 2) ? CountingMaterial(d, I, J - 1, K) : 0;
      e.c[2] = (K >= 2) ? CountingMaterial(d, I, J, K - 1) : 0;
      e.slot[0] = 1; e.slot[1] = 0; e.slot[2] = 2;
      break;
    case 'Y':
      e.c[0] = (I >= 2 && K >= 2) ? CountingMaterial(d, I - 1, J, K - 1) : 0;
      e.c[1] = (I >= 2) ? CountingMaterial(d, I - 1, J, K) : 0;
      e.c[2] = (K >= 2) ? CountingMaterial(d, I, J, K - 1) : 0;
      e.slot[0] = 1; e.slot[1] = 2; e.slot[2] = 0;
      break;
    case 'Z':
      e.c[0] = (I >= 2 && J >= 2) ? CountingMaterial(d, I - 1, J - 1, K) : 0;
      e.c[1] = (J >= 2) ? CountingMaterial(d, I, J - 1, K) : 0;
      e.c[2] = (I >= 2) ? CountingMaterial(d, I - 1, J, K) : 0;
      e.slot[0] = 1; e.slot[1] = 2; e.slot[2] = 0;
      break;
    default:
      break;
  }
  return e;
}

inline void OutsideCoefs(tEdgeMaterial& M) {
  M.Ca = 1;
  M.Cb = Eta0;
  M.DebyeCoef = 0;
  M.DebyeDecay = 1;
}

// Averages the four cells (vacuum for a cell that does not count) and derives the update
// coefficients. The accumulators are 32-bit, each partial sum rounded; every other
// quotient is formed in extended precision and rounded when stored.
void AverageAndCoefs(const SolverData& d, const EdgeCells& e, tEdgeMaterial& M) {
  if (e.own) {
    const tLayer& L = d.Layers[e.own];
    M.Sigma = float(L.Sigma);
    M.EpsStatic = float(L.EpsStatic);
    M.EpsInf = float(L.EpsInf);
    M.Tau = float(L.Tau);
    M.Mu = float(L.Mu);
    M.Density = float(L.Density);
  }
  float aSig = 0, aEs = 1, aEi = 1, aTau = 0, aMu = 1, aDen = 0;
  if (e.c[0]) {
    const tLayer& L = d.Layers[e.c[0]];
    aSig = float(L.Sigma); aEs = float(L.EpsStatic); aEi = float(L.EpsInf);
    aTau = float(L.Tau); aMu = float(L.Mu); aDen = float(L.Density);
  }
  for (int n = 1; n < 3; ++n) {
    if (e.c[n]) {
      const tLayer& L = d.Layers[e.c[n]];
      aSig = float(ld(aSig) + ld(L.Sigma));
      aEs = float(ld(aEs) + ld(L.EpsStatic));
      aEi = float(ld(aEi) + ld(L.EpsInf));
      aTau = float(ld(aTau) + ld(L.Tau));
      aMu = float(ld(aMu) + ld(L.Mu));
      aDen = float(ld(aDen) + ld(L.Density));
    } else {
      aEs = float(ld(aEs) + 1);
      aEi = float(ld(aEi) + 1);
      aMu = float(ld(aMu) + 1);
    }
  }
  const ld eps0 = Eps0;
  M.EpsStatic = float((ld(M.EpsStatic) + ld(aEs)) * eps0 / 4);
  M.Sigma = float((ld(M.Sigma) + ld(aSig)) / 4);
  M.EpsInf = float((ld(M.EpsInf) + ld(aEi)) * eps0 / 4);
  M.Tau = float((ld(M.Tau) + ld(aTau)) / 4);
  M.Mu = float((ld(M.Mu) + ld(aMu)) / 4);
  M.Density = float((ld(M.Density) + ld(aDen)) / 4);

  const ld dt = d.TimeStepSec;
  const ld h = ld(M.Sigma) * dt * 0.5L;
  const ld c = LightSpeed;
  if (d.PolarDielectrics && M.Tau > 0 && M.EpsStatic != M.EpsInf) {
    M.DebyeDecay = float(std::exp(-dt / ld(M.Tau)));
    const ld decay = M.DebyeDecay;
    const float X = float((ld(M.EpsStatic) - ld(M.EpsInf)) * (1 - decay));
    const ld den = ld(M.EpsInf) + ld(X) + h;
    M.Ca = float((ld(M.EpsInf) - h) / den);
    M.Cb = float(1 / den / c);
    M.DebyeCoef = float((1 - decay) * (1 - decay) * (ld(M.EpsStatic) - ld(M.EpsInf)) / eps0);
  } else {
    M.DebyeDecay = 1;
    const ld es = M.EpsStatic;
    M.Ca = float((es - h) / (es + h));
    M.Cb = float(1 / (es + h) / c);
    M.DebyeCoef = 0;
  }
}

}  // namespace

void GetEdgeMaterial(const SolverData& d, int I, int J, int K, char Axis, tEdgeMaterial& M) {
  M = tEdgeMaterial{};
  if (OutsideBox(d, I, J, K)) {
    OutsideCoefs(M);
    return;
  }
  const EdgeCells e = CellsOf(d, I, J, K, Axis);
  for (int n = 0; n < 3; ++n)
    if (e.c[n]) {
      M.Neighbour[e.slot[n]] = e.c[n];
      ++M.NeighbourCount;
    }
  AverageAndCoefs(d, e, M);
}

tEdgeMaterial GetEdgeMaterial(const SolverData& d, int I, int J, int K, char Axis) {
  tEdgeMaterial M;
  GetEdgeMaterial(d, I, J, K, Axis, M);
  return M;
}

// ---------------------------------------------------------------------------------------
// Cache

std::array<int, 6> UpdatedRange(int axis, int nx, int ny, int nz) {
  switch (axis) {
    case 0: return {1, nx - 1, 2, ny - 1, 2, nz - 1};
    case 1: return {2, nx - 1, 1, ny - 1, 2, nz - 1};
    default: return {2, nx - 1, 2, ny - 1, 1, nz - 1};
  }
}

namespace {

const char kAxes[3] = {'X', 'Y', 'Z'};

// Mixed rows whose runs average at least this many edges are kept as runs.
constexpr int kMinRunLength = 24;

// Classes by value: two edges whose four coefficients have the same bits share a class.
class ClassTable {
public:
  explicit ClassTable(const SolverData& d) : d_(d) {}

  // The class of an edge given its cells (or of an edge outside the box).
  uint32_t ClassOf(bool outside, const EdgeCells& e) {
    const uint64_t key = outside ? (uint64_t(1) << 32)
                                 : uint64_t(e.own) | uint64_t(e.c[0]) << 8 |
                                       uint64_t(e.c[1]) << 16 | uint64_t(e.c[2]) << 24;
    if (key == lastKey_) return lastClass_;
    uint32_t cls;
    auto it = byCells_.find(key);
    if (it != byCells_.end()) {
      cls = it->second;
    } else {
      tEdgeMaterial M;
      if (outside) OutsideCoefs(M);
      else AverageAndCoefs(d_, e, M);
      std::array<uint32_t, 4> bits;
      std::memcpy(&bits[0], &M.Ca, 4);
      std::memcpy(&bits[1], &M.Cb, 4);
      std::memcpy(&bits[2], &M.DebyeCoef, 4);
      std::memcpy(&bits[3], &M.DebyeDecay, 4);
      auto vit = byValue_.find(bits);
      if (vit != byValue_.end()) {
        cls = vit->second;
      } else {
        cls = uint32_t(table.size());
        table.push_back({M.Ca, M.Cb, M.DebyeCoef, M.DebyeDecay});
        byValue_.emplace(bits, cls);
      }
      byCells_.emplace(key, cls);
    }
    lastKey_ = key;
    lastClass_ = cls;
    return cls;
  }

  std::vector<EdgeCoefs> table;

private:
  const SolverData& d_;
  std::unordered_map<uint64_t, uint32_t> byCells_;
  std::map<std::array<uint32_t, 4>, uint32_t> byValue_;
  uint64_t lastKey_ = ~uint64_t(0);
  uint32_t lastClass_ = 0;
};

}  // namespace

void EdgeCoefCache::Clear() {
  Nx = Ny = Nz = 0;
  Table.clear(); Table.shrink_to_fit();
  TabCa.clear(); TabCb.clear(); TabDebyeCoef.clear(); TabDebyeDecay.clear();
  for (auto& r : Rows) { r.clear(); r.shrink_to_fit(); }
  Segs.clear(); Segs.shrink_to_fit();
  Wide = false;
  Index16.clear(); Index16.shrink_to_fit();
  Index32.clear(); Index32.shrink_to_fit();
  AnyDispersive = false;
}

bool EdgeCoefCache::Build(const SolverData& d, std::string* err) {
  Clear();
  const int nx = d.Nx, ny = d.Ny, nz = d.Nz;
  if (nx < 2 || ny < 2 || nz < 2) {
    if (err) *err = "Размер сетки не задан";
    return false;
  }
  try {
    ClassTable classes(d);
    std::vector<uint32_t> row(size_t(nz) + 1);
    const size_t rowLen = size_t(nz) + 1;
    for (int a = 0; a < 3; ++a) {
      Rows[a].assign(size_t(nx + 1) * size_t(ny + 1), Row{});
      const auto r = UpdatedRange(a, nx, ny, nz);
      for (int i = r[0]; i <= r[1]; ++i)
        for (int j = r[2]; j <= r[3]; ++j) {
          if (r[4] > r[5]) continue;
          int runs = 0;
          for (int k = r[4]; k <= r[5]; ++k) {
            const bool outside = OutsideBox(d, i, j, k);
            row[k] = outside ? classes.ClassOf(true, EdgeCells{})
                             : classes.ClassOf(false, CellsOf(d, i, j, k, kAxes[a]));
            if (k == r[4] || row[k] != row[k - 1]) ++runs;
          }
          Row& dst = Rows[a][size_t(i) * (ny + 1) + j];
          if (runs == 1) {
            dst.Uniform = int32_t(row[r[4]]);
            continue;
          }
          // Runs long enough that a call per run beats a class lookup per edge.
          if (runs <= 2 + (r[5] - r[4] + 1) / kMinRunLength) {
            dst.SegCount = runs;
            dst.Offset = int64_t(Segs.size());
            for (int k = r[4]; k <= r[5]; ++k)
              if (k == r[4] || row[k] != row[k - 1]) Segs.push_back(Seg{k, row[k]});
            continue;
          }
          if (!Wide && classes.table.size() > 65536) {
            Index32.assign(Index16.begin(), Index16.end());
            Index16.clear(); Index16.shrink_to_fit();
            Wide = true;
          }
          if (Wide) {
            dst.Offset = int64_t(Index32.size());
            Index32.resize(Index32.size() + rowLen, row[r[4]]);
            for (int k = r[4]; k <= r[5]; ++k) Index32[dst.Offset + k] = row[k];
          } else {
            dst.Offset = int64_t(Index16.size());
            Index16.resize(Index16.size() + rowLen, uint16_t(row[r[4]]));
            for (int k = r[4]; k <= r[5]; ++k) Index16[dst.Offset + k] = uint16_t(row[k]);
          }
        }
    }
    Table = std::move(classes.table);
    for (const EdgeCoefs& c : Table) {
      TabCa.push_back(c.Ca);
      TabCb.push_back(c.Cb);
      TabDebyeCoef.push_back(c.DebyeCoef);
      TabDebyeDecay.push_back(c.DebyeDecay);
      if (c.DebyeCoef != 0 || c.DebyeDecay != 1) AnyDispersive = true;
    }
    if (Table.empty()) {  // a grid too small to have interior edges still gets a table
      Table.push_back(EdgeCoefs{1, Eta0, 0, 1});
      TabCa.push_back(1); TabCb.push_back(Eta0); TabDebyeCoef.push_back(0); TabDebyeDecay.push_back(1);
    }
  } catch (const std::bad_alloc&) {
    Clear();
    if (err) *err = "Недостаточно памяти для коэффициентов материалов";
    return false;
  } catch (const std::length_error&) {
    Clear();
    if (err) *err = "Недостаточно памяти для коэффициентов материалов";
    return false;
  }
  Nx = nx; Ny = ny; Nz = nz;
  return true;
}

int EdgeCoefCache::ClassOf(char Axis, int i, int j, int k) const {
  const int a = Axis == 'X' ? 0 : Axis == 'Y' ? 1 : Axis == 'Z' ? 2 : -1;
  if (a < 0 || Table.empty()) return -1;
  const auto r = UpdatedRange(a, Nx, Ny, Nz);
  if (i < r[0] || i > r[1] || j < r[2] || j > r[3] || k < r[4] || k > r[5]) return -1;
  const Row& row = RowOf(a, i, j);
  if (row.Uniform >= 0) return row.Uniform;
  if (row.SegCount > 0) {
    const Seg* s = Segs.data() + row.Offset;
    int n = row.SegCount - 1;
    while (n > 0 && s[n].K0 > k) --n;
    return int(s[n].Class);
  }
  return Wide ? int(Index32[size_t(row.Offset) + k]) : int(Index16[size_t(row.Offset) + k]);
}

EdgeCoefs EdgeCoefCache::Coefs(char Axis, int i, int j, int k) const {
  const int c = ClassOf(Axis, i, j, k);
  if (c < 0) return EdgeCoefs{1, Eta0, 0, 1};
  return Table[size_t(c)];
}

}  // namespace rv
