#!/usr/bin/env bash
# make run-gui: starts build/win64/voxaro.exe under wine64, with FILE as its argument when given.
# Without a display it runs inside a virtual one, saves a screenshot as build/run-gui.png after a
# few seconds and ends the program.
set -euo pipefail
cd "$(dirname "$0")/.."
args=()
if [ -n "${1:-}" ]; then
  file=$1
  [[ "$file" = /* ]] || file="$PWD/$file"
  # Wine shows the Unix root as drive Z:.
  args=("Z:${file//\//\\}")
fi

if [ -n "${DISPLAY:-}" ] && [ -z "${VOXARO_IN_XVFB:-}" ]; then
  exec scripts/wine-run build/win64/voxaro.exe "${args[@]}"
fi

if [ -z "${VOXARO_IN_XVFB:-}" ]; then
  VOXARO_IN_XVFB=1 exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi
# The prefix first, so that its one-time set-up does not eat the waiting time.
scripts/wine-prefix.sh
# A process group of its own, so that ending it reaches the Wine loader and what it started; the
# output goes nowhere, as Wine's helpers keep it open and complain once the display is gone.
setsid scripts/wine-run build/win64/voxaro.exe "${args[@]}" >/dev/null 2>&1 &
program=$!
sleep "${RUN_GUI_SECONDS:-4}"
import -window root build/run-gui.png
kill -- "-$program" 2>/dev/null || true
wait "$program" 2>/dev/null || true
echo "screenshot: build/run-gui.png"
