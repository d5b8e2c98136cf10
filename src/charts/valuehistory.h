// The numbers last typed into the value dialog ("TmpVal.txt"): newest first, one per line,
// at most ten kept in the file.
#pragma once
#include <string>
#include <vector>

namespace rv {

class ValueHistory {
public:
  static constexpr int MaxSaved = 10;

  // Loads the file; a missing or unreadable file gives an empty history without a message.
  // Lines that are not numbers are dropped.
  void Load(const std::string& path);
  // Writes the first ten entries (cp1251, CR LF).
  bool Save(const std::string& path, std::string& err) const;
  // Puts a number typed by the user at the top when it is a number and not yet listed.
  // Returns true when it was added.
  bool Add(const std::string& text);
  // The text the value field starts with: the newest entry, or "0".
  std::string FirstOrZero() const;
  const std::vector<std::string>& Items() const { return items_; }

private:
  std::vector<std::string> items_;
};

// One key typed into the value field: returns the character to insert, or 0 to drop it.
// Digits, "-", "e", "E" and backspace (8) pass; "." passes only while `text` holds no ".";
// "," becomes "." under the same condition.
char FilterValueKey(const std::string& text, char key);

// The value field's text as a number ("." as separator); false when it is not one.
bool ParseValueText(const std::string& text, double& v);

}  // namespace rv
