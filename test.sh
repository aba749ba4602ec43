#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite; then the core tests again
# under ThreadSanitizer and under AddressSanitizer with UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/setup.sh
jobs=$(nproc)

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$jobs"
(cd build && ctest --output-on-failure -j "$jobs")

for san in thread address; do
  dir="build-$san"
  cmake -S . -B "$dir" -G Ninja -DQM_CORE_ONLY=ON -DQM_SANITIZE=$san >/dev/null
  cmake --build "$dir" -j "$jobs"
  (cd "$dir" &&
    TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
    ASAN_OPTIONS="detect_leaks=1:abort_on_error=1" UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
    ctest --output-on-failure -j "$jobs" -L core)
done
echo "All tests passed."
