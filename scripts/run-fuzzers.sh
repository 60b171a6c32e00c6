#!/usr/bin/env bash
# Runs every fuzz target of the fuzz build for a fixed time on a copy of its
# seed corpus; fails on the first finding.
set -euo pipefail
FWDL_ROOT="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-10}"
bin="$FWDL_ROOT/build/fuzz/tests/fuzz"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

found=0
for target in "$bin"/fuzz_*; do
  [ -x "$target" ] || continue
  name="$(basename "$target")"
  corpus="$work/$name"
  mkdir -p "$corpus"
  seeds="$FWDL_ROOT/tests/fuzz/corpus/${name#fuzz_}"
  [ -d "$seeds" ] && cp -r "$seeds"/. "$corpus"/
  echo "-- $name"
  if ! "$target" -max_total_time="$seconds" -max_len=4096 -artifact_prefix="$work/$name-" "$corpus" \
      >"$work/$name.log" 2>&1; then
    tail -40 "$work/$name.log"
    echo "fuzz target $name found a problem"
    found=1
  fi
  grep -E "^Done|#[0-9]+.*DONE" "$work/$name.log" | tail -1 || true
done
exit "$found"
