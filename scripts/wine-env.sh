# Sourced: the environment every Wine command of the project uses.
voxaro_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX=${WINEPREFIX:-$voxaro_root/build/wineprefix}
export WINEDEBUG=-all
# No sound hardware here; mscoree/mshtml off so that no installer asks for Mono or Gecko.
export WINEDLLOVERRIDES="winealsa.drv,winepulse.drv=d;mscoree,mshtml="
export WINELOADER=/usr/lib/wine/wine64
