#include "solver/resultpaths.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace rv {

void SetResultPaths(SolverData& d, const std::string& fileName) {
  const size_t slash = fileName.find_last_of('/');
  std::string dir = slash == std::string::npos ? std::string() : fileName.substr(0, slash + 1);
  if (dir.empty()) dir = "./";
  std::string base = slash == std::string::npos ? fileName : fileName.substr(slash + 1);
  const size_t dot = base.find_last_of('.');
  if (dot != std::string::npos) base.erase(dot);
  d.ProjectDir = dir;
  d.ProjectName = base;
  d.ResultDir = dir + "Results - " + base + "/";
  d.ImagesDir = d.ResultDir + "Images/";
  d.SARDir = d.ResultDir + "SAR/";
  d.FARDir = d.ResultDir + "FAR/";
}

bool EnsureDir(const std::string& dir, std::string* err) {
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  if (ec || !std::filesystem::is_directory(dir)) {
    if (err) *err = "Не удалось создать папку " + dir;
    return false;
  }
  return true;
}

namespace {

bool Occupied(const SolverData& d, int x, int y, int z) {
  const uint8_t m = d.Space(x, y, z);
  return m != 0 && m < MaxLayers && d.Layers[m].On != 0;
}

// First index along `axis` in [lo..hi] whose plane holds an occupied cell, scanning
// forward or backward; -1 when none.
int ScanPlane(const SolverData& d, int axis, int lo, int hi, bool forward, int nx, int ny, int nz) {
  const int n[3] = {nx, ny, nz};
  const int a1 = (axis + 1) % 3, a2 = (axis + 2) % 3;
  for (int step = 0; step <= hi - lo; ++step) {
    const int p = forward ? lo + step : hi - step;
    int c[3];
    c[axis] = p;
    for (int u = 1; u <= n[a1]; ++u)
      for (int v = 1; v <= n[a2]; ++v) {
        c[a1] = u; c[a2] = v;
        if (Occupied(d, c[0], c[1], c[2])) return p;
      }
  }
  return -1;
}

}  // namespace

void FindObjectBounds(SolverData& d) {
  // Bound the scan by the model's real extents, never by the grid counts alone.
  const int nx = std::min(d.Nx, d.Space.len1() - 1);
  const int ny = std::min(d.Ny, d.Space.len2() - 1);
  const int nz = std::min(d.Nz, d.Space.len3() - 1);
  int first = (nx >= 1 && ny >= 1 && nz >= 1) ? ScanPlane(d, 0, 1, nx, true, nx, ny, nz) : -1;
  if (first < 0) {
    d.ObjXMin = d.ObjXMax = d.Nx / 2;
    d.ObjYMin = d.ObjYMax = d.Ny / 2;
    d.ObjZMin = d.ObjZMax = d.Nz / 2;
    return;
  }
  d.ObjXMin = first;
  d.ObjXMax = ScanPlane(d, 0, first, nx, false, nx, ny, nz) + 1;
  d.ObjYMin = ScanPlane(d, 1, 1, ny, true, nx, ny, nz);
  d.ObjYMax = ScanPlane(d, 1, d.ObjYMin, ny, false, nx, ny, nz) + 1;
  d.ObjZMin = ScanPlane(d, 2, 1, nz, true, nx, ny, nz);
  d.ObjZMax = ScanPlane(d, 2, d.ObjZMin, nz, false, nx, ny, nz) + 1;
}

}  // namespace rv
