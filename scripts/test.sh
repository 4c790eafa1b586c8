#!/usr/bin/env bash
# make test: install what is missing, build the three trees, run every test suite, and end with
# one closing line per suite. Exits non-zero when anything failed.
set -uo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh || exit 1

for tree in native win64 win32; do
  echo "== building build/$tree"
  scripts/build.sh "$tree" || { echo "== build of build/$tree failed"; exit 1; }
done

summary=()
failed=0
# Runs one suite, keeps its closing line for the summary.
suite() {
  local title=$1; shift
  echo "== $title"
  local log
  log=$(mktemp)
  "$@" 2>&1 | tee "$log"
  local rc=${PIPESTATUS[0]}
  local closing
  closing=$(grep -E 'tests passed|checks passed|programs|formatted' "$log" | tail -n 1)
  rm -f "$log"
  [ -n "$closing" ] || closing="no result (exit status $rc)"
  [ "$rc" = 0 ] || failed=1
  summary+=("$(printf '%-24s %s' "$title:" "$closing")")
}

suite "formatting" scripts/check-format.sh
suite "native" ctest --test-dir build/native -L plain -j"$(nproc)" --output-on-failure --timeout 120
suite "native ASan+UBSan" ctest --test-dir build/native -L sanitized -j"$(nproc)" --output-on-failure --timeout 300
suite "win64 under wine64" scripts/test-win64.sh -LE 'e2e|package'
# After the unit tests, alone: they use the one desktop, keyboard, mouse and clipboard.
suite "win64 end-to-end" scripts/test-win64.sh -L e2e
# Both installer packages, built from the two trees, in a Wine prefix of their own (30 to 45 s).
suite "installer packages" scripts/test-package.sh
# The 32-bit programs under the 32-bit Wine, in a prefix of their own: natively where the kernel
# runs i386 code, else under qemu (about a minute or more for each start of a 32-bit program).
suite "win32 under emulation" scripts/test-win32.sh
suite "fuzz seed corpora" scripts/fuzz.sh --replay
suite "win32 programs" scripts/check-pe.sh build/win32 "PE32 executable" "Intel 80386"
suite "win64 programs" scripts/check-pe.sh build/win64 "PE32+ executable" "x86-64"

echo "== summary"
printf '%s\n' "${summary[@]}"
exit "$failed"
