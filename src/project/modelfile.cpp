#include "project/modelfile.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

#include "solver/numtext.h"

namespace rv {

namespace {

void PutLE(std::vector<unsigned char>& buf, int32_t v) {
  const uint32_t u = uint32_t(v);
  buf.push_back(u & 0xFF); buf.push_back((u >> 8) & 0xFF);
  buf.push_back((u >> 16) & 0xFF); buf.push_back((u >> 24) & 0xFF);
}

int32_t GetLE(const unsigned char* p) {
  return int32_t(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24);
}

// CRC-32 (the reflected 0xEDB88320 polynomial of zip and PNG), kept running as ~crc.
const std::array<uint32_t, 256> CrcTable = [] {
  std::array<uint32_t, 256> t{};
  for (uint32_t n = 0; n < 256; ++n) {
    uint32_t c = n;
    for (int b = 0; b < 8; ++b) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    t[n] = c;
  }
  return t;
}();

class StampBuilder {
public:
  void Add(const unsigned char* p, size_t n) {
    for (size_t i = 0; i < n; ++i) crc_ = CrcTable[(crc_ ^ p[i]) & 0xFF] ^ (crc_ >> 8);
    size_ += n;
  }
  ModelFileStamp Stamp() const { return {size_, ~crc_}; }

private:
  uint32_t crc_ = 0xFFFFFFFFu;
  uint64_t size_ = 0;
};

// Records are numbered from 1, offsets in bytes from the start of the file.
std::string Where(int64_t record) {
  return "записи " + IntToStr(record) + " (смещение " + IntToStr((record - 1) * 4) + ")";
}

// Past this the cell counts of a hostile file stop growing (no overflow, still "more").
constexpr int64_t CellCountCap = int64_t(1) << 62;

std::string Counts(const ModelFileCheck& c, bool done) {
  // One text for the question (what would happen) and the journal (what happened).
  auto item = [&](const char* did, const char* will, const std::string& n) {
    return std::string("; ") + (done ? did : will) + ": " + n;
  };
  std::string s = std::string("Ячеек сетки ") + (done ? "прочитано" : "будет прочитано") + ": " +
                  IntToStr(c.Read) + " из " + IntToStr(c.Need);
  if (c.Empty > 0) s += item("оставлены пустыми", "останутся пустыми", IntToStr(c.Empty));
  if (c.Shifted > 0)
    s += item("могли оказаться сдвинутыми", "могут оказаться сдвинутыми",
              "до " + IntToStr(c.Shifted) + " (где в файле лишние ячейки, по нему не видно)");
  if (c.Dropped > 0)
    s += item("отброшены последние ячейки файла", "будут отброшены последние ячейки файла", IntToStr(c.Dropped));
  return s + ".";
}

std::string Faults(const std::string& path, const ModelFileCheck& c) {
  std::string s = "Файл модели " + path + " ";
  for (size_t i = 0; i < c.Faults.size(); ++i) s += (i ? "; " : "") + c.Faults[i];
  return s + "." + (c.Copies.empty() ? "" : " " + c.Copies + ".");
}

std::string CrcText(uint32_t crc) {
  static const char digits[] = "0123456789ABCDEF";
  std::string s(8, '0');
  for (int i = 7; i >= 0; --i, crc >>= 4) s[size_t(i)] = digits[crc & 0xF];
  return s;
}

}  // namespace

std::string StampText(const ModelFileStamp& s) { return IntToStr((long long)s.Size) + " " + CrcText(s.Crc); }

bool ParseStamp(const std::string& text, ModelFileStamp& s) {
  const size_t blank = text.find(' ');
  if (blank == std::string::npos || text.size() - blank - 1 != 8) return false;
  long long size = 0;
  if (!TryStrToInt64(text.substr(0, blank), size) || size < 0) return false;
  uint32_t crc = 0;
  for (size_t i = blank + 1; i < text.size(); ++i) {
    const char ch = text[i];
    const int d = ch >= '0' && ch <= '9' ? ch - '0'
                : ch >= 'A' && ch <= 'F' ? ch - 'A' + 10
                : ch >= 'a' && ch <= 'f' ? ch - 'a' + 10 : -1;
    if (d < 0) return false;
    crc = crc << 4 | uint32_t(d);
  }
  s = {uint64_t(size), crc};
  return true;
}

bool FileStamp(const std::string& path, ModelFileStamp& s) {
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!f) return false;
  StampBuilder sb;
  std::vector<unsigned char> buf(1 << 16);
  for (size_t got; (got = std::fread(buf.data(), 1, buf.size(), f.get())) > 0;) sb.Add(buf.data(), got);
  if (std::ferror(f.get())) return false;
  s = sb.Stamp();
  return true;
}

bool ModelFileFullLayout(const std::string& fileFormat) { return fileFormat.compare("5") >= 0; }

