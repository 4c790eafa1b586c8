#!/usr/bin/env bash
# Creates the project's Wine prefix once: fonts the window uses, no window-manager waits.
set -euo pipefail
source "$(dirname "$0")/wine-env.sh"

ready="$WINEPREFIX/.voxaro-ready"
[ -f "$ready" ] && exit 0

echo "creating Wine prefix $WINEPREFIX"
rm -rf "$WINEPREFIX"
mkdir -p "$WINEPREFIX"
wineboot -i >/dev/null 2>&1
wineserver -w
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
