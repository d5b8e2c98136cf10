#include "editor/dxfimport.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "editor/modelfiles.h"
#include "project/stringgrid.h"
#include "solver/codepage.h"
#include "solver/numtext.h"
#include "solver/textutils.h"

namespace rv {

namespace {

std::string Join3(double a, double b, double c) {
  return FloatToStr(a) + "x" + FloatToStr(b) + "x" + FloatToStr(c);
}

// The cells a drawing of this extent takes along one axis: its far end lies in cell
// Round(extent / size) + 1, and one more cell follows it, as the placing puts it. False when
// that has no whole value.
bool FitCells(double extent, double size, long long& n) {
  if (!TryRound(extent / size, n) || n > std::numeric_limits<long long>::max() - 2) return false;
  n += 2;
  return true;
}

std::string CellCount(double extent, double size) {
  long long n = 0;
  return FitCells(extent, size, n) ? IntToStr(n) : "?";
}

std::string StepLine(const DxfGrid& g) {
  return "Шаг по пространству: " + Join3(g.dX, g.dY, g.dZ) + " единиц";
}
std::string GridLine(const DxfGrid& g) {
  return "Размер пространства: " + IntToStr(g.Nx) + "x" + IntToStr(g.Ny) + "x" + IntToStr(g.Nz) + " ячеек";
}
std::string CellsLine(const double ext[3], const DxfGrid& g) {
  return "Размер объекта: " + CellCount(ext[0], g.dX) + "x" + CellCount(ext[1], g.dY) + "x" +
         CellCount(ext[2], g.dZ) + " ячеек";
}

// Pairs read between two questions whether to stop.
constexpr std::size_t CancelEvery = 64;

// The pairs of one entity being read.
struct Entity {
  std::string Type;
  std::size_t Line = 0;         // line of its code 0
  bool HasLayer = false;
  std::string Layer;
  std::array<double, 12> C{};   // 10..13, 20..23, 30..33 as [axis * 4 + corner]
  std::array<bool, 12> Has{};
};

}  // namespace

DxfStatus ParseDxf(std::string_view text, const DxfGrid& g, const SolverData& d, const MaterialState& m,
                   DxfPlan& plan, std::vector<std::string>& report, std::string& err,
                   const DxfProgress& progress, const DxfCancel& cancelled) {
  plan = DxfPlan{};
  plan.LayerNames.emplace_back();
  report.push_back(":АНАЛИЗ ФАЙЛА");
  LineReader r(text);
  Entity e;
  bool inEntity = false, layerNamed = false;
  std::string headerVar;
  double ext[2][3] = {{0, 0, 0}, {0, 0, 0}};
  std::vector<Entity> found;

  auto finish = [&]() -> bool {
    if (!inEntity || (e.Type != "LINE" && e.Type != "3DFACE")) return true;
    const bool face = e.Type == "3DFACE";
    const int corners = face ? 3 : 2;
    for (int c = 0; c < corners; ++c)
      for (int a = 0; a < 2; ++a)
        if (!e.Has[size_t(a * 4 + c)]) {
          err = LineError(e.Line, e.Type + ": нет координаты с кодом " + IntToStr((a + 1) * 10 + c));
          return false;
        }
    found.push_back(e);
    return true;
  };

  std::string_view codeLine, value;
  std::size_t pairs = 0;
  while (r.Next(codeLine)) {
    const std::size_t at = r.Number();
    if (progress && at % 1000 < 2) progress("Прочитано строк " + IntToStr(static_cast<long long>(at)));
    if (cancelled && ++pairs % CancelEvery == 0 && cancelled()) {
      err = DxfStopped;
      return DxfStatus::Refused;
    }
    int code = 0;
    if (TrimBlanks(codeLine).empty()) {
      // Blank lines at the very end (an editor's last line end) close the file as its end does.
      std::string_view more;
      bool blankToEnd = true;
      while (blankToEnd && r.Next(more)) blankToEnd = TrimBlanks(more).empty();
      if (blankToEnd) break;
    }
    if (!TryStrToInt(codeLine, code)) {
      err = LineError(at, "ожидался код группы, а не \"" + TextPiece(codeLine) + "\"");
      return DxfStatus::Refused;
    }
    if (!r.Next(value)) {
      err = LineError(at + 1, "нет значения кода группы " + IntToStr(code));
      return DxfStatus::Refused;
    }
    if (code == 0) {
      if (!finish()) return DxfStatus::Refused;
      e = Entity{};
      e.Type = std::string(TrimBlanks(value));
      e.Line = at;
      inEntity = true;
      layerNamed = false;
      headerVar.clear();
      if (e.Type == "EOF") break;
      continue;
    }
    if (code == 9) {
      headerVar = std::string(TrimBlanks(value));
      continue;
    }
    if (!headerVar.empty() && (headerVar == "$EXTMIN" || headerVar == "$EXTMAX") && (code == 10 || code == 20 || code == 30)) {
      double v = 0;
      if (TryStrToFloat(value, v)) ext[headerVar == "$EXTMAX"][code / 10 - 1] = v;
      // The drawing's own idea of its size, reported where it is read.
      if (headerVar == "$EXTMAX" && code == 30) {
        const double e[3] = {ext[1][0] - ext[0][0], ext[1][1] - ext[0][1], ext[1][2] - ext[0][2]};
        report.push_back(StepLine(g));
        report.push_back("Приблизительный размер объекта: " + Join3(e[0], e[1], e[2]) + " единиц");
        report.push_back(GridLine(g));
        report.push_back(CellsLine(e, g));
      }
      continue;
    }
    if (!inEntity) continue;
    if (e.Type == "LAYER" && code == 2 && !layerNamed) {
      layerNamed = true;
      if (int(plan.LayerNames.size()) > MaxMaterials) {
        err = LineError(at + 1, "в чертеже больше " + IntToStr(MaxMaterials) + " слоев");
        return DxfStatus::Refused;
      }
      plan.LayerNames.emplace_back(value);
      report.emplace_back(value);
      continue;
    }
    if (e.Type != "LINE" && e.Type != "3DFACE") continue;
    if (code == 8 && !e.HasLayer) {
      e.HasLayer = true;
      e.Layer = std::string(value);
      continue;
    }
    if (code >= 10 && code <= 33 && code % 10 <= 3) {
      const size_t i = size_t((code / 10 - 1) * 4 + code % 10);
      if (e.Has[i]) continue;
      if (!TryStrToFloat(value, e.C[i]) || !std::isfinite(e.C[i])) {
        err = LineError(at + 1, "не число \"" + TextPiece(value) + "\"");
        return DxfStatus::Refused;
      }
      e.Has[i] = true;
    }
  }
  if (!finish()) return DxfStatus::Refused;

  const int layers = int(plan.LayerNames.size()) - 1;
  if (layers == 0) {
    report.push_back("Не найдено ни одного слоя. Abort");
    return DxfStatus::NoLayers;
  }
  // Materials of the layers: an existing one of the name, or one appended (once per name).
  const int have = std::clamp(m.LayerCount, 0, MaxMaterials);
  plan.LayerMaterial.assign(size_t(layers) + 1, 0);
  for (int k = 1; k <= layers; ++k) {
    const std::string& name = plan.LayerNames[size_t(k)];
    int mat = FindLayerByName(d.Layers, have, name);
    if (mat == 0) {
      const std::string key = UpperCaseText(name);
      for (size_t j = 0; j < plan.NewLayers.size() && mat == 0; ++j)
        if (UpperCaseText(plan.NewLayers[j]) == key) mat = have + int(j) + 1;
    }
    if (mat == 0) {
      if (have + int(plan.NewLayers.size()) >= MaxMaterials) {
        err = std::string(TooManyLayers) + ": слой \"" + TextPiece(name) + "\"";
        return DxfStatus::Refused;
      }
      plan.NewLayers.push_back(name);
      mat = have + int(plan.NewLayers.size());
    }
    plan.LayerMaterial[size_t(k)] = mat;
  }
  int faces = 0, lines = 0;
  for (const Entity& f : found) (f.Type == "3DFACE" ? faces : lines)++;
  report.push_back("Найдено поверхностей:" + IntToStr(faces));
  report.push_back("Найдено линий:" + IntToStr(lines));
  if (faces == 0 && lines == 0) {
    report.push_back("*****НЕТ ПОВЕРХНОСТЕЙ И ЛИНИЙ!!!");
    return DxfStatus::NoEntities;
  }
  report.push_back(":Загрузка 3DFACE и LINE");
  plan.Faces.reserve(size_t(faces));
  plan.Lines.reserve(size_t(lines));
  for (const Entity& f : found) {
    DxfEntity out;
    int k = 0;
    for (int i = layers; i >= 1 && k == 0; --i)
      if (f.HasLayer && plan.LayerNames[size_t(i)] == f.Layer) k = i;
    if (k == 0) {
      report.push_back("Ош. Не найден номер для слоя " + f.Layer);
      k = 1;
    }
    out.Layer = k;
    out.Line = f.Line;
    const bool face = f.Type == "3DFACE";
    // A missing z is 0; a missing fourth corner (or its x or y) is the third's.
    const bool noFourth = !f.Has[3] && !f.Has[7] && !f.Has[11];
    for (int c = 0; c < (face ? 4 : 2); ++c)
      for (int a = 0; a < 3; ++a) {
        const size_t i = size_t(a * 4 + c);
        double v = f.Has[i] ? f.C[i] : 0.0;
        if (c == 3 && (noFourth || (!f.Has[i] && a < 2))) v = out.P[2][size_t(a)];
        out.P[size_t(c)][size_t(a)] = v;
      }
    (face ? plan.Faces : plan.Lines).push_back(out);
  }
  report.push_back(":Загрузка завершена");
  return DxfStatus::Ready;
}

std::string DxfScaleRefusal(const std::string& text, double& scale) {
  const char* what = "Неверно задан масштаб";
  const char* hint = "длину одной единицы чертежа в метрах, больше 0, например 0.001";
  if (!TryStrToFloat(text, scale)) return FieldRefusal(what, DxfScaleLabel, text, NotNumberReason(text), hint);
  if (!(scale > 0)) return FieldRefusal(what, DxfScaleLabel, text, "не больше 0", hint);
  return "";
}

bool PlaceDxf(const DxfPlan& plan, double scale, const DxfGrid& g, SolverData& d, MaterialState& m,
              std::vector<std::string>& report, std::string& err, const DxfProgress& progress,
              const DxfCancel& cancelled) {
  if (!std::isfinite(scale) || scale <= 0) {
    err = "Масштаб должен быть числом больше 0";
    return false;
  }
  for (double s : {g.dX, g.dY, g.dZ})
    if (!std::isfinite(s) || s <= 0) {
      err = "Шаг по пространству должен быть числом больше 0";
      return false;
    }
  // Scaled points, and their smallest and largest corner.
  std::vector<DxfEntity> faces = plan.Faces, lines = plan.Lines;
  Point3 lo{HUGE_VAL, HUGE_VAL, HUGE_VAL}, hi{-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
  auto scan = [&](std::vector<DxfEntity>& v, int corners) {
    for (DxfEntity& e : v)
      for (int c = 0; c < corners; ++c)
        for (int a = 0; a < 3; ++a) {
          double& x = e.P[size_t(c)][size_t(a)];
          x *= scale;
          lo[size_t(a)] = std::min(lo[size_t(a)], x), hi[size_t(a)] = std::max(hi[size_t(a)], x);
        }
  };
  scan(faces, 4);
  scan(lines, 2);
  const double size[3] = {g.dX, g.dY, g.dZ};
  const int n[3] = {g.Nx, g.Ny, g.Nz};
  const double ext[3] = {hi[0] - lo[0], hi[1] - lo[1], hi[2] - lo[2]};
  long long cells[3];
  for (int a = 0; a < 3; ++a)
    if (!std::isfinite(ext[a]) || !FitCells(ext[a], size[a], cells[a])) {
      err = "Координаты чертежа в этом масштабе выходят за пределы чисел";
      return false;
    }
  report.push_back(StepLine(g));
  report.push_back("Размер объекта: " + Join3(ext[0], ext[1], ext[2]) + " единиц");
  report.push_back(GridLine(g));
  report.push_back(CellsLine(ext, g));
  // The check counts cells as the placing puts points (Round(x / dX) + 1), so a drawing that
  // passes has every point in a model cell and loses none.
  for (int a = 0; a < 3; ++a)
    if (cells[a] > n[a]) {
      err = DxfDoesNotFit;
      return false;
    }
  report.push_back("ИДЕТ ОБРАБОТКА...ждите ");
  const UndoLevel earlier = KeepUndoLevel(d, m);
  SaveUndo(d, m);
  const int have = std::clamp(m.LayerCount, 0, MaxMaterials);
  for (size_t j = 0; j < plan.NewLayers.size(); ++j) d.Layers[size_t(have) + 1 + j].Name = plan.NewLayers[j];
  m.LayerCount = have + int(plan.NewLayers.size());
  RasterTarget t;
  t.Space = &d.Space;
  t.Nx = g.Nx, t.Ny = g.Ny, t.Nz = g.Nz;
  t.dX = g.dX, t.dY = g.dY, t.dZ = g.dZ;
  t.OX = t.OY = t.OZ = 1;
  t.Divisor = g.Divisor;
  auto shift = [&](const Point3& p) { return Point3{p[0] - lo[0], p[1] - lo[1], p[2] - lo[2]}; };
  const auto tick = [&](size_t i, size_t every) {
    if (progress && i % every == 0) progress("ИДЕТ ОБРАБОТКА...ждите " + IntToStr(static_cast<long long>(i)));
  };
  // A stop puts the snapshot back: the model, the materials and their count as they were,
  // and the undo the user had before.
  const auto stop = [&] {
    if (!cancelled || !cancelled()) return false;
    RestoreUndo(d, m);
    PutBackUndoLevel(d, m, earlier);
    err = DxfStopped;
    return true;
  };
  for (size_t i = 0; i < faces.size(); ++i) {
    const DxfEntity& f = faces[i];
    tick(i, 1000);
    if (stop()) return false;
    t.Material = uint8_t(plan.LayerMaterial[size_t(f.Layer)]);
    if (!RasterizeQuad(t, shift(f.P[0]), shift(f.P[1]), shift(f.P[2]), shift(f.P[3])))
      report.push_back("Ош. 3DFACE в строке " + IntToStr(static_cast<long long>(f.Line)) +
                       " не размещена: она слишком велика для шага по пространству");
  }
  for (size_t i = 0; i < lines.size(); ++i) {
    const DxfEntity& l = lines[i];
    tick(i, 100);
    if (stop()) return false;
    t.Material = uint8_t(plan.LayerMaterial[size_t(l.Layer)]);
    RasterizeLine(t, shift(l.P[0]), shift(l.P[1]));
  }
  report.push_back("Удаление пустых слоев...");
  DeleteUnusedLayers(d, m);
  ModelChanged(d);
  report.push_back("ГОТОВО, можно забирать");
  return true;
}

}  // namespace rv
