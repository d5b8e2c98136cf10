#include "project/runfeatures.h"

namespace rv {

RunFeatures AvailableRunFeatures() {
  RunFeatures f;
  return f;
}

}  // namespace rv
