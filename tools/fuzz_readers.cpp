// Mutated object, cell, point-list and drawing files fed to the readers on a 30^3 model,
// with model operations of random (often stale or out-of-range) parameters between them;
// and mutated model files (.bin) read for grids of other sizes and layouts.
// Built under ASan and UBSan by scripts/fuzz-readers.sh; any memory or undefined-behaviour
// fault aborts, and a broken model invariant is reported and aborts too.
//
// Usage: fuzz_readers [seconds] [seed]
#include <chrono>
#include <cmath>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "editor/dxfimport.h"
#include "editor/modelfiles.h"
#include "editor/modelops.h"
#include "project/modelfile.h"
#include "solver/codepage.h"

namespace {

using namespace rv;

std::unique_ptr<SolverData> Model() {
  auto d = std::make_unique<SolverData>();
  SetGridSize(*d, 30, 30, 30);
  if (!ResizeSpace(*d)) std::abort();
  FillDefaultLayers(d->Layers);
  return d;
}

std::string Seed(int kind, std::mt19937_64& rng) {
  std::vector<std::string> l;
  switch (kind) {
    case 0: {  // an object written from a random model
      auto d = Model();
      MaterialState m;
      m.LayerCount = 1 + int(rng() % 4);
      for (int i = 0; i < 200; ++i)
        d->Space(1 + int(rng() % 29), 1 + int(rng() % 29), 1 + int(rng() % 29)) = uint8_t(rng() % (m.LayerCount + 1));
      d->Space(3, 3, 3) = 1;
      std::string text, err;
      if (!ObjectText(*d, m, text, err)) std::abort();
      return text;
    }
    case 1:
      l = {"CELL file", "", "", "2 3 4", "", "10 10 10", "", "1 1 1", "", "100 5 4 3", "", "2 0 7", "",
           "a", "b", "", "1", "7", "0", "3", "2", "9", "end of CELL file"};
      break;
    case 2:
      l = {"x y z v", "1 2 3 1", "5 6 7 0.5", "29 29 29 1e-9", "30 1 1 1"};
      break;
    default:
      l = {"  0", "SECTION", "  2", "HEADER", "  9", "$EXTMIN", " 10", "0", " 20", "0", " 30", "0", "  9",
           "$EXTMAX", " 10", "5", " 20", "5", " 30", "5", "  0", "ENDSEC", "  0", "TABLE", "  2", "LAYER",
           "  0", "LAYER", "  2", "a", "  0", "LAYER", "  2", "LINE", "  0", "ENDTAB", "  0", "3DFACE", "  8",
           "a", " 10", "0", " 20", "0", " 30", "0", " 11", "5", " 21", "0", " 31", "0", " 12", "5", " 22", "5",
           " 32", "5", " 13", "0", " 23", "5", " 33", "5", "  0", "LINE", "  8", "LINE", " 10", "1", " 20",
           "1", " 30", "1", " 11", "4", " 21", "2", " 31", "3", "  0", "EOF"};
  }
  return EncodeLines(l);
}

const char* const Tokens[] = {"-1", "0", "-2147483648", "2147483647", "2147483648", "9223372036854775807",
                              "-9223372036854775808", "99999999999999999999", "1e308", "-1e308", "1e-320",
                              "nan", "inf", "x", "", " ", "255", "256", "254", "Объект кончился",
                              "end of CELL file", "  0", "LINE", "3DFACE", "EOF", "LAYER", "\r", "1.5"};

std::string Mutate(std::string s, std::mt19937_64& rng) {
  const int steps = 1 + int(rng() % 4);
  for (int k = 0; k < steps; ++k) {
    const size_t at = s.empty() ? 0 : size_t(rng() % (s.size() + 1));
    switch (rng() % 6) {
      case 0: s.resize(at); break;  // cut
      case 1:
        for (int i = 0, n = 1 + int(rng() % 8); i < n && !s.empty(); ++i) s[size_t(rng() % s.size())] = char(rng());
        break;
      case 2: {  // a line replaced by a hostile token
        const size_t b = s.rfind('\n', at == 0 ? 0 : at - 1), e = s.find('\r', at);
        const size_t from = b == std::string::npos ? 0 : b + 1, to = e == std::string::npos ? s.size() : e;
        if (from <= to) s.replace(from, to - from, Tokens[rng() % (sizeof Tokens / sizeof *Tokens)]);
        break;
      }
      case 3: s.insert(at, s.substr(at, size_t(rng() % 200))); break;  // repeated lines
      case 4: s.erase(at, size_t(rng() % 50)); break;
      default: s.insert(at, std::string(Tokens[rng() % (sizeof Tokens / sizeof *Tokens)]) + "\r\n");
    }
  }
  return s;
}

// A model file written from a random 8 x 7 x 6 model of long and short runs.
std::string ModelFileSeed(const std::string& path, std::mt19937_64& rng) {
  tSpace s;
  if (!s.allocate(9, 8, 7)) std::abort();
  for (int k = 1; k <= 6; ++k)
    for (int j = 1; j <= 7; ++j)
      for (int i = 1; i <= 8; ++i) s(i, j, k) = rng() % 3 ? 0 : uint8_t(rng() % 255);
  std::string err;
  if (!WriteModelFile(path, s, 8, 7, 6, err)) std::abort();
  std::FILE* f = std::fopen(path.c_str(), "rb");
  std::string bytes;
  for (int c; f && (c = std::fgetc(f)) != EOF;) bytes += char(c);
  if (f) std::fclose(f);
  return bytes;
}

// A mutated model file read for its own grid or one of 3..12 cells an axis in either
// layout: the counts add up, the cells stay within the materials, and whatever is not
// exact has a fault to say.
// -1 when broken, else whether the file was exact.
int FuzzModelFile(const std::string& path, std::mt19937_64& rng) {
  const std::string bytes = Mutate(ModelFileSeed(path, rng), rng);
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() || std::fclose(f) != 0) std::abort();
  // Often the grid the file was written for, so that some files stay exact.
  const bool own = rng() % 2 == 0;
  auto size = [&](int n) { return own ? n : 3 + int(rng() % 10); };
  const int nx = size(8), ny = size(7), nz = size(6);
  tSpace s;
  if (!s.allocate(nx + 1, ny + 1, nz + 1)) std::abort();
  const ModelFileCheck c = ReadModelFile(path, own || rng() % 4 ? "6" : "4", nx, ny, nz, nz, s);
  bool ok = c.Opened && c.Read >= 0 && c.Empty >= 0 && c.Read + c.Empty == c.Need && c.Shifted >= 0 &&
            c.Shifted <= c.Read && c.Dropped >= 0 && c.Stamp.Size == bytes.size() &&
            (c.Exact() ? c.InFile == c.Need : !ModelFileQuestion(path, c).empty());
  for (int k = 0; k <= nz && ok; ++k)
    for (int j = 0; j <= ny && ok; ++j)
      for (int i = 0; i <= nx && ok; ++i) ok = s(i, j, k) <= 254;
  if (!ok) std::fprintf(stderr, "model file check broken: %s\n", ModelFileQuestion(path, c).c_str());
  return ok ? int(c.Exact()) : -1;
}

