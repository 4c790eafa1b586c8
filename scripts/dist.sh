#!/usr/bin/env bash
# make dist: builds the two Windows trees and puts both programs of each, with the German guide,
# into dist/ and into dist/voxaro-<version>.zip; builds the installer packages
# dist/voxaro-<version>-x64.msi and -x86.msi and tests them under wine64.
set -euo pipefail
cd "$(dirname "$0")/.."

for tree in win32 win64; do
  echo "== building build/$tree"
  scripts/build.sh "$tree"
done

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/win64/CMakeCache.txt)
if [ -z "$version" ]; then
  echo "dist: no project version in build/win64/CMakeCache.txt" >&2
  exit 1
fi

missing=()
for tree in win32 win64; do
  for program in voxaro.exe cli/voxaro-import.exe; do
    [ -f "build/$tree/$program" ] || missing+=("build/$tree/$program")
  done
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "dist: missing after the build: ${missing[*]}" >&2
  echo "dist: voxaro.exe is the window program (CMake target voxaro in app/)," \
       "voxaro-import.exe the command-line importer (cli/)" >&2
  exit 1
fi

rm -rf dist
for bits in 32 64; do
  mkdir -p "dist/voxaro-${bits}bit"
  cp "build/win$bits/voxaro.exe" "build/win$bits/cli/voxaro-import.exe" "dist/voxaro-${bits}bit/"
done
# A 64-bit program in the 32-bit folder would not start on a 32-bit Windows.
scripts/check-pe.sh dist/voxaro-32bit "PE32 executable" "Intel 80386"
scripts/check-pe.sh dist/voxaro-64bit "PE32+ executable" "x86-64"

python3 scripts/write-guide.py "$version" dist/LIESMICH.txt
python3 - "$version" <<'EOF'
import os
import sys
import zipfile

version = sys.argv[1]
archive = f"dist/voxaro-{version}.zip"
top = f"voxaro-{version}"
with zipfile.ZipFile(archive, "w", zipfile.ZIP_DEFLATED) as z:
    z.write("dist/LIESMICH.txt", f"{top}/LIESMICH.txt")
    for folder in ("voxaro-32bit", "voxaro-64bit"):
        for name in sorted(os.listdir(f"dist/{folder}")):
            z.write(f"dist/{folder}/{name}", f"{top}/{folder}/{name}")
print(f"{archive}: {len(z.namelist())} files, {os.path.getsize(archive)} bytes")
EOF

# The packages for administrators, beside the archive, and their tests (30 to 45 s).
scripts/build-msi.sh dist "$version"
echo "== testing the installer packages under wine64"
scripts/test-package.sh dist