bool WriteModel(PendingFile& f, const tSpace& space, int nx, int ny, int nz, std::string& err,
                ModelFileStamp* stamp) {
  if (nx < 1 || ny < 1 || nz < 1) {
    err = "Неверный размер сетки для записи файла модели " + f.Target();
    return false;
  }
  std::vector<unsigned char> buf;
  buf.reserve(1 << 16);
  StampBuilder sb;
  auto flush = [&] {
    sb.Add(buf.data(), buf.size());
    f.Write(std::string_view(reinterpret_cast<const char*>(buf.data()), buf.size()));
    buf.clear();
  };
  int cur = space.at(1, 1, 1);
  int64_t count = 0;
  for (int k = 1; k <= nz; ++k)
    for (int j = 1; j <= ny; ++j)
      for (int i = 1; i <= nx; ++i) {
        const int v = space.at(i, j, k);
        // A run never exceeds the 32-bit count field.
        if (v == cur && count < INT32_MAX) {
          ++count;
        } else {
          PutLE(buf, cur); PutLE(buf, int32_t(count));
          cur = v; count = 1;
          if (buf.size() >= (1 << 16)) flush();
        }
      }
  PutLE(buf, cur); PutLE(buf, int32_t(count));
  flush();
  if (stamp) *stamp = sb.Stamp();
  return true;
}

bool WriteModelFile(const std::string& path, const tSpace& space, int nx, int ny, int nz,
                    std::string& err) {
  PendingFile f;
  return f.Open(path, err) && WriteModel(f, space, nx, ny, nz, err) && f.Finish(err) &&
         CommitFiles({&f}, err);
}

int64_t ModelFileLayoutCells(const std::string& fileFormat, int nx, int ny, int nz) {
  const int d = ModelFileFullLayout(fileFormat) ? 0 : 1;
  return int64_t(std::max(0, nx - d)) * std::max(0, ny - d) * std::max(0, nz - d);
}

