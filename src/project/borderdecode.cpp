#include "project/borderdecode.h"

#include "project/mainsettings.h"

namespace rv {

void ReadBorders(const std::array<int, 6>& combo, SolverData& d) {
  FaceFlags* flags[BorderKindCount] = {&d.PECFace, &d.MurFace,   &d.DissipationFace, &d.RTABCFace,
                                       &d.PMLFace, &d.SymEFace, &d.SymHFace};
  uint8_t* any[BorderKindCount] = {&d.AnyPEC, &d.AnyMur,  &d.AnyDissipation, &d.AnyRTABC,
                                   &d.AnyPML, &d.AnySymE, &d.AnySymH};
  for (int k = 0; k < BorderKindCount; ++k) {
    *any[k] = 0;
    (*flags[k])[0] = 0;
    for (int n = 1; n <= 6; ++n) {
      (*flags[k])[n] = combo[n - 1] == k ? 1 : 0;
      if ((*flags[k])[n]) *any[k] = 1;
    }
  }
  d.ABC2Face.fill(0);
  d.AnyPECOrSym = (d.AnyPEC || d.AnySymE || d.AnySymH) ? 1 : 0;
}

bool AnyBorder(const std::array<int, 6>& combo, int kind) {
  for (int c : combo)
    if (c == kind) return true;
  return false;
}

std::array<bool, 7> OpenFaces(const std::array<int, 6>& combo) {
  std::array<bool, 7> open{};
  for (int n = 1; n <= 6; ++n) {
    const int k = combo[n - 1];
    open[n] = k != BorderPEC && k != BorderSymE && k != BorderSymH;
  }
  return open;
}

}  // namespace rv
