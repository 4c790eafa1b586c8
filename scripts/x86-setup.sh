#!/usr/bin/env bash
# Makes i386 Linux programs run here, as the 32-bit Wine is one: natively where the kernel runs
# them, else under qemu-i386-static, which binfmt_misc starts for every i386 program (flag F: the
# emulator is opened once, at registration). Idempotent; each step says what failed.
#   VOXARO_X86=auto (default)  keep a registered emulator, else native, else register the emulator
#   VOXARO_X86=emulated        register the emulator even where the kernel runs i386 natively
#   VOXARO_X86=native          remove the emulator's handler and require the kernel to run i386
# Prints one line saying how i386 programs run.
set -uo pipefail

mode=${VOXARO_X86:-auto}
binfmt=/proc/sys/fs/binfmt_misc
handler=$binfmt/qemu-i386
emulator=/usr/bin/qemu-i386-static
# The 32-bit Wine's loader: the program that has to run.
probe=/usr/lib/wine/wine

fail() {
  echo "x86-setup.sh: $*" >&2
  exit 1
}

as_root() {
  if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi
}

[ -x "$probe" ] || fail "$probe is missing: install wine32:i386 (scripts/install-deps.sh)"

runs_i386() {
  "$probe" --version >/dev/null 2>&1
}

handler_enabled() {
  [ -f "$handler" ] && [ "$(head -n 1 "$handler")" = enabled ]
}

mount_binfmt() {
  mountpoint -q "$binfmt" && return 0
  as_root mount -t binfmt_misc binfmt_misc "$binfmt" ||
    fail "cannot mount binfmt_misc on $binfmt (the kernel needs CONFIG_BINFMT_MISC)"
}

# The i386 ELF header as qemu's own binfmt configuration gives it: class 32-bit, little-endian,
# an executable or shared object (PIE) for machine 3.
register_emulator() {
  [ -x "$emulator" ] || fail "$emulator is missing: install qemu-user-static"
  mount_binfmt
  if [ -f "$handler" ]; then
    if grep -qx "interpreter $emulator" "$handler" && grep -qx 'flags: F' "$handler"; then
      handler_enabled || echo 1 | as_root tee "$handler" >/dev/null ||
        fail "cannot enable the handler $handler"
      return 0
    fi
    # Someone else's handler under the same name (another emulator, other flags): replace it.
    echo -1 | as_root tee "$handler" >/dev/null || fail "cannot remove the old handler $handler"
  fi
  local magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
  local mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
  printf ':qemu-i386:M::%s:%s:%s:F\n' "$magic" "$mask" "$emulator" |
    as_root tee "$binfmt/register" >/dev/null ||
    fail "the kernel refused the i386 handler for $emulator ($binfmt/register)"
}

case "$mode" in
  auto | emulated | native) ;;
  *) fail "VOXARO_X86 must be auto, emulated or native, not '$mode'" ;;
esac

if [ "$mode" = native ] && [ -f "$handler" ]; then
  echo -1 | as_root tee "$handler" >/dev/null || fail "cannot remove the handler $handler"
fi
if [ "$mode" = emulated ] || { [ "$mode" = auto ] && ! handler_enabled && ! runs_i386; }; then
  register_emulator
fi

# The emulator needs the whole 32-bit address space reserved up front, else the 32-bit Wine
# cannot map its shared user data; natively the variable is ignored.
export QEMU_RESERVED_VA=0xffff0000
if ! runs_i386; then
  if handler_enabled; then
    fail "i386 programs do not start under $emulator ($probe --version fails)"
  fi
  fail "this kernel does not run i386 programs ($probe --version fails)"
fi
if handler_enabled; then
  echo "i386 programs run under $emulator (binfmt_misc handler qemu-i386)"
else
  echo "i386 programs run natively"
fi
