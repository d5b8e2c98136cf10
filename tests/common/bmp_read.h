// Reads the 24-bit bitmaps the live view writes, for checking their pixels.
#pragma once
#include <fstream>
#include <iterator>

#include "project/liveview.h"

namespace rvtest {

struct Bitmap {
  int width = 0, height = 0;
  std::vector<rv::Rgb> pixels;  // row 0 at the top
  rv::Rgb at(int x, int y) const { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
};

// Empty (width 0) when the file is missing or is no bottom-up 24-bit bitmap.
inline Bitmap ReadBitmap(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  const std::string b(std::istreambuf_iterator<char>(f), {});
  auto u32 = [&](size_t o) {
    return uint32_t(uint8_t(b[o])) | uint32_t(uint8_t(b[o + 1])) << 8 | uint32_t(uint8_t(b[o + 2])) << 16 |
           uint32_t(uint8_t(b[o + 3])) << 24;
  };
  Bitmap m;
  if (b.size() < 54 || b.compare(0, 2, "BM") != 0 || uint8_t(b[28]) != 24) return m;
  const int w = int(u32(18)), h = int(u32(22));
  const size_t row = (size_t(w) * 3 + 3) & ~size_t(3);
  if (w <= 0 || h <= 0 || b.size() < 54 + row * size_t(h)) return m;
  m.width = w, m.height = h;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const size_t o = 54 + size_t(h - 1 - y) * row + size_t(x) * 3;
      m.pixels.push_back({uint8_t(b[o + 2]), uint8_t(b[o + 1]), uint8_t(b[o])});
    }
  return m;
}

}  // namespace rvtest
