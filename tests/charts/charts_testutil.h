// Temporary folders and raw files for the chart tests: the solver tests' helpers.
#pragma once
#include <string>

#include "solver/file_fixture.h"

namespace rv::test {

using rvtest::ReadBytes;
using rvtest::WriteBytes;

// A fresh folder per test; file("") is the folder itself, with its final "/".
struct TempDir : rvtest::TempDir {
  std::string file(const std::string& name) const { return *this / name; }
};

}  // namespace rv::test
