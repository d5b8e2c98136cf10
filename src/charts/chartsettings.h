// The chart viewer's own settings file (INI): the folder of the last curve file, the fonts
// of the chart's texts, the window's place and size, and the fields of the spectrum and
// impedance dialogs. Read once when the window is made, written when it is closed; the
// folder is written at once by the open and save commands.
#pragma once
#include <string>

namespace rv {

struct ChartFont {
  std::string Name = "Arial";
  int Size = 10;  // points
  bool operator==(const ChartFont&) const = default;
};

struct SpectrSettings {
  std::string edFMin = "0", edFMax = "1e9", eddF = "1e6";
  bool CheckBox1 = false, CheckBox2 = false, CheckBox3 = true, CheckBox4 = true;
  int cbTime = 0, cbFreq = 0;
  bool operator==(const SpectrSettings&) const = default;
};

struct SpectrZSettings {
  std::string edFMin = "0", edFMax = "1e9", eddF = "1e6";
  int cbTime = 0, cbFreq = 0;
  bool cbDeleteSpectr = true;
  bool operator==(const SpectrZSettings&) const = default;
};

struct ChartSettings {
  std::string IniDir;  // with its trailing "/"
  ChartFont TitleFont, FootFont, LeftAxisFont, LeftAxisLabelsFont, BottomAxisFont,
      BottomAxisLabelsFont, BottomLegendFont;
  int Top = 47, Left = 99, Width = 683, Height = 506;
  SpectrSettings Spectr;
  SpectrZSettings SpectrZ;
  bool operator==(const ChartSettings&) const = default;
};

// Reads the file; missing keys (or a missing file) give the defaults, the folder defaults
// to `defaultDir`. Sizes out of any sensible range fall back to the defaults as well.
// Returns false (err set) only when an existing file cannot be read; s then holds defaults.
bool ReadChartSettings(const std::string& path, const std::string& defaultDir, ChartSettings& s,
                       std::string* err = nullptr);
// Writes "Fonts", "Form", "Spectr" and "SpectrZ" in that order, keeping every other key.
bool WriteChartSettings(const std::string& path, const ChartSettings& s, std::string* err = nullptr);
// Writes "IniDir" of "Ini" alone.
bool WriteIniDir(const std::string& path, const std::string& dir, std::string* err = nullptr);

}  // namespace rv
