#include <gtest/gtest.h>
#include <omp.h>

#include <atomic>
#include <thread>

#include "solver/workpool.h"

using namespace rv;

// Every index runs exactly once, whatever the thread count, the range or the nesting, and
// with two threads starting loops at once (one of them then runs its loop itself).
TEST(WorkPool, EveryIndexOnceOnAnyThreadCountNestedAndFromTwoThreads) {
  const int saved = omp_get_max_threads();
  for (int threads : {1, 3, 8}) {
    omp_set_num_threads(threads);
    for (int n : {1, 2, 7, 1000}) {
      std::vector<std::atomic<int>> hits(size_t(n) * 3);
      ParallelFor(0, n, [&](int i) {
        ParallelFor(0, 3, [&](int j) { ++hits[size_t(i) * 3 + size_t(j)]; });
      });
      for (size_t i = 0; i < hits.size(); ++i) ASSERT_EQ(hits[i].load(), 1) << threads << " " << n;
    }
  }
  omp_set_num_threads(8);
  std::vector<std::atomic<int>> a(5000), b(5000);
  auto many = [](std::vector<std::atomic<int>>& v) {
    omp_set_num_threads(8);
    for (int r = 0; r < 200; ++r) ParallelFor(0, int(v.size()), [&](int i) { ++v[size_t(i)]; });
  };
  std::thread t1(many, std::ref(a)), t2(many, std::ref(b));
  t1.join();
  t2.join();
  for (size_t i = 0; i < a.size(); ++i) ASSERT_TRUE(a[i] == 200 && b[i] == 200) << i;
  omp_set_num_threads(saved);
}
