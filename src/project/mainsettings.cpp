#include "project/mainsettings.h"

namespace rv {

MainSettings NewProjectSettings(const MainSettings& current) {
  MainSettings s;
  s.eddT = current.eddT;
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
  s.spFarXmin = current.spFarXmin;
  s.spFarYmin = current.spFarYmin;
  s.spFarZmin = current.spFarZmin;
  s.spFarXmax = current.spFarXmax;
  s.spFarYmax = current.spFarYmax;
  s.spFarZmax = current.spFarZmax;
  s.cbFastDigramm = current.cbFastDigramm;
  return s;
}

const std::array<const char*, BorderKindCount>& BorderKindNames() {
  static const std::array<const char*, BorderKindCount> names{
      "PEC(Perfect Electric Conductor)", "Mur's ABC (1st order)", "Dissipation 1/R", "RT-ABC",
      "PML (Perfectly Matched Layer)",   "Symmetry for E",        "Symmetry for H"};
  return names;
}

}  // namespace rv
