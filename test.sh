#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite; then runs it again under
# ThreadSanitizer and under AddressSanitizer with UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/setup.sh --tests
jobs=$(nproc)

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQM_TESTS=ON >/dev/null
cmake --build build -j "$jobs"
(cd build && ctest --output-on-failure -j "$jobs")

# The whole suite again under ThreadSanitizer, then under AddressSanitizer with UBSan. The
# suppression files name what belongs to other libraries (Qt's own thread pool; two leaks kept
# by fontconfig and libvorbisenc). The options also cover programs run during the build.
supp="$PWD/tests/sanitizers"
# die_after_fork=0: the notification test starts a private session bus from a threaded process.
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 die_after_fork=0 suppressions=$supp/tsan.supp"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export LSAN_OPTIONS="suppressions=$supp/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
# LeakSanitizer's own tracer can crash while it scans the process at exit ("Tracer caught signal
# 11", then "LeakSanitizer has encountered a fatal error"): it misreads a dynamically allocated TLS
# block of a dlopen'd library that lands 16 bytes into a page. Our libraries keep no such block;
# system ones may. When every failed test ended that way, those tests alone run once more without
# that TLS tracking; any other failure, a leak report included, fails the stage as it stands.
sanitized_ctest() {
  local log status=0
  log=$(mktemp)
  ctest --output-on-failure -j "$jobs" | tee "$log" || status=$?
  if [ "$status" != 0 ]; then
    local failed crashed
    failed=$(awk '/^The following tests FAILED:/ {on = 1; next} on && /^[[:space:]]+[0-9]+ - / {n++}
                  on && !/^[[:space:]]/ {on = 0} END {print n + 0}' "$log")
    crashed=$(grep -c "LeakSanitizer has encountered a fatal error" "$log" || true)
    if [ "$failed" -gt 0 ] && [ "$failed" = "$crashed" ]; then
      echo "Rerunning $failed test(s) that LeakSanitizer's tracer failed on"
      status=0
      ASAN_OPTIONS="$ASAN_OPTIONS:intercept_tls_get_addr=0" \
        ctest --output-on-failure --rerun-failed || status=$?
    fi
  fi
  rm -f "$log"
  return "$status"
}
run_sanitized() { # folder, sanitizer
  cmake -S . -B "$1" -G Ninja -DQM_SANITIZE="$2" -DQM_CORE_ONLY=OFF >/dev/null
  cmake --build "$1" -j "$jobs"
  (cd "$1" && sanitized_ctest)
}
run_sanitized build-thread thread
run_sanitized build-address address
# The Debian package: built, installed, used and removed again; it changes the machine.
if [ "${QM_PACKAGE_TEST:-0}" = 1 ]; then
  tests/package/install_test.sh
fi
echo "All tests passed."
