#!/usr/bin/env bash
# make bench: the Makefile has built build/native and build/win64 and generated the exports; the
# driver times the native import, then the Windows build under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
status=0
python3 bench/bench.py "$@" || status=$?
wine_files=()
for f in "$@"; do
  case $f in *-100k.csv | *-300k.csv | *-1M.csv | *-100k-shared.xlsx) wine_files+=("$f") ;; esac
done
bench/wine.sh "${wine_files[@]}" || status=$?
exit $status
