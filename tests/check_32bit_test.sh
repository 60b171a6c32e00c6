#!/usr/bin/env bash
# The test command's check of whether 32-bit programs start: it answers
# "yes" for a program that starts, "no" only for one the kernel refuses with
# "Exec format error", and fails for any other failure.
set -uo pipefail
check="$(cd "$(dirname "$0")/.." && pwd)/scripts/check-32bit.sh"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failures=0
expect() {  # expect ANSWER STATUS PROGRAM
  local answer status
  answer="$(bash "$check" "$3" 2>/dev/null)"
  status=$?
  if [ "$answer" != "$1" ] || [ "$status" -ne "$2" ]; then
    echo "FAIL: $3 gave \"$answer\" (exit $status), expected \"$1\" (exit $2)"
    failures=$((failures + 1))
  else
    echo "ok: $3 -> \"$answer\" (exit $status)"
  fi
}

# A program that starts: nothing is skipped.
expect yes 0 /bin/true
# An executable ELF file of a machine no kernel here runs (e_machine 0xbeef):
# the kernel refuses it with "Exec format error", as a kernel without 32-bit
# emulation refuses every 32-bit program.
printf '\177ELF\001\001\001\000\000\000\000\000\000\000\000\000\002\000\357\276\001\000\000\000' >"$work/foreign"
head -c 64 /dev/zero >>"$work/foreign"
chmod +x "$work/foreign"
expect no 1 "$work/foreign"
# Any other failure is no reason to skip: the check fails.
expect "" 2 /bin/false
expect "" 2 "$work/absent"

# On this machine the real probe gives an answer, never a failure.
real="$(bash "$check")"
case "$real" in
  yes | no) echo "ok: this machine starts 32-bit programs: $real" ;;
  *) echo "FAIL: the real probe gave \"$real\""; failures=$((failures + 1)) ;;
esac
exit "$((failures > 0))"
