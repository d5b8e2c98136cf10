#include "solver/inifile.h"

#include <algorithm>
#include <filesystem>
#include <new>
#include <system_error>

#include "solver/codepage.h"
#include "solver/numtext.h"
#include "solver/textutils.h"

namespace rv {

namespace {


// The lookup form of a section or key name: a name is folded once, when it is looked up
// or stored, never compared against every name of a section.
std::string NameKey(std::string_view name) { return FoldCase(TrimBlanks(name)); }

// A line break inside a name or value would split the line in the file and change what
// is read back.
std::string OneLine(std::string_view s) {
  std::string out(TrimBlanks(s));
  std::replace(out.begin(), out.end(), '\r', ' ');
  std::replace(out.begin(), out.end(), '\n', ' ');
  return out;
}

// A trimmed line "name = value" with a name; comments (";") and anything else are raw.
bool IsKeyLine(std::string_view t) {
  const auto eq = t.find('=');
  return !t.empty() && t.front() != ';' && eq != std::string_view::npos && !TrimBlanks(t.substr(0, eq)).empty();
}

bool AllBlank(std::string_view raw) { return raw.find_first_not_of(" \t\n") == std::string_view::npos; }

// The last of the raw lines held in one entry.
std::string_view LastRawLine(std::string_view raw) {
  const auto nl = raw.rfind('\n');
  return nl == std::string_view::npos ? raw : raw.substr(nl + 1);
}

template <class Line>
void AddRaw(std::vector<Line>& lines, std::string_view raw) {
  if (!lines.empty() && lines.back().key.empty()) {
    lines.back().value += '\n';
    lines.back().value.append(raw);
  } else {
    lines.push_back(Line{{}, std::string(raw), true});
  }
}

}  // namespace

namespace {

std::uint32_t NameHash(std::string_view folded) {
  std::uint64_t h = 14695981039346656037ull;  // FNV-1a, then mixed so every bit counts
  for (const char c : folded) h = (h ^ std::uint8_t(c)) * 1099511628211ull;
  h ^= h >> 29;
  h *= 0xBF58476D1CE4E5B9ull;
  h ^= h >> 32;
  return std::uint32_t(h);
}

}  // namespace

std::size_t IniFile::Section::Find(std::string_view folded, std::uint32_t hash) const {
  // Tables are read and written key after key in file order: the line after the last one
  // found is tried first, which keeps a long section's lookups on neighbouring memory.
  if (hint < lines.size()) {
    const Line& l = lines[hint];
    if (l.first && !l.key.empty() && l.key.size() == folded.size() && NameKey(l.key) == folded)
      return hint++;
  }
  if (slots.empty()) return std::string::npos;
  const std::size_t mask = slots.size() - 1;
  for (std::size_t i = hash >> shift;; i = (i + 1) & mask) {
    const std::uint64_t s = slots[i];
    if (s == 0) return std::string::npos;
    const std::size_t pos = std::size_t(std::uint32_t(s)) - 1;
    if (std::uint32_t(s >> 32) == hash && NameKey(lines[pos].key) == folded) {
      hint = pos + 1;
      return pos;
    }
  }
}

const IniFile::Line* IniFile::Section::Find(std::string_view key) const {
  const std::string folded = NameKey(key);
  const std::size_t pos = Find(folded, NameHash(folded));
  return pos == std::string::npos ? nullptr : &lines[pos];
}

bool IniFile::Section::Place(std::uint64_t entry) {
  const std::uint32_t hash = std::uint32_t(entry >> 32);
  const std::size_t pos = std::size_t(std::uint32_t(entry)) - 1;
  const std::size_t mask = slots.size() - 1;
  std::size_t i = hash >> shift;
  for (; slots[i] != 0; i = (i + 1) & mask) {
    const std::size_t at = std::size_t(std::uint32_t(slots[i])) - 1;
    if (std::uint32_t(slots[i] >> 32) == hash && NameKey(lines[at].key) == NameKey(lines[pos].key)) {
      lines[pos].first = false;
      return false;
    }
  }
  slots[i] = entry;
  lines[pos].first = true;
  ++used;
  return true;
}

void IniFile::Section::Resize(std::size_t keys) {
  // Kept at most three quarters full, so a probe ends soon.
  std::size_t size = 16;
  unsigned bits = 4;
  while (size * 3 < keys * 4) size *= 2, ++bits;
  std::vector<std::uint64_t> old(size, 0);
  old.swap(slots);
  shift = 32 - bits;
  const std::size_t mask = size - 1;
  for (const std::uint64_t e : old)
    if (e != 0) {
      std::size_t i = std::uint32_t(e >> 32) >> shift;
      while (slots[i] != 0) i = (i + 1) & mask;
      slots[i] = e;
    }
}

bool IniFile::Section::Add(std::uint32_t hash, std::size_t pos) {
  if ((used + 1) * 4 > slots.size() * 3) Resize(2 * used + 1);
  return Place((std::uint64_t(hash) << 32) | std::uint64_t(std::uint32_t(pos + 1)));
}

void IniFile::Section::Reindex() {
  // Every key's (hash, position), sorted by hash (a stable radix sort, so equal names keep
  // file order and the first one is placed first). Placed in that order, the table fills
  // from its start to its end instead of at random: a section of a million keys is indexed
  // at the speed of memory, not of cache misses.
  std::vector<std::uint64_t> entries, spare;
  for (std::size_t i = 0; i < lines.size(); ++i)
    if (!lines[i].key.empty())
      entries.push_back((std::uint64_t(NameHash(NameKey(lines[i].key))) << 32) |
                        std::uint64_t(std::uint32_t(i + 1)));
  spare.resize(entries.size());
  for (unsigned byte = 4; byte < 8; ++byte) {
    std::size_t start[257] = {};
    for (const std::uint64_t e : entries) ++start[((e >> (8 * byte)) & 0xFF) + 1];
    for (int b = 0; b < 256; ++b) start[b + 1] += start[b];
    for (const std::uint64_t e : entries) spare[start[(e >> (8 * byte)) & 0xFF]++] = e;
    entries.swap(spare);
  }
  slots.clear();
  used = 0;
  hint = 0;
  Resize(entries.size());
  for (const std::uint64_t e : entries) Place(e);
}

IniFile::Section* IniFile::findSection(std::string_view name) {
  const auto it = sectionIndex_.find(NameKey(name));
  return it == sectionIndex_.end() ? nullptr : &sections_[it->second];
}

const IniFile::Section* IniFile::findSection(std::string_view name) const {
  const auto it = sectionIndex_.find(NameKey(name));
  return it == sectionIndex_.end() ? nullptr : &sections_[it->second];
}

void IniFile::orderSections(const std::vector<std::string>& names) {
  std::vector<Section> ordered;
  ordered.reserve(sections_.size());
  std::vector<bool> taken(sections_.size(), false);
  for (const std::string& n : names) {
    const auto it = sectionIndex_.find(NameKey(n));
    if (it == sectionIndex_.end() || taken[it->second]) continue;
    taken[it->second] = true;
    ordered.push_back(std::move(sections_[it->second]));
  }
  for (std::size_t i = 0; i < sections_.size(); ++i)
    if (!taken[i]) ordered.push_back(std::move(sections_[i]));
  sections_ = std::move(ordered);
  sectionIndex_.clear();
  for (std::size_t i = 0; i < sections_.size(); ++i) sectionIndex_.emplace(NameKey(sections_[i].name), i);
}

IniFile::Section& IniFile::addSection(std::string_view name) {
  sectionIndex_.emplace(NameKey(name), sections_.size());
  sections_.push_back(Section{});
  sections_.back().name = std::string(name);
  return sections_.back();
}

void IniFile::parse(std::string_view text) {
  preamble_.clear();
  sections_.clear();
  sectionIndex_.clear();
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  // A first pass counts the entries of every section (its keys and runs of raw lines), so
  // that a long section's lines are allocated once, not grown step by step.
  {
    std::vector<std::size_t> counts;
    std::size_t section = 0;
    bool inSection = false, afterRaw = false;
    LineReader reader(text);
    for (std::string_view line; reader.Next(line);) {
      const std::string_view t = TrimBlanks(line);
      const auto close = t.find(']');
      if (!t.empty() && t.front() == '[' && close != std::string_view::npos) {
        // Every section is made here, in the file's order; the second pass finds them.
        const std::string_view name = TrimBlanks(t.substr(1, close - 1));
        Section* s = findSection(name);
        if (!s) s = &addSection(name);
        counts.resize(sections_.size());
        section = std::size_t(s - sections_.data());
        inSection = true;
        afterRaw = false;
      } else if (inSection && (IsKeyLine(t) || !afterRaw)) {
        ++counts[section];
        afterRaw = !IsKeyLine(t);
      }
    }
    for (std::size_t i = 0; i < sections_.size(); ++i) sections_[i].lines.reserve(counts[i]);
  }
  std::vector<Line>* target = &preamble_;
  LineReader reader(text);
  for (std::string_view line; reader.Next(line);) {
    const std::string_view t = TrimBlanks(line);
    const auto close = t.find(']');
    if (!t.empty() && t.front() == '[' && close != std::string_view::npos) {
      // A repeated section continues the first one, so every lookup sees all its keys.
      target = &findSection(TrimBlanks(t.substr(1, close - 1)))->lines;
      continue;
    }
    if (IsKeyLine(t)) {
      const auto eq = t.find('=');
      target->push_back(
          Line{std::string(TrimBlanks(t.substr(0, eq))), std::string(TrimBlanks(t.substr(eq + 1))), true});
      continue;
    }
    AddRaw(*target, line);
  }
  for (Section& sec : sections_) sec.Reindex();
}

bool IniFile::load(const std::string& path, std::string* err) {
  path_ = path;
  preamble_.clear();
  sections_.clear();
  sectionIndex_.clear();
  std::error_code ec;
  if (!std::filesystem::exists(path, ec) && !ec) return true;
  try {
    std::string text, e;
    if (!ReadTextFile(path, text, e)) {
      if (err) *err = e;
      return false;
    }
    parse(text);
  } catch (const std::bad_alloc&) {
    preamble_.clear();
    sections_.clear();
    sectionIndex_.clear();
    if (err) *err = NoMemoryMessage(path);
    return false;
  }
  return true;
}

bool IniFile::save(std::string* err) {
  if (path_.empty()) {
    if (err) *err = "Не задано имя файла настроек";
    return false;
  }
  std::string e;
  if (!WriteTextFile(path_, text(), e)) {
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
  return s && s->Find(key);
}

std::vector<std::string> IniFile::readSection(std::string_view section) const {
  std::vector<std::string> keys;
  const Section* s = findSection(section);
  if (!s) return keys;
  for (std::size_t i = 0; i < s->lines.size(); ++i) {
    const Line& l = s->lines[i];
    if (l.key.empty()) continue;
    const std::string folded = NameKey(l.key);
    if (s->Find(folded, NameHash(folded)) == i) keys.push_back(l.key);
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
    if (const Line* l = s->Find(key)) return l->value;
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
      if (!l.empty() && l.back().key.empty() && AllBlank(LastRawLine(l.back().value))) separated = true;
    }
    if (separated) {
      auto& last = sections_.back().lines;
      if (last.empty() || !last.back().key.empty() || !AllBlank(LastRawLine(last.back().value)))
        AddRaw(last, "");
    }
    s = &addSection(OneLine(section));
  }
  const std::string folded = NameKey(k);
  const std::uint32_t hash = NameHash(folded);
  if (const std::size_t at = s->Find(folded, hash); at != std::string::npos) {
    s->lines[at].value = OneLine(value);
    return;
  }
  // New keys go after the section's last key, ahead of the blank lines that part it from
  // the next section. Only blank lines follow the place, so no index moves.
  auto& lines = s->lines;
  std::size_t pos = lines.size();
  while (pos > 0 && lines[pos - 1].key.empty() && AllBlank(lines[pos - 1].value)) --pos;
  if (pos > 0 && lines[pos - 1].key.empty()) {
    // Raw lines ending in blank ones: the blank ones go after the new key.
    const std::string& raw = lines[pos - 1].value;
    const std::size_t end = raw.find('\n', raw.find_last_not_of(" \t\n"));
    if (end != std::string::npos) {
      std::string tail = raw.substr(end + 1);
      lines[pos - 1].value.resize(end);
      lines.insert(lines.begin() + std::ptrdiff_t(pos), Line{{}, std::move(tail), true});
    }
  }
  lines.insert(lines.begin() + std::ptrdiff_t(pos), Line{k, OneLine(value), true});
  s->Add(hash, pos);
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
  const std::string name = NameKey(section);
  sections_.erase(std::remove_if(sections_.begin(), sections_.end(),
                                 [&](const Section& s) { return NameKey(s.name) == name; }),
                  sections_.end());
  sectionIndex_.clear();
  for (std::size_t i = 0; i < sections_.size(); ++i) sectionIndex_.emplace(NameKey(sections_[i].name), i);
}

void IniFile::deleteKey(std::string_view section, std::string_view key) {
  Section* s = findSection(section);
  if (!s || !s->Find(key)) return;
  const std::string name = NameKey(key);
  std::vector<Line> kept;
  for (Line& l : s->lines) {
    if (!l.key.empty() && NameKey(l.key) == name) continue;
    if (l.key.empty())
      AddRaw(kept, l.value);  // raw lines that now meet are held as one
    else
      kept.push_back(std::move(l));
  }
  s->lines = std::move(kept);
  s->Reindex();
}

std::string IniFile::text() const {
  std::string out;
  auto emit = [&out](const std::vector<Line>& lines) {
    for (const auto& l : lines) {
      if (l.key.empty()) {
        for (const char c : l.value) {
          if (c == '\n') out += '\r';
          out += c;
        }
      } else {
        out += l.key;
        out += '=';
        out += l.value;
      }
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
