#include "solver/inifile.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "solver/codepage.h"
#include "solver/numtext.h"

namespace rv {

namespace {

std::string_view TrimBlanks(std::string_view s) {
  const auto b = s.find_first_not_of(" \t");
  if (b == std::string_view::npos) return {};
  return s.substr(b, s.find_last_not_of(" \t") - b + 1);
}

bool SameName(std::string_view a, std::string_view b) {
  a = TrimBlanks(a);
  b = TrimBlanks(b);
  if (a == b) return true;
  return FoldCase(a) == FoldCase(b);
}

// A line break inside a name or value would split the line in the file and change what
// is read back.
std::string OneLine(std::string_view s) {
  std::string out(TrimBlanks(s));
  std::replace(out.begin(), out.end(), '\r', ' ');
  std::replace(out.begin(), out.end(), '\n', ' ');
  return out;
}

bool IsBlank(std::string_view raw) { return TrimBlanks(raw).empty(); }

}  // namespace

IniFile::Section* IniFile::findSection(std::string_view name) {
  for (auto& s : sections_)
    if (SameName(s.name, name)) return &s;
  return nullptr;
}

const IniFile::Section* IniFile::findSection(std::string_view name) const {
  for (const auto& s : sections_)
    if (SameName(s.name, name)) return &s;
  return nullptr;
}

void IniFile::parse(std::string_view text) {
  preamble_.clear();
  sections_.clear();
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  std::vector<Line>* target = &preamble_;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);

    const std::string_view t = TrimBlanks(line);
    const auto close = t.find(']');
    if (!t.empty() && t.front() == '[' && close != std::string_view::npos) {
      const std::string_view name = TrimBlanks(t.substr(1, close - 1));
      // A repeated section continues the first one, so every lookup sees all its keys.
      Section* s = findSection(name);
      if (!s) {
        sections_.push_back(Section{std::string(name), {}});
        s = &sections_.back();
      }
      target = &s->lines;
      continue;
    }
    const auto eq = t.find('=');
    if (!t.empty() && t.front() != ';' && eq != std::string_view::npos) {
      const std::string_view key = TrimBlanks(t.substr(0, eq));
      if (!key.empty()) {
        target->push_back(Line{std::string(key), std::string(TrimBlanks(t.substr(eq + 1))), {}});
        continue;
      }
    }
    target->push_back(Line{{}, {}, std::string(line)});
  }
}

bool IniFile::load(const std::string& path, std::string* err) {
  path_ = path;
  preamble_.clear();
  sections_.clear();
  std::error_code ec;
  if (!std::filesystem::exists(path, ec) && !ec) return true;
  std::vector<std::string> lines;
  std::string e;
  if (!ReadTextLines(path, lines, e)) {
    if (err) *err = e;
    return false;
  }
  std::string text;
  for (const auto& l : lines) {
    text += l;
    text += '\n';
  }
  parse(text);
  return true;
}

bool IniFile::save(std::string* err) {
  if (path_.empty()) {
    if (err) *err = "Не задано имя файла настроек";
    return false;
  }
  std::vector<std::string> lines;
  const std::string t = text();
  for (std::size_t start = 0; start < t.size();) {
    const std::size_t end = t.find("\r\n", start);
    lines.push_back(t.substr(start, end - start));
    start = end + 2;
  }
  std::string e;
  if (!WriteTextLines(path_, lines, e)) {
    if (err) *err = e;
    return false;
  }
  return true;
}

bool IniFile::saveAs(const std::string& path, std::string* err) {
  const std::string old = path_;
  path_ = path;
  if (save(err)) return true;
  path_ = old;
  return false;
}

bool IniFile::sectionExists(std::string_view section) const { return findSection(section) != nullptr; }

bool IniFile::valueExists(std::string_view section, std::string_view key) const {
  const Section* s = findSection(section);
  if (!s) return false;
  return std::any_of(s->lines.begin(), s->lines.end(),
                     [&](const Line& l) { return !l.key.empty() && SameName(l.key, key); });
}

