# Sourced by the scripts: the project's own Wine prefix, created on first use.
#   FWDL_WINE_GRAPHICS=null (default) gives windows that are never drawn, for
#   tests; "x11" draws them, for the demo and screenshots (needs DISPLAY).
: "${FWDL_WINEPREFIX:=$FWDL_ROOT/build/wineprefix}"
export FWDL_WINEPREFIX
export WINEPREFIX="$FWDL_WINEPREFIX"
export WINEDEBUG="${WINEDEBUG:--all}"
# No prompts to install browser or .NET runtimes into the prefix.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree=;mshtml=}"

fwdl_prepare_wine() {
  local graphics="${1:-null}"
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "Creating the Wine prefix $WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    wineboot --init >/dev/null 2>&1 || true
    wineserver -w
  fi
  if [ "$graphics" = null ]; then
    wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
  else
    wine reg delete 'HKCU\Software\Wine\Drivers' /v Graphics /f >/dev/null 2>&1 || true
  fi
}

# One persistent wineserver for the whole run: each Wine start then costs a
# fraction of a second.
fwdl_start_wineserver() {
  wineserver -p
  trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
}
