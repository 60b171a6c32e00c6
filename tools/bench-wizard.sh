#!/usr/bin/env bash
# Benchmark of the wizard under Wine: how long the progress window's
# interface thread takes to answer a message (WM_NULL about every 20 ms)
# while a 64 MB package goes to a simulated USB printer that keeps only a
# digest, and the wizard's start time from CreateProcess to the visible
# frame (median of several starts). Builds tests/wizard/wizard_bench.cpp.
#
#   tools/bench-wizard.sh [WINDOWS_BUILD_DIR]     (default build/windows)
#
# FWDL_BENCH_MB (default 64) and FWDL_BENCH_STARTS (default 7) change the
# package size and the number of starts. Wine runs with its null graphics
# driver in a prefix of its own (FWDL_WINEPREFIX, default
# build/wineprefix-bench-wizard).
set -euo pipefail
FWDL_ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${1:-$FWDL_ROOT/build/windows}"
MEGABYTES="${FWDL_BENCH_MB:-64}"
STARTS="${FWDL_BENCH_STARTS:-7}"
export FWDL_ROOT
: "${FWDL_WINEPREFIX:=$FWDL_ROOT/build/wineprefix-bench-wizard}"
export FWDL_WINEPREFIX

cd "$FWDL_ROOT"
cmake --preset windows -B "$BUILD" >/dev/null
cmake --build "$BUILD" -j "${FWDL_BUILD_JOBS:-2}" --target wizard_bench >/dev/null

# shellcheck source=../scripts/wine-env.sh
source "$FWDL_ROOT/scripts/wine-env.sh"
fwdl_prepare_wine null

echo "Wine $(wine --version 2>/dev/null | sed 's/^wine-//'), null graphics driver, $(nproc) cores"
wine "$BUILD/tests/wizard/wizard_bench.exe" "$MEGABYTES" "$STARTS" </dev/null
