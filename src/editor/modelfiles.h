// The editor's model files: the object file (written and read), the cell file and the
// point list (read only).
//
// Each reader parses and checks the whole text into a plan first; a file it refuses gets one
// message and changes nothing. Applying a plan (snapshot, materials, cells) is separate, so
// the caller can ask for the anchor in between and a cancel leaves the model as it was.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "editor/modelstore.h"

namespace rv {

inline constexpr const char* InvalidFileText = "Файл-инвалид";
inline constexpr const char* NoObjectText = "Объект не обнаружен";

// The number 1..layerCount of the first material whose name equals `name` in upper case
// (Cyrillic included), or 0.
int FindLayerByName(const LayerTable& layers, int layerCount, std::string_view name);

// Runs of cells laid out from an anchor: x fastest inside a row RowX wide, then y inside a
// plane RowY deep, then z (unbounded).
struct MaterialRun {
  uint8_t Material = 0;  // final material number; 0 keeps the model's cell
  int64_t Count = 0;
};

struct CellPlan {
  std::vector<tLayer> NewLayers;     // appended after LayerCount, in order
  int AddLayerCount = 0;             // LayerCount grows by this (>= NewLayers.size())
  int64_t RowX = 1, RowY = 1;
  std::vector<MaterialRun> Runs;
  int AX = 1, AY = 1, AZ = 1;        // the anchor the file proposes
  std::vector<std::string> Summary;  // the lines shown with the anchor question
};

// ---- object file (".fid")

// The object text: the box around every occupied cell, every material 1..LayerCount and the
// box's cells run-length coded. False with err = NoObjectText when no cell is occupied.
bool ObjectText(const SolverData& d, const MaterialState& m, std::string& text, std::string& err);
// ObjectText written through a temporary file renamed over `path`.
bool WriteObjectFile(const std::string& path, const SolverData& d, const MaterialState& m,
                     std::string& err);

// Parses object text (UTF-8, as ReadTextFile gives it) against the current materials.
bool ParseObject(std::string_view text, const SolverData& d, const MaterialState& m,
                 CellPlan& plan, std::string& err);
// ---- cell file (".cel")
bool ParseCellFile(std::string_view text, const MaterialState& m, CellPlan& plan, std::string& err);

// Takes the snapshot, appends the plan's materials and writes its runs from the anchor into
// cells 1..N-1 of each axis (cells elsewhere are passed over without being visited).
void ApplyCellPlan(const CellPlan& plan, int ax, int ay, int az, SolverData& d, MaterialState& m);

// ---- point list (".3d")
struct PointCell {
  int X = 0, Y = 0, Z = 0;
  uint8_t Value = 0;  // 1 or 0
};
// A file without a single point is refused with NoPointsText.
inline constexpr const char* NoPointsText = "Файл не содержит данных: в нем нет ни одной точки";
bool ParsePointList(std::string_view text, std::vector<PointCell>& points, std::string& err);
// Takes the snapshot and sets the points that lie in cells 1..N-1 of each axis.
void ApplyPointList(const std::vector<PointCell>& points, SolverData& d, MaterialState& m);

// "Строка N: why", the form of every reader's refusal.
std::string LineError(std::size_t line, const std::string& why);

}  // namespace rv
