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

tree=${VOXARO_WIN64_BUILD:-build/win64}
# The unit tests first, side by side; then the end-to-end tests alone, because they use the
# one desktop: the foreground window, the keyboard, the mouse and the clipboard. The installer
# packages have a prefix of their own (scripts/test-package.sh).
rc=0
if [ $# -gt 0 ]; then
  ctest --test-dir "$tree" -j"$(nproc)" --output-on-failure --timeout 120 "$@" || rc=$?
else
  ctest --test-dir "$tree" -j"$(nproc)" --output-on-failure --timeout 120 -LE 'e2e|package' || rc=$?
  ctest --test-dir "$tree" --output-on-failure --timeout 180 -L e2e || rc=$?
fi
# The end-to-end tests leave pictures of the window as BMP files; keep them as PNG for people.
if compgen -G "$tree/screenshots/*.bmp" >/dev/null; then
  mkdir -p build/screenshots
  for shot in "$tree"/screenshots/*.bmp; do
    convert "$shot" "build/screenshots/$(basename "${shot%.bmp}").png" && rm -f "$shot"
  done
  echo "screenshots: $(ls build/screenshots | tr '\n' ' ')"
fi
exit $rc