std::vector<std::string> IniFile::readSection(std::string_view section) const {
  std::vector<std::string> keys;
  const Section* s = findSection(section);
  if (!s) return keys;
  for (const auto& l : s->lines) {
    if (l.key.empty()) continue;
    if (std::none_of(keys.begin(), keys.end(), [&](const std::string& k) { return SameName(k, l.key); }))
      keys.push_back(l.key);
  }
  return keys;
}

std::vector<std::string> IniFile::sections() const {
  std::vector<std::string> names;
  for (const auto& s : sections_) names.push_back(s.name);
  return names;
}

std::string IniFile::readString(std::string_view section, std::string_view key, std::string_view def) const {
  if (const Section* s = findSection(section))
    for (const auto& l : s->lines)
      if (!l.key.empty() && SameName(l.key, key)) return l.value;
  return std::string(def);
}

int IniFile::readInteger(std::string_view section, std::string_view key, int def) const {
  int v = def;
  return TryStrToInt(readString(section, key, ""), v) ? v : def;
}

double IniFile::readFloat(std::string_view section, std::string_view key, double def) const {
  double v = def;
  return TryStrToFloat(readString(section, key, ""), v) ? v : def;
}

bool IniFile::readBool(std::string_view section, std::string_view key, bool def) const {
  int v = 0;
  return TryStrToInt(readString(section, key, ""), v) ? v != 0 : def;
}

void IniFile::writeString(std::string_view section, std::string_view key, std::string_view value) {
  const std::string k = OneLine(key);
  if (k.empty()) return;  // "=value" would read back as a stray line, not as a key
  Section* s = findSection(section);
  if (!s) {
    // Keep the file's habit: a blank line before every section if it has one between its
    // sections, none otherwise.
    bool separated = false;
    for (std::size_t i = 0; i + 1 < sections_.size(); ++i) {
      const auto& l = sections_[i].lines;
      if (!l.empty() && l.back().key.empty() && IsBlank(l.back().raw)) separated = true;
    }
    if (separated) {
      auto& last = sections_.back().lines;
      if (last.empty() || !last.back().key.empty() || !IsBlank(last.back().raw))
        last.push_back(Line{});
    }
    sections_.push_back(Section{OneLine(section), {}});
    s = &sections_.back();
  }
  for (auto& l : s->lines)
    if (!l.key.empty() && SameName(l.key, k)) {
      l.value = OneLine(value);
      return;
    }
  // New keys go after the section's last key, ahead of the blank lines that part it from
  // the next section.
  auto pos = s->lines.end();
  while (pos != s->lines.begin() && std::prev(pos)->key.empty() && IsBlank(std::prev(pos)->raw)) --pos;
  s->lines.insert(pos, Line{k, OneLine(value), {}});
}

void IniFile::writeInteger(std::string_view section, std::string_view key, long long value) {
  writeString(section, key, IntToStr(value));
}

void IniFile::writeFloat(std::string_view section, std::string_view key, double value) {
  writeString(section, key, FloatToStr(value));
}

void IniFile::writeBool(std::string_view section, std::string_view key, bool value) {
  writeString(section, key, value ? "1" : "0");
}

void IniFile::eraseSection(std::string_view section) {
  sections_.erase(std::remove_if(sections_.begin(), sections_.end(),
                                 [&](const Section& s) { return SameName(s.name, section); }),
                  sections_.end());
}

void IniFile::deleteKey(std::string_view section, std::string_view key) {
  Section* s = findSection(section);
  if (!s) return;
  s->lines.erase(std::remove_if(s->lines.begin(), s->lines.end(),
                                [&](const Line& l) { return !l.key.empty() && SameName(l.key, key); }),
                 s->lines.end());
}

std::string IniFile::text() const {
  std::string out;
  auto emit = [&out](const std::vector<Line>& lines) {
    for (const auto& l : lines) {
      if (l.key.empty())
        out += l.raw;
      else
        out += l.key + "=" + l.value;
      out += "\r\n";
    }
  };
  emit(preamble_);
  for (const auto& s : sections_) {
    out += "[" + s.name + "]\r\n";
    emit(s.lines);
  }
  return out;
}

}  // namespace rv
