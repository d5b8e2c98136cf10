#include "platform/fileassoc.h"

#include <QProcess>
#include <QStandardPaths>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <vector>

#include "platform/desktop.h"
#include "platform/keystore.h"
#include "platform/platform.h"

namespace rv::platform {

namespace {

namespace fs = std::filesystem;

constexpr const char* kDdeMacro = "[open(\"%1\")]";

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Writes `text` when the file does not hold it already; true when it was written.
bool WriteIfChanged(const std::string& path, const std::string& text) {
  std::error_code ec;
  if (fs::exists(path, ec) && ReadText(path) == text) return false;
  fs::create_directories(fs::path(path).parent_path(), ec);
  const std::string tmp = path + ".tmp";
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out.flush()) return false;
  }
  fs::rename(tmp, path, ec);
  return !ec;
}

void WriteClass(KeyStore& s, const std::string& cls, const std::string& description,
                const std::string& exe, const std::string& topic) {
  s.Write(cls, description);
  s.Write(cls + "\\DefaultIcon", exe);
  for (const char* verb : {"open", "print"}) {
    const std::string base = cls + "\\shell\\" + verb;
    s.Write(base + "\\command", exe);
    s.Write(base + "\\ddeexec", kDdeMacro);
    s.Write(base + "\\ddeexec\\application", "Ravelin");
    s.Write(base + "\\ddeexec\\topic", topic);
  }
}

// The program as the Exec key of a desktop entry wants it: quoted, with the characters the
// quoting and the key's own escapes reserve escaped.
std::string ExecArgument(const std::string& exe) {
  std::string q = "\"";
  for (char c : exe) {
    if (c == '"' || c == '`' || c == '$') q += '\\';
    if (c == '\\') q += "\\\\\\";
    if (c == '%') q += '%';
    q += c;
  }
  return q + "\"";
}

struct OwnType {
  std::string ext, comment;
};

// The program's types the desktop is told of now: the project always, a chart extension only
// while the key store gives it to the program (ticked in the association dialog). Other
// programs' files of those extensions stay theirs until the user asks.
std::vector<OwnType> TypesInUse(const KeyStore& s) {
  std::vector<OwnType> types = {{".fdt", "Ravelin Project files"}};
  for (const char* ext : kChartFileExts)
    if (s.Value(ext) == std::optional<std::string>(kChartClass))
      types.push_back({ext, "Ravelin grafic files"});
  return types;
}

// The desktop entry (with the icon) that opens the types in use.
void WriteDesktopEntry(const DesktopPaths& p, const std::string& exe, const std::vector<OwnType>& types) {
  const QByteArray icon = ProgramIconSvg();
  if (!icon.isEmpty())
    WriteIfChanged(p.dataHome + "/icons/hicolor/scalable/apps/" + kIconName + ".svg", icon.toStdString());
  std::ostringstream entry;
  entry << "[Desktop Entry]\nType=Application\nName=Ravelin\n"
        << "Comment=Расчёт электромагнитных полей методом FDTD\n"
        << "Exec=" << ExecArgument(exe) << " %f\nIcon=" << kIconName << "\nTerminal=false\n"
        << "Categories=Science;Engineering;\nMimeType=";
  for (const OwnType& t : types) entry << MimeTypeOf(t.ext) << ';';
  entry << '\n';
  WriteIfChanged(p.dataHome + "/applications/" + kDesktopFile, entry.str());
}

// The program's own MIME types of the types in use (".csv" is the system's): a type the
// program gave up is removed, so its files are of their former type again.
void WriteMimePackage(const DesktopPaths& p, const std::vector<OwnType>& types) {
  std::ostringstream mime;
  mime << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
       << "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n";
  for (const OwnType& t : types)
    if (MimeTypeOf(t.ext) != "text/csv")
      mime << "  <mime-type type=\"" << MimeTypeOf(t.ext) << "\">\n    <comment>" << t.comment
           << "</comment>\n    <icon name=\"" << kIconName << "\"/>\n    <glob pattern=\"*" << t.ext
           << "\"/>\n  </mime-type>\n";
  mime << "</mime-info>\n";
  // The desktop's MIME cache is rebuilt only after a change, without waiting for it.
  if (WriteIfChanged(p.dataHome + "/mime/packages/ravelin.xml", mime.str()) && p.refreshMimeCache)
    QProcess::startDetached("update-mime-database",
                            {QString::fromStdString(p.dataHome + "/mime")});
}

std::string MimeAppsFile(const DesktopPaths& p) { return p.configHome + "/mimeapps.list"; }

}  // namespace

