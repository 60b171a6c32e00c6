#!/usr/bin/env bash
# Runs the tool's main job: the wizard on a demo package of simulated
# printers. With a display, the wizard opens there for you. Without one it
# runs under Xvfb, drives a whole USB update and a whole network update
# through the wizard, in English and in Japanese, and saves a picture of
# every page and window.
set -euo pipefail
FWDL_ROOT="$(cd "$(dirname "$0")/.." && pwd)"
cd "$FWDL_ROOT"

bash scripts/install-deps.sh
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$(nproc)" --target TessaroFWDL vorlendu vorlenusb vorlennet wizard_demo fwpack

build="$FWDL_ROOT/build/windows"
package="$FWDL_ROOT/build/demo-package"

stage_package() {
  rm -rf "$package"
  mkdir -p "$package"
  cp "$build/app/TessaroFWDL.exe" "$build"/sim/vorlen*.dll "$package/"
  cp "$FWDL_ROOT"/demo/* "$package/"
}

# The demo keeps a Wine prefix of its own: the tests' prefix draws nothing.
export FWDL_WINEPREFIX="$FWDL_ROOT/build/wineprefix-demo"
source scripts/wine-env.sh

stage_package
echo "== The demo package, as fwpack checks it"
wine "$build/tools/fwpack/fwpack.exe" check "$(winepath -w "$package")" || true

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  fwdl_prepare_wine x11
  echo "== Opening the wizard on display $DISPLAY (package: $package)"
  cd "$package"
  wine TessaroFWDL.exe
  exit 0
fi

echo "== No display: driving the wizard under Xvfb"
display=":$((90 + RANDOM % 100))"
Xvfb "$display" -screen 0 1024x768x24 >/dev/null 2>&1 &
xvfb=$!
export DISPLAY="$display"
sleep 1
fwdl_prepare_wine x11
trap 'wineserver -k >/dev/null 2>&1 || true; kill $xvfb 2>/dev/null || true' EXIT

shots="$FWDL_ROOT/build/demo-screens"
rm -rf "$shots"
mkdir -p "$shots"
for road in usb network; do
  for language in english japanese; do
    stage_package
    echo "-- a $road update in $language"
    wine explorer /desktop=FirmwareDemo,800x600 "$build/tests/wizard/wizard_demo.exe" \
      "$(winepath -w "$package")" "$(winepath -w "$shots")" "$road" "$language"
    echo "-- what the simulated printers received:"
    ls -l "$package/records" 2>/dev/null | grep '\.bin$' || true
    fwdl_prepare_wine x11
  done
done
for picture in "$shots"/*.bmp; do
  convert "$picture" "${picture%.bmp}.png" && rm "$picture"
done
echo "Pictures of every page and window: $shots"
ls "$shots"
