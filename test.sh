#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite; then tests again under
# ThreadSanitizer and under AddressSanitizer with UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/setup.sh
jobs=$(nproc)

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$jobs"
(cd build && ctest --output-on-failure -j "$jobs")

# ThreadSanitizer: the core, and the driver and quillmere-cli with real codecs, several
# conversions side by side. AddressSanitizer with UBSan: the core.
run_sanitized() { # folder, sanitizer, labels, extra cmake options...
  local dir="$1" san="$2" labels="$3"
  shift 3
  cmake -S . -B "$dir" -G Ninja -DQM_SANITIZE="$san" "$@" >/dev/null
  cmake --build "$dir" -j "$jobs" --target sanitizer_tests
  (cd "$dir" &&
    TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
    ASAN_OPTIONS="detect_leaks=1:abort_on_error=1" UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
    ctest --output-on-failure -j "$jobs" -L "$labels")
}
run_sanitized build-thread thread "core|threads" -DQM_CORE_ONLY=OFF
run_sanitized build-address address core -DQM_CORE_ONLY=ON
# The Debian package: built, installed, used and removed again; it changes the machine.
if [ "${QM_PACKAGE_TEST:-0}" = 1 ]; then
  tests/package/install_test.sh
fi
echo "All tests passed."
