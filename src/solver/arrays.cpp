#include "solver/arrays.h"

#ifdef __linux__
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace rv::detail {

namespace {

constexpr size_t kHugePage = size_t(2) << 20;
// Below two huge pages a block gains little: the C heap serves it.
constexpr size_t kMapped = 2 * kHugePage;

#ifdef __linux__
size_t PageRound(size_t bytes) {
  const long page = sysconf(_SC_PAGESIZE);
  const size_t p = page > 0 ? size_t(page) : 4096;
  return (bytes + p - 1) / p * p;
}
#endif

}  // namespace

void* ZeroedBlock(size_t bytes) {
#ifdef __linux__
  if (bytes >= kMapped && bytes <= SIZE_MAX - 2 * kHugePage) {
    // Anonymous pages are zero; map a huge page more and trim both ends to the boundary.
    const size_t len = PageRound(bytes), span = len + kHugePage;
    void* m = mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (m == MAP_FAILED) return nullptr;
    const uintptr_t b = reinterpret_cast<uintptr_t>(m);
    const uintptr_t a = (b + kHugePage - 1) & ~uintptr_t(kHugePage - 1);
    if (a > b) munmap(m, a - b);
    if (b + span > a + len) munmap(reinterpret_cast<void*>(a + len), b + span - (a + len));
    void* p = reinterpret_cast<void*>(a);
    madvise(p, len, MADV_HUGEPAGE);  // a kernel without them keeps small pages
    return p;
  }
#endif
  return std::calloc(bytes, 1);
}

void FreeBlock(void* p, size_t bytes) {
  if (!p) return;
#ifdef __linux__
  if (bytes >= kMapped && bytes <= SIZE_MAX - 2 * kHugePage) {
    munmap(p, PageRound(bytes));
    return;
  }
#endif
  std::free(p);
}

}  // namespace rv::detail
