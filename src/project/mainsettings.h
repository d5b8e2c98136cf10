// Every setting of the main window, as plain values named after its controls. The window
// reads and writes its widgets through this struct, the run start and the grid settings
// compute from it, and the project file stores exactly these members. Texts of edits are
// kept as typed; they are parsed only where a number is needed.
#pragma once
#include <array>
#include <string>
#include <vector>

namespace rv {

struct SolverData;

// Ranges of the spin boxes: the program's admission rules read them too.
inline constexpr int GridCellsMin = 3;        // spX, spY, spZ
inline constexpr int GridCellsMax = 5000;
inline constexpr int StepCountMin = 1;        // seStepCount
inline constexpr int StepCountMax = 100000000;
inline constexpr int PMLCountMin = 2;         // sePMLCount
inline constexpr int PMLCountMax = 64;
inline constexpr int CenterMax = 100000;      // spCenterI..K, spFar*
inline constexpr int FarStepMin = 1;          // edFarStep
inline constexpr int FarStepMax = 3600;
inline constexpr int SarDelayMax = 100000000; // seSarDelay
inline constexpr int TrackBar1Min = 0, TrackBar1Max = 180;
inline constexpr int TrackBar2Min = -180, TrackBar2Max = 180;

// Boundary kinds: the item index of ComboBox1..ComboBox6.
enum BorderKind {
  BorderPEC = 0,
  BorderMur = 1,
  BorderDissipation = 2,
  BorderRTABC = 3,
  BorderPML = 4,
  BorderSymE = 5,
  BorderSymH = 6,
  BorderKindCount = 7
};
// Source modes: the item index of rgSources.
enum SourceMode { SourceExternalField = 0, SourceTFSF = 1, SourceInternalOnly = 2 };

struct MainSettings {
  // ---- page "Геометрия"
  int spX = 50, spY = 50, spZ = 50;         // grid nodes per axis ("Число ячеек:")
  std::string edX = "0.01", edY = "0.01", edZ = "0.01";  // cell sizes, m
  std::string eddT;                         // time step, ns (the stability limit by default)
  int seStepCount = 100;
  bool cbBioMaterals = false;               // polar dielectrics (Debye media)
  bool cbMagneticMaterals = false;

  // ---- page "Гранич. услов."
  // ComboBox1..ComboBox6: faces Y=1, Y=max, Z=max, Z=1, X=max, X=1; Mur on all by default.
  std::array<int, 6> ComboBox{1, 1, 1, 1, 1, 1};
  int spCenterI = 25, spCenterJ = 25, spCenterK = 25;  // scatter centre of the 1/R boundary
  int sePMLCount = 8;
  std::string edpmlR = "0.01";
  int rgPMLprofile = 0;                     // 0 parabolic, 1 geometric

  // ---- page "Источник"
  int rgSources = SourceExternalField;
  std::string edIncAngle = "0";             // degrees
  int TrackBar1 = 0;                        // theta, 0..180
  int TrackBar2 = 0;                        // phi, -180..180
  int rgEOrient = 0;                        // 0 "вертик."

  // ---- page "Дальнее поле"
  bool cbFarDiagram = false;
  bool cbPX = false, cbPY = false, cbPZ = false;
  int edFarStep = 36;
  std::string edFarDiagrR = "1000";
  bool cbCalcFarH = false;
  bool cbFarPoints = false;
  int spFarXmin = 1, spFarYmin = 1, spFarZmin = 1;
  int spFarXmax = 1, spFarYmax = 1, spFarZmax = 1;
  bool cbFastDigramm = false;

  // ---- absorbed power
  bool cbEnergy = false;
  int seSarDelay = 0;

  // ---- the project note
  std::vector<std::string> memoProjectNote;
  bool operator==(const MainSettings&) const = default;
};

// The settings of a new project ("Новый проект"): the defaults above with the scatter
// centre in the middle of the grid. Settings a new project leaves alone are taken from
// `current` (the time step text, the PML layer, the far-field settings) where they fit its
// defaults: the far field stays off under the default source, and the integration box is
// kept only when it lies inside the default grid.
MainSettings NewProjectSettings(const MainSettings& current);

// The model of a new project: an empty model and undo copy of 51 x 51 x 51 entries, and
// material 1 "Проводник" (a metal: copper's conductivity) switched on. Materials 2 and up
// stay as they were.
void NewProjectModel(SolverData& d);

// The boundary item texts, in item order.
const std::array<const char*, BorderKindCount>& BorderKindNames();

}  // namespace rv
