#!/usr/bin/env bash
# Creates the project's Wine prefix once: fonts the window uses, no window-manager waits.
# VOXARO_PREFIX_X86=1: a prefix for 32-bit programs, which needs i386 programs to run before it is
# made (scripts/x86-setup.sh), since only then does wineboot fill syswow64 with the 32-bit DLLs.
set -euo pipefail
source "$(dirname "$0")/wine-env.sh"

ready="$WINEPREFIX/.voxaro-ready"
x86=${VOXARO_PREFIX_X86:-}
wow64_dll="$WINEPREFIX/drive_c/windows/syswow64/kernel32.dll"
if [ -f "$ready" ]; then
  [ -z "$x86" ] || [ -f "$wow64_dll" ] && exit 0
  echo "$WINEPREFIX was made while 32-bit programs could not run; making it again"
fi
if [ -n "$x86" ]; then
  "$voxaro_root/scripts/x86-setup.sh" >/dev/null
fi

echo "creating Wine prefix $WINEPREFIX"
rm -rf "$WINEPREFIX"
mkdir -p "$WINEPREFIX"
# The 64-bit loader: with the 32-bit Wine installed, Debian's wineboot would start the 32-bit one.
"$WINELOADER" wineboot -i >/dev/null 2>&1
wineserver -w
if [ -n "$x86" ] && [ ! -f "$wow64_dll" ]; then
  echo "wine-prefix.sh: wineboot left $WINEPREFIX without 32-bit DLLs (syswow64)" >&2
  exit 1
fi
# Without a window manager every window close otherwise waits about 2 s.
"$WINELOADER" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
# Wine 8 does not pick these up by itself; Tahoma would fall back to another face.
fonts="$WINEPREFIX/drive_c/windows/Fonts"
mkdir -p "$fonts"
for f in tahoma.ttf tahomabd.ttf marlett.ttf; do
  cp "/usr/share/wine/fonts/$f" "$fonts/"
done
wineserver -w
touch "$ready"
