#!/usr/bin/env bash
# Times README's test command as CI runs it: from a fresh clone of the
# committed main, with an empty compiler cache (as on a new machine; the
# Debian packages are taken as installed), then a second run in the same
# clone after touching one source file, with the cache the first run filled.
# Prints the seconds of each stage of both runs and the two totals.
#
#   tools/time-test-command.sh [WORK_DIR]   (default /tmp/fwdl-time-test-command)
#
# FWDL_TIME_TOUCH names the file touched before the second run
# (default base/text.cpp, which the core and every test program link).
set -euo pipefail
FWDL_ROOT="$(cd "$(dirname "$0")/.." && pwd)"
work="${1:-/tmp/fwdl-time-test-command}"
touched="${FWDL_TIME_TOUCH:-base/text.cpp}"
rm -rf "$work"
mkdir -p "$work"
git clone --quiet "$FWDL_ROOT" "$work/clone"
export CCACHE_DIR="$work/ccache"

# The test command's stages start with "== "; each line is stamped with the
# seconds since the run started.
timed_run() {
  local log="$1" start status=0
  start="$(date +%s)"
  (cd "$work/clone" && bash scripts/test.sh) 2>&1 |
    while IFS= read -r line; do printf '%5d %s\n' "$(($(date +%s) - start))" "$line"; done >"$log" ||
    status=$?
  echo "$(($(date +%s) - start))"
  return "$status"
}
stages() { grep -E '^ *[0-9]+ == ' "$1" | sed 's/^/   /'; }

first="$(timed_run "$work/first.log")" || { echo "the first run failed: $work/first.log" >&2; exit 1; }
touch "$work/clone/$touched"
second="$(timed_run "$work/second.log")" || { echo "the second run failed: $work/second.log" >&2; exit 1; }

echo "fresh clone, empty compiler cache: ${first} s"
stages "$work/first.log"
echo "again after touching $touched: ${second} s"
stages "$work/second.log"
