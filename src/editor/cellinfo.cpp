#include "editor/cellinfo.h"

#include "project/stringgrid.h"
#include "solver/edgematerial.h"
#include "solver/numtext.h"

namespace rv {

namespace {
std::string Letters(char a, char b) {
  std::string s;
  if (a) s += a;
  if (b) s += b;
  return s;
}
template <class T>
bool On(const T& e, int x, int y, int z) {
  return e.X == x && e.Y == y && e.Z == z;
}
}  // namespace

std::vector<std::string> CellInfoLines(const SolverData& d, const ElementArrays& a, int x, int y,
                                       int z, const std::array<std::string, 3>& sizes) {
  std::vector<std::string> out;
  out.push_back("Координаты (X, Y, Z): " + IntToStr(x) + ", " + IntToStr(y) + ", " + IntToStr(z));
  const int m = d.Space.at(x, y, z);
  const bool material = m >= 1 && m < MaxLayers;
  if (material) out.push_back("Материал: " + UpperCaseText(d.Layers[size_t(m)].Name));
  double dx, dy, dz;
  if (!TryStrToFloat(sizes[0], dx) || !TryStrToFloat(sizes[1], dy) ||
      !TryStrToFloat(sizes[2], dz) || !(dx > 0 && dy > 0 && dz > 0))
    return out;
  const double eps = material ? d.Layers[size_t(m)].EpsStatic : 1.0;
  // A switched-off material is vacuum to the solver: no conductivity of its own.
  const double sigma = material && d.Layers[size_t(m)].On ? d.Layers[size_t(m)].Sigma : 0.0;
  // The cell conducts when the solver's material of its X edge does (the average round the
  // edge) and its own material has a conductivity to give a resistance with.
  const bool conducting = sigma > 0 && GetEdgeMaterial(d, x, y, z, 'X').Sigma != 0;
  // 8.84 pF/m: the permittivity of free space.
  const double c[3] = {8.84 * eps * dy * dz / dx, 8.84 * eps * dx * dz / dy,
                       8.84 * eps * dx * dy / dz};
  const double r[3] = {dx / (sigma * dy * dz), dy / (sigma * dx * dz), dz / (sigma * dx * dy)};
  out.push_back("Сопротивление и емкость: ");
  const char* axis[3] = {"X: ", "Y: ", "Z: "};
  for (int i = 0; i < 3; ++i)
    out.push_back(std::string(axis[i]) +
                  (conducting ? FormatGeneral(r[i], 6) + " Ом/ " : std::string()) +
                  FormatGeneral(c[i], 6) + " пФ");
  // Each list is bounded by its array, whatever the tables hold.
  for (const auto& e : a.OutputPoints)
    if (On(e, x, y, z)) out.push_back("Вывод: " + Letters(e.Kind, e.Dir));
  for (const auto& e : a.SparkGaps)
    if (On(e, x, y, z)) out.push_back("Разрядник: " + Letters(e.Dir, 0) + " " + FloatToStr(e.Threshold) + " В");
  for (const auto& e : a.VoltageSources)
    if (On(e, x, y, z)) out.push_back("Источник: " + Letters(e.Dir, 0) + " " + FloatToStr(e.R) + " Ом");
  for (const auto& e : a.Resistors)
    if (On(e, x, y, z)) out.push_back("Резистор: " + Letters(e.Dir, 0) + " " + FloatToStr(e.Value) + " Ом");
  for (const auto& e : a.Capacitors)
    if (On(e, x, y, z)) out.push_back("Конденсатор: " + Letters(e.Dir, 0) + " " + FloatToStr(e.Value) + " Ф ");
  for (const auto& e : a.Inductors)
    if (On(e, x, y, z)) out.push_back("Индуктивность: " + Letters(e.Dir, 0) + " " + FloatToStr(e.L) + " Гн ");
  return out;
}

}  // namespace rv
