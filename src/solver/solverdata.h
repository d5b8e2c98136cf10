// The shared data of the solver: the model, the run state, the field arrays and the run
// flags. The program creates one SolverData and hands it to the windows and the
// calculation thread; tests build their own.
//
// Grid convention: Nx, Ny, Nz count grid nodes 1..N; cell c lies between nodes c and c+1,
// so cells are 1..N-1. E lies on edges (Ex: cell i, node j, node k), H on faces (Hx: node i,
// cell j, cell k). Every array is one longer than its highest index on each axis and index
// 0 is never used.
#pragma once
#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "solver/arrays.h"
#include "solver/elements.h"

namespace rv {

// One material. A material whose On is 0 counts as vacuum in the solver.
struct tLayer {
  uint32_t Color = 0;     // 0x00BBGGRR
  uint8_t On = 0;
  std::string Name;
  double Sigma = 0;       // conductivity, S/m
  double EpsStatic = 1;   // relative permittivity at f = 0
  double EpsInf = 1;      // relative permittivity at f = infinity
  double Tau = 0;         // Debye relaxation time, s
  double Mu = 1;          // relative permeability
  double Density = 0;     // kg/m^3
  bool operator==(const tLayer&) const = default;
};

inline constexpr int MaxLayers = 255;  // entries 0..254; 0 holds no material
inline constexpr uint8_t FillMark = 255;

// Faces in the order used by every per-face array: Y=1, Y=max, Z=max, Z=1, X=max, X=1.
enum Face { FaceY1 = 1, FaceYMax = 2, FaceZMax = 3, FaceZ1 = 4, FaceXMax = 5, FaceX1 = 6 };
using FaceFlags = std::array<uint8_t, 7>;  // index 1..6

inline constexpr int MurPlaneCount = 12;
inline constexpr int RTABCPlaneCount = 96;

struct SolverData {
  // ---- the model (lives for the whole program)
  tSpace Space;       // [SpaceNx+1][SpaceNy+1][SpaceNz+1]
  tSpace UndoSpace;
  std::array<tLayer, MaxLayers> Layers;
  std::array<tLayer, MaxLayers> UndoLayers;
  // Grows with every change of Space's cells or extents and of the materials' switches (GUI
  // thread only): views that keep geometry built from the model rebuild it when it moves.
  uint64_t ModelVersion = 0;

  // ---- grid and run state
  int32_t Nx = 0, Ny = 0, Nz = 0;
  int32_t SpaceNx = 0, SpaceNy = 0, SpaceNz = 0;
  int32_t NxEdges = 0, NyEdges = 0, NzEdges = 0;
  double Dx = 0, Dy = 0, Dz = 0, HalfDx = 0;
  double CellVolume = 0;
  double TimeStep = 0;       // c*dt, metres
  double TimeStepSec = 0;    // dt, seconds
  double CourantX = 0, CourantY = 0, CourantZ = 0;
  double CurTime = 0;        // c*t, metres
  double CurTimeSec = 0;
  std::atomic<int32_t> StepCount{0};  // re-read by the loop every pass; may change mid-run
  std::atomic<int32_t> CurStep{0};    // 1-based
  int32_t OutputRate = 1;
  int32_t SARDelay = 0;
  uint8_t SAROn = 0;
  uint8_t MagneticMaterials = 0;
  uint8_t PolarDielectrics = 0;
  uint8_t FarFieldOn = 0;
  uint8_t ExternalField = 0, TFSFSource = 0, InternalSourcesOnly = 0, NoExternalField = 1;
  FaceFlags PECFace{}, RTABCFace{}, MurFace{}, ABC2Face{}, DissipationFace{}, SymEFace{},
      SymHFace{}, PMLFace{};
  uint8_t AnyRTABC = 0, AnyMur = 0, AnyDissipation = 0, AnyPEC = 0, AnyPECOrSym = 0,
          AnySymE = 0, AnySymH = 0, AnyPML = 0;
  int32_t ObjXMin = 0, ObjXMax = 0, ObjYMin = 0, ObjYMax = 0, ObjZMin = 0, ObjZMax = 0;
  std::string ProjectDir, ProjectName, ResultDir, ImagesDir, SARDir, FARDir;
  std::array<int32_t, 254> MaterialCellCount{};  // entry m-1 for material m
  int32_t ObjectCellCount = 0;
  uint8_t HeatingOn = 0;
  t3DSpaceArray TempRise;
  std::array<int32_t, 6> VoltagePair{};  // x1, x2, y1, y2, z1, z2 of a voltage output being placed

  // ---- field arrays and accumulators (exist from run start to run end)
  t3DSpaceArray Hx, Hy, Hz, Ex, Ey, Ez;
  t3DSpaceArray PowerX, PowerY, PowerZ;
  t3DSpaceArray ExPrev, EyPrev, EzPrev;
  t3DSpaceArray HCoefCell;
  t3DSpaceArray SARCell;
  t3DSpaceArray DebyeX, DebyeY, DebyeZ;
  std::array<t2DSpaceArray, MurPlaneCount> MurPlanes;
  std::vector<t2DSpaceArray> RTABCPlanes;  // RTABCPlaneCount when allocated
  float HCoefUniform = 0;

  // ---- flags shared with the windows and the calculation thread
  std::atomic<uint8_t> Modified{0};
  std::atomic<uint8_t> CalcRunning{0};
  std::atomic<uint8_t> GLReady{0};
  std::atomic<uint8_t> Stopped{1};  // no run is active, or a stop was asked for

  // Memory the run arrays may take, in bytes; 0 means the machine's physical memory.
  // A grid that needs more is refused by AllocFieldArrays instead of being over-committed.
  uint64_t MemoryLimitBytes = 0;
};

// Sets the node counts of a new grid and the derived sizes (SpaceN*, N*Edges); does not
// touch Space.
void SetGridSize(SolverData& d, int nx, int ny, int nz);
// Re-sizes Space and UndoSpace to [SpaceNx+1][SpaceNy+1][SpaceNz+1], keeping contents;
// leaves them where they are when they have those extents already.
bool ResizeSpace(SolverData& d);

// Allocates the run arrays (fields, and power/previous-E, HCoefCell, Mur and RT-ABC planes
// when their flags ask for them). Returns the count of 32-bit elements of the run, or 0
// when the memory cannot be had (every run array is then released).
int64_t AllocFieldArrays(SolverData& d);
// The element count AllocFieldArrays reports for a grid and flags, without allocating.
int64_t FieldArrayCount(int nx, int ny, int nz, bool sarOn, bool anyRTABC);
// Zeroes the fields and boundary planes and sets the H coefficients.
void ClearFields(SolverData& d);
// Releases every run array; the model and materials are left alone.
void FreeFieldArrays(SolverData& d);

// The machine's physical memory in bytes (0 when it cannot be told).
uint64_t PhysicalMemoryBytes();

}  // namespace rv
