#!/usr/bin/env bash
# Builds every test with AddressSanitizer and UndefinedBehaviorSanitizer (g++, into
# build-asan/) and the solver, boundary and run tests with ThreadSanitizer (clang, into
# build-tsan/), and runs them headless as scripts/test.sh does. A finding fails its test:
# UBSan does not recover, ASan and TSan stop at their first report, and LSan checks for leaks
# when each test process ends.
# Usage: scripts/test-sanitizers.sh [asan|tsan]   (both when no argument is given)
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
what="${1:-both}"
case "$what" in asan|tsan|both) ;; *) echo "usage: $0 [asan|tsan]" >&2; exit 2 ;; esac
"$here/scripts/install-deps.sh" clang libclang-rt-14-dev libomp-dev
jobs="$(nproc)"
unset DISPLAY
export QT_QPA_PLATFORM=offscreen

configure() {  # folder, compiler, sanitizer flags, more cmake arguments...
  local dir="$1" cxx="$2" flags="$3"
  shift 3
  cmake -S "$here" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER="$cxx" \
    -DCMAKE_CXX_FLAGS="$flags -fno-omit-frame-pointer" -DCMAKE_EXE_LINKER_FLAGS="$flags" \
    -DRAVELIN_BUILD_BENCH=OFF "$@" >/dev/null
}

if [ "$what" != tsan ]; then
  dir="${ASAN_BUILD_DIR:-$here/build-asan}"
  configure "$dir" g++ "-fsanitize=address,undefined -fno-sanitize-recover=all"
  cmake --build "$dir" -j "$jobs"
  (
    export ASAN_OPTIONS="detect_stack_use_after_return=1:strict_init_order=1"
    export UBSAN_OPTIONS="print_stacktrace=1"
    export LSAN_OPTIONS="suppressions=$here/scripts/sanitizers/lsan.supp"
    cd "$dir" && ctest --output-on-failure -j "$jobs" --timeout 1500
  )
fi

if [ "$what" != asan ]; then
  # clang: g++ 12 instruments the resolvers of the kernels' per-CPU clones, which run
  # before its thread sanitizer has started, and the program crashes at load.
  dir="${TSAN_BUILD_DIR:-$here/build-tsan}"
  configure "$dir" clang++ "-fsanitize=thread" -DRAVELIN_BUILD_UI=OFF
  cmake --build "$dir" -j "$jobs" --target solver_tests boundaries_tests project_tests
  (
    # Four threads per test process: enough for races to show, without eight processes of
    # eight threads each crowding the cores under the sanitizer's slowdown.
    export OMP_NUM_THREADS=4
    export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1"
    # Left out: the test programs of this folder that were not built (*_NOT_BUILT), and the
    # oblique PML echo, which runs on one thread (nothing for TSan to find) for over ten
    # minutes under it.
    cd "$dir" && ctest -E '_NOT_BUILT$|^PmlPhysics\.ObliqueIncidenceEcho$' --output-on-failure -j "$jobs" \
      --timeout 1800
  )
fi
