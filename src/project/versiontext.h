// The version captions of the splash, the about box and the main window, built from the
// program's four-part file version "major.minor.release.build".
#pragma once
#include <string>

namespace rv {

struct VersionLabels {
  std::string splashCaption = "Ravelin";     // the splash's caption
  std::string aboutVersion = "Версия 1.0";   // the about box's `lbVer`
  std::string release;                       // `Label5` of both
  std::string versionText;                   // VersionText, shown by the main window's `Label9`
};

// Empty `fileVersion`: no version known, the design texts stay and VersionText is empty.
VersionLabels MakeVersionLabels(const std::string& fileVersion);

}  // namespace rv
