#include "solver/codepage.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <utility>

#include <sys/stat.h>

#include "solver/pendingfile.h"

namespace rv {

namespace {

// Bytes 0x80..0xFF of Windows Cyrillic.
constexpr std::array<char16_t, 128> kCp1251 = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,  // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0xFFFD, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,  // 98 (0x98 unassigned)
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,  // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,  // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,  // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,  // B8
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,  // C0 А..
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F,
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427,
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,  // E0 а..
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F,
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,
};

// Bytes 0x80..0xFF of DOS Cyrillic.
constexpr std::array<char16_t, 128> kCp866 = {
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,  // 80 А..
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F,
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427,
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,  // A0 а..п
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556,  // B0 box drawing
    0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510,
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,  // C0
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567,
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B,  // D0
    0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,  // E0 р..я
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,
    0x0401, 0x0451, 0x0404, 0x0454, 0x0407, 0x0457, 0x040E, 0x045E,  // F0
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x2116, 0x00A4, 0x25A0, 0x00A0,
};

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

// Decodes one character at s[i] and advances i. Overlong forms, surrogates, values
// past U+10FFFF and cut-off sequences are malformed: then i moves by one byte only, so
// the caller can deal with the bad byte and go on with the next.
bool DecodeUtf8(std::string_view s, std::size_t& i, char32_t& cp) {
  const auto c = static_cast<unsigned char>(s[i]);
  if (c < 0x80) {
    cp = c;
    ++i;
    return true;
  }
  std::size_t len = 0;
  char32_t min = 0;
  if (c >= 0xC2 && c <= 0xDF) {
    len = 2; cp = c & 0x1F; min = 0x80;
  } else if (c >= 0xE0 && c <= 0xEF) {
    len = 3; cp = c & 0x0F; min = 0x800;
  } else if (c >= 0xF0 && c <= 0xF4) {
    len = 4; cp = c & 0x07; min = 0x10000;
  } else {
    ++i;
    return false;
  }
  if (s.size() - i < len) {
    ++i;
    return false;
  }
  for (std::size_t j = 1; j < len; ++j) {
    const auto b = static_cast<unsigned char>(s[i + j]);
    if ((b & 0xC0) != 0x80) {
      ++i;
      return false;
    }
    cp = (cp << 6) | (b & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    ++i;
    return false;
  }
  i += len;
  return true;
}

std::string SingleByteToUtf8(std::string_view bytes, const std::array<char16_t, 128>& table) {
  std::string out;
  out.reserve(bytes.size() * 2);
  for (char ch : bytes) {
    const auto b = static_cast<unsigned char>(ch);
    AppendUtf8(out, b < 0x80 ? char32_t{b} : char32_t{table[b - 0x80]});
  }
  return out;
}

// Unicode -> cp1251 byte for the high half, sorted by code point.
const std::array<std::pair<char16_t, unsigned char>, 127>& Cp1251Reverse() {
  static const auto table = [] {
    std::array<std::pair<char16_t, unsigned char>, 127> r{};
    std::size_t n = 0;
    for (std::size_t b = 0; b < 128; ++b)
      if (b != 0x18)  // 0x98 stands for U+FFFD only on the way in
        r[n++] = {kCp1251[b], static_cast<unsigned char>(0x80 + b)};
    std::sort(r.begin(), r.end());
    return r;
  }();
  return table;
}

bool HasUtf8Bom(std::string_view s) { return s.size() >= 3 && s.substr(0, 3) == "\xEF\xBB\xBF"; }

// A file converted to UTF-8 without the mark: its bytes above 127 all form valid UTF-8
// sequences (no overlong forms, no surrogates). Cyrillic cp1251 text almost never does:
// a capital letter would have to be followed by punctuation bytes every time, and a small
// letter by two of them.
bool LooksUtf8(std::string_view s) {
  bool wide = false;
  for (size_t i = 0; i < s.size();) {
    const auto b = uint8_t(s[i]);
    if (b < 0x80) {
      ++i;
      continue;
    }
    const size_t n = b >= 0xC2 && b <= 0xDF ? 2 : b >= 0xE0 && b <= 0xEF ? 3 : b >= 0xF0 && b <= 0xF4 ? 4 : 0;
    if (n == 0 || i + n > s.size()) return false;
    for (size_t k = 1; k < n; ++k)
      if ((uint8_t(s[i + k]) & 0xC0) != 0x80) return false;
    const auto b1 = uint8_t(s[i + 1]);
    if ((b == 0xE0 && b1 < 0xA0) || (b == 0xED && b1 >= 0xA0) || (b == 0xF0 && b1 < 0x90) ||
        (b == 0xF4 && b1 >= 0x90))
      return false;
    wide = true;
    i += n;
  }
  return wide;
}

bool ReadWholeFile(const std::string& path, std::string& data, std::string& err) {
  data.clear();
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) {
    err = "Не удалось открыть файл " + path;
    return false;
  }
  // Sized once from the file's length, so reading never holds two copies while growing.
  struct stat st {};
  if (::fstat(fileno(f), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0)
    data.reserve(std::size_t(st.st_size));
  char buf[65536];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) data.append(buf, n);
  const bool failed = std::ferror(f) != 0;
  std::fclose(f);
  if (failed) {
    err = "Ошибка чтения файла " + path;
    data.clear();
    return false;
  }
  return true;
}

}  // namespace

