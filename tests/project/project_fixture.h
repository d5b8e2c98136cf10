// Helpers of the project tests: scratch folders and raw files (shared with the solver
// tests), table rows, little-endian model files and the keys of an INI file.
#pragma once
#include <initializer_list>
#include <map>
#include <tuple>
#include <utility>

#include "project/tables.h"
#include "solver/file_fixture.h"
#include "solver/inifile.h"

namespace prjtest {

using namespace rv;
using rvtest::ReadBytes;
using rvtest::TempDir;
using rvtest::WriteBytes;
namespace fs = std::filesystem;

// Appends a row to a table and fills its first cells.
inline void AddRow(StringGrid& g, std::initializer_list<std::string> cells) {
  ModifiedFlag m{0};
  AddGridRow(g, m);
  int c = 0;
  for (const std::string& t : cells) g.SetCell(c++, g.RowCount() - 1, t);
}

inline void WriteInts(const std::string& path, const std::vector<int32_t>& v) {
  std::string b;
  for (int32_t x : v)
    for (int s = 0; s < 32; s += 8) b.push_back(char((uint32_t(x) >> s) & 0xFF));
  WriteBytes(path, b);
}

inline std::vector<int32_t> ReadInts(const std::string& path) {
  const std::string b = ReadBytes(path);
  std::vector<int32_t> v;
  for (size_t i = 0; i + 4 <= b.size(); i += 4)
    v.push_back(int32_t(uint8_t(b[i]) | uint8_t(b[i + 1]) << 8 | uint8_t(b[i + 2]) << 16 |
                        uint32_t(uint8_t(b[i + 3])) << 24));
  return v;
}

// Every (section, key) of an INI file with its value.
using KeyMap = std::map<std::pair<std::string, std::string>, std::string>;
inline KeyMap Keys(const std::string& path) {
  IniFile ini;
  EXPECT_TRUE(ini.load(path)) << path;
  KeyMap m;
  for (const std::string& s : ini.sections())
    for (const std::string& k : ini.readSection(s)) m[{s, k}] = ini.readString(s, k, "");
  return m;
}

}  // namespace prjtest
