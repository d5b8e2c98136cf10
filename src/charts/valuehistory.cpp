#include "charts/valuehistory.h"

#include <algorithm>

#include "solver/codepage.h"
#include "solver/numtext.h"

namespace rv {

namespace {
std::string Trimmed(const std::string& s) {
  std::size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
  return s.substr(b, e - b);
}
}  // namespace

bool ParseValueText(const std::string& text, double& v) { return TryStrToFloat(text, v); }

void ValueHistory::Load(const std::string& path) {
  items_.clear();
  std::vector<std::string> lines;
  std::string err;
  if (!ReadTextLines(path, lines, err)) return;
  double v = 0;
  for (const std::string& l : lines)
    if (ParseValueText(l, v)) items_.push_back(Trimmed(l));
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
