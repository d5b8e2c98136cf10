// Drawings (ASCII DXF) turned into model cells.
//
// The file is read as (group code, value) pairs: a code line is an integer with blanks
// around it, and each entity takes only the pairs up to the next code 0. Every layer of
// the drawing becomes a material (an existing one of the same name in any letter case, else
// a new one); each LINE is sampled into cells and each 3DFACE filled as two triangles.
// ParseDxf checks the whole file and the material limits without touching the model;
// PlaceDxf checks the scale and the fit, and only then snapshots and writes.
#pragma once
#include <array>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "editor/modelstore.h"
#include "editor/raster.h"

namespace rv {

struct DxfEntity {
  std::array<Point3, 4> P{};  // a LINE uses P[0], P[1]
  int Layer = 1;              // index into DxfPlan::LayerNames, from 1
  std::size_t Line = 0;       // the file's line of its code 0, for the report
};

struct DxfPlan {
  std::vector<std::string> LayerNames;  // [0] unused; DXF layers 1..n in the order met
  std::vector<int> LayerMaterial;       // material of each DXF layer (after NewLayers are added)
  std::vector<std::string> NewLayers;   // names of the materials to append, in order
  std::vector<DxfEntity> Faces, Lines;
};

// Cell sizes (metres) and the grid, for the report and the fit check.
struct DxfGrid {
  double dX = 1, dY = 1, dZ = 1;
  int Nx = 0, Ny = 0, Nz = 0;
  int Divisor = 1;
};

enum class DxfStatus { Refused, NoLayers, NoEntities, Ready };

// Progress texts ("Прочитано строк N" every 1000 lines read, "ИДЕТ ОБРАБОТКА...ждите N" every
// 1000 faces and 100 lines placed), so a window can show them and repaint.
using DxfProgress = std::function<void(const std::string&)>;
// Asked often while reading and placing; true stops the import with DxfStopped, the model and
// the materials left as they were.
using DxfCancel = std::function<bool()>;
inline constexpr const char* DxfStopped = "Импорт прерван: модель осталась прежней";

// Reads the drawing into a plan; the report gets the analysis. Refused: err says why.
// NoLayers and NoEntities: the report says so; nothing is to be done.
DxfStatus ParseDxf(std::string_view text, const DxfGrid& g, const SolverData& d, const MaterialState& m,
                   DxfPlan& plan, std::vector<std::string>& report, std::string& err,
                   const DxfProgress& progress = {}, const DxfCancel& cancelled = {});

inline constexpr const char* DxfDoesNotFit = "Объект все-таки не лезет в объем\nИзмените шаг по пространству";
inline constexpr const char* DefaultDxfScale = "0.001";
inline constexpr const char* DxfScaleLabel = "Чему равен один попугай в DWG-файле, м?";
// Why the scale dialog's text cannot be taken (no number, or not above 0), naming the field
// and the text; "" with the value in scale when it can.
std::string DxfScaleRefusal(const std::string& text, double& scale);

// Scales the plan by `scale` (metres per drawing unit), puts its smallest corner at cell
// (1,1,1), and when it fits the grid takes the snapshot, appends the materials, rasterises,
// and deletes every material no cell uses. It fits when Round(extent / size) + 2 cells, as
// the points are placed, are at most N along each axis. A face the rasteriser refuses is
// named in the report. False (nothing changed) with err otherwise, a stop included.
bool PlaceDxf(const DxfPlan& plan, double scale, const DxfGrid& g, SolverData& d, MaterialState& m,
              std::vector<std::string>& report, std::string& err, const DxfProgress& progress = {},
              const DxfCancel& cancelled = {});

}  // namespace rv
