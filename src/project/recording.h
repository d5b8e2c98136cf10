// Recording of the outputs, one sample at a time, on the calculation thread: every opened
// probe, current region and voltage line of the run writes one line to its curve file and
// hands one point to its chart series through the live feed; the source signal is plotted
// when asked. The chart model itself is never touched here.
#pragma once
#include <string>

#include "project/outputfiles.h"
#include "solver/elements.h"
#include "solver/solverdata.h"
#include "solver/timeloop.h"

namespace rv {

// Writes sample `sample` (the step divided by the output rate) of every opened row: probes,
// then current regions, then voltage lines, then the source signal. Reads the fields at
// their current step; every read is bounded by the arrays' own extents (a missing array
// reads 0). A value that is not a finite number throws RunDiverged before any line or point
// of the sample is written.
void RecordOutputPoints(const SolverData& d, OutputRun& run, int sample);

// Plugs the recorder into the time loop's output item. d and run must outlive the run.
void AttachRecording(StepHooks& hooks, const SolverData& d, OutputRun& run);

// ---- the quantities, in A and V, as the recorder forms them

// Current through the square of two cells per side round the probe cell (i, j, l),
// crossing it along axis 'X', 'Y' or 'Z': the circulation of H round the square. 0 for any
// other axis.
double ProbeLoopCurrent(const SolverData& d, char axis, int i, int j, int l);
// Current through a current region, by its Plane: the circulation of H round the rectangle
// between the two corners. 0 for a region that is flat in no axis.
double RegionCurrent(const SolverData& d, const tCurrentRegion& r);
// Line integral of E from corner 1 to corner 2 along x, then y, then z.
double LineVoltage(const SolverData& d, const tCurrentRegion& r);

// The texts of a probe: its title (line 1) and its unit (line 3). Kind and Dir as in
// tOutFile.
std::string ProbeTitle(char kind, char dir, int x, int y, int z);
std::string ProbeUnit(char kind);

}  // namespace rv
