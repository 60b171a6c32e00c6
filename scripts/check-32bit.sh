#!/usr/bin/env bash
# Tells whether this machine starts 32-bit programs, by starting one: Wine's
# 32-bit loader (or the program given) with --version. Some kernels have
# 32-bit emulation switched off; they refuse every 32-bit program with
# "Exec format error".
#
#   check-32bit.sh [PROGRAM]   prints "yes" and exits 0: the program started
#                              prints "no" and exits 1: refused with "Exec format error"
#                              exits 2 with the reason: it failed some other way
# Only the refusal counts as "no": any other failure is not taken as a
# reason to skip 32-bit tests.
set -uo pipefail
probe="${1:-/usr/lib/wine/wine}"
if [ ! -e "$probe" ]; then
  echo "check-32bit: $probe does not exist, so it cannot tell whether 32-bit programs start" >&2
  exit 2
fi
printed="$(WINEDEBUG=-all "$probe" --version 2>&1 </dev/null)"
status=$?
if [ "$status" -eq 0 ]; then
  echo yes
  exit 0
fi
if grep -q "Exec format error" <<<"$printed"; then
  echo no
  exit 1
fi
echo "check-32bit: $probe --version failed (exit $status) for a reason other than \"Exec format error\":" >&2
printf '%s\n' "$printed" | head -5 >&2
exit 2
