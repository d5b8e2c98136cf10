// Contiguous 1-based grid arrays. One block per array, z fastest; every array carries its
// own lengths so readers bound themselves by them. Index 0 of each axis exists and is
// unused by convention. New blocks are zero and untouched pages cost nothing until
// written, and a failed allocation is reported, never thrown.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace rv {

namespace detail {
// A zeroed block of `bytes` (null when memory fails), freed with the same size. A large
// block starts on a huge-page boundary and asks for transparent huge pages: a pass across
// z touches one element per line, and with small pages nearly one page per element.
void* ZeroedBlock(size_t bytes);
void FreeBlock(void* p, size_t bytes);
}  // namespace detail

template <class T>
class Array3 {
public:
  Array3() = default;
  ~Array3() { free(); }
  Array3(const Array3& o) { copyFrom(o); }
  Array3& operator=(const Array3& o) {
    if (this != &o) { free(); copyFrom(o); }
    return *this;
  }
  Array3(Array3&& o) noexcept { swap(o); }
  Array3& operator=(Array3&& o) noexcept { if (this != &o) { free(); swap(o); } return *this; }

  // Allocates n1 x n2 x n3 zeroed elements, dropping any old contents.
  // Returns false (and leaves the array empty) when the sizes are negative or memory fails.
  bool allocate(int n1, int n2, int n3) {
    free();
    if (n1 <= 0 || n2 <= 0 || n3 <= 0) return n1 == 0 || n2 == 0 || n3 == 0;
    const size_t n = size_t(n1) * size_t(n2) * size_t(n3);
    if (n / size_t(n1) / size_t(n2) != size_t(n3) || n > SIZE_MAX / sizeof(T)) return false;
    p_ = static_cast<T*>(detail::ZeroedBlock(n * sizeof(T)));
    if (!p_) return false;
    n1_ = n1; n2_ = n2; n3_ = n3;
    return true;
  }
  // Re-sizes keeping the contents of the common index range; new elements are zero.
  bool resizeKeep(int n1, int n2, int n3) {
    Array3 t;
    if (!t.allocate(n1, n2, n3)) return false;
    const int m1 = n1 < n1_ ? n1 : n1_, m2 = n2 < n2_ ? n2 : n2_, m3 = n3 < n3_ ? n3 : n3_;
    for (int i = 0; i < m1; ++i)
      for (int j = 0; j < m2; ++j)
        std::memcpy(&t(i, j, 0), &(*this)(i, j, 0), size_t(m3) * sizeof(T));
    swap(t);
    return true;
  }
  void free() { detail::FreeBlock(p_, size() * sizeof(T)); p_ = nullptr; n1_ = n2_ = n3_ = 0; }
  void fill(T v) {
    if (v == T(0)) { if (p_) std::memset(p_, 0, size() * sizeof(T)); return; }
    for (size_t i = 0, n = size(); i < n; ++i) p_[i] = v;
  }

  T& operator()(int i, int j, int k) { return p_[(size_t(i) * n2_ + size_t(j)) * n3_ + size_t(k)]; }
  const T& operator()(int i, int j, int k) const { return p_[(size_t(i) * n2_ + size_t(j)) * n3_ + size_t(k)]; }
  // Bounds-checked read: 0 outside the array.
  T at(int i, int j, int k) const { return inside(i, j, k) ? (*this)(i, j, k) : T(0); }
  bool inside(int i, int j, int k) const {
    return i >= 0 && j >= 0 && k >= 0 && i < n1_ && j < n2_ && k < n3_;
  }

  int len1() const { return n1_; }
  int len2() const { return n2_; }
  int len3() const { return n3_; }
  size_t size() const { return size_t(n1_) * size_t(n2_) * size_t(n3_); }
  bool empty() const { return p_ == nullptr; }
  // Allocated with exactly these lengths: what a kernel checks before it touches the array.
  bool hasShape(int n1, int n2, int n3) const { return p_ && n1_ == n1 && n2_ == n2 && n3_ == n3; }
  T* data() { return p_; }
  const T* data() const { return p_; }
  // Element offsets of one step along x and along y.
  size_t strideX() const { return size_t(n2_) * size_t(n3_); }
  size_t strideY() const { return size_t(n3_); }

  void swap(Array3& o) noexcept {
    std::swap(p_, o.p_); std::swap(n1_, o.n1_); std::swap(n2_, o.n2_); std::swap(n3_, o.n3_);
  }

private:
  void copyFrom(const Array3& o) {
    if (o.p_ && allocate(o.n1_, o.n2_, o.n3_)) std::memcpy(p_, o.p_, size() * sizeof(T));
  }
  T* p_ = nullptr;
  int n1_ = 0, n2_ = 0, n3_ = 0;
};

template <class T>
class Array2 {
public:
  Array2() = default;
  ~Array2() { std::free(p_); }
  Array2(const Array2& o) { copyFrom(o); }
  Array2& operator=(const Array2& o) {
    if (this != &o) { free(); copyFrom(o); }
    return *this;
  }
  Array2(Array2&& o) noexcept { swap(o); }
  Array2& operator=(Array2&& o) noexcept { if (this != &o) { free(); swap(o); } return *this; }

  bool allocate(int n1, int n2) {
    free();
    if (n1 <= 0 || n2 <= 0) return n1 == 0 || n2 == 0;
    const size_t n = size_t(n1) * size_t(n2);
    if (n > SIZE_MAX / sizeof(T)) return false;
    p_ = static_cast<T*>(std::calloc(n, sizeof(T)));
    if (!p_) return false;
    n1_ = n1; n2_ = n2;
    return true;
  }
  void free() { std::free(p_); p_ = nullptr; n1_ = n2_ = 0; }
  void fill(T v) { for (size_t i = 0, n = size(); i < n; ++i) p_[i] = v; }

  T& operator()(int a, int b) { return p_[size_t(a) * n2_ + size_t(b)]; }
  const T& operator()(int a, int b) const { return p_[size_t(a) * n2_ + size_t(b)]; }
  bool inside(int a, int b) const { return a >= 0 && b >= 0 && a < n1_ && b < n2_; }
  int len1() const { return n1_; }
  int len2() const { return n2_; }
  size_t size() const { return size_t(n1_) * size_t(n2_); }
  bool empty() const { return p_ == nullptr; }
  T* data() { return p_; }
  const T* data() const { return p_; }

  void swap(Array2& o) noexcept { std::swap(p_, o.p_); std::swap(n1_, o.n1_); std::swap(n2_, o.n2_); }

private:
  void copyFrom(const Array2& o) {
    if (o.p_ && allocate(o.n1_, o.n2_)) std::memcpy(p_, o.p_, size() * sizeof(T));
  }
  T* p_ = nullptr;
  int n1_ = 0, n2_ = 0;
};

using t3DSpaceArray = Array3<float>;
using t2DSpaceArray = Array2<float>;
using tSpace = Array3<uint8_t>;

}  // namespace rv
