#!/usr/bin/env bash
# Installs what is missing, builds the portable core natively (AddressSanitizer
# and UBSan) and everything for 64-bit and for 32-bit Windows (mingw-w64),
# runs the native tests, a short run of every fuzz target, and the whole
# Windows suite of each build under Wine. A machine that cannot start 32-bit
# programs runs, of the 32-bit build, only the checks that start none.
set -euo pipefail
FWDL_ROOT="$(cd "$(dirname "$0")/.." && pwd)"
cd "$FWDL_ROOT"
source scripts/fail-trap.sh
source scripts/ccache-env.sh
jobs="$(nproc)"
# Most tests wait (on a printer's simulated restart, a window, a process)
# rather than compute: twice as many at once as there are cores keeps the
# cores busy. The Windows suites start many Wine processes, so one more
# than there are cores.
test_jobs="$((jobs * 2))"
wine_test_jobs="$((jobs + 1))"

bash scripts/install-deps.sh

echo "== native build and tests"
cmake --preset native "${fwdl_compiler_launcher[@]}" >/dev/null
cmake --build --preset native -j "$jobs"
ctest --preset native -j "$test_jobs"

echo "== fuzz targets (${FWDL_FUZZ_SECONDS:=10} s each)"
cmake --preset fuzz "${fwdl_compiler_launcher[@]}" >/dev/null
cmake --build --preset fuzz -j "$jobs"
bash scripts/run-fuzzers.sh "$FWDL_FUZZ_SECONDS"

# Each Windows build's end-to-end tests put the other build's stand-in
# libraries beside their program.
echo "== Windows builds: 64-bit and 32-bit"
cmake --preset windows "${fwdl_compiler_launcher[@]}" -DFWDL_OTHER_ARCHITECTURE_LIBRARIES="$FWDL_ROOT/build/windows-x86/sim" >/dev/null
cmake --build --preset windows -j "$jobs"
# Whether the 32-bit build's test programs can run here: only a machine
# whose kernel refuses 32-bit programs ("Exec format error") skips them.
FWDL_RUNS_32BIT="$(bash scripts/check-32bit.sh)" || [ "$FWDL_RUNS_32BIT" = no ]
export FWDL_RUNS_32BIT
wine_tests_x86=ON
[ "$FWDL_RUNS_32BIT" = yes ] || wine_tests_x86=OFF
cmake --preset windows-x86 "${fwdl_compiler_launcher[@]}" -DFWDL_OTHER_ARCHITECTURE_LIBRARIES="$FWDL_ROOT/build/windows/sim" \
  -DFWDL_WINE_TESTS="$wine_tests_x86" >/dev/null
cmake --build --preset windows-x86 -j "$jobs"

echo "== 64-bit Windows tests under Wine"
source scripts/wine-env.sh
fwdl_prepare_wine null
# Test programs that Wine had to start a second time are listed at the end,
# whether the tests passed or not.
export FWDL_WINE_RESTART_LOG="$FWDL_ROOT/build/windows/wine-restarts.log"
: >"$FWDL_WINE_RESTART_LOG"
windows_status=0
ctest --preset windows -j "$wine_test_jobs" || windows_status=$?
if [ "$FWDL_RUNS_32BIT" = yes ]; then
  # The same Wine prefix runs the 32-bit programs (Wine's WoW64).
  echo "== 32-bit Windows tests under Wine"
  ctest --preset windows-x86 -j "$wine_test_jobs" || windows_status=$?
else
  echo "== 32-bit Windows build: only the checks that start no 32-bit program"
  ctest --preset windows-x86 -j "$jobs" || windows_status=$?
fi
if [ -s "$FWDL_WINE_RESTART_LOG" ]; then
  echo "== Wine had to start $(wc -l <"$FWDL_WINE_RESTART_LOG") test program(s) a second time:"
  sed 's/^/   /' "$FWDL_WINE_RESTART_LOG"
else
  echo "== Wine started every test program at the first attempt"
fi
# A failure's own words belong at the end of the log, where they are read.
[ "$windows_status" -eq 0 ] || bash scripts/print-failed-tests.sh build/windows build/windows-x86
if [ "$FWDL_RUNS_32BIT" = yes ]; then
  echo "== Both Windows suites ran in full: this machine starts 32-bit programs"
else
  echo "== 32-bit Windows tests under Wine SKIPPED: this machine cannot start 32-bit programs" \
    "(/usr/lib/wine/wine --version fails with \"Exec format error\"; check: bash scripts/check-32bit.sh)." \
    "The 32-bit build was built and its images checked; the 64-bit suite ran in full."
fi
exit "$windows_status"
