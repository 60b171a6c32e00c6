#!/usr/bin/env bash
# Prints, for each build directory given, the whole recorded output of every
# test that did not pass in its last CTest run (from CTest's own log), so
# that the reason of a failure stands at the end of a long test run.
# Each test's output is cut to its last 80 lines.
for build in "$@"; do
  log="$build/Testing/Temporary/LastTest.log"
  [ -f "$log" ] || continue
  awk -v build="$build" '
    function flush() {
      if (block != "" && !passed) {
        printf "== output of a test that did not pass (%s)\n", build
        start = count > 80 ? count - 79 : 1
        for (k = start; k <= count; ++k) print "   " lines[k]
      }
      block = ""; count = 0; passed = 0
    }
    /^[0-9]+\/[0-9]+ Testing: / { flush(); block = $0 }
    block != "" { lines[++count] = $0 }
    /^Test Passed\.$/ { passed = 1 }
    END { flush() }
  ' "$log"
done
