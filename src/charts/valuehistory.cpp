#include "charts/valuehistory.h"

#include <algorithm>
#include <new>

#include "solver/codepage.h"
#include "solver/numtext.h"

namespace rv {

namespace {
std::string Trimmed(std::string_view s) {
  std::size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
  return std::string(s.substr(b, e - b));
}
}  // namespace

bool ParseValueText(const std::string& text, double& v) { return TryStrToFloat(text, v); }

void ValueHistory::Load(const std::string& path) {
  items_.clear();
  try {
    std::string text, err;
    if (!ReadTextFile(path, text, err)) return;
    LineReader lines(text);
    double v = 0;
    for (std::string_view l; lines.Next(l);)
      if (TryStrToFloat(l, v)) items_.push_back(Trimmed(l));
  } catch (const std::bad_alloc&) {
    items_.clear();  // a history too large to hold is no history
  }
}

bool ValueHistory::Save(const std::string& path, std::string& err) const {
  std::vector<std::string> out(items_.begin(),
                               items_.begin() + std::min<std::ptrdiff_t>(MaxSaved, std::ptrdiff_t(items_.size())));
  return WriteTextLines(path, out, err);
}

bool ValueHistory::Add(const std::string& text) {
  double v = 0;
  if (!ParseValueText(text, v)) return false;
  const std::string t = Trimmed(text);
  if (std::find(items_.begin(), items_.end(), t) != items_.end()) return false;
  items_.insert(items_.begin(), t);
  return true;
}

std::string ValueHistory::FirstOrZero() const { return items_.empty() ? "0" : items_.front(); }

char FilterValueKey(const std::string& text, char key) {
  if ((key >= '0' && key <= '9') || key == '-' || key == 'e' || key == 'E' || key == '\b') return key;
  if (key == '.' || key == ',') return text.find('.') == std::string::npos ? '.' : 0;
  return 0;
}

}  // namespace rv
