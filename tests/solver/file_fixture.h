// Scratch folders and raw file contents for the tests that write files.
#pragma once
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "solver/codepage.h"

namespace rvtest {

namespace fs = std::filesystem;

// A fresh folder named after the running test, removed afterwards.
struct TempDir {
  fs::path dir = fs::temp_directory_path() /
                 ("rv_" + std::string(testing::UnitTest::GetInstance()->current_test_info()->name()) +
                  "_" + std::to_string(::getpid()));
  TempDir() { fs::remove_all(dir); fs::create_directories(dir); }
  ~TempDir() { std::error_code ec; fs::remove_all(dir, ec); }
  std::string operator/(const std::string& name) const { return (dir / name).string(); }
};

inline std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteBytes(const std::string& path, std::string_view b) {
  std::ofstream(path, std::ios::binary).write(b.data(), static_cast<std::streamsize>(b.size()));
}

// The CR LF lines of a cp1251 file, as UTF-8.
inline std::vector<std::string> ReadLines(const std::string& path) {
  const std::string raw = ReadBytes(path);
  std::vector<std::string> lines;
  for (size_t p = 0, e; (e = raw.find("\r\n", p)) != std::string::npos; p = e + 2)
    lines.push_back(rv::Cp1251ToUtf8(raw.substr(p, e - p)));
  return lines;
}

}  // namespace rvtest
