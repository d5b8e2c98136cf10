// The program's settings file (the executable's name with ".INI"): the last folders of the
// project dialogs, the last project and the list of recently used projects.
#pragma once
#include <array>
#include <string>
#include <vector>

namespace rv {

inline constexpr int HistorySize = 16;
using ProjectHistory = std::array<std::string, HistorySize>;  // most recent first; "" empty

struct AppSettings {
  std::string IniDirProjectOpen;  // folder ending in "/"
  std::string IniDirProjectSave;
  std::string LastProjectFileName;
  ProjectHistory History;
};

// Reads the file; a missing file or key gives the defaults: both folders `defaultDir`, no
// last project, an empty history. False (with err, settings at their defaults) only when
// an existing file cannot be read.
bool ReadAppSettings(const std::string& path, const std::string& defaultDir, AppSettings& s,
                     std::string& err);

// Writes the keys into the file, keeping whatever else it holds. An empty folder leaves its
// key as it was. False with err when the file cannot be written.
bool WriteAppSettings(const std::string& path, const AppSettings& s, std::string& err);

// Moves or inserts a project at the top. Names equal but for the case of the letters a..z
// are one entry; the entry already at the top is left as it is (its letter case too); a
// new name drops the oldest entry.
void AddToHistory(ProjectHistory& h, const std::string& fileName);

// The folder part of a file name, ending in "/" ("" when there is none).
std::string FolderOf(const std::string& fileName);
// The file name without its folder.
std::string FileNamePart(const std::string& fileName);

// The folder a new or unnamed project lives in: that of the most recent project in the
// history whose folder is still there, else `home`. Never the program's own folder, where
// results would land among the program's files.
std::string NewProjectFolder(const ProjectHistory& h, const std::string& home);

// Menu captions of the history: i + ". " + the file name part, for every entry (the empty
// ones give an empty caption and are hidden).
std::vector<std::string> HistoryCaptions(const ProjectHistory& h);

}  // namespace rv
