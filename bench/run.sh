#!/usr/bin/env bash
# make bench: the Makefile has built build/native and build/win64 and generated the exports; the
# driver times the import, then the window under Wine on the 100k export.
set -euo pipefail
cd "$(dirname "$0")/.."
python3 bench/bench.py "$@"
for f in "$@"; do
  case $f in *-100k.csv) bench/gui.sh "$f" ;; esac
done
