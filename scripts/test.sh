#!/usr/bin/env bash
# The test command: installs what the build and the tests need, starts a
# throwaway PostgreSQL cluster for the tests, then builds and runs every test
# twice, once plain and once under AddressSanitizer and
# UndefinedBehaviorSanitizer. The Debian packages are proved apart, by
# scripts/package-check.sh: a third build and a fresh Debian root would take
# the run past its time budget on 2 cores.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

# One throwaway PostgreSQL cluster serves both builds' tests; it is stopped and
# its folder removed however the run ends.
source scripts/pg-cluster.sh
trap pg_cluster_stop EXIT
pg_cluster_start

jobs=$(nproc 2>/dev/null || echo 2)
run_suite() {
  local dir=$1; shift
  cmake -S . -B "$dir" -G "Unix Makefiles" "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
  (cd "$dir" && ctest --output-on-failure -j "$jobs")
}

echo "== normal build"
run_suite build/normal -DCMAKE_BUILD_TYPE=RelWithDebInfo
echo "== sanitizer build (ASan + UBSan)"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp:print_suppressions=0
run_suite build/asan -DCMAKE_BUILD_TYPE=Debug -DQMX_SANITIZE=ON -DQMX_BENCH=OFF
