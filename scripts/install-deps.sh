#!/usr/bin/env bash
# Installs the Debian packages and locales the build and tests need, only when missing; then
# makes sure that i386 Linux programs (the 32-bit Wine) run here (scripts/x86-setup.sh).
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  build-essential cmake googletest libgtest-dev libbenchmark-dev clang libclang-rt-14-dev
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
  wine wine64 fonts-wine xvfb xauth imagemagick locales file python3 clang-format
  msitools wixl time
  zlib1g-dev libexpat1-dev libz-mingw-w64-dev dpkg-dev
  wine32:i386 qemu-user-static
)
locales=(de_DE.UTF-8 de_CH.UTF-8 cs_CZ.UTF-8 en_US.UTF-8)

as_root() {
  if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi
}

missing=()
for p in "${packages[@]}"; do
  if ! dpkg -s "$p" 2>/dev/null | grep -q '^Status: install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  # The 32-bit Wine comes from the i386 half of the archive.
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    as_root dpkg --add-architecture i386 ||
      { echo "install-deps.sh: could not add the i386 architecture to dpkg" >&2; exit 1; }
  fi
  as_root apt-get -o DPkg::Lock::Timeout=600 update -q
  as_root apt-get -o DPkg::Lock::Timeout=600 install -y -q --no-install-recommends "${missing[@]}"
fi

# The mingw trees build expat from Debian's source package (Debian ships it only natively), unpacked
# once under build/deps; apt needs a deb-src entry for that, made from the machine's own Debian
# sources.
if ! ls build/deps/expat-*/expat/CMakeLists.txt >/dev/null 2>&1; then
  if [ -z "$(apt-cache showsrc expat 2>/dev/null | sed -n '/^Package: expat$/p')" ]; then
    src=/etc/apt/sources.list.d/voxaro-deb-src
    if [ -f /etc/apt/sources.list.d/debian.sources ]; then
      sed -n 's/^Types: deb$/Types: deb-src/; p' /etc/apt/sources.list.d/debian.sources |
        as_root tee "$src.sources" >/dev/null
    elif [ -f /etc/apt/sources.list ]; then
      grep -E '^deb [^ ]*debian' /etc/apt/sources.list | sed 's/^deb /deb-src /' |
        as_root tee "$src.list" >/dev/null
    else
      echo "no Debian sources file to make a deb-src entry from" >&2; exit 1
    fi
    as_root apt-get -o DPkg::Lock::Timeout=600 update -q
  fi
  mkdir -p build/deps
  echo "unpacking expat's source package into build/deps"
  # The newest version whose files the mirror serves (a security update's may be missing there).
  ok=0
  for v in $(apt-cache showsrc expat | sed -n 's/^Version: //p' | sort -rV); do
    rm -rf build/deps/expat[-_]*
    if (cd build/deps && apt-get source -q "expat=$v" >/dev/null 2>&1); then ok=1; break; fi
  done
  [ $ok = 1 ] || { echo "apt-get source expat failed" >&2; exit 1; }
fi

# Wine needs a real glibc locale to open file names with umlauts.
have=$(locale -a 2>/dev/null | tr 'A-Z' 'a-z' | sed 's/utf-8/utf8/')
for l in "${locales[@]}"; do
  norm=$(echo "$l" | tr 'A-Z' 'a-z' | sed 's/utf-8/utf8/')
  if ! grep -qx "$norm" <<<"$have"; then
    echo "generating locale $l"
    as_root localedef -i "${l%%.*}" -c -f UTF-8 "$l"
  fi
done

scripts/x86-setup.sh
