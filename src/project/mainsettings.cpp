#include "project/mainsettings.h"

#include "project/gridsettings.h"

#include "solver/solverdata.h"

namespace rv {

MainSettings NewProjectSettings(const MainSettings& current) {
  MainSettings s;
  // The new project's own step: the limit of its cells (a step typed for the project left
  // behind belongs to that project).
  s.eddT = ComputeGridSettings(s, 1, 0).eddT;
  s.sePMLCount = current.sePMLCount;
  s.edpmlR = current.edpmlR;
  s.cbFarDiagram = current.cbFarDiagram;
  s.cbPX = current.cbPX;
  s.cbPY = current.cbPY;
  s.cbPZ = current.cbPZ;
  s.edFarStep = current.edFarStep;
  s.edFarDiagrR = current.edFarDiagrR;
  s.cbCalcFarH = current.cbCalcFarH;
  s.cbFarPoints = current.cbFarPoints;
  s.cbFastDigramm = current.cbFastDigramm;
  // A new project must run as it is made. Its source, the field over the whole volume,
  // admits no far field: the far-field switches go off (their parameters stay for later).
  if (s.rgSources == SourceExternalField) s.cbFarDiagram = s.cbFarPoints = false;
  // The box of another grid is kept only where it fits this one.
  const bool boxFits = current.spFarXmin >= 1 && current.spFarXmin < current.spFarXmax &&
                       current.spFarXmax <= s.spX && current.spFarYmin >= 1 &&
                       current.spFarYmin < current.spFarYmax && current.spFarYmax <= s.spY &&
                       current.spFarZmin >= 1 && current.spFarZmin < current.spFarZmax &&
                       current.spFarZmax <= s.spZ;
  if (boxFits) {
    s.spFarXmin = current.spFarXmin;
    s.spFarYmin = current.spFarYmin;
    s.spFarZmin = current.spFarZmin;
    s.spFarXmax = current.spFarXmax;
    s.spFarYmax = current.spFarYmax;
    s.spFarZmax = current.spFarZmax;
  }
  return s;
}

void NewProjectModel(SolverData& d) {
  d.Space.free();
  d.UndoSpace.free();
  d.Space.allocate(51, 51, 51);
  d.UndoSpace.allocate(51, 51, 51);
  tLayer& m = d.Layers[1];
  m.EpsStatic = 1;
  // A material named conductor must conduct: with a conductivity of 0 a drawn body is
  // vacuum, and nothing in a new project scatters the plane wave.
  m.Sigma = 5.8e7;  // copper, S/m
  m.EpsInf = 1;
  m.Tau = 0;
  m.Mu = 1;
  m.On = 1;
  m.Color = 0;
  m.Name = "Проводник";
  m.Density = 1000;
}

const std::array<const char*, BorderKindCount>& BorderKindNames() {
  static const std::array<const char*, BorderKindCount> names{
      "PEC(Perfect Electric Conductor)", "Mur's ABC (1st order)", "Dissipation 1/R", "RT-ABC",
      "PML (Perfectly Matched Layer)",   "Symmetry for E",        "Symmetry for H"};
  return names;
}

}  // namespace rv
