// The derived values of the grid page: stability limit of the time step, the volume, the
// highest usable frequency, the end time, the PML's frequency limits and the estimate of
// the memory a run needs. The window shows the texts; the run start admits a run by the
// estimate.
#pragma once
#include <array>
#include <cstdint>
#include <string>

#include "project/mainsettings.h"
#include "project/runfeatures.h"
#include "solver/solverdata.h"

namespace rv {

inline constexpr int FloatSize = 4;  // bytes of one stored value

// Every count is a 64-bit product: a 32-bit one overflows from about 1290 cells per axis.
struct MemoryEstimate {
  int64_t GridMemory = 0;      // values: the six fields and the optional per-cell arrays
  int64_t BorderMemory = 0;    // values: Mur and RT-ABC planes, PML regions and tables
  int64_t SARMemory = 0;       // values: power accumulators and previous E
  int64_t FarMemory = 0;       // values: far-field points and diagram circles
  int64_t FarPointMemory = 0;  // values: one far-field point
  int64_t ModelMemory = 0;     // bytes: the model and its undo copy
  double MemoryNeed = 0;       // bytes: the whole estimate
};

// farPointRows: data rows of the far-point table.
MemoryEstimate EstimateMemory(const MainSettings& s, int farPointRows);

// The stability limit of the time step in seconds for cell sizes in metres: 1/c over the
// root of the summed inverse squares; 0 when a size is 0. With an RT-ABC face the run uses
// dx/2/c instead.
double StabilityLimit(double dx, double dy, double dz);

// True when a time step of dtNs nanoseconds is not above the limit limitSec (seconds). The
// limit as the page writes it carries 15 digits: a step typed as that text is at the limit.
bool WithinStabilityLimit(double dtNs, double limitSec);

// Why a cell size's text gives no cell the run can step ("" when it does), naming the axis
// and the text: "по X = \"abc\" — не число". A positive number is a size on its own; the
// three together are checked by ComputeGridSettings.
std::string CellSizeRefusal(char axis, const std::string& text);
// Why the time step's text (ns) gives no step ("" when it does), naming the text.
std::string TimeStepRefusal(const std::string& text);

struct GridSettingsView {
  // False when a cell size gives no cell: sizeRefusals say why by axis, lbSummary and
  // lbKurant say the sizes are wrong, and nothing else below was computed (the window
  // leaves those labels as they were).
  bool sizesOk = false;
  std::array<std::string, 3> sizeRefusals;  // X, Y, Z as CellSizeRefusal, "" where right
  double Dx = 0, Dy = 0, Dz = 0;  // metres
  double dtSec = 0;               // the time step written into eddT ("Авто")
  bool rtabc = false;             // eddT disabled: the run uses Dx/2
  std::string eddT;               // dtSec in ns, 15 significant digits
  std::string lbKurant, lbSummary, lbMaxFreq;
  MemoryEstimate mem;
  std::string lbMemory, lbBordersMem, lbMemory1, lbFarMem, lbTotal, lbTop;
};

// epsMax: the largest static permittivity of the switched-on materials (at least 1).
GridSettingsView ComputeGridSettings(const MainSettings& s, double epsMax, int farPointRows);

// The time step the page shows once the grid values are recomputed: the step in `current`,
// typed or read from a project, while it is a positive number not above the limit, else the
// limit v.eddT; under an RT-ABC face always v.eddT (the run's step is fixed then). Cells
// with no positive limit leave `current` as it is.
std::string ShownTimeStep(const GridSettingsView& v, const std::string& current);

// The time-step field after a recomputation of the grid page.
struct TimeStepUpdate {
  std::string eddT;       // what the field shows
  std::string typedStep;  // the step an RT-ABC face displaced, back once no face is RT-ABC
  std::string note;       // why eddT differs from what the field held; "" when it does not
};
// field: what the field holds; typedStep: the step an RT-ABC face displaced ("" none).
TimeStepUpdate NextTimeStep(const GridSettingsView& v, const std::string& field,
                            const std::string& typedStep);

// What a loaded project's time step becomes when it is above the limit of its cells (or no
// positive number): the line that names both values; empty when the stored step stays.
std::string StoredTimeStepNote(const MainSettings& stored);

// The largest EpsStatic of the switched-on materials 1..layerCount, at least 1.
double MaxStaticPermittivity(const SolverData& d, int layerCount);

// Copies the grid size (and the cell sizes when they parse) into the solver's grid values.
void ApplyGridToSolver(const GridSettingsView& v, const MainSettings& s, SolverData& d);

// "Конечное время: " + steps x the time step in ns + " нс"; empty when eddT is no number.
std::string EndTimeText(int steps, const std::string& eddT);

// The two PML labels from the layer settings: "Минимальная частота, МГц: ..." and
// "Максимальное время, нс: ...". Both empty when the PML is not available or a size is
// not a number. Sets ok=false (texts untouched) when edpmlR is not a number.
struct PMLLabels {
  bool ok = true;
  std::string lbPMLFreq, lbPMLTime;
};
PMLLabels ComputePMLLabels(const MainSettings& s, const RunFeatures& f);

// "Объем ОЗУ: ... МБ", "Занято: ...%", "Свободно: ... МБ".
struct MemoryLabels {
  std::string lbTotalMem, lbMemoryLoad, lbMemoryFree;
};
MemoryLabels FormatMemoryLabels(uint64_t totalPhys, uint64_t availPhys, int memoryLoad);

// "Авто": the integration / TF-SF box three cells outside the object, faces that are not
// open (PEC, symmetry) pulling their bound to the wall. Resizes Space to the grid first.
// False with a message when the model cannot be re-sized (settings then untouched).
bool AutoFarBox(MainSettings& s, SolverData& d, std::string& message);

}  // namespace rv
