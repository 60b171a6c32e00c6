#!/usr/bin/env bash
# Runs README's marked examples under Wine, each in a fresh copy of the demo
# package, so that README and the program cannot drift apart. A marker is an
# HTML comment on a line of its own; the indented block that follows it is
# the example:
#   <!-- example: exit N -->      the block is run by Wine's cmd.exe in the
#                                 package folder (PowerShell lines are run
#                                 with their -ArgumentList); the exit code of
#                                 its last program must be N
#   <!-- example: file NAME -->   the block is written to NAME in the folder
#                                 of the next example that runs
#   <!-- example: output NAME --> the file NAME of the last example that ran
#                                 holds exactly these lines
# usage: readme_examples.sh README PROGRAM LIBRARY_FOLDER DEMO_FOLDER WORK_FOLDER
set -uo pipefail
readme="$1" program="$2" libraries="$3" demo="$4" work="$5"
wine_run="$(cd "$(dirname "$0")" && pwd)/wine/wine-run"

failures=0
examples=0
runs=0
pending_files=()   # "name" entries whose text waits in $work/pending/
folder=""

fail() {
  echo "README example at line $1: $2" >&2
  failures=$((failures + 1))
}

stage() {
  folder="$work/run-$runs"
  rm -rf "$folder"
  mkdir -p "$folder"
  cp "$program" "$libraries"/vorlen*.dll "$folder/"
  cp "$demo"/* "$folder/"
  for name in "${pending_files[@]}"; do cp "$work/pending/$name" "$folder/$name"; done
  pending_files=()
}

# The lines of cmd.exe that run a block: as they stand, or, for PowerShell,
# the program with each -ArgumentList.
batch_lines() {
  if grep -q 'Start-Process' "$1"; then
    sed -n "s/.*-ArgumentList '\\([^']*\\)'.*/start \"\" \\/wait TessaroFWDL.exe \\1/p" "$1"
  else
    cat "$1"
  fi
}

run_example() {
  local line="$1" block="$2" expected="$3"
  runs=$((runs + 1))
  stage
  { echo "@echo off"; batch_lines "$block"; echo "echo readme-exit=%ERRORLEVEL%"; } | sed 's/$/\r/' >"$folder/example.bat"
  local output
  output="$(cd "$folder" && timeout 240 "$wine_run" cmd /c example.bat 2>&1 | tr -d '\r')"
  local got
  got="$(printf '%s\n' "$output" | sed -n 's/^readme-exit=//p' | tail -1)"
  echo "-- README line $line: exit ${got:-none} (README says $expected)"
  sed 's/^/   /' "$block"
  [ "$got" = "$expected" ] || fail "$line" "exit ${got:-none}, README says $expected; output: $output"
}

check_output() {
  local line="$1" block="$2" name="$3"
  if [ -z "$folder" ] || [ ! -f "$folder/$name" ]; then
    fail "$line" "no $name from the example before it"
    return
  fi
  if ! diff <(tr -d '\r' <"$folder/$name") "$block" >"$work/diff.txt"; then
    fail "$line" "$name differs from README (< program, > README): $(cat "$work/diff.txt")"
  fi
}

rm -rf "$work"
mkdir -p "$work/pending"
mapfile -t lines <"$readme"
count=${#lines[@]}
for ((i = 0; i < count; i++)); do
  marker="$(printf '%s' "${lines[i]}" | sed -n 's/^<!-- example: \(.*\) -->$/\1/p')"
  [ -n "$marker" ] || continue
  examples=$((examples + 1))
  at=$((i + 1))
  # The indented block after the marker (blank lines before it skipped).
  j=$((i + 1))
  while ((j < count)) && [ -z "${lines[j]}" ]; do j=$((j + 1)); done
  block="$work/block-$examples.txt"
  : >"$block"
  while ((j < count)) && [[ "${lines[j]}" == "    "* ]]; do
    printf '%s\n' "${lines[j]:4}" >>"$block"
    j=$((j + 1))
  done
  if [ ! -s "$block" ]; then
    fail "$at" "a marker without an indented block after it"
    continue
  fi
  read -r kind argument <<<"$marker"
  case "$kind" in
    exit) run_example "$at" "$block" "$argument" ;;
    file)
      cp "$block" "$work/pending/$argument"
      pending_files+=("$argument")
      ;;
    output) check_output "$at" "$block" "$argument" ;;
    *) fail "$at" "unknown marker: $marker" ;;
  esac
done

if ((runs == 0)); then
  echo "README holds no example to run" >&2
  exit 1
fi
echo "$runs examples run, $failures failed"
((failures == 0))
