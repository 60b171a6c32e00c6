# Sourced by the scripts: the project's own Wine prefix, created on first use.
: "${FWDL_ROOT:=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}"
: "${FWDL_WINEPREFIX:=$FWDL_ROOT/build/wineprefix}"
export FWDL_WINEPREFIX
export WINEPREFIX="$FWDL_WINEPREFIX"
export WINEDEBUG="${WINEDEBUG:--all}"
# No prompts to install browser or .NET runtimes into the prefix.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree=;mshtml=}"

# Whether this machine starts 32-bit programs (scripts/check-32bit.sh tries
# one). Where it cannot, Debian's wine wrapper would still pick the 32-bit
# loader, so every Wine start (tests, wineboot, reg, the demo) goes through
# the 64-bit loader instead, and only the 64-bit programs can run.
if [ -z "${FWDL_RUNS_32BIT:-}" ]; then
  FWDL_RUNS_32BIT="$(bash "$FWDL_ROOT/scripts/check-32bit.sh")" || [ "$FWDL_RUNS_32BIT" = no ] || {
    echo "wine-env.sh: could not tell whether this machine starts 32-bit programs (above)" >&2
    return 2
  }
fi
export FWDL_RUNS_32BIT
if [ "$FWDL_RUNS_32BIT" = no ]; then
  case ":$PATH:" in
    *":$FWDL_ROOT/scripts/wine64-only:"*) ;;
    *) PATH="$FWDL_ROOT/scripts/wine64-only:$PATH" ;;
  esac
  export PATH WINELOADER=/usr/lib/wine/wine64
fi

# Starts one persistent wineserver for the prefix (each Wine start then costs
# a fraction of a second), creates the prefix on first use and sets the
# graphics driver: "null" gives windows that are never drawn, for tests;
# "x11" draws them, for the demo and screenshots (needs DISPLAY). A second
# argument N prepares N more sessions (below; the test sessions of
# tests/wine/sessions.json, 2, by default for "null"). The servers are stopped when
# the calling script exits.
fwdl_prepare_wine() {
  local graphics="${1:-null}" sessions="${2:-}"
  [ -n "$sessions" ] || { [ "$graphics" = null ] && sessions=2 || sessions=0; }
  mkdir -p "$WINEPREFIX"
  wineserver -k >/dev/null 2>&1 || true
  # Prefix and driver are set up under a server of their own that is left to
  # end before the persistent one starts: the desktop process then starts
  # afresh, with the driver chosen here, at the first window.
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "Creating the Wine prefix $WINEPREFIX"
    local said
    said="$(wineboot --init </dev/null 2>&1)" || true
    wineserver -w
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      echo "Wine did not create the prefix $WINEPREFIX (wineboot --init with $(command -v wine)); it said:" >&2
      printf '%s\n' "$said" | tail -20 >&2
      return 1
    fi
  fi
  if [ "$graphics" = null ]; then
    wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f </dev/null >/dev/null 2>&1 || {
      echo "Wine could not set its null graphics driver in $WINEPREFIX ($(command -v wine) reg add)" >&2
      return 1
    }
  else
    wine reg delete 'HKCU\Software\Wine\Drivers' /v Graphics /f </dev/null >/dev/null 2>&1 || true
    # Drawn windows need a font with Japanese glyphs for the dialog font.
    local face
    for face in "MS Shell Dlg" "MS Shell Dlg 2" "Tahoma" "MS UI Gothic"; do
      wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$face" /d "Noto Sans CJK JP" /f \
        </dev/null >/dev/null 2>&1 || true
    done
  fi
  # The user's local application data folder follows the LOCALAPPDATA of the
  # process that asks (Wine otherwise derives it from the prefix alone), so
  # that a test can give the program a folder of its own for its history and
  # logs. Without the variable set by a test it is the prefix's usual folder.
  wine reg add 'HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\User Shell Folders' \
    /v 'Local AppData' /t REG_EXPAND_SZ /d '%LOCALAPPDATA%' /f </dev/null >/dev/null 2>&1 || {
    echo "Wine could not point the local application data folder at LOCALAPPDATA in $WINEPREFIX" >&2
    return 1
  }
  wineserver -w
  # Tests that must not share a session (the wizard's: tests/wine/run-test-program
  # picks one per test) get copies of the prepared prefix,
  # PREFIX-session-1 ... PREFIX-session-N, each with a wineserver of its own.
  # The prefix's registry files are whole on disk now: no server runs.
  local session prefix
  FWDL_WINE_SESSIONS=()
  for ((session = 1; session <= sessions; ++session)); do
    prefix="$WINEPREFIX-session-$session"
    WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1 || true
    rm -rf "$prefix"
    cp -a "$WINEPREFIX" "$prefix"
    FWDL_WINE_SESSIONS+=("$prefix")
  done
  trap fwdl_stop_wine EXIT
  for prefix in "$WINEPREFIX" "${FWDL_WINE_SESSIONS[@]}"; do
    WINEPREFIX="$prefix" wineserver -p
  done
  # Start Wine's own background services now, detached from every pipe: if a
  # test started them they would hold its output open after it ended.
  for prefix in "$WINEPREFIX" "${FWDL_WINE_SESSIONS[@]}"; do
    WINEPREFIX="$prefix" wine reg query 'HKCU\Software\Wine\Drivers' </dev/null >/dev/null 2>&1 || true
  done
}

# Ends the wineservers of the prefix and of its sessions.
fwdl_stop_wine() {
  local prefix
  for prefix in "$WINEPREFIX" "${FWDL_WINE_SESSIONS[@]}"; do
    WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1 || true
  done
}
FWDL_WINE_SESSIONS=()
