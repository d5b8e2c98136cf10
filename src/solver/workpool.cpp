#include "solver/workpool.h"

#include <omp.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define RV_PAUSE() _mm_pause()
#else
#define RV_PAUSE() ((void)0)
#endif

namespace rv {

int WorkThreads() {
  const int t = omp_get_max_threads();
  return t < 1 ? 1 : t > 256 ? 256 : t;
}

namespace detail {

namespace {

// Set on a thread while it works inside a loop, so a nested loop runs serially.
thread_local bool tInside = false;

// About 20-50 microseconds of polling before a thread blocks: long enough to catch the
// next pass of a step, far too short to matter to other programs.
constexpr int kSpin = 2000;

// One share of a loop: its own cursor on a cache line of its own.
struct alignas(64) Share {
  std::atomic<int> next{0};
  int end = 0;
};

class Pool {
public:
  static Pool& Instance() {
    static Pool* p = new Pool;  // never destroyed: its threads may outlive static objects
    return *p;
  }

  // False when another loop holds the pool (the caller then runs the loop itself).
  bool Run(int begin, int end, ChunkFn fn, void* ctx, int threads) {
    std::unique_lock<std::mutex> lk(busy_, std::try_to_lock);
    if (!lk.owns_lock()) return false;
    Grow(threads - 1);
    const int n = end - begin;
    const int t = threads < n ? threads : n;
    // Chunks small enough that a late or slow thread leaves little behind.
    int grain = n / (t * 8);
    if (grain < 1) grain = 1;
    fn_ = fn;
    ctx_ = ctx;
    grain_ = grain;
    shares_ = t;
    for (int s = 0; s < t; ++s) {
      share_[s].next.store(begin + int(int64_t(n) * s / t), std::memory_order_relaxed);
      share_[s].end = begin + int(int64_t(n) * (s + 1) / t);
    }
    const uint32_t seq = ++seq_;
    // Open the job, then wake the workers.
    ctl_.store((uint64_t(seq) << 32) | kOpen, std::memory_order_release);
    gen_.store(seq, std::memory_order_release);
    gen_.notify_all();

    Work(0);
    // Nothing is left to take: close the job so late threads stay out, then wait for
    // those still inside.
    uint64_t c = ctl_.fetch_and(~kOpen, std::memory_order_acq_rel) & ~kOpen;
    for (int i = 0; (c & kActive) != 0; ++i) {
      if (i < kSpin) RV_PAUSE();
      else ctl_.wait(c, std::memory_order_acquire);
      c = ctl_.load(std::memory_order_acquire);
    }
    return true;
  }

private:
  static constexpr uint64_t kOpen = 1u << 31;
  static constexpr uint64_t kActive = kOpen - 1;
  static constexpr int kMaxShares = 256;

  // Takes chunks of share `first`, then of the others in turn, until none is left.
  void Work(int first) {
    const int t = shares_, g = grain_;
    for (int s = 0; s < t; ++s) {
      Share& sh = share_[(first + s) % t];
      for (;;) {
        const int lo = sh.next.fetch_add(g, std::memory_order_relaxed);
        if (lo >= sh.end) break;
        fn_(ctx_, lo, lo + g < sh.end ? lo + g : sh.end);
      }
    }
  }

  void Grow(int workers) {
    while (int(threads_.size()) < workers && int(threads_.size()) < kMaxShares - 1) {
      const int id = int(threads_.size()) + 1;
      threads_.emplace_back([this, id] { Worker(id); });
      threads_.back().detach();
    }
  }

  void Worker(int id) {
    tInside = true;  // a loop inside a body runs on this thread
    uint32_t seen = gen_.load(std::memory_order_acquire);
    for (;;) {
      uint32_t g = gen_.load(std::memory_order_acquire);
      for (int i = 0; g == seen; ++i) {
        if (i < kSpin) RV_PAUSE();
        else gen_.wait(seen, std::memory_order_acquire);
        g = gen_.load(std::memory_order_acquire);
      }
      seen = g;
      // Join the job only while it is the one announced and still open.
      uint64_t c = ctl_.load(std::memory_order_acquire);
      bool joined = false;
      while ((c >> 32) == g && (c & kOpen)) {
        if (ctl_.compare_exchange_weak(c, c + 1, std::memory_order_acq_rel)) { joined = true; break; }
      }
      if (!joined) continue;
      Work(id % shares_);
      const uint64_t before = ctl_.fetch_sub(1, std::memory_order_acq_rel);
      if ((before & kActive) == 1 && !(before & kOpen)) ctl_.notify_all();
    }
  }

  std::mutex busy_;
  std::vector<std::thread> threads_;
  std::atomic<uint32_t> gen_{0};
  uint32_t seq_ = 0;
  std::atomic<uint64_t> ctl_{0};
  ChunkFn fn_ = nullptr;
  void* ctx_ = nullptr;
  int grain_ = 1, shares_ = 1;
  Share share_[kMaxShares];
};

}  // namespace

void RunChunks(int begin, int end, ChunkFn fn, void* ctx) {
  const int threads = WorkThreads();
  if (threads > 1 && !tInside) {
    tInside = true;
    const bool ran = Pool::Instance().Run(begin, end, fn, ctx, threads);
    tInside = false;
    if (ran) return;
  }
  fn(ctx, begin, end);
}

}  // namespace detail
}  // namespace rv