std::string Cp1251ToUtf8(std::string_view bytes) { return SingleByteToUtf8(bytes, kCp1251); }

std::string Cp866ToUtf8(std::string_view bytes) { return SingleByteToUtf8(bytes, kCp866); }

std::string Utf8ToCp1251(std::string_view utf8) {
  const auto& rev = Cp1251Reverse();
  std::string out;
  out.reserve(utf8.size());
  std::size_t i = 0;
  while (i < utf8.size()) {
    char32_t cp;
    if (!DecodeUtf8(utf8, i, cp)) {
      out.push_back('?');
    } else if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else {
      auto it = cp > 0xFFFF ? rev.end()
                            : std::lower_bound(rev.begin(), rev.end(), static_cast<char16_t>(cp),
                                               [](const auto& e, char16_t c) { return e.first < c; });
      out.push_back(it != rev.end() && it->first == cp ? static_cast<char>(it->second) : '?');
    }
  }
  return out;
}

std::string DosToWin(std::string_view bytes) {
  for (char ch : bytes)
    if (static_cast<unsigned char>(ch) >= 192) return std::string(bytes);
  std::string out;
  out.reserve(bytes.size());
  for (char ch : bytes) {
    const auto b = static_cast<unsigned char>(ch);
    if (b < 128)
      out.push_back(ch);
    else if (b <= 175)
      out.push_back(static_cast<char>(b + 64));
  }
  return out;
}

