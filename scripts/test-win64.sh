#!/usr/bin/env bash
# The win64 tests under wine64, inside a virtual display, with one persistent wineserver.
set -uo pipefail
cd "$(dirname "$0")/.."
if [ -z "${VOXARO_IN_XVFB:-}" ]; then
  VOXARO_IN_XVFB=1 exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi
source scripts/wine-env.sh
scripts/wine-prefix.sh || exit 1

wineserver -p
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
# Wine's helper processes keep the first program's output open; give them /dev/null.
scripts/wine-run cmd.exe /c exit >/dev/null 2>&1 </dev/null || true

ctest --test-dir "${VOXARO_WIN64_BUILD:-build/win64}" -j"$(nproc)" --output-on-failure --timeout 120 "$@"
