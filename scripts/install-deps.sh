#!/usr/bin/env bash
# Installs the Debian packages and locales the build and tests need, only when missing.
set -euo pipefail

packages=(
  build-essential cmake googletest libgtest-dev libbenchmark-dev clang libclang-rt-14-dev
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
  wine wine64 fonts-wine xvfb xauth imagemagick locales file python3 clang-format
  msitools wixl time
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
  as_root apt-get update -q
  as_root apt-get install -y -q --no-install-recommends "${missing[@]}"
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
