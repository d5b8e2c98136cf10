// Placing outputs and lumped elements at the anchor cell: the rows the editor's buttons
// add to and remove from the output and element tables.
#pragma once
#include <array>
#include <string>
#include <vector>

#include "editor/modelops.h"
#include "project/tables.h"

namespace rv {

// One output button: its tag and the kind and direction its rows carry.
struct OutputKind {
  int Tag;
  const char* Kind;
  const char* Dir;  // "" for a magnitude
};
const std::array<OutputKind, 21>& OutputKinds();
const OutputKind* OutputKindOfTag(int tag);

// Kind, direction, X, Y, Z and the file name ("Ex(3,4,5).grf") of an output at cell c.
std::array<std::string, 6> OutputRowTexts(const OutputKind& k, const Cell3& c);
// The first data row of the kind and direction (letters in any case) at the texts of c, or 0.
int FindOutputRow(const StringGrid& g, const OutputKind& k, const Cell3& c);
// Appends the output's row (on) or removes its first row (off; nothing when there is none).
void SetOutputAt(StringGrid& g, const OutputKind& k, const Cell3& c, bool on, ModifiedFlag& modified);
// Tags of the buttons that the rows at cell c press (coordinates read as whole numbers; rows
// that are no whole numbers, or name no button, press nothing).
std::vector<int> OutputTagsAt(const StringGrid& g, const Cell3& c);

enum class ElementKind { Resistor, Capacitor, Source, SparkGap, Inductor };
StringGrid& ElementGrid(LampedTables& t, ElementKind k);

// The labels of the element dialog's fields: the value's (per kind) and a source's polarity.
const char* ElementValueLabel(ElementKind k);
inline constexpr const char* PolarityLabel = "Полярность, + или -";
// Why the element dialog's value (and a source's polarity) cannot be taken, naming the field
// and the text and saying what to type; "" when they can. The value follows the run start's
// rule for its table; field is 1 for the value, 2 for the polarity.
std::string ElementValueRefusal(ElementKind k, const std::string& value, const std::string& polarity, int& field);
// Appends X, Y, Z, the value as typed and the direction letter (and for a source its
// polarity). False with err (ElementValueRefusal), nothing added, for a value or polarity the
// dialog refuses.
bool AddElementAt(LampedTables& t, ElementKind k, const Cell3& c, const std::string& value, char dir,
                  const std::string& polarity, ModifiedFlag& modified, std::string& err);
// Removes, of each kind in the order spark gap, capacitor, inductor, source, resistor, the
// first row whose X, Y, Z read as cell c. The rows are found by their texts, so a table
// edited since the element arrays were built loses the right row. Returns the rows removed.
int DeleteElementsAt(LampedTables& t, const Cell3& c, ModifiedFlag& modified);

// The current-region row of a rectangle of the section: the smaller X, Y, Z of its corners,
// the larger, and the name "Ix (x1,y1,z1;x2,y2,z2)" after the section's axis (no letter
// when no section is shown).
std::array<std::string, 7> CurrentRegionRow(const SectionView& v, const GridRect& sel, bool sectionShown);

// Appends a data row holding `cells` from column 0.
void AppendRow(StringGrid& g, const std::vector<std::string>& cells, ModifiedFlag& modified);

}  // namespace rv
