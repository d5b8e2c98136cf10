// INI files (project, settings, chart settings): cp1251 on disk with CR LF.
// Section and key names match without regard to case (ASCII and Cyrillic). Saving updates
// keys in place, keeps keys and sections it did not write (and comment lines), appends new
// sections and keys in the order written, and replaces the file through a temporary name.
// Reading accepts LF-only files and a UTF-8 byte-order mark (then the file is UTF-8).
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace rv {

class IniFile {
public:
  IniFile() = default;
  // Loads the file when it exists; a missing file is an empty INI (not an error).
  // Returns false only when an existing file cannot be read (err says why).
  bool load(const std::string& path, std::string* err = nullptr);
  // Writes to the path given to load() (or the one given here).
  bool save(std::string* err = nullptr);
  bool saveAs(const std::string& path, std::string* err = nullptr);
  const std::string& path() const { return path_; }
  // Parses text already in memory (UTF-8), as load() would after decoding.
  void parse(std::string_view utf8Text);

  bool sectionExists(std::string_view section) const;
  bool valueExists(std::string_view section, std::string_view key) const;
  // Key names of a section, in file order.
  std::vector<std::string> readSection(std::string_view section) const;
  std::vector<std::string> sections() const;

  // Values are trimmed of blanks at both ends when read.
  std::string readString(std::string_view section, std::string_view key, std::string_view def) const;
  // Missing key or a text that is not a whole number gives def.
  int readInteger(std::string_view section, std::string_view key, int def) const;
  // Missing key or a text that is not a number gives def.
  double readFloat(std::string_view section, std::string_view key, double def) const;
  // "1"/"0" read as an integer, non-zero meaning true; missing or not a number gives def.
  bool readBool(std::string_view section, std::string_view key, bool def) const;

  void writeString(std::string_view section, std::string_view key, std::string_view value);
  void writeInteger(std::string_view section, std::string_view key, long long value);
  // General format with 15 significant digits (FloatToStr).
  void writeFloat(std::string_view section, std::string_view key, double value);
  void writeBool(std::string_view section, std::string_view key, bool value);

  void eraseSection(std::string_view section);
  // Puts the sections named first, in that order; the others follow in their present order.
  void orderSections(const std::vector<std::string>& names);
  void deleteKey(std::string_view section, std::string_view key);

  // The whole file as UTF-8 text with CR LF line ends (what save() encodes to cp1251).
  std::string text() const;

private:
  struct Line {
    std::string key;    // empty: `value` holds raw lines (comments, blanks, stray text)
    std::string value;  // joined by '\n', so a run of them costs no more than its text
    bool first;         // the first key of its name in the section (the one read)
  };
  struct Section {
    std::string name;
    std::vector<Line> lines;
    // Open-addressed table of the keys' first occurrences: each slot holds the folded
    // name's hash (high half) and the line's position + 1 (low half); 0 is empty. A name's
    // home slot is its hash's top bits. Flat, so a lookup touches one slot and the line.
    std::vector<std::uint64_t> slots;
    unsigned shift = 32;
    std::size_t used = 0;
    // Where the next lookup looks first (so even reading is not safe from two threads).
    mutable std::size_t hint = 0;
    // Builds the table and the lines' `first` marks anew.
    void Reindex();
    // Position in lines of the first key of that folded name, or npos.
    std::size_t Find(std::string_view folded, std::uint32_t hash) const;
    const Line* Find(std::string_view key) const;
    // Adds the key at lines[pos]; false (and marked so) when its name is already there.
    bool Add(std::uint32_t hash, std::size_t pos);
    bool Place(std::uint64_t entry);
    void Resize(std::size_t keys);
  };
  Section* findSection(std::string_view name);
  const Section* findSection(std::string_view name) const;
  Section& addSection(std::string_view name);
  std::vector<Line> preamble_;  // lines before the first section
  std::vector<Section> sections_;
  std::unordered_map<std::string, std::size_t> sectionIndex_;  // folded name -> sections_
  std::string path_;
};

}  // namespace rv
