#!/usr/bin/env bash
# Benchmark of the command-line update: streams a 16 MB and a 256 MB firmware
# package to a simulated printer that keeps only a digest of what it receives
# (Record=digest), over USB (/u) and over the network (/n), under Wine, and
# reports throughput and peak memory of the program next to a plain copy of
# the same file (native cp, and Wine's "copy").
#
#   tools/bench-cmdline.sh [WINDOWS_BUILD_DIR]     (default build/windows)
#
# Each update runs FWDL_BENCH_REPEAT times (default 3): the fastest time and
# the highest peak count. Figures include Wine's start of the program; the
# "net" column takes off the time of an update of an empty package. Memory is
# the peak resident set of the program's process as /usr/bin/time reports it.
set -euo pipefail
FWDL_ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="$(cd "${1:-$FWDL_ROOT/build/windows}" && pwd)"
WORK="${FWDL_BENCH_DIR:-$FWDL_ROOT/build/bench-cmdline}"
SIZES_MB="${FWDL_BENCH_SIZES:-16 256}"
REPEAT="${FWDL_BENCH_REPEAT:-3}"

for part in app/TessaroFWDL.exe sim/vorlendu.dll sim/vorlenusb.dll sim/vorlennet.dll; do
  [ -f "$BUILD/$part" ] || { echo "missing $BUILD/$part: build the windows preset first" >&2; exit 1; }
done
command -v /usr/bin/time >/dev/null || { echo "needs /usr/bin/time (Debian package time)" >&2; exit 1; }

# shellcheck source=../scripts/wine-env.sh
source "$FWDL_ROOT/scripts/wine-env.sh"
fwdl_prepare_wine null

rm -rf "$WORK"
mkdir -p "$WORK"

# A package folder with one entry of the given file (none when empty).
stage() {
  local dir="$1" file="$2"
  mkdir -p "$dir"
  cp "$BUILD/app/TessaroFWDL.exe" "$BUILD"/sim/vorlen*.dll "$dir/"
  if [ -n "$file" ]; then
    ln -f "$file" "$dir/fw.bin" 2>/dev/null || cp "$file" "$dir/fw.bin"
    printf '[General]\nEncoding=0\nVID=5A71\nPID=0B0B\nFwCount=1\n[Fw0]\nFileName=fw.bin\n[Granted]\nS0A*=1\n' \
      > "$dir/TessaroFWDL.cfg"
  else
    printf '[General]\nEncoding=0\nVID=5A71\nPID=0B0B\nFwCount=0\n[Granted]\nS0A*=1\n' > "$dir/TessaroFWDL.cfg"
  fi
  printf '[Fleet]\nRecord=digest\n[Usb0]\nPrinterName=Bench USB\n[Net0]\nIPv4=192.0.2.50\n' > "$dir/vorlensim.ini"
}

# Runs one silent update (3 arguments: no caller window) REPEAT times, with
# the printer's records cleared before each; prints "fastest-seconds peak-KB".
run_update() {
  local dir="$1" switch="$2" target="$3" best="" peak=0 secs kb
  for _ in $(seq "$REPEAT"); do
    rm -f "$dir"/Usb0.* "$dir"/Net0.* "$dir/fleet.log"
    (cd "$dir" && /usr/bin/time -f '%e %M' -o "$dir/time.txt" wine TessaroFWDL.exe "$switch" "$target" >/dev/null 2>&1)
    read -r secs kb < "$dir/time.txt"
    best="$(awk -v a="$secs" -v b="$best" 'BEGIN { print (b == "" || a < b) ? a : b }')"
    [ "$kb" -gt "$peak" ] && peak="$kb"
  done
  echo "$best $peak"
}

received() { sed -n 's/^ReceivedBytes=//p' "$1"; }

mbps() { awk -v mb="$1" -v s="$2" 'BEGIN { if (s <= 0) print "-"; else printf "%.1f", mb / s }'; }

stage "$WORK/empty" ""
run_update "$WORK/empty" /u "Bench USB" >/dev/null  # warms Wine up
read -r base_usb _ < <(run_update "$WORK/empty" /u "Bench USB")
read -r base_net _ < <(run_update "$WORK/empty" /n 192.0.2.50)

printf '%-28s %8s %9s %9s %10s\n' "run" "seconds" "MB/s" "net MB/s" "peak KB"
for mb in $SIZES_MB; do
  file="$WORK/fw-$mb.bin"
  head -c "$((mb * 1024 * 1024))" /dev/urandom > "$file"
  bytes=$((mb * 1024 * 1024))
  for mode in usb net; do
    dir="$WORK/$mode-$mb"
    stage "$dir" "$file"
    if [ "$mode" = usb ]; then
      read -r secs kb < <(run_update "$dir" /u "Bench USB"); state="$dir/Usb0.state"; base=$base_usb
    else
      read -r secs kb < <(run_update "$dir" /n 192.0.2.50); state="$dir/Net0.state"; base=$base_net
    fi
    got="$(received "$state")"
    [ "$got" = "$((bytes + 4))" ] || { echo "the printer received $got bytes, not $((bytes + 4))" >&2; exit 1; }
    net="$(awk -v a="$secs" -v b="$base" 'BEGIN { printf "%.2f", a - b }')"
    printf '%-28s %8s %9s %9s %10s\n' "update $mode $mb MB" "$secs" "$(mbps "$mb" "$secs")" "$(mbps "$mb" "$net")" "$kb"
  done
  read -r secs kb < <(/usr/bin/time -f '%e %M' cp "$file" "$WORK/copy.bin" 2>&1)
  printf '%-28s %8s %9s %9s %10s\n' "native cp $mb MB" "$secs" "$(mbps "$mb" "$secs")" "-" "$kb"
  (cd "$WORK" && /usr/bin/time -f '%e %M' -o time.txt wine cmd /c copy /b "fw-$mb.bin" "wcopy.bin" >/dev/null 2>&1)
  read -r secs kb < "$WORK/time.txt"
  printf '%-28s %8s %9s %9s %10s\n' "wine copy $mb MB" "$secs" "$(mbps "$mb" "$secs")" "-" "$kb"
  rm -f "$WORK/copy.bin" "$WORK/wcopy.bin"
done
printf '(Wine start of an empty update: %s s over USB, %s s over the network)\n' "$base_usb" "$base_net"
