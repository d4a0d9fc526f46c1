#!/usr/bin/env bash
# The whole test run, as CI runs it. Installs what is missing, builds everything and runs the
# test suite; then builds the suite again under AddressSanitizer with UndefinedBehaviorSanitizer
# (LeakSanitizer included) and under ThreadSanitizer, each in a build directory of its own and
# without the benchmarks, and runs it there; then runs every fuzz target for 30 seconds.
#
# Usage: bash scripts/test.sh [--quick]     (--quick: the first build and suite only)
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j2
ctest --test-dir build --output-on-failure -j2
if [ "${1:-}" = "--quick" ]; then exit 0; fi

# The sanitizer builds use -O1 with line tables only: reports still name file and line, and
# the builds and the suite take a fraction of the time of full debug information.
sanitized() {
  local kind=$1 dir=$2
  echo "test: the suite under the $kind sanitizer ($dir), $(date -u +%T)"
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZU_SANITIZE="$kind" \
    -DZU_BUILD_BENCH=OFF -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" \
    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG"
  cmake --build "$dir" -j2
  # Most of the sanitized suite's time goes to cases that wait on sockets and threads, not
  # to computing: three at a time keep both cores busy.
  ctest --test-dir "$dir" --output-on-failure -j3
}

# Any report fails the test case that caused it. LeakSanitizer runs at the end of every test
# process, the add-on's included (the stand-in host loads it into the test process).
# LeakSanitizer does not take thread-local storage as roots (use_tls=0): the stand-in host
# unloads the add-on, and with Debian 12's glibc the leak check then reads the unloaded
# library's stale thread-local slot and its own tracer crashes ("Tracer caught signal 11",
# "LeakSanitizer has encountered a fatal error"), depending on the process's memory layout.
# Without those roots the check can only report more, never less: a block that only
# thread-local storage still points to is reported as a leak (see lsan.supp).
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:halt_on_error=1:detect_stack_use_after_return=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/scripts/sanitizers/lsan.supp:print_suppressions=0:use_tls=0
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:suppressions=$PWD/scripts/sanitizers/tsan.supp
sanitized address build-asan
sanitized thread build-tsan

echo "test: the fuzz targets for 30 seconds each, $(date -u +%T)"
bash scripts/fuzz.sh 30
echo "test: passed, $(date -u +%T)"
