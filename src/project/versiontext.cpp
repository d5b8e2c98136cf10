#include "project/versiontext.h"

namespace rv {

namespace {
// The text before the first "." of `s`, which loses it and the "."; without a "." all of it.
std::string TakePart(std::string& s) {
  const auto dot = s.find('.');
  std::string part = s.substr(0, dot);
  s.erase(0, dot == std::string::npos ? s.size() : dot + 1);
  return part;
}
}  // namespace

VersionLabels MakeVersionLabels(const std::string& fileVersion) {
  VersionLabels v;
  if (fileVersion.empty()) return v;
  std::string s = fileVersion;
  const std::string major = TakePart(s), minor = TakePart(s), release = TakePart(s);
  const std::string& build = s;
  v.splashCaption = "Ravelin - " + major + "." + minor;
  v.aboutVersion = v.splashCaption;
  v.release = "Release " + release + "." + build;
  v.versionText = v.splashCaption + " - " + release + "." + build;
  return v;
}

}  // namespace rv
