#!/usr/bin/env bash
# The installer packages under wine64, in a clean prefix of their own (build/package-prefix, a
# fresh copy of a prefix made once), inside a virtual display:
#   test-package.sh [PACKAGES]
# tests the packages in the folder PACKAGES (make dist gives dist), or builds them from the built
# trees into build/package-test/current. Packages of the same programs with a higher version go
# to build/package-test/newer, for the upgrade. Runs the ctest label "package" of build/win64.
set -uo pipefail
cd "$(dirname "$0")/.."
if [ -z "${VOXARO_IN_XVFB:-}" ]; then
  VOXARO_IN_XVFB=1 exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi
root=$PWD
work=build/package-test
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/win64/CMakeCache.txt)
# The next version as Windows Installer compares them: the third field counts, a fourth does not.
newer=$(python3 -c '
import sys
p = (sys.argv[1].split(".") + ["0", "0"])[:3]
p[2] = str(int(p[2]) + 1)
print(".".join(p))' "$version")

if [ $# -gt 0 ]; then
  packages=$(cd "$1" && pwd)
else
  packages=$root/$work/current
  scripts/build-msi.sh "$packages" >/dev/null || exit 1
fi
scripts/build-msi.sh "$root/$work/newer" "$newer" >/dev/null || exit 1

# The prefix as wineboot leaves it (with the project's fonts and settings), made once; every run
# starts from a copy of it.
template=$root/build/package-prefix-template
export WINEPREFIX=$root/build/package-prefix
WINEPREFIX=$template scripts/wine-prefix.sh || exit 1
rm -rf "$WINEPREFIX"
cp -a "$template" "$WINEPREFIX"

source scripts/wine-env.sh
# Wine mirrors the shortcuts an installer makes as menu entries of the Linux desktop; they go
# here rather than into the home folder.
export XDG_DATA_HOME=$root/$work/xdg/data XDG_CONFIG_HOME=$root/$work/xdg/config
rm -rf "$root/$work/xdg"
wineserver -p
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
# Wine's helper processes keep the first program's output open; give them /dev/null.
scripts/wine-run cmd.exe /c exit >/dev/null 2>&1 </dev/null || true

export VOXARO_PACKAGES=$packages VOXARO_NEWER_PACKAGES=$root/$work/newer
rc=0
ctest --test-dir build/win64 -L package --output-on-failure --timeout 300 || rc=$?

tree=build/win64
if compgen -G "$tree/screenshots/*.bmp" >/dev/null; then
  mkdir -p build/screenshots
  for shot in "$tree"/screenshots/*.bmp; do
    convert "$shot" "build/screenshots/$(basename "${shot%.bmp}").png" && rm -f "$shot"
  done
fi
exit $rc
