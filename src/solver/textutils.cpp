#include "solver/textutils.h"

namespace rv {

int WordCount(std::string_view s) {
  const auto first = s.find_first_not_of(' ');
  if (first == std::string_view::npos) return 0;
  int n = 1;
  for (std::size_t i = first + 1; i < s.size(); ++i)
    if (s[i] == ' ' && s[i - 1] != ' ') ++n;
  if (s.back() == ' ') --n;
  return n;
}

std::string GetWord(std::string_view s, int n) {
  if (n < 1 || s.empty()) return std::string(s);
  std::string_view rest = s;
  for (int i = 1;; ++i) {
    const auto blank = rest.find(' ');
    if (blank == std::string_view::npos) return i == n ? std::string(rest) : std::string();
    if (i == n) return std::string(rest.substr(0, blank));
    rest.remove_prefix(blank + 1);
  }
}

std::string NormalizeBlanks(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (char c : s) {
    if (c == '\t') c = ' ';
    if (c != ' ' || (!out.empty() && out.back() != ' ')) out.push_back(c);
  }
  if (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

std::string TextPiece(std::string_view s) {
  constexpr std::size_t kMax = 60;
  if (s.size() <= kMax) return std::string(s);
  std::size_t n = kMax;
  while (n > 0 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80) --n;
  return std::string(s.substr(0, n)) + "…";
}

std::string CopyText(std::string_view s) { return std::string(s); }

std::string_view TrimBlanks(std::string_view s) {
  const auto b = s.find_first_not_of(" \t");
  if (b == std::string_view::npos) return {};
  return s.substr(b, s.find_last_not_of(" \t") - b + 1);
}

}  // namespace rv