std::string FoldCase(std::string_view utf8) {
  std::string out;
  if (std::all_of(utf8.begin(), utf8.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
    out.assign(utf8);  // the usual name: ASCII only, folded without decoding
    for (char& c : out)
      if (c >= 'A' && c <= 'Z') c = char(c + 0x20);
    return out;
  }
  out.reserve(utf8.size());
  std::size_t i = 0;
  while (i < utf8.size()) {
    const std::size_t start = i;
    char32_t cp;
    if (!DecodeUtf8(utf8, i, cp)) {
      out.append(utf8.substr(start, i - start));  // a bad byte is kept as it is
      continue;
    }
    if (cp >= 'A' && cp <= 'Z')
      cp += 0x20;
    else if (cp >= 0x0410 && cp <= 0x042F)  // А..Я
      cp += 0x20;
    else if (cp >= 0x0400 && cp <= 0x040F)  // Ѐ Ё Ђ Ѓ Є Ѕ І Ї Ј Љ Њ Ћ Ќ Ѝ Ў Џ
      cp += 0x50;
    else if (cp == 0x0490)  // Ґ
      cp = 0x0491;
    AppendUtf8(out, cp);
  }
  return out;
}

bool LineReader::Next(std::string_view& line) {
  if (rest_.empty()) return false;
  std::size_t end = rest_.find_first_of("\r\n");
  std::size_t next = rest_.size();
  if (end == std::string_view::npos) {
    end = rest_.size();
  } else if (rest_[end] == '\r') {
    // CR CR LF is what a CR LF file becomes through a copy that adds a CR before every LF;
    // a CR with no LF after its run ends a line by itself (old Mac files).
    const std::size_t lf = rest_.find_first_not_of('\r', end);
    next = lf != std::string_view::npos && rest_[lf] == '\n' ? lf + 1 : end + 1;
  } else {
    next = end + 1;
    // A file whose first line ends in LF CR (some old converters) has that mark at every
    // line's end: its CR begins no empty line of its own.
    if (lfcr_ < 0) lfcr_ = next < rest_.size() && rest_[next] == '\r' && (end == 0 || rest_[end - 1] != '\r');
    if (lfcr_ && next < rest_.size() && rest_[next] == '\r') ++next;
  }
  line = rest_.substr(0, end);
  rest_.remove_prefix(next);
  ++number_;
  return true;
}

bool ReadTextFile(const std::string& path, std::string& text, std::string& err) {
  text.clear();
  std::string data;
  if (!ReadWholeFile(path, data, err)) return false;
  if (HasUtf8Bom(data)) {
    data.erase(0, 3);
    text = std::move(data);
  } else if (LooksUtf8(data)) {
    text = std::move(data);
  } else {
    text = Cp1251ToUtf8(data);
  }
  return true;
}

bool ReadRawText(const std::string& path, std::string& bytes, std::string& err, bool* utf8Mark) {
  bytes.clear();
  std::string data;
  if (!ReadWholeFile(path, data, err)) return false;
  if (utf8Mark) *utf8Mark = HasUtf8Bom(data);
  if (HasUtf8Bom(data))
    bytes = Utf8ToCp1251(std::string_view(data).substr(3));
  else if (LooksUtf8(data))
    bytes = Utf8ToCp1251(data);
  else
    bytes = std::move(data);
  return true;
}

std::string NoMemoryMessage(const std::string& path) {
  return "Не хватает памяти для чтения файла " + path;
}

bool ReadTextLines(const std::string& path, std::vector<std::string>& lines, std::string& err) {
  lines.clear();
  std::string text;
  if (!ReadTextFile(path, text, err)) return false;
  LineReader r(text);
  for (std::string_view line; r.Next(line);) lines.emplace_back(line);
  return true;
}

std::string EncodeText(std::string_view utf8) {
  std::string bytes = Utf8ToCp1251(utf8);
  // Only a text cp1251 holds whole stays in it (what older versions read); any other is
  // written as UTF-8 with its mark, which every reader here takes, so nothing typed is lost.
  if (Cp1251ToUtf8(bytes) == utf8) return bytes;
  return "\xEF\xBB\xBF" + std::string(utf8);
}

std::string EncodeLines(const std::vector<std::string>& lines) {
  std::string out;
  for (const auto& line : lines) {
    out += line;
    out += "\r\n";
  }
  return EncodeText(out);
}

bool WriteTextLines(const std::string& path, const std::vector<std::string>& lines, std::string& err) {
  return WriteWholeFile(path, EncodeLines(lines), err);
}

bool WriteTextFile(const std::string& path, std::string_view text, std::string& err) {
  return WriteWholeFile(path, EncodeText(text), err);
}

TextFileWriter::~TextFileWriter() {
  if (f_) std::fclose(f_);
}

bool TextFileWriter::open(const std::string& path, bool append) {
  if (f_) close();
  path_ = path;
  ok_ = true;
  err_.clear();
  f_ = std::fopen(path.c_str(), append ? "ab" : "wb");
  if (!f_) {
    ok_ = false;
    err_ = "Не удалось открыть файл " + path;
  }
  return ok_;
}

void TextFileWriter::write(std::string_view utf8) {
  if (!f_) {
    if (ok_) {
      ok_ = false;
      err_ = "Файл не открыт для записи";
    }
    return;
  }
  const std::string bytes = Utf8ToCp1251(utf8);
  // A line flushed at its end reports a full disk through the stream's error flag only.
  if ((std::fwrite(bytes.data(), 1, bytes.size(), f_) != bytes.size() || std::ferror(f_)) && ok_) {
    ok_ = false;
    err_ = "Ошибка записи в файл " + path_;
  }
}

void TextFileWriter::writeLine(std::string_view utf8) {
  write(utf8);
  write("\r\n");
}

void TextFileWriter::flushEachLine() {
  if (f_) std::setvbuf(f_, nullptr, _IOLBF, BUFSIZ);
}

bool TextFileWriter::close() {
  if (!f_) return ok_;
  const bool flushed = std::fflush(f_) == 0 && !std::ferror(f_);
  const bool closed = std::fclose(f_) == 0;
  f_ = nullptr;
  if ((!flushed || !closed) && ok_) {
    ok_ = false;
    err_ = "Ошибка записи в файл " + path_;
  }
  return ok_;
}

}  // namespace rv
