# Sourced: the environment every Wine command of the project uses. With VOXARO_PREFIX_X86=1 it is
# the 32-bit programs' prefix (scripts/test-win32.sh), a 64-bit prefix whose syswow64 holds the
# 32-bit DLLs.
voxaro_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
if [ -n "${VOXARO_PREFIX_X86:-}" ]; then
  export VOXARO_PREFIX_X86
  export WINEPREFIX=${WINEPREFIX:-$voxaro_root/build/wineprefix-x86}
  # Where i386 programs run under qemu (scripts/x86-setup.sh), the 32-bit Wine cannot map its
  # shared user data without the whole 32-bit address space reserved; natively it is ignored.
  export QEMU_RESERVED_VA=0xffff0000
else
  export WINEPREFIX=${WINEPREFIX:-$voxaro_root/build/wineprefix}
fi
export WINEDEBUG=-all
# No sound hardware here; mscoree/mshtml off so that no installer asks for Mono or Gecko.
export WINEDLLOVERRIDES="winealsa.drv,winepulse.drv=d;mscoree,mshtml="
# Always the 64-bit loader: with the 32-bit Wine installed, Debian's wine prefers the 32-bit one.
# A 64-bit Wine process starts the 32-bit programs itself.
export WINELOADER=/usr/lib/wine/wine64
