#!/usr/bin/env bash
# The Windows build under wine64 in a virtual display: its command-line import beside the native
# one, and the window's time from process start to a filled list. Usage: bench/wine.sh FILE...
set -euo pipefail
cd "$(dirname "$0")/.."
for program in build/win64/voxaro_gui_bench.exe build/win64/voxaro_list_fill.exe \
               build/win64/cli/voxaro-import.exe; do
  if [ ! -f "$program" ]; then
    echo "bench/wine.sh: $program is missing; build build/win64 first" >&2
    exit 1
  fi
done
if [ -z "${VOXARO_IN_XVFB:-}" ]; then
  VOXARO_IN_XVFB=1 exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi
source scripts/wine-env.sh
scripts/wine-prefix.sh
wineserver -p
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
scripts/wine-run cmd.exe /c exit >/dev/null 2>&1 </dev/null || true
python3 bench/wine_bench.py "$@"
