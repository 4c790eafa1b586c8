#!/usr/bin/env bash
# Configures and builds one tree: native, win64, win32, or tsan (native under ThreadSanitizer).
set -euo pipefail
cd "$(dirname "$0")/.."
tree=$1
case "$tree" in
  native) args=(-DVOXARO_SANITIZED_TESTS=ON) ;;
  tsan) args=(-DVOXARO_THREAD_SANITIZER=ON) ;;
  win64) args=(-DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-x86_64-w64-mingw32.cmake -DCMAKE_BUILD_TYPE=Release) ;;
  win32) args=(-DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686-w64-mingw32.cmake -DCMAKE_BUILD_TYPE=Release
               -DVOXARO_REGISTER_TESTS=OFF) ;;
  *) echo "unknown tree: $tree" >&2; exit 2 ;;
esac
if [ ! -f "build/$tree/CMakeCache.txt" ]; then
  cmake -S . -B "build/$tree" "${args[@]}" >/dev/null
fi
cmake --build "build/$tree" -j"$(nproc)"