// The store's invariant: materials 1..LayerCount, every model cell within them.
void Check(const SolverData& d, const MaterialState& m, const char* kind, const std::string& text) {
  bool ok = m.LayerCount >= 1 && m.LayerCount <= MaxMaterials;
  for (int x = 1; x < 30 && ok; ++x)
    for (int y = 1; y < 30 && ok; ++y)
      for (int z = 1; z < 30 && ok; ++z) ok = d.Space(x, y, z) <= m.LayerCount;
  if (ok) return;
  std::fprintf(stderr, "invariant broken after a %s file (LayerCount %d):\n%s\n", kind, m.LayerCount, text.c_str());
  std::abort();
}

// One model operation with hostile parameters: rectangles past the grid, sections out of
// range, huge offsets, far centres, odd cell ratios.
void RandomOperation(SolverData& d, MaterialState& m, std::mt19937_64& rng) {
  const auto any = [&](int lo, int hi) { return lo + int(rng() % unsigned(hi - lo + 1)); };
  SectionView v;
  v.Axis = SectionAxis(rng() % 3);
  v.SliceX = any(-2, 33), v.SliceY = any(-2, 33), v.SliceZ = any(-2, 33);
  v.SizeFor(d.Nx, d.Ny, d.Nz);
  const GridRect r{any(-40, 40), any(-40, 40), any(-40, 40), any(-40, 40)};
  const Turn t{SectionAxis(rng() % 3), any(-50, 80), any(-50, 80), std::ldexp(1.0, any(-4, 4)),
               std::ldexp(1.0, any(-4, 4))};
  std::string err;
  d.Layers[size_t(any(1, 4))].On = uint8_t(rng() % 2);
  switch (rng() % 5) {
    case 0: DeleteSelected(d, m, v, r); break;
    case 1: {
      CloneOptions o;
      o.Mode = CloneOptions::Direction(rng() % 3);
      o.Count = any(0, 100), o.Section = any(-5, 40);
      o.CopyEmpty = rng() % 2, o.CopyHidden = rng() % 2, o.OverwriteHidden = rng() % 2;
      CloneSelection(d, m, v, r, o);
      break;
    }
    case 2: MoveModel(d, m, rng() % 4 ? any(-5, 5) : int(rng()), any(-40, 40), any(-5, 5), err); break;
    case 3: RotateModel(d, m, t, double(any(-720, 720)) * 0.0174533, err); break;
    default: RevolveSelection(d, m, v, r, t, err);
  }
}

}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 60;
  std::mt19937_64 rng(argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 1);
  const char* kinds[] = {"fid", "cel", "3d", "dxf", "bin"};
  long long runs[5] = {}, accepted[5] = {};
  char binPath[] = "/tmp/fuzz_model_XXXXXX";
  const int binFd = ::mkstemp(binPath);
  if (binFd < 0) return 1;
  ::close(binFd);
  auto d = Model();
  MaterialState m;
  const auto start = std::chrono::steady_clock::now();
  long long n = 0;
  for (;; ++n) {
    if (n % 64 == 0) {
      const std::chrono::duration<double> t = std::chrono::steady_clock::now() - start;
      if (t.count() >= seconds) break;
    }
    const int kind = int(n % 5);
    if (kind == 4) {
      ++runs[kind];
      const int exact = FuzzModelFile(binPath, rng);
      if (exact < 0) return 1;
      accepted[kind] += exact;
      continue;
    }
    const std::string bytes = Mutate(Seed(kind, rng), rng);
    // Mostly as the files are read (cp1251 decoded), sometimes the raw bytes.
    const std::string text = rng() % 4 ? Cp1251ToUtf8(bytes) : bytes;
    ++runs[kind];
    std::string err;
    bool ok = false;
    if (kind == 0 || kind == 1) {
      CellPlan plan;
      ok = kind == 0 ? ParseObject(text, *d, m, plan, err) : ParseCellFile(text, m, plan, err);
      if (ok) {
        auto anchor = [](int v) { return v < 1 ? 1 : v > 10000 ? 10000 : v; };  // the dialog's range
        ApplyCellPlan(plan, anchor(plan.AX), anchor(plan.AY), anchor(plan.AZ), *d, m);
      }
    } else if (kind == 2) {
      std::vector<PointCell> pts;
      ok = ParsePointList(text, pts, err);
      if (ok) ApplyPointList(pts, *d, m);
    } else {
      DxfGrid g{0.001, 0.001, 0.001, 30, 30, 30, 1};
      DxfPlan plan;
      std::vector<std::string> report;
      ok = ParseDxf(text, g, *d, m, plan, report, err) == DxfStatus::Ready &&
           PlaceDxf(plan, rng() % 8 ? 0.001 : std::ldexp(1.0, int(rng() % 200) - 100), g, *d, m, report, err);
    }
    if (!ok && err.empty() && kind != 3) {
      std::fprintf(stderr, "a %s file refused without a message:\n%s\n", kinds[kind], text.c_str());
      return 1;
    }
    accepted[kind] += ok;
    Check(*d, m, kinds[kind], text);
    if (n % 8 == 0) {
      RandomOperation(*d, m, rng);
      Check(*d, m, "model operation", "");
    }
    if (m.LayerCount > 200 || n % 500 == 0) {  // start over now and then
      d = Model();
      m = MaterialState{};
    }
  }
  const std::chrono::duration<double> t = std::chrono::steady_clock::now() - start;
  std::remove(binPath);
  for (int k = 0; k < 5; ++k)
    std::printf("fuzz: %s files %lld, accepted %lld\n", kinds[k], runs[k], accepted[k]);
  std::printf("fuzz: %lld inputs in %.1f s, no fault\n", n, t.count());
  return 0;
}
