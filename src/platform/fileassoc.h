// The program's file types on the desktop: its file classes in the key store, a desktop
// entry that opens files with it, MIME types of its own and the user's default applications
// (mimeapps.list). Nothing here reports a failure: what cannot be written is passed over.
#pragma once
#include <array>
#include <optional>
#include <string>

namespace rv::platform {

// Where the files go: the key store's file, $XDG_DATA_HOME and $XDG_CONFIG_HOME.
struct DesktopPaths {
  std::string keyStore;
  std::string dataHome;
  std::string configHome;
  // Whether a changed MIME package has the desktop's MIME cache rebuilt (a program of its
  // own, not waited for). Folders of no desktop (a test's scratch) have nobody to tell, and
  // the rebuild would write into them after they are gone.
  bool refreshMimeCache = true;
  static DesktopPaths FromEnvironment();
};

inline constexpr std::array<const char*, 5> kChartFileExts = {".grf", ".srg", ".csv", ".dat",
                                                              ".rez"};
inline constexpr const char* kProjectClass = "RavelinProject.file";
inline constexpr const char* kChartClass = "RavelinChart.file";
inline constexpr const char* kDesktopFile = "ravelin.desktop";
inline constexpr const char* kIconName = "ravelin";  // the desktop's name of the program's icon

// The MIME type the desktop knows `ext` by (".csv" is the system's text/csv).
std::string MimeTypeOf(const std::string& ext);

// The project class and ".fdt", rewritten at every start, with the desktop entry, its icon,
// the MIME types and ".fdt" opened by the program. The chart extensions stay as the user
// left them in the association dialog: none of them is taken at start.
void RegisterProjectFileType(const DesktopPaths& p, const std::string& exe);
// The chart files' class and the desktop entry (written whenever the association dialog
// closes).
void RegisterChartFileClass(const DesktopPaths& p, const std::string& exe);

// Per chart extension: whether it is the program's, or nothing when it has no class.
std::array<std::optional<bool>, 5> ReadAssociations(const DesktopPaths& p);
// Takes over the ticked extensions (the program's MIME type for each, the program as its
// default application), keeping their former class ("Old_Key") and default application
// ("Old_App"), and gives back the others that were the program's.
void ApplyAssociations(const DesktopPaths& p, const std::array<bool, 5>& wanted);

// The default application of `mime` in the user's mimeapps.list, and setting it (an empty
// value removes the entry).
std::string DefaultApplication(const DesktopPaths& p, const std::string& mime);
void SetDefaultApplication(const DesktopPaths& p, const std::string& mime, const std::string& app);

}  // namespace rv::platform
