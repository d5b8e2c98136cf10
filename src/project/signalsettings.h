// What the signal window keeps in a project: the texts of its edits as typed, its list
// choices, check boxes and line widths (section "Signal" of the project file).
#pragma once
#include <array>
#include <string>
#include <string_view>

#include "project/signalsource.h"
#include "project/stringgrid.h"

namespace rv {

class IniFile;

// The edits in the order the section holds them: the parameter edits, the signal file, the
// preview interval and the spectrum range, then the three added later.
inline constexpr int SignalEditCount = 28;
extern const std::array<const char*, SignalEditCount> SignalSectionEdits;

// Time units of the signal file as the list shows them; the last item can't be kept.
inline constexpr int SignalTimeUnitCount = 6;
extern const std::array<const char*, SignalTimeUnitCount> SignalTimeUnitNames;

struct SignalPageSettings {
  SignalPageSettings();
  // Texts of the edits, indexed as SignalSectionEdits.
  std::array<std::string, SignalEditCount> Edits;
  int SpinEdit1 = 1, SpinEdit2 = 1;  // line widths of the preview and the spectrum, 1..2
  int cbTime = UnitNs;
  int cbExpression = SigSin;
  bool CheckBox1 = true;     // "Измерить"
  bool CheckBox2 = true;     // "Шаг авто"
  bool CheckBox3 = true;     // "Не показывать спектр"
  bool RadioButton1 = false; // "Как время счета в проекте"
  bool RadioButton2 = true;  // "Задать, нс:"
  bool operator==(const SignalPageSettings&) const = default;

  // The text of an edit by its control name (an unknown name is a programming error and
  // gives an empty text that nothing reads).
  std::string& Edit(std::string_view name);
  const std::string& Edit(std::string_view name) const;
  // The parameter edits' texts in the order ReadSignalParams converts them.
  std::array<std::string, SignalParamCount> ParamTexts() const;
};

// The default text of an edit of the window ("" for edFileName).
std::string SignalEditDefault(std::string_view name);

inline constexpr int SignalLineWidthMin = 1, SignalLineWidthMax = 2;

// Writes section "Signal": the edits, SpinEdit1, SpinEdit2, cbTime, cbExpression,
// CheckBox1..3, RadioButton1, RadioButton2, in this order.
void SaveSignalSection(IniFile& ini, const SignalPageSettings& s);
// Reads section "Signal" into s. A missing edit key keeps the text s already holds, except
// edSinXdivXFreq, edSinXdivXAmpl and edGaussSymm, which fall back to their defaults. The
// list choices and widths are kept to their ranges (an item the list can't hold gives its
// default); exactly one of the two radio buttons ends up checked.
void LoadSignalSection(const IniFile& ini, SignalPageSettings& s);

// The same on a project file by name: the file is updated key by key (other sections
// stay). A file that cannot be read or written is reported in msgs; false then.
bool SaveSignalSettings(const std::string& fileName, const SignalPageSettings& s, Messages& msgs);
bool LoadSignalSettings(const std::string& fileName, SignalPageSettings& s, Messages& msgs);

}  // namespace rv