ModelFileCheck ReadModelFile(const std::string& path, const std::string& fileFormat, int nx,
                             int ny, int nz, int zLimit, tSpace& space,
                             const std::function<void(int)>& progress) {
  ModelFileCheck c;
  const bool full = ModelFileFullLayout(fileFormat);
  c.Need = ModelFileLayoutCells(fileFormat, nx, ny, nz);
  c.Empty = c.Need;
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    if (errno != ENOENT) {
      c.Faults.push_back("не открывается");
      return c;
    }
    // A save killed between its renames on a disk without hard links leaves the file
    // missing and its copies beside it.
    const std::string left = LeftoversNote(path);
    c.Faults.push_back(left.empty() ? "не найден" : "не найден; " + left);
    return c;
  }
  if (!S_ISREG(st.st_mode)) {
    c.Faults.push_back("не открывается: это не файл");
    return c;
  }
  // Closed however the reading ends, running out of memory included.
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
  std::FILE* f = file.get();
  if (!f) {
    c.Faults.push_back(errno == EACCES ? "не открывается: нет прав на чтение" : "не открывается");
    return c;
  }
  c.Opened = true;

  const int lastX = full ? nx : nx - 1, lastY = full ? ny : ny - 1, lastZ = full ? nz : nz - 1;
  const int stopZ = full ? zLimit : zLimit - 1;  // the last plane the window's grid shows
  // Writes stay inside the model's own extents whatever the file or the grid says.
  const int maxX = space.len1() - 1, maxY = space.len2() - 1, maxZ = space.len3() - 1;
  int i = 1, j = 1, k = 1;
  StampBuilder sb;
  unsigned char rec[8];
  int64_t pos = 0;         // cells of the runs read so far, in scan order
  int64_t pairs = 0;       // whole pairs read before a bad length
  int64_t firstRun = 0;
  bool firstRunEmpty = false;  // its material is outside the format
  int64_t badMaterialRuns = 0, badMaterialCells = 0, firstBadPair = 0;
  int32_t firstBadMaterial = 0;
  bool badLength = false;  // the runs after it are only stamped
  int64_t fillPair = -1;   // the pair holding the layout's last cell
  bool fillExact = false;  // ... as its last cell
  size_t tail = 0;         // bytes of a pair the file ends inside
  for (;;) {
    const size_t got = std::fread(rec, 1, 8, f);
    sb.Add(rec, got);
    if (got < 8) {
      tail = got;
      break;
    }
    if (badLength) continue;
    const int32_t v = GetLE(rec), count = GetLE(rec + 4);
    if (count < 1) {
      badLength = true;
      c.Faults.push_back("повреждён: в " + Where(2 * pairs + 2) + " неверная длина серии " +
                         IntToStr(count) + ", дальше файл не читается");
      continue;
    }
    const bool badMaterial = v < 0 || v > 254;
    if (pairs == 0) firstRun = count, firstRunEmpty = badMaterial;
    // The part of this run that falls inside the layout.
    const int64_t inside = std::clamp<int64_t>(c.Need - pos, 0, count);
    if (badMaterial) {
      if (badMaterialRuns++ == 0) firstBadPair = pairs, firstBadMaterial = v;
      badMaterialCells += inside;
    }
    if (pos < c.Need && pos + count >= c.Need) fillPair = pairs, fillExact = pos + count == c.Need;
    const uint8_t m = badMaterial ? 0 : uint8_t(v);
    for (int64_t n = inside; n > 0; --n) {
      if (i <= maxX && j <= maxY && k <= maxZ && k <= stopZ) space(i, j, k) = m;
      if (++i > lastX) {
        i = 1;
        if (++j > lastY) {
          j = 1;
          ++k;
          // k * 100 / (nz + 1) rounded half up, as the caption shows it with no decimals.
          if (progress) progress(int((int64_t(k) * 200 + int64_t(nz) + 1) / (2 * (int64_t(nz) + 1))));
        }
      }
    }
    pos = std::min(pos + count, CellCountCap);
    ++pairs;
  }
  const bool readError = std::ferror(f) != 0;
  c.Stamp = sb.Stamp();

  if (badMaterialRuns > 0)
    c.Faults.insert(c.Faults.begin(),
                    "содержит в " + Where(2 * firstBadPair + 1) + " номер материала " +
                        IntToStr(firstBadMaterial) + " вне пределов от 0 до 254" +
                        (badMaterialRuns > 1 ? " (всего таких серий: " + IntToStr(badMaterialRuns) + ")" : ""));
  const std::string layout =
      "сетке " + IntToStr(lastX) + " x " + IntToStr(lastY) + " x " + IntToStr(lastZ) +
      (full ? "" : " (файл старого формата)");
  const std::string mismatch = "не соответствует сетке проекта: в нем " + IntToStr(pos) +
                               " ячеек, а " + layout + " нужно " + IntToStr(c.Need);
  if (readError) {
    c.Faults.push_back("не читается дальше смещения " + IntToStr((long long)c.Stamp.Size) +
                       " (ошибка чтения)");
  } else if (!badLength) {
    const std::string pairAt = "пары записей " + IntToStr(2 * pairs + 1) + "–" + IntToStr(2 * pairs + 2) +
                               " (смещение " + IntToStr(8 * pairs) + ")";
    if (tail > 0 && pos == c.Need)
      c.Faults.push_back("после полной модели (серии покрывают все ячейки сетки) содержит лишние байты со "
                         "смещения " + IntToStr(8 * pairs) + " (их " + IntToStr((long long)tail) +
                         ", меньше пары записей)");
    else if (tail > 0)
      c.Faults.push_back("обрывается на середине " + pairAt + ": в ней только " + IntToStr((long long)tail) +
                         " из 8 байт");
    if (pos < c.Need && tail == 0) c.Faults.push_back(mismatch);
    if (pos > c.Need) {
      const std::string fill = Where(2 * fillPair + 2);
      c.Faults.push_back(mismatch + "; сетка " +
                         (fillExact ? "заполнена ровно к концу " + fill + ", после нее пар записей: еще " +
                                          IntToStr(pairs - fillPair - 1)
                                    : "заполняется на середине серии " + fill));
    }
  }

  c.Damaged = readError || badLength || badMaterialRuns > 0 || tail > 0;
  c.InFile = pos;
  c.Read = std::min(pos, c.Need) - badMaterialCells;
  c.Empty = c.Need - c.Read;
  if (pos > c.Need) {
    // The extra cells may lie in any run. The first run's first cells up to its surplus
    // are right whatever the file was meant to hold; past them, any cell read may be
    // shifted (cells left empty for a material outside the format are not read).
    c.Dropped = pos - c.Need;
    const int64_t sure = std::max<int64_t>(1, std::min(firstRun - c.Dropped, c.Need));
    c.Shifted = std::max<int64_t>(0, c.Need - sure - (badMaterialCells - (firstRunEmpty ? sure : 0)));
  }
  return c;
}

std::string ModelFileQuestion(const std::string& path, const ModelFileCheck& c,
                              const std::string& projectFaults, const std::string& ask) {
  std::string q = projectFaults.empty() ? "" : projectFaults + "\n";
  if (!c.Exact()) q += Faults(path, c) + "\n" + Counts(c, false) + "\n";
  q += !ask.empty() ? ask : c.Opened ? "Загрузить то, что в нем есть?" : "Загрузить проект с пустой моделью?";
  return q + "\n«Нет» — проект не загружается, открытый остается как был.";
}

std::string ModelFileNote(const std::string& path, const ModelFileCheck& c) {
  return Faults(path, c) + " " + Counts(c, true);
}

std::string StampFault(const ModelFileStamp& file, const ModelFileStamp& saved) {
  return "не тот, с которым сохранен проект: в нем " + IntToStr((long long)file.Size) +
         " байт, контрольная сумма " + CrcText(file.Crc) + ", а проект сохранен с файлом в " +
         IntToStr((long long)saved.Size) + " байт, контрольная сумма " + CrcText(saved.Crc) +
         " (так бывает, когда сохранение прервано)";
}

}  // namespace rv
