#include "project/runfeatures.h"

namespace rv {

RunFeatures AvailableRunFeatures() {
  RunFeatures f;
  f.Dissipation = true;  // the 1/R faces: solver step items, no set-up of their own
  f.RTABC = true;
  return f;
}

}  // namespace rv
