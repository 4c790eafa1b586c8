#!/usr/bin/env bash
# The ThreadSanitizer tree, build/tsan: the portable core, its unit tests and the command-line
# programs built with -fsanitize=thread. Runs the unit tests in one process, then a two-thread
# import of each FILE (a generated export of at least 1 MB, CSV or vCard), whose output must equal
# the Python baseline's. Part of make fuzz: building the tree would add more than two minutes to
# make test.
# Usage: tsan.sh [FILE...]
set -uo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh tsan >/dev/null || { echo "tsan: build of build/tsan failed"; exit 1; }
failed=0
# A report makes the program exit with status 66 at its end, whatever the tests said.
if build/tsan/voxaro_tests --gtest_brief=1 >build/tsan/unit.log 2>&1; then
  echo "tsan: unit tests: $(sed -nE 's/^\[  PASSED  \] ([0-9]+) tests?\./\1 passed/p' build/tsan/unit.log), no report"
else
  grep -E -A12 'WARNING: ThreadSanitizer|FAILED' build/tsan/unit.log | head -n 80
  echo "tsan: unit tests FAILED: $(grep -c 'WARNING: ThreadSanitizer' build/tsan/unit.log) reports"
  failed=1
fi
for file in "$@"; do
  result="clean, same lines as bench/baseline.py"
  if ! build/tsan/cli/voxaro-import --raw --country 49 "$file" >build/tsan/import.out \
      2>build/tsan/import.log; then
    grep -E -A12 'WARNING: ThreadSanitizer' build/tsan/import.log | head -n 80
    tail -n 3 build/tsan/import.log
    result=FAILED
  elif ! python3 bench/baseline.py --raw --country 49 "$file" 2>/dev/null |
      cmp -s - build/tsan/import.out; then
    result="FAILED: its lines differ from bench/baseline.py's"
  fi
  case $result in FAILED*) failed=1 ;; esac
  echo "tsan: import of $file: $result"
done
exit $failed