DesktopPaths DesktopPaths::FromEnvironment() {
  DesktopPaths p;
  p.keyStore = UserConfigDir() + "classes.txt";
  p.dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation).toStdString();
  p.configHome =
      QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation).toStdString();
  return p;
}

std::string MimeTypeOf(const std::string& ext) {
  if (ext == ".csv") return "text/csv";
  if (ext == ".fdt") return "application/x-ravelin-project";
  return "application/x-ravelin-" + ext.substr(1);
}

void RegisterProjectFileType(const DesktopPaths& p, const std::string& exe) {
  KeyStore s(p.keyStore);
  WriteClass(s, kProjectClass, "Ravelin Project files", exe, "ddeFdtd");
  s.Write(".fdt", kProjectClass);
  s.Save();
  const std::vector<OwnType> types = TypesInUse(s);
  WriteDesktopEntry(p, exe, types);
  WriteMimePackage(p, types);
  SetDefaultApplication(p, MimeTypeOf(".fdt"), kDesktopFile);
}

void RegisterChartFileClass(const DesktopPaths& p, const std::string& exe) {
  KeyStore s(p.keyStore);
  WriteClass(s, kChartClass, "Ravelin grafic files", exe, "ddeChart");
  s.Save();
  WriteDesktopEntry(p, exe, TypesInUse(s));
}

std::array<std::optional<bool>, 5> ReadAssociations(const DesktopPaths& p) {
  const KeyStore s(p.keyStore);
  std::array<std::optional<bool>, 5> r;
  for (size_t i = 0; i < kChartFileExts.size(); ++i)
    if (auto v = s.Value(kChartFileExts[i])) r[i] = *v == kChartClass;
  return r;
}

void ApplyAssociations(const DesktopPaths& p, const std::array<bool, 5>& wanted) {
  KeyStore s(p.keyStore);
  for (size_t i = 0; i < kChartFileExts.size(); ++i) {
    const std::string ext = kChartFileExts[i], mime = MimeTypeOf(ext);
    const bool existed = s.Exists(ext);
    const bool ours = existed && s.Value(ext) == std::optional<std::string>(kChartClass);
    if (ours == wanted[i]) continue;
    if (wanted[i]) {
      if (existed) s.Write(ext + "\\Old_Key", s.Value(ext).value_or(""));
      s.Write(ext, kChartClass);
      const std::string former = DefaultApplication(p, mime);
      if (former != kDesktopFile) s.Write(ext + "\\Old_App", former);
      SetDefaultApplication(p, mime, kDesktopFile);
    } else {
      const std::string formerApp = s.Value(ext + "\\Old_App").value_or("");
      if (auto old = s.Value(ext + "\\Old_Key"); s.Exists(ext + "\\Old_Key"))
        s.Write(ext, old.value_or(""));
      else
        s.Delete(ext);
      SetDefaultApplication(p, mime, formerApp);
    }
  }
  s.Save();
  WriteMimePackage(p, TypesInUse(s));
}

std::string DefaultApplication(const DesktopPaths& p, const std::string& mime) {
  std::istringstream in(ReadText(MimeAppsFile(p)));
  std::string line;
  bool inDefaults = false;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty() && line.front() == '[') inDefaults = line == "[Default Applications]";
    else if (inDefaults && line.rfind(mime + "=", 0) == 0) return line.substr(mime.size() + 1);
  }
  return {};
}

void SetDefaultApplication(const DesktopPaths& p, const std::string& mime, const std::string& app) {
  std::istringstream in(ReadText(MimeAppsFile(p)));
  std::vector<std::string> lines;
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  // The entry of `mime` in the defaults' section: replaced, removed, or added at its end.
  int section = -1, end = -1, at = -1;
  for (int i = 0; i < int(lines.size()); ++i) {
    if (!lines[i].empty() && lines[i].front() == '[') {
      if (section >= 0 && end < 0) end = i;
      if (lines[i] == "[Default Applications]") section = i;
    } else if (section >= 0 && end < 0 && lines[i].rfind(mime + "=", 0) == 0) {
      at = i;
    }
  }
  const std::string entry = mime + "=" + app;
  if (at >= 0) {
    if (app.empty()) lines.erase(lines.begin() + at);
    else lines[at] = entry;
  } else if (!app.empty()) {
    if (section < 0) {
      lines.push_back("[Default Applications]");
      lines.push_back(entry);
    } else {
      int pos = end < 0 ? int(lines.size()) : end;
      while (pos > section + 1 && lines[pos - 1].empty()) --pos;
      lines.insert(lines.begin() + pos, entry);
    }
  }
  std::string text;
  for (const std::string& l : lines) text += l + "\n";
  WriteIfChanged(MimeAppsFile(p), text);
}

}  // namespace rv::platform
