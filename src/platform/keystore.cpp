#include "platform/keystore.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>

namespace rv::platform {

namespace {
// One key a line: the key, then a tab and the value when it has one. Neither holds a line
// break or a tab: those are dropped on writing.
std::string Clean(std::string s) {
  std::erase_if(s, [](char c) { return c == '\n' || c == '\r' || c == '\t'; });
  return s;
}
bool SameKey(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}
}  // namespace

KeyStore::KeyStore(std::string file) : file_(std::move(file)) {
  std::ifstream in(file_);
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty()) continue;
    const auto tab = line.find('\t');
    if (tab == std::string::npos) rows_.emplace_back(line, std::nullopt);
    else rows_.emplace_back(line.substr(0, tab), line.substr(tab + 1));
  }
}

std::vector<KeyStore::Row>::iterator KeyStore::find(const std::string& key) {
  return std::find_if(rows_.begin(), rows_.end(),
                      [&](const Row& r) { return SameKey(r.first, key); });
}

bool KeyStore::Exists(const std::string& key) const {
  return const_cast<KeyStore*>(this)->find(key) != rows_.end();
}

std::optional<std::string> KeyStore::Value(const std::string& key) const {
  auto it = const_cast<KeyStore*>(this)->find(key);
  return it == rows_.end() ? std::nullopt : it->second;
}

void KeyStore::Write(const std::string& key, const std::string& value) {
  auto it = find(key);
  if (it == rows_.end()) rows_.emplace_back(Clean(key), Clean(value));
  else it->second = Clean(value);
}

void KeyStore::Delete(const std::string& key) {
  std::erase_if(rows_, [&](const Row& r) {
    return SameKey(r.first, key) ||
           (r.first.size() > key.size() && r.first[key.size()] == '\\' &&
            SameKey(r.first.substr(0, key.size()), key));
  });
}

bool KeyStore::Save() const {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::create_directories(fs::path(file_).parent_path(), ec);
  const std::string tmp = file_ + ".tmp";
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    for (const Row& r : rows_) out << r.first << (r.second ? "\t" + *r.second : "") << '\n';
    if (!out.flush()) return false;
  }
  fs::rename(tmp, file_, ec);
  return !ec;
}

}  // namespace rv::platform
