#!/usr/bin/env bash
# A long fuzz run, not part of the test command: builds the fuzz preset and
# runs every target for SECONDS (default 600) at low priority, growing the
# corpora in build/fuzz/long-corpus so that the next long run carries on
# from where this one stopped. Prints per target the inputs run and whether
# the run was clean; findings are kept under build/fuzz/findings.
#
#   long-fuzz.sh [SECONDS]
set -euo pipefail
FWDL_ROOT="$(cd "$(dirname "$0")/.." && pwd)"
cd "$FWDL_ROOT"
seconds="${1:-600}"

cmake --preset fuzz >/dev/null
nice -n 10 cmake --build --preset fuzz -j "$(nproc)" >/dev/null
echo "== every fuzz target for $seconds s ($(date -u '+%Y-%m-%d %H:%M UTC'))"
nice -n 10 bash scripts/run-fuzzers.sh "$seconds" "$FWDL_ROOT/build/fuzz/long-corpus"
