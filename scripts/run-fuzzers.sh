#!/usr/bin/env bash
# Runs every fuzz target of the fuzz build for a fixed time on a copy of its
# seed corpus, and says for each how many inputs it ran and whether it was
# clean. Any finding (a sanitizer report, a crash, a hang of more than
# FWDL_FUZZ_TIMEOUT seconds on one input, running out of memory) fails the
# run; its reproducer is kept under build/fuzz/findings and named here.
#
#   run-fuzzers.sh [SECONDS [CORPUS_DIR]]
# SECONDS per target (default 10). CORPUS_DIR keeps the grown corpora across
# runs (one folder per target); without it they go to a temporary folder.
set -euo pipefail
FWDL_ROOT="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-10}"
bin="$FWDL_ROOT/build/fuzz/tests/fuzz"
findings="$FWDL_ROOT/build/fuzz/findings"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
corpora="${2:-$work/corpus}"
timeout_seconds="${FWDL_FUZZ_TIMEOUT:-20}"

targets=("$bin"/fuzz_*)
if [ ! -x "${targets[0]}" ]; then
  echo "no fuzz targets in $bin: build the fuzz preset first" >&2
  exit 1
fi

# One target per core at a time: each is single-threaded, so side by side
# they run as many inputs each as one after the other, in less time. Each
# target's verdict is printed in order once all have ended.
run_target() {
  local target="$1" name corpus seeds log status runs reproducer
  name="$(basename "$target")"
  corpus="$corpora/$name"
  mkdir -p "$corpus" "$findings/$name"
  seeds="$FWDL_ROOT/tests/fuzz/corpus/${name#fuzz_}"
  [ -d "$seeds" ] && cp -r "$seeds"/. "$corpus"/
  log="$work/$name.log"
  status=0
  "$target" -max_total_time="$seconds" -max_len=4096 -timeout="$timeout_seconds" -print_final_stats=1 \
    -artifact_prefix="$findings/$name/" "$corpus" >"$log" 2>&1 || status=$?
  runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)"
  # libFuzzer exits 0 even when a sanitizer only printed a report; any such
  # report counts as a finding.
  if [ "$status" -eq 0 ] && grep -qE "runtime error:|ERROR: (Address|Undefined|Leak)Sanitizer" "$log"; then
    status=1
  fi
  {
    if [ "$status" -eq 0 ]; then
      printf '%-24s %12s runs in %s s, clean\n' "$name" "${runs:-?}" "$seconds"
    else
      tail -40 "$log"
      reproducer="$(sed -n 's/.*Test unit written to \(.*\)$/\1/p' "$log" | tail -1)"
      echo "fuzz target $name found a problem (exit $status) after ${runs:-?} runs"
      if [ -n "$reproducer" ]; then
        echo "  reproducer kept: $reproducer"
        echo "  replay it with:  $target $reproducer"
      else
        cp "$log" "$findings/$name/last-run.log"
        echo "  no reproducer was written; the run's output is kept in $findings/$name/last-run.log"
      fi
    fi
  } >"$work/$name.verdict"
  echo "$status" >"$work/$name.status"
}

at_once="${FWDL_FUZZ_JOBS:-$(nproc)}"
for target in "${targets[@]}"; do
  [ -x "$target" ] || continue
  while [ "$(jobs -rp | wc -l)" -ge "$at_once" ]; do wait -n || true; done
  run_target "$target" &
done
wait

found=0
for target in "${targets[@]}"; do
  [ -x "$target" ] || continue
  name="$(basename "$target")"
  cat "$work/$name.verdict"
  [ "$(cat "$work/$name.status" 2>/dev/null || echo 1)" -eq 0 ] || found=1
done
exit "$found"
