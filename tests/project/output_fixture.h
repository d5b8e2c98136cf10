// Helpers of the output-file and recording tests: a scratch results folder, the lines of a
// cp1251 CR LF file and a PEC box.
#pragma once
#include "project_fixture.h"
#include "solver/codepage.h"
#include "solver/constants.h"
#include "solver/solverdata.h"

namespace outtest {

using namespace prjtest;

// A scratch folder of the test with the results folder of a project "p" in it.
struct Scratch : TempDir {
  std::string Results() const { return (dir / "Results - p").string() + "/"; }
};

// The lines of a cp1251 file as UTF-8. `crlf` tells whether every line ended in CR LF.
inline std::vector<std::string> ReadLines(const std::string& path, bool* crlf = nullptr) {
  const std::string raw = ReadBytes(path);
  std::vector<std::string> lines;
  bool ok = true;
  size_t p = 0;
  while (p < raw.size()) {
    size_t e = raw.find('\n', p);
    if (e == std::string::npos) { ok = false; e = raw.size(); }
    std::string l = raw.substr(p, e - p);
    if (l.empty() || l.back() != '\r') ok = false;
    else l.pop_back();
    lines.push_back(Cp1251ToUtf8(l));
    p = e + 1;
  }
  if (crlf) *crlf = ok;
  return lines;
}

// A PEC box of n nodes per axis with cell sizes dx, dy, dz and c*dt at the 3-D limit / 2.
inline void MakeGrid(SolverData& d, int n, double dx, double dy, double dz, bool sar) {
  SetGridSize(d, n, n, n);
  ResizeSpace(d);
  d.Dx = dx; d.Dy = dy; d.Dz = dz;
  d.HalfDx = dx / 2;
  d.CellVolume = dx * dy * dz;
  const double m = std::min(dx, std::min(dy, dz));
  d.TimeStep = m / 2;
  d.TimeStepSec = d.TimeStep / double(LightSpeed);
  d.CourantX = d.TimeStep / dx;
  d.CourantY = d.TimeStep / dy;
  d.CourantZ = d.TimeStep / dz;
  d.SAROn = sar ? 1 : 0;
  for (int f = 1; f <= 6; ++f) d.PECFace[size_t(f)] = 1;
  d.AnyPEC = 1;
  d.AnyPECOrSym = 1;
}

}  // namespace outtest
