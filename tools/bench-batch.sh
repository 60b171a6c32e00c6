#!/usr/bin/env bash
# Benchmark of batch runs: 16 simulated network printers that each take an
# 8 MB package at 4 MB/s and then restart for 20 s (BytesPerSecond,
# UpdatingSeconds), updated by one "/batch" run with parallel 8 and with
# parallel 1, against the sum of 16 single "/n" runs (which send the same
# bytes but do not wait for the restart). Also the peak memory of the batch
# process itself (not of its children) with 16 printers and with 2, to show
# that it does not grow with the list. Under Wine.
#
# With --fleet, a site of hundreds instead: 128 printers updated with
# parallel 64 and with parallel 16, and the batch process's peak memory with
# 128 printers against 16. Every run's history must hold exactly one valid
# line per printer.
#
#   tools/bench-batch.sh [--fleet] [WINDOWS_BUILD_DIR]   (default build/windows)
#
# Environment: FWDL_BENCH_PRINTERS (16, or 128 with --fleet), FWDL_BENCH_MB (8),
# FWDL_BENCH_RATE (4194304 bytes per second), FWDL_BENCH_RESTART (20 s).
set -euo pipefail
FWDL_ROOT="$(cd "$(dirname "$0")/.." && pwd)"
FLEET=0
if [ "${1:-}" = --fleet ]; then
  FLEET=1
  shift
fi
BUILD="$(cd "${1:-$FWDL_ROOT/build/windows}" && pwd)"
WORK="${FWDL_BENCH_DIR:-$FWDL_ROOT/build/bench-batch}"
PRINTERS="${FWDL_BENCH_PRINTERS:-$([ "$FLEET" = 1 ] && echo 128 || echo 16)}"
MB="${FWDL_BENCH_MB:-8}"
RATE="${FWDL_BENCH_RATE:-4194304}"
RESTART="${FWDL_BENCH_RESTART:-20}"

for part in app/TessaroFWDL.exe sim/vorlendu.dll sim/vorlenusb.dll sim/vorlennet.dll; do
  [ -f "$BUILD/$part" ] || { echo "missing $BUILD/$part: build the windows preset first" >&2; exit 1; }
done

# shellcheck source=../scripts/wine-env.sh
source "$FWDL_ROOT/scripts/wine-env.sh"
fwdl_prepare_wine null

rm -rf "$WORK"
mkdir -p "$WORK"
head -c "$((MB * 1024 * 1024))" /dev/urandom > "$WORK/fw.bin"

# A package folder with the one entry and a fleet of `count` network printers.
stage() {
  local dir="$1" count="$2" i
  mkdir -p "$dir"
  cp "$BUILD/app/TessaroFWDL.exe" "$BUILD"/sim/vorlen*.dll "$dir/"
  ln -f "$WORK/fw.bin" "$dir/fw.bin" 2>/dev/null || cp "$WORK/fw.bin" "$dir/fw.bin"
  printf '[General]\nEncoding=0\nVID=5A71\nPID=0B0C\nFwCount=1\n[Fw0]\nFileName=fw.bin\n[Granted]\nS0A*=1\n' \
    > "$dir/TessaroFWDL.cfg"
  {
    printf '[Fleet]\nRecord=digest\n'
    for i in $(seq 0 $((count - 1))); do
      printf '[Net%d]\nIPv4=192.0.2.%d\nFirmware=1.00\nNewFirmware=1.10\nBytesPerSecond=%d\nUpdatingSeconds=%d\n' \
        "$i" "$((i + 100))" "$RATE" "$RESTART"
    done
  } > "$dir/vorlensim.ini"
}

list() {
  local count="$1" parallel="$2" i
  printf 'parallel %d\nwait 600\n' "$parallel"
  for i in $(seq 0 $((count - 1))); do printf 'net 192.0.2.%d\n' "$((i + 100))"; done
}

now() { date +%s.%N; }

# Peak resident set (VmHWM, KB) of the batch process while it runs: the one
# Wine process whose command line holds "/batch " (its children hold
# "/batch-printer").
watch_peak() {
  local out="$1" peak=0 pid hwm
  while [ ! -f "$out.stop" ]; do
    for pid in $(pgrep -f 'TessaroFWDL.exe /batch ' || true); do
      hwm="$(sed -n 's/^VmHWM:[[:space:]]*\([0-9]*\).*/\1/p' "/proc/$pid/status" 2>/dev/null || true)"
      [ -n "$hwm" ] && [ "$hwm" -gt "$peak" ] && peak="$hwm"
    done
    echo "$peak" > "$out"
    sleep 0.2
  done
}

