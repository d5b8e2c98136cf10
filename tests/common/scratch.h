// Scratch folders of a test process. They all lie under one folder, <tmp>/rv_tests_<pid>/,
// which goes when the process ends, whether its tests passed or failed: a test that stops
// at a failed assertion leaves nothing behind either.
#pragma once
#include <unistd.h>

#include <filesystem>
#include <string>
#include <system_error>

namespace rvtest {

// A folder made now and removed, with all it holds, when the object goes. A forked child (a
// death test) shares the object but not the folder's life: only the maker removes it.
class ScopedFolder {
public:
  explicit ScopedFolder(std::filesystem::path dir) : dir_(std::move(dir)) {
    std::filesystem::create_directories(dir_);
  }
  ~ScopedFolder() {
    std::error_code ec;
    if (::getpid() == owner_) std::filesystem::remove_all(dir_, ec);
  }
  ScopedFolder(const ScopedFolder&) = delete;
  ScopedFolder& operator=(const ScopedFolder&) = delete;
  const std::filesystem::path& path() const { return dir_; }

private:
  std::filesystem::path dir_;
  pid_t owner_ = ::getpid();
};

// The process's scratch root, made on first use.
inline const std::filesystem::path& ScratchRoot() {
  static const ScopedFolder root(std::filesystem::temp_directory_path() /
                                 ("rv_tests_" + std::to_string(::getpid())));
  return root.path();
}

// A fresh, empty scratch folder <root>/<group>/<name>/, ending in "/".
inline std::string FreshDir(const std::string& group, const std::string& name) {
  namespace fs = std::filesystem;
  const fs::path d = ScratchRoot() / group / name;
  fs::remove_all(d);
  fs::create_directories(d);
  return d.string() + "/";
}

}  // namespace rvtest
