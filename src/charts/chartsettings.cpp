#include "charts/chartsettings.h"

#include <new>

#include "solver/codepage.h"
#include "solver/inifile.h"

namespace rv {

namespace {

struct FontKey {
  const char* name;
  const char* size;
  ChartFont ChartSettings::*font;
};

const FontKey kFonts[] = {
    {"TitleFontName", "TitleFontSize", &ChartSettings::TitleFont},
    {"FootFontName", "FootFontSize", &ChartSettings::FootFont},
    {"LeftAxisFontName", "LeftAxisFontSize", &ChartSettings::LeftAxisFont},
    {"LeftAxisLabelsFontName", "LeftAxisLabelsFontSize", &ChartSettings::LeftAxisLabelsFont},
    {"BottomAxisFontName", "BottomAxisFontSize", &ChartSettings::BottomAxisFont},
    {"BottomAxisLabelsFontName", "BottomAxisLabelsFontSize", &ChartSettings::BottomAxisLabelsFont},
    {"BottomLegendFontName", "BottomLegendFontSize", &ChartSettings::BottomLegendFont},
};

int InRange(int v, int lo, int hi, int def) { return v < lo || v > hi ? def : v; }


bool ReadChartSettingsUnguarded(const std::string& path, const std::string& defaultDir,
                                ChartSettings& s, std::string* err) {
  s = ChartSettings{};
  s.IniDir = defaultDir;
  IniFile ini;
  if (!ini.load(path, err)) return false;
  s.IniDir = ini.readString("Ini", "IniDir", defaultDir);
  if (s.IniDir.empty()) s.IniDir = defaultDir;
  for (const FontKey& k : kFonts) {
    ChartFont& f = s.*k.font;
    f.Name = ini.readString("Fonts", k.name, "Arial");
    if (f.Name.empty()) f.Name = "Arial";
    f.Size = InRange(ini.readInteger("Fonts", k.size, 10), 1, 200, 10);
  }
  // A window off any screen can still be moved back; one too small or absurdly large cannot.
  s.Top = InRange(ini.readInteger("Form", "Top", 47), -10000, 10000, 47);
  s.Left = InRange(ini.readInteger("Form", "Left", 99), -10000, 10000, 99);
  s.Width = InRange(ini.readInteger("Form", "Width", 683), 100, 20000, 683);
  s.Height = InRange(ini.readInteger("Form", "Height", 506), 100, 20000, 506);

  SpectrSettings& p = s.Spectr;
  p.edFMin = ini.readString("Spectr", "edFMin", "0");
  p.edFMax = ini.readString("Spectr", "edFMax", "1e9");
  p.eddF = ini.readString("Spectr", "eddF", "1e6");
  p.CheckBox1 = ini.readBool("Spectr", "CheckBox1", false);
  p.CheckBox2 = ini.readBool("Spectr", "CheckBox2", false);
  p.CheckBox3 = ini.readBool("Spectr", "CheckBox3", true);
  p.CheckBox4 = ini.readBool("Spectr", "CheckBox4", true);
  p.cbTime = ini.readInteger("Spectr", "cbTime", 0);
  p.cbFreq = ini.readInteger("Spectr", "cbFreq", 0);

  SpectrZSettings& z = s.SpectrZ;
  z.edFMin = ini.readString("SpectrZ", "edFMin", "0");
  z.edFMax = ini.readString("SpectrZ", "edFMax", "1e9");
  z.eddF = ini.readString("SpectrZ", "eddF", "1e6");
  z.cbTime = ini.readInteger("SpectrZ", "cbTime", 0);
  z.cbFreq = ini.readInteger("SpectrZ", "cbFreq", 0);
  z.cbDeleteSpectr = ini.readBool("SpectrZ", "cbDeleteSpectr", true);
  return true;
}

}  // namespace

bool ReadChartSettings(const std::string& path, const std::string& defaultDir, ChartSettings& s,
                       std::string* err) {
  // A settings file too large for the memory left reads as no settings.
  try {
    return ReadChartSettingsUnguarded(path, defaultDir, s, err);
  } catch (const std::bad_alloc&) {
    s = ChartSettings{};
    s.IniDir = defaultDir;
    if (err) *err = NoMemoryMessage(path);
    return false;
  }
}

bool WriteChartSettings(const std::string& path, const ChartSettings& s, std::string* err) {
  IniFile ini;
  if (!ini.load(path, err)) return false;
  for (const FontKey& k : kFonts) {
    const ChartFont& f = s.*k.font;
    ini.writeString("Fonts", k.name, f.Name);
    ini.writeInteger("Fonts", k.size, f.Size);
  }
  ini.writeInteger("Form", "Top", s.Top);
  ini.writeInteger("Form", "Left", s.Left);
  ini.writeInteger("Form", "Width", s.Width);
  ini.writeInteger("Form", "Height", s.Height);

  const SpectrSettings& p = s.Spectr;
  ini.writeString("Spectr", "edFMin", p.edFMin);
  ini.writeString("Spectr", "edFMax", p.edFMax);
  ini.writeString("Spectr", "eddF", p.eddF);
  ini.writeBool("Spectr", "CheckBox1", p.CheckBox1);
  ini.writeBool("Spectr", "CheckBox2", p.CheckBox2);
  ini.writeBool("Spectr", "CheckBox3", p.CheckBox3);
  ini.writeBool("Spectr", "CheckBox4", p.CheckBox4);
  ini.writeInteger("Spectr", "cbTime", p.cbTime);
  ini.writeInteger("Spectr", "cbFreq", p.cbFreq);

  const SpectrZSettings& z = s.SpectrZ;
  ini.writeString("SpectrZ", "edFMin", z.edFMin);
  ini.writeString("SpectrZ", "edFMax", z.edFMax);
  ini.writeString("SpectrZ", "eddF", z.eddF);
  ini.writeInteger("SpectrZ", "cbTime", z.cbTime);
  ini.writeInteger("SpectrZ", "cbFreq", z.cbFreq);
  ini.writeBool("SpectrZ", "cbDeleteSpectr", z.cbDeleteSpectr);
  return ini.save(err);
}

bool WriteIniDir(const std::string& path, const std::string& dir, std::string* err) {
  IniFile ini;
  if (!ini.load(path, err)) return false;
  ini.writeString("Ini", "IniDir", dir);
  return ini.save(err);
}

}  // namespace rv
