#include "project/signalsettings.h"

#include <algorithm>
#include <new>

#include "solver/codepage.h"
#include "solver/inifile.h"
#include "solver/numtext.h"

namespace rv {

const std::array<const char*, SignalEditCount> SignalSectionEdits = {
    "edSinFreq",        "edExp_a",          "edSlowSinFreq",  "edExp_b",
    "edSinAmpl",        "edExpAmpl",        "edSlowSinAmpl",  "edSlowSinTime",
    "edSlowSinLong",    "edGaussWidth",     "edGaussAmpl",    "edGaussRadioWidth",
    "edGaussRadioAmpl", "edGaussRadioFreq", "edBlackmanT",    "edBlackmanAmpl",
    "edExpRadio_a",     "edExpRadio_b",     "edExpRadioAmpl", "edExpRadioFreq",
    "edFileName",       "edMaxTime",        "edFMin",         "edFMax",
    "eddF",             "edSinXdivXFreq",   "edSinXdivXAmpl", "edGaussSymm",
};

const std::array<const char*, SignalTimeUnitCount> SignalTimeUnitNames = {
    "наносекунды", "микросекунды", "миллисекунды", "секунды", "метры", "литры",
};

namespace {

constexpr const char* Section = "Signal";

struct EditDefault {
  const char* name;
  const char* text;
};
constexpr EditDefault EditDefaults[] = {
    {"edSinFreq", "1e9"},         {"edSinAmpl", "1"},           {"edSlowSinFreq", "1e9"},
    {"edSlowSinAmpl", "1"},       {"edSlowSinTime", "10e-9"},   {"edSlowSinLong", "100e-9"},
    {"edGaussWidth", "1e-9"},     {"edGaussAmpl", "1"},         {"edGaussSymm", "1"},
    {"edGaussRadioWidth", "15e-10"}, {"edGaussRadioAmpl", "1"}, {"edGaussRadioFreq", "1e9"},
    {"edExp_a", "3.77e8"},        {"edExp_b", "2.38e9"},        {"edExpAmpl", "1.68"},
    {"edExpRadio_a", "1e8"},      {"edExpRadio_b", "1e9"},      {"edExpRadioAmpl", "1.45"},
    {"edExpRadioFreq", "1e9"},    {"edBlackmanT", "1e-9"},      {"edBlackmanAmpl", "1"},
    {"edSinXdivXFreq", "1e9"},    {"edSinXdivXAmpl", "1"},      {"edFileName", ""},
    {"edMaxTime", "50"},          {"edFMin", "0"},              {"edFMax", "2e9"},
    {"eddF", "1e6"},
};

int EditIndex(std::string_view name) {
  for (int i = 0; i < SignalEditCount; ++i)
    if (name == SignalSectionEdits[size_t(i)]) return i;
  return -1;
}

}  // namespace

std::string SignalEditDefault(std::string_view name) {
  for (const EditDefault& e : EditDefaults)
    if (name == e.name) return e.text;
  return {};
}

SignalPageSettings::SignalPageSettings() {
  for (int i = 0; i < SignalEditCount; ++i)
    Edits[size_t(i)] = SignalEditDefault(SignalSectionEdits[size_t(i)]);
}

std::string& SignalPageSettings::Edit(std::string_view name) {
  static std::string none;
  const int i = EditIndex(name);
  if (i < 0) {
    none.clear();
    return none;
  }
  return Edits[size_t(i)];
}

const std::string& SignalPageSettings::Edit(std::string_view name) const {
  static const std::string none;
  const int i = EditIndex(name);
  return i < 0 ? none : Edits[size_t(i)];
}

std::array<std::string, SignalParamCount> SignalPageSettings::ParamTexts() const {
  std::array<std::string, SignalParamCount> t;
  for (int i = 0; i < SignalParamCount; ++i) t[size_t(i)] = Edit(SignalParamEdits[size_t(i)]);
  return t;
}

void SaveSignalSection(IniFile& ini, const SignalPageSettings& s) {
  for (int i = 0; i < SignalEditCount; ++i) {
    const std::string& text = s.Edits[size_t(i)];
    ini.writeString(Section, SignalSectionEdits[size_t(i)],
                    std::string_view(SignalSectionEdits[size_t(i)]) == "edFileName" ? text : NumberText(text));
  }
  ini.writeInteger(Section, "SpinEdit1", s.SpinEdit1);
  ini.writeInteger(Section, "SpinEdit2", s.SpinEdit2);
  ini.writeInteger(Section, "cbTime", s.cbTime);
  ini.writeInteger(Section, "cbExpression", s.cbExpression);
  ini.writeBool(Section, "CheckBox1", s.CheckBox1);
  ini.writeBool(Section, "CheckBox2", s.CheckBox2);
  ini.writeBool(Section, "CheckBox3", s.CheckBox3);
  ini.writeBool(Section, "RadioButton1", s.RadioButton1);
  ini.writeBool(Section, "RadioButton2", s.RadioButton2);
}

void LoadSignalSection(const IniFile& ini, SignalPageSettings& s) {
  for (int i = 0; i < SignalEditCount; ++i) {
    const char* name = SignalSectionEdits[size_t(i)];
    const std::string_view n(name);
    // Keys added in later versions fall back to their defaults, the others keep the text.
    const bool later = n == "edSinXdivXFreq" || n == "edSinXdivXAmpl" || n == "edGaussSymm";
    const std::string def = later ? SignalEditDefault(n) : s.Edits[size_t(i)];
    s.Edits[size_t(i)] = ini.readString(Section, name, def);
  }
  auto clampOr = [](int v, int lo, int hi, int def) { return v < lo || v > hi ? def : v; };
  s.SpinEdit1 = std::clamp(ini.readInteger(Section, "SpinEdit1", 1), SignalLineWidthMin, SignalLineWidthMax);
  s.SpinEdit2 = std::clamp(ini.readInteger(Section, "SpinEdit2", 1), SignalLineWidthMin, SignalLineWidthMax);
  // "литры" can't be kept selected: it, like any unknown unit, comes back as nanoseconds.
  s.cbTime = clampOr(ini.readInteger(Section, "cbTime", 0), 0, UnitMetres, UnitNs);
  s.cbExpression = clampOr(ini.readInteger(Section, "cbExpression", 0), 0, SignalKindCount - 1, SigSin);
  s.CheckBox1 = ini.readBool(Section, "CheckBox1", false);
  s.CheckBox2 = ini.readBool(Section, "CheckBox2", true);
  // The two buttons form one group: "RadioButton2" is read after "RadioButton1" and so
  // wins; with neither set the first is checked, so the preview always has an interval.
  const bool rb2 = ini.readBool(Section, "RadioButton2", false);
  s.RadioButton2 = rb2;
  s.RadioButton1 = !rb2;
  s.CheckBox3 = ini.readBool(Section, "CheckBox3", false);
}

bool SaveSignalSettings(const std::string& fileName, const SignalPageSettings& s, Messages& msgs) {
  IniFile ini;
  std::string err;
  if (!ini.load(fileName, &err)) {
    msgs.push_back("Не удалось прочитать файл проекта " + fileName + ": " + err);
    return false;
  }
  SaveSignalSection(ini, s);
  if (ini.save(&err)) return true;
  msgs.push_back("Не удалось записать файл проекта " + fileName + ": " + err);
  return false;
}

bool LoadSignalSettings(const std::string& fileName, SignalPageSettings& s, Messages& msgs) {
  try {
    IniFile ini;
    std::string err;
    if (!ini.load(fileName, &err)) {
      msgs.push_back("Не удалось прочитать файл проекта " + fileName + ": " + err);
      return false;
    }
    SignalPageSettings n = s;
    LoadSignalSection(ini, n);
    s = std::move(n);
    return true;
  } catch (const std::bad_alloc&) {
    msgs.push_back(NoMemoryMessage(fileName));
    return false;
  }
}

}  // namespace rv
