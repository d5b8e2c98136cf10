// Loops over all cores on threads of our own that sleep while there is no work.
//
// A desktop running other programs takes cores away from a run at any moment. A pool
// whose idle threads spin holds those cores for nothing, and a static share per thread
// makes the whole pass wait for the slowest core. Here every thread first takes the
// chunks of its own share in order (so consecutive passes over the same planes find them
// in the same core's cache), then helps with what is left of the others' shares; idle
// threads spin only for a few microseconds before they block. A thread that wakes late
// finds the work done and goes back to sleep without holding the pass.
//
// Which thread computes an index never changes a result as long as the body writes only
// from values no other index of the same loop writes, which holds for every kernel here.
#pragma once
#include <algorithm>
#include <cstdint>
#include <functional>
#include <type_traits>
#include <utility>
#include <vector>

namespace rv {

// Below this many cells a step takes microseconds and waking the threads would cost more
// than they save; the result is the same either way.
inline constexpr int64_t kParallelCells = 32768;
inline bool ParallelGrid(int nx, int ny, int nz) { return int64_t(nx) * ny * nz >= kParallelCells; }

// Threads a loop uses: omp_get_max_threads() of the calling thread (so OMP_NUM_THREADS and
// omp_set_num_threads keep their meaning).
int WorkThreads();

namespace detail {
using ChunkFn = void (*)(void* ctx, int lo, int hi);
void RunChunks(int begin, int end, ChunkFn fn, void* ctx);
}  // namespace detail

// Calls body(i) for every i in [begin, end), on all threads when `parallel`, else on the
// calling thread in order. Returns when every call is done. A loop started from inside
// another (or while another thread's loop holds the pool) runs on the calling thread.
// The body must not throw.
template <class F>
void ParallelFor(int begin, int end, F&& body, bool parallel = true) {
  if (end <= begin) return;
  if (!parallel || end - begin == 1) {
    for (int i = begin; i < end; ++i) body(i);
    return;
  }
  using B = std::remove_reference_t<F>;
  detail::RunChunks(begin, end,
                    [](void* ctx, int lo, int hi) {
                      B& b = *static_cast<B*>(ctx);
                      for (int i = lo; i < hi; ++i) b(i);
                    },
                    const_cast<void*>(static_cast<const void*>(&body)));
}

// One loop of a combined pass: Body(i) for every i in [Begin, End).
struct LoopPart {
  int Begin = 0, End = 0;
  std::function<void(int)> Body;
};

// Runs several loops as one pass (one hand-out to the threads instead of one each), in no
// particular order: only for loops that write nothing another of them reads or writes.
inline void ParallelForParts(const std::vector<LoopPart>& parts, bool parallel = true) {
  std::vector<int> first(parts.size() + 1, 0);  // flat index of each part's Begin
  for (size_t p = 0; p < parts.size(); ++p)
    first[p + 1] = first[p] + std::max(0, parts[p].End - parts[p].Begin);
  ParallelFor(0, first.back(), [&](int t) {
    const size_t p = size_t(std::upper_bound(first.begin(), first.end(), t) - first.begin()) - 1;
    parts[p].Body(parts[p].Begin + t - first[p]);
  }, parallel);
}

}  // namespace rv
