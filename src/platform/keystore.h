// A small store of keys with default values, standing in for the system's file-class
// registry: the program's file classes and the classes it took over from other programs
// ("Old_Key") are kept here, key paths written with "\" as separator.
#pragma once
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace rv::platform {

class KeyStore {
public:
  using Row = std::pair<std::string, std::optional<std::string>>;  // key, default value

  // Reads `file` when it exists; an unreadable file gives an empty store.
  explicit KeyStore(std::string file);

  bool Exists(const std::string& key) const;
  // The key's default value; nothing when the key is missing or has none.
  std::optional<std::string> Value(const std::string& key) const;
  // Creates the key when missing (at the end) and sets its default value.
  void Write(const std::string& key, const std::string& value);
  // Removes the key and every key below it.
  void Delete(const std::string& key);
  const std::vector<Row>& Rows() const { return rows_; }
  // Writes the store (to a temporary name, then renamed); false when it cannot.
  bool Save() const;

private:
  std::vector<Row>::iterator find(const std::string& key);
  std::string file_;
  std::vector<Row> rows_;
};

}  // namespace rv::platform
