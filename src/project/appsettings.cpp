#include "project/appsettings.h"

#include <filesystem>
#include <new>

#include "solver/codepage.h"
#include "solver/inifile.h"
#include "solver/numtext.h"

namespace rv {

namespace {
std::string UpperLatin(const std::string& s) {
  std::string u = s;
  for (char& c : u)
    if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
  return u;
}

bool ReadAppSettingsUnguarded(const std::string& path, const std::string& defaultDir,
                              AppSettings& s, std::string& err) {
  s = AppSettings{};
  s.IniDirProjectOpen = defaultDir;
  s.IniDirProjectSave = defaultDir;
  IniFile ini;
  if (!ini.load(path, &err)) return false;
  s.IniDirProjectOpen = ini.readString("Ini", "IniDirProjectOpen", defaultDir);
  s.IniDirProjectSave = ini.readString("Ini", "IniDirProjectSave", defaultDir);
  s.LastProjectFileName = ini.readString("Ini", "LastProjectFileName", "");
  for (int i = 1; i <= HistorySize; ++i)
    s.History[size_t(i - 1)] = ini.readString("History", "File" + IntToStr(i), "");
  return true;
}

}  // namespace

bool ReadAppSettings(const std::string& path, const std::string& defaultDir, AppSettings& s,
                     std::string& err) {
  // A settings file too large for the memory left reads as no settings.
  try {
    return ReadAppSettingsUnguarded(path, defaultDir, s, err);
  } catch (const std::bad_alloc&) {
    s = AppSettings{};
    s.IniDirProjectOpen = s.IniDirProjectSave = defaultDir;
    err = NoMemoryMessage(path);
    return false;
  }
}

bool WriteAppSettings(const std::string& path, const AppSettings& s, std::string& err) {
  IniFile ini;
  if (!ini.load(path, &err)) return false;
  if (!s.IniDirProjectOpen.empty()) ini.writeString("Ini", "IniDirProjectOpen", s.IniDirProjectOpen);
  if (!s.IniDirProjectSave.empty()) ini.writeString("Ini", "IniDirProjectSave", s.IniDirProjectSave);
  ini.writeString("Ini", "LastProjectFileName", s.LastProjectFileName);
  for (int i = 1; i <= HistorySize; ++i)
    ini.writeString("History", "File" + IntToStr(i), s.History[size_t(i - 1)]);
  return ini.saveAs(path, &err);
}

void AddToHistory(ProjectHistory& h, const std::string& fileName) {
  if (fileName.empty()) return;
  const std::string key = UpperLatin(fileName);
  int p = 0;
  for (int i = 1; i <= HistorySize; ++i)
    if (UpperLatin(h[size_t(i - 1)]) == key) p = i;
  if (p == 1) return;
  if (p == 0) p = HistorySize;
  for (int j = p; j >= 2; --j) h[size_t(j - 1)] = h[size_t(j - 2)];
  h[0] = fileName;
}

std::string NewProjectFolder(const ProjectHistory& h, const std::string& home) {
  for (const std::string& f : h) {
    const std::string dir = FolderOf(f);
    std::error_code ec;
    if (!dir.empty() && std::filesystem::is_directory(dir, ec)) return dir;
  }
  return home;
}

std::string FolderOf(const std::string& fileName) {
  const size_t p = fileName.find_last_of('/');
  return p == std::string::npos ? std::string() : fileName.substr(0, p + 1);
}

std::string FileNamePart(const std::string& fileName) {
  const size_t p = fileName.find_last_of('/');
  return p == std::string::npos ? fileName : fileName.substr(p + 1);
}

std::vector<std::string> HistoryCaptions(const ProjectHistory& h) {
  std::vector<std::string> c;
  for (int i = 1; i <= HistorySize; ++i) {
    const std::string& f = h[size_t(i - 1)];
    c.push_back(f.empty() ? std::string() : IntToStr(i) + ". " + FileNamePart(f));
  }
  return c;
}

}  // namespace rv