# One batch run; prints "seconds exit-code peak-KB".
run_batch() {
  local dir="$1" count="$2" parallel="$3" start end code=0 peak
  stage "$dir" "$count"
  list "$count" "$parallel" > "$dir/list.txt"
  rm -f "$dir/peak" "$dir/peak.stop"
  watch_peak "$dir/peak" &
  local watcher=$!
  mkdir -p "$dir/appdata"
  start="$(now)"
  # Each run keeps its history in its own folder, to be counted below (the
  # prefix's local data folder follows the LOCALAPPDATA of the Windows side).
  (cd "$dir" && wine cmd /c "set LOCALAPPDATA=$(winepath -w "$dir/appdata")&& TessaroFWDL.exe /batch list.txt result.json" \
    >/dev/null 2>&1) || code=$?
  end="$(now)"
  touch "$dir/peak.stop"
  wait "$watcher"
  peak="$(cat "$dir/peak")"
  [ "$code" = 0 ] || { echo "batch in $dir ended with $code" >&2; exit 1; }
  for state in "$dir"/Net*.state; do
    [ "$(sed -n 's/^ReceivedBytes=//p' "$state")" = "$((MB * 1024 * 1024 + 4))" ] ||
      { echo "$state: not every byte arrived" >&2; exit 1; }
  done
  # One valid history line per printer, none lost.
  local history="$dir/appdata/Tessaro/TessaroFWDL/history.jsonl" lines
  lines="$(python3 -c 'import json, sys
print(sum(1 for line in open(sys.argv[1], encoding="utf-8") if json.loads(line)["outcome"] == "updated"))' "$history")" ||
    { echo "$history: not every line is valid JSON" >&2; exit 1; }
  [ "$lines" = "$count" ] || { echo "$history: $lines updated printers recorded, not $count" >&2; exit 1; }
  echo "$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.1f", b - a }') $code $peak"
}

(cd "$WORK" && wine cmd /c exit >/dev/null 2>&1) || true  # warms Wine up

if [ "$FLEET" = 1 ]; then
  read -r p64 _ peak_many < <(run_batch "$WORK/p64" "$PRINTERS" 64)
  read -r p16 _ _ < <(run_batch "$WORK/p16" "$PRINTERS" 16)
  read -r _ _ peak_few < <(run_batch "$WORK/few" 16 64)
  printf '%d printers, %d MB each at %d bytes/s, restart %d s\n' "$PRINTERS" "$MB" "$RATE" "$RESTART"
  printf '%-40s %10s\n' "run" "seconds"
  printf '%-40s %10s\n' "batch, parallel 64" "$p64"
  printf '%-40s %10s\n' "batch, parallel 16" "$p16"
  printf 'parallel 16 / parallel 64: %s\n' "$(awk -v a="$p16" -v b="$p64" 'BEGIN { printf "%.1f", a / b }')"
  printf 'peak memory of the batch process (parallel 64): %s KB with %d printers, %s KB with 16\n' \
    "$peak_many" "$PRINTERS" "$peak_few"
  printf 'history: one valid line for each of the %d printers in each run\n' "$PRINTERS"
  exit 0
fi

read -r p8 _ peak16 < <(run_batch "$WORK/p8" "$PRINTERS" 8)
read -r p1 _ _ < <(run_batch "$WORK/p1" "$PRINTERS" 1)
read -r _ _ peak2 < <(run_batch "$WORK/small" 2 8)

stage "$WORK/single" "$PRINTERS"
start="$(now)"
for i in $(seq 0 $((PRINTERS - 1))); do
  (cd "$WORK/single" && wine TessaroFWDL.exe /n "192.0.2.$((i + 100))" >/dev/null 2>&1)
done
singles="$(awk -v a="$start" -v b="$(now)" 'BEGIN { printf "%.1f", b - a }')"

printf '%d printers, %d MB each at %d bytes/s, restart %d s\n' "$PRINTERS" "$MB" "$RATE" "$RESTART"
printf '%-40s %10s\n' "run" "seconds"
printf '%-40s %10s\n' "batch, parallel 8" "$p8"
printf '%-40s %10s\n' "batch, parallel 1" "$p1"
printf '%-40s %10s\n' "$PRINTERS single /n runs, one after another" "$singles"
printf 'parallel 1 / parallel 8: %s\n' "$(awk -v a="$p1" -v b="$p8" 'BEGIN { printf "%.1f", a / b }')"
printf 'peak memory of the batch process: %s KB with %d printers, %s KB with 2\n' "$peak16" "$PRINTERS" "$peak2"
