#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need.
# Idempotent: does nothing when everything is there already.
set -euo pipefail
source "$(dirname "$0")/fail-trap.sh"

packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev googletest
  libssl-dev ccache
  mingw-w64 g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
  wine wine64 wine32:i386 xvfb x11-utils imagemagick fonts-noto-cjk
)

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)

# The 32-bit build's tests run under Debian's 32-bit Wine, an i386 package.
needs_update=0
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  echo "Adding the i386 architecture"
  "${sudo_cmd[@]}" dpkg --add-architecture i386
  needs_update=1
fi

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  needs_update=1
fi
if ((needs_update)); then
  "${sudo_cmd[@]}" apt-get update -qq
fi
if ((${#missing[@]})); then
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
