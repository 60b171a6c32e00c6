#!/usr/bin/env bash
# Runs the tool's main job: the wizard on a demo package of simulated
# printers. With a display, the wizard opens there for you. Without one it
# runs under Xvfb, drives a whole USB update and a whole network update
# through the wizard, in English and in Japanese, at 100, 150 and 200 %, and
# saves a picture of every page and window. FWDL_DEMO_ARCH=x86 runs the
# 32-bit build instead of the 64-bit one.
set -euo pipefail
FWDL_ROOT="$(cd "$(dirname "$0")/.." && pwd)"
cd "$FWDL_ROOT"
source scripts/fail-trap.sh
source scripts/ccache-env.sh

# FWDL_DEMO_ARCH: x64 (default) runs the 64-bit build with 64-bit stand-in
# libraries, x86 the 32-bit build with 32-bit ones.
case "${FWDL_DEMO_ARCH:=x64}" in
  x64) preset=windows ;;
  x86) preset=windows-x86 ;;
  *) echo "FWDL_DEMO_ARCH is x64 or x86, not $FWDL_DEMO_ARCH" >&2; exit 2 ;;
esac

bash scripts/install-deps.sh
if [ "$FWDL_DEMO_ARCH" = x86 ]; then
  runs_32bit="$(bash scripts/check-32bit.sh)" || [ "$runs_32bit" = no ]
  if [ "$runs_32bit" = no ]; then
    echo "This machine cannot start 32-bit programs (/usr/lib/wine/wine --version fails with" \
      "\"Exec format error\"; check: bash scripts/check-32bit.sh), so the 32-bit build cannot run" \
      "here. Run the 64-bit one: bash scripts/run-demo.sh" >&2
    exit 2
  fi
fi
cmake --preset "$preset" "${fwdl_compiler_launcher[@]}" >/dev/null
cmake --build --preset "$preset" -j "$(nproc)" --target TessaroFWDL vorlendu vorlenusb vorlennet wizard_demo fwpack

build="$FWDL_ROOT/build/$preset"
package="$FWDL_ROOT/build/demo-package"
echo "== The $FWDL_DEMO_ARCH build"

# The demo maker's key pair: made once in the build folder, never in the
# repository, where its private half would let anyone sign a package.
demo_key="$build/demo-key/tessaro-demo"
fwpack() { wine "$build/tools/fwpack/fwpack.exe" "$@"; }

stage_package() {
  rm -rf "$package"
  mkdir -p "$package"
  cp "$build/app/TessaroFWDL.exe" "$build"/sim/vorlen*.dll "$package/"
  cp "$FWDL_ROOT"/demo/* "$package/"
  if [ ! -f "$demo_key.key" ] || [ ! -f "$demo_key.pub" ]; then
    mkdir -p "$(dirname "$demo_key")"
    rm -f "$demo_key.key" "$demo_key.pub"
    fwpack keygen "$(winepath -w "$demo_key")" >/dev/null
  fi
  # Pins for every firmware file and library, then the maker's signature.
  fwpack seal "$(winepath -w "$package")" >/dev/null
  fwpack sign "$(winepath -w "$package/TessaroFWDL.cfg")" --key "$(winepath -w "$demo_key.key")" \
    --comment "Tessaro demo package" --sequence 1 >/dev/null
}

# The demo's prefix trusts the demo key through the machine's list, as an
# administrator would (64-bit view, which both builds read).
trust_demo_key() {
  wine reg add 'HKLM\SOFTWARE\Policies\Tessaro\TessaroFWDL\TrustedKeys' /v "Tessaro demo" /t REG_SZ \
    /d "$(tr -d '\r\n' <"$demo_key.pub")" /f /reg:64 </dev/null >/dev/null
}

# The demo keeps a Wine prefix of its own: the tests' prefix draws nothing.
export FWDL_WINEPREFIX="$FWDL_ROOT/build/wineprefix-demo"
source scripts/wine-env.sh

stage_package
echo "== The demo package, as fwpack checks it"
fwpack check "$(winepath -w "$package")" || true

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  fwdl_prepare_wine x11
  trust_demo_key
  echo "== Opening the wizard on display $DISPLAY (package: $package)"
  cd "$package"
  wine TessaroFWDL.exe
  exit 0
fi

echo "== No display: driving the wizard under Xvfb"
display=":$((90 + RANDOM % 100))"
# Room for the wizard at 200 %.
Xvfb "$display" -screen 0 1800x1400x24 >/dev/null 2>&1 &
xvfb=$!
# However the run ends, it leaves no Xvfb and no wineserver of its own
# behind: the prefix goes back to 100 %, its server ends, then Xvfb.
end_drawn_run() {
  if [ -f "$WINEPREFIX/system.reg" ]; then set_scale 96 || true; fi
  wineserver -k >/dev/null 2>&1 || true
  kill "$xvfb" 2>/dev/null || true
  wait "$xvfb" 2>/dev/null || true
}
trap end_drawn_run EXIT
export DISPLAY="$display"
sleep 1
# The scale of a new Wine process comes from LogPixels; the prefix is left at 100 %.
set_scale() {
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f </dev/null >/dev/null 2>&1
}
# A fresh Wine session for each drive; its exit trap is replaced by ours.
prepare_drawn_wine() {
  fwdl_prepare_wine x11
  trust_demo_key
  trap end_drawn_run EXIT
}
prepare_drawn_wine

shots="$FWDL_ROOT/build/demo-screens"
rm -rf "$shots"
# FWDL_DEMO_SCALES: the scales in per cent (default all three).
for scale in ${FWDL_DEMO_SCALES:-100 150 200}; do
  mkdir -p "$shots/$scale"
  for road in usb network; do
    for language in english japanese; do
      stage_package
      set_scale $((96 * scale / 100))
      echo "-- a $road update in $language at $scale %"
      wine explorer /desktop=FirmwareDemo,$((8 * scale))x$((6 * scale)) "$build/tests/wizard/wizard_demo.exe" \
        "$(winepath -w "$package")" "$(winepath -w "$shots/$scale")" "$road" "$language"
      echo "-- what the simulated printers received:"
      ls -l "$package/records" 2>/dev/null | grep '\.bin$' || true
      prepare_drawn_wine
    done
  done
done
# Small pictures: a palette of 64 colours keeps the text sharp.
for picture in "$shots"/*/*.bmp; do
  convert "$picture" -strip +dither -colors 64 -define png:compression-level=9 "PNG8:${picture%.bmp}.png" &&
    rm "$picture"
done
echo "Pictures of every page and window, per scale: $shots"
ls -R "$shots"
