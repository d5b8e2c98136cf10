#include "project/modelfile.h"

#include <cstdint>
#include <algorithm>
#include <cstdio>
#include <vector>

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

}  // namespace

bool ModelFileFullLayout(const std::string& fileFormat) { return fileFormat.compare("5") >= 0; }

bool WriteModel(PendingFile& f, const tSpace& space, int nx, int ny, int nz, std::string& err) {
  if (nx < 1 || ny < 1 || nz < 1) {
    err = "Неверный размер сетки для записи файла модели " + f.Target();
    return false;
  }
  std::vector<unsigned char> buf;
  buf.reserve(1 << 16);
  auto flush = [&] {
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

bool ReadModelFile(const std::string& path, const std::string& fileFormat, int nx, int ny,
                   int nz, int zLimit, tSpace& space, std::string& err,
                   const std::function<void(int)>& progress, int64_t* fileCells) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) {
    err = "Не удалось открыть файл " + path;
    return false;
  }
  const bool full = ModelFileFullLayout(fileFormat);
  const int lastX = full ? nx : nx - 1, lastY = full ? ny : ny - 1, lastZ = full ? nz : nz - 1;
  // Writes stay inside the model's own extents whatever the file or the grid says.
  const int maxX = space.len1() - 1, maxY = space.len2() - 1, maxZ = space.len3() - 1;
  int i = 1, j = 1, k = 1;
  bool ok = true;
  unsigned char rec[8];
  int64_t total = 0;  // cells the file's runs add up to, those past the grid included
  auto done = [&] { return lastX < 1 || lastY < 1 || k > lastZ || (full ? k > zLimit : k >= zLimit); };
  for (;;) {
    if (!fileCells && done()) break;
    const size_t got = std::fread(rec, 1, 8, f);
    if (got == 0) break;  // the file ended: the rest of the model stays empty
    if (got < 8) {
      err = "Файл модели " + path + " обрывается на середине записи";
      ok = false;
      break;
    }
    const int32_t v = GetLE(rec), count0 = GetLE(rec + 4);
    if (count0 < 1) {
      err = "Файл модели " + path + " повреждён: неверная длина серии " + std::to_string(count0);
      ok = false;
      break;
    }
    total += count0;
    // Past the grid the runs are only counted, so the caller can tell what was dropped.
    if (done()) continue;
    const uint8_t m = (v >= 0 && v <= 254) ? uint8_t(v) : 0;
    int64_t count = count0;
    while (count > 0 && k <= lastZ) {
      if (i <= maxX && j <= maxY && k <= maxZ) space(i, j, k) = m;
      --count;
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
  }
  if (std::ferror(f) && ok) {
    err = "Ошибка чтения файла " + path;
    ok = false;
  }
  std::fclose(f);
  if (fileCells) *fileCells = total;
  return ok;
}

}  // namespace rv
