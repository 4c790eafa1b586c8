#!/usr/bin/env bash
# Builds the two Windows Installer packages with wixl from assets/voxaro.wxs, out of the built
# trees build/win64 (x64) and build/win32 (x86):
#   build-msi.sh OUTDIR [VERSION]
# writes OUTDIR/voxaro-VERSION-x64.msi and OUTDIR/voxaro-VERSION-x86.msi. VERSION defaults to the
# project version, which the programs' version resource has too; the tests give another one to
# build a newer package of the same programs.
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:?usage: build-msi.sh OUTDIR [VERSION]}
version=${2:-$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/win64/CMakeCache.txt)}
if [ -z "$version" ]; then
  echo "build-msi: no project version in build/win64/CMakeCache.txt" >&2
  exit 1
fi
icon=build/win64/assets/voxaro.ico
for file in "$icon" build/win64/voxaro.exe build/win64/cli/voxaro-import.exe \
            build/win32/voxaro.exe build/win32/cli/voxaro-import.exe; do
  [ -f "$file" ] || { echo "build-msi: $file is missing; build win64 and win32 first" >&2; exit 1; }
done

# The ProductCode changes with every version and differs between the architectures, yet stays
# the same when one version is built again: a name-based UUID of both, in a namespace of ours.
product_code() {
  python3 -c '
import sys, uuid
namespace = uuid.UUID("916D7ADE-957F-4DF2-8B45-260CB1D90A81")
print(str(uuid.uuid5(namespace, "voxaro " + sys.argv[1] + " " + sys.argv[2])).upper())' "$1" "$2"
}

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
mkdir -p "$out"
out=$(cd "$out" && pwd)
source=$PWD
# wixl finds files only by paths relative to where it runs: it runs in the staging folder.
cp "$icon" "$stage/voxaro.ico"
for arch in x64 x86; do
  # The summary's platform names the 32-bit one "Intel".
  case $arch in
    x64) tree=build/win64 platform=x64 ;;
    x86) tree=build/win32 platform=Intel ;;
  esac
  mkdir -p "$stage/$arch"
  cp "$tree/voxaro.exe" "$tree/cli/voxaro-import.exe" "$stage/$arch/"
  python3 scripts/write-guide.py "$version" "$stage/$arch/LIESMICH.txt"
  msi="$out/voxaro-$version-$arch.msi"
  rm -f "$msi"
  (cd "$stage" && wixl --arch "$arch" -D Arch="$arch" -D Version="$version" \
    -D ProductCode="$(product_code "$arch" "$version")" -D Programs="$arch" -D Icon=voxaro.ico \
    -o "$msi" "$source/assets/voxaro.wxs")
  # What wixl 0.101 leaves out: the older-or-same row includes its maximum, so that the other
  # architecture of the same version is replaced too (msidbUpgradeAttributesVersionMaxInclusive).
  msiinfo export "$msi" Upgrade >"$stage/Upgrade.idt"
  python3 - "$stage/Upgrade.idt" <<'EOF'
import sys
path = sys.argv[1]
with open(path, newline="") as f:
    lines = f.read().split("\r\n")
changed = 0
for i, line in enumerate(lines[3:], 3):
    fields = line.split("\t")
    if len(fields) == 7 and fields[6] == "WIX_UPGRADE_DETECTED":
        fields[4] = str(int(fields[4]) | 0x200)
        lines[i] = "\t".join(fields)
        changed += 1
if changed != 1:
    sys.exit(f"build-msi: {changed} upgrade rows found instead of 1")
with open(path, "w", newline="") as f:
    f.write("\r\n".join(lines))
EOF
  msibuild "$msi" -i "$stage/Upgrade.idt"
  # The package's languages: German (wixl writes 1033 whatever the source says).
  msibuild "$msi" -s "TAPI Eigenes Telefonbuch erzeugen" "Voxaro" "$platform;1031"
  echo "$msi: $(stat -c %s "$msi") bytes"
done
