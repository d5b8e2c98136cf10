// Features of a run that other parts of the program provide and that arrive one by one
// (PML, the plane-wave sources, the 1/R and RT-ABC faces, the far field). The run start and
// the grid settings reach them only through here. A feature whose hook is empty is not
// available in this build: choosing it refuses the run with a message that says so.
#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "solver/elements.h"
#include "solver/signal.h"
#include "solver/solverdata.h"
#include "solver/timeloop.h"

namespace rv {

struct MainSettings;

// What a run copies from the windows besides SolverData: read by the boundaries, the plane
// waves, the far field and the outputs.
struct RunSettings {
  // plane waves (rgSources, rgEOrient, TrackBar1, TrackBar2, edIncAngle)
  uint8_t EVertical = 1;
  float WaveTheta = 0, WavePhi = 0;  // degrees as entered
  double IncAngle = 0;               // radians
  const ISignal* Signal = nullptr;   // the run's own copy of the signal, set before the step items
  // far field
  uint8_t CalcFarH = 0, FastDiagram = 0;
  int32_t FarSeriesLength = 0;
  // rows of the far-point table (X, Y, Z texts), only when user far points are on
  std::vector<std::array<std::string, 3>> FarPointRows;
  // PML
  uint8_t PMLParabolic = 1;
  int32_t PMLCount = 8;
  float PMLReflection = 0.01f;
  // scatter centre of the 1/R boundary
  int32_t CenterI = 0, CenterJ = 0, CenterK = 0;
  // outputs (the output window)
  int32_t OutputRate = 1;
  uint8_t ShowGraphs = 0, ShowInput = 0, WriteOutputFiles = 1;
  // wall-clock start of the run, milliseconds since the epoch
  int64_t RunStartTimeMs = 0;
};

struct RunFeatures {
  // Lowest usable frequency of the PML (Hz) for the smallest cell size d (m).
  std::function<double(const RunSettings&, float d)> PMLLowFrequency;
  // TF-SF box set-up and check. False refuses the run with `message`.
  std::function<bool(SolverData&, const MainSettings&, RunSettings&, std::string& message)>
      SetupTFSF;
  // Far-field set-up; validates the box before sizing anything. False refuses the run.
  std::function<bool(SolverData&, const MainSettings&, RunSettings&, std::string& message)>
      SetupFarField;
  // The far field's checks on the settings alone (box, point rows, radius), reserving
  // nothing: what SetupFarField refuses before it sizes anything, on d's grid size.
  std::function<bool(const SolverData&, const MainSettings&, const RunSettings&, std::string& message)>
      CheckFarField;
  // PML tables and regions. False (memory) refuses the run.
  std::function<bool(SolverData&, const RunSettings&, std::string& message)> SetupPML;
  // The feature's items of one step, added to the solver's own (PML, plane waves, 1/R,
  // RT-ABC, far-field accumulation, output recording).
  std::function<void(SolverData&, const RunSettings&, StepHooks&)> AddStepHooks;
  // End of run: the far-field files. False with a message when a file cannot be written.
  // (The SAR reports are the solver's own and need no hook.)
  std::function<bool(SolverData&, const RunSettings&, std::string& message)> FinishFarField;
  // Whether every far-field sum of the run is a finite number (true without far field).
  std::function<bool(const SolverData&)> FarFieldFinite;
  // Releases what SetupPML and SetupFarField reserved.
  std::function<void(SolverData&)> FreeRunFeatures;
  // The output kind "D": two split H parts of the PML faces Y=max and X=max. False when
  // those cells do not exist in this run.
  std::function<bool(const SolverData&, double&)> DProbe;
  // Features the time loop steps without a set-up of their own here.
  bool ExternalField = false;
  bool Dissipation = false;
  bool RTABC = false;
};

// The features this build provides. Each arriving feature adds its line here.
RunFeatures AvailableRunFeatures();

}  // namespace rv
