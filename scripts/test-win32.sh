#!/usr/bin/env bash
# The release's 32-bit programs (build/win32) under the 32-bit Wine, in a prefix of their own
# (build/wineprefix-x86), inside a virtual display:
#   test-win32.sh        the suite of make test: the command-line importer against the native one,
#                        the unit tests of the Windows layer, and the window driven end to end
#   test-win32.sh --all  make test-win32: every 32-bit unit test, the country code once per locale
# i386 programs run natively where the kernel runs them, else under qemu (scripts/x86-setup.sh),
# where each start of a 32-bit program takes a minute or more: the suite therefore starts each
# program once, and stretches every wait of its drivers by VOXARO_WAIT_FACTOR.
set -uo pipefail
cd "$(dirname "$0")/.."
all=
[ "${1:-}" = --all ] && all=1

if [ -z "${VOXARO_IN_XVFB:-}" ]; then
  # Before the display: where an emulator runs the 32-bit Wine, the waits are stretched.
  how=$(scripts/x86-setup.sh) || exit 1
  echo "$how"
  factor=1
  [[ "$how" == *qemu* ]] && factor=${VOXARO_EMULATED_WAIT_FACTOR:-20}
  export VOXARO_WAIT_FACTOR=$factor VOXARO_X86_HOW=$how
  VOXARO_IN_XVFB=1 exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi
started=$(date +%s)
export VOXARO_PREFIX_X86=1
source scripts/wine-env.sh
scripts/wine-prefix.sh || exit 1
for program in build/win32/voxaro.exe build/win32/cli/voxaro-import.exe \
               build/win32/voxaro_tests.exe build/win64/voxaro_e2e.exe \
               build/win64/e2e-data/contacts-100k.csv build/native/cli/voxaro-import; do
  [ -f "$program" ] || { echo "test-win32.sh: $program is missing; build the trees first"; exit 1; }
done

wineserver -p
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
# Wine's helper processes keep the first program's output open; give them /dev/null.
scripts/wine-run cmd.exe /c exit >/dev/null 2>&1 </dev/null || true

# Only against a program that hangs: ten minutes for each, an hour under an emulator.
limit=600
[ "$VOXARO_WAIT_FACTOR" -gt 1 ] && limit=3600
log=build/win32-tests
rm -rf "$log"
mkdir -p "$log"
names=() results=()
# Runs one check with its output in $log/NAME.log; keeps its result for the closing lines.
check() {
  local name=$1; shift
  local start=$SECONDS rc=0
  "$@" >"$log/$name.log" 2>&1 || rc=$?
  local took=$((SECONDS - start))
  if [ "$rc" = 0 ]; then
    local ran
    ran=$(sed -n 's/^\[  PASSED  \] \([0-9]* tests\?\)\./, \1/p' "$log/$name.log" | tail -n 1)
    echo "passed  $name (${took} s$ran)"
  else
    echo "FAILED  $name (${took} s), exit status $rc:"
    sed 's/^/    /' "$log/$name.log" | tail -n 60
  fi
  names+=("$name")
  results+=("$rc")
}
# A GoogleTest program under Wine passes only when it ran tests and none failed, and where it must
# not skip (VOXARO_EXPECTED_COUNTRY), when none skipped. Ended after $limit seconds.
gtest() {
  local out rc=0
  out=$(timeout -k 10 "$limit" scripts/wine-run "$@" 2>&1) || rc=$?
  printf '%s\n' "$out"
  [ "$rc" = 124 ] && echo "(ended after $limit s)"
  [ "$rc" = 0 ] || return "$rc"
  grep -q '^\[  PASSED  \] [1-9]' <<<"$out" || { echo "no test ran"; return 1; }
  if [ -n "${VOXARO_EXPECTED_COUNTRY:-}" ] && grep -q '^\[  SKIPPED \]' <<<"$out"; then
    echo "the test skipped"
    return 1
  fi
}

# Wine shows the Unix root as drive Z:.
windows_path() {
  local path
  path=$(cd "$1" && pwd -P)
  echo "Z:${path//\//\\}"
}

# The importer's runs do not use the desktop: they go beside the unit tests.
# The generated export (25 MB, made by the win64 build) takes the import's two-thread paths and
# its block pool, whose address space a 32-bit process has little of.
files=(examples/tabelle_semikolon.csv examples/adressen_unicode.txt examples/kontakte.vcf
       build/win64/e2e-data/contacts-100k.csv)
import_result=$log/import.rc
(
  rc=0 begun=$(date +%s)
  timeout -k 10 "$limit" python3 tests/cli/windows_import_test.py build/native/cli/voxaro-import \
    build/win32/cli/voxaro-import.exe "${files[@]}" >"$log/import.log" 2>&1 || rc=$?
  echo "$rc $(($(date +%s) - begun))" >"$import_result"
) &
importer=$!

if [ -n "$all" ]; then
  # The clipboard test that holds it runs in the same process, one test after the other.
  check units gtest build/win32/voxaro_tests.exe
  for pair in de_DE.UTF-8:49 de_CH.UTF-8:41 cs_CZ.UTF-8:49 en_US.UTF-8:1; do
    VOXARO_WINE_LOCALE=${pair%%:*} VOXARO_EXPECTED_COUNTRY=${pair##*:} \
      check "country-code.${pair%%:*}" gtest build/win32/voxaro_tests.exe \
      --gtest_filter=CountryCode.UserLocale
  done
else
  # The Windows layer, where x86 differs: the platform layer, files and paths, the clipboard,
  # the window and its controls, the drop hand-off, the pool and the synchroniser, the sound,
  # the instance mutex. One process: each start is dear under an emulator.
  windows_layer=Conversion.*:Cp1252.*:Path.*:FileUtils.*:MappedFileStream.*:TextLoading*
  windows_layer+=:BlockPool.*:SideTask.*:PastedPath.*
  windows_layer+=:Clipboard.*:GlobalMemory.*:ComPtr.*:OleInitialization.*
  windows_layer+=:Control.*:*Alignment.*:Form.*:Panel.*:ListBoxTest.*:ApplicationTest.*
  windows_layer+=:*KeyPreview.*:ProgramIcon.*:HTMLabelTest.*:*HTMLabelPress.*:MainForm.*
  windows_layer+=:MainFormTest.*:Resources.*:DropFileTarget.*:AsyncDrop.*:Pool.*:Synchronizer.*
  windows_layer+=:WaveData.*:WavePlay.*:InstanceMutex.*
  # qemu-user ends a 32-bit Wine program that starts several threads at once, or maps a file
  # beyond 2 GiB, with a segmentation fault, whatever the program does (one that only starts four
  # threads and waits for them does so too): the unit tests need i386 run by the kernel.
  if [ "$VOXARO_WAIT_FACTOR" -gt 1 ]; then
    echo "units: not run under qemu-user, whose faults end them; they need i386 run natively"
  else
    check units gtest build/win32/voxaro_tests.exe "--gtest_filter=$windows_layer"
  fi
fi

# The 64-bit driver takes the 32-bit window through one start; alone, as it uses the desktop.
VOXARO_TESTED_PROGRAMS=$(windows_path build/win32) VOXARO_TESTED_MACHINE=x86 \
  check end-to-end gtest build/win64/voxaro_e2e.exe --gtest_filter='Journey.*'

wait "$importer"
read -r rc took <"$import_result"
if [ "$rc" = 0 ]; then
  echo "passed  importer against native (${took} s)"
else
  echo "FAILED  importer against native (${took} s), exit status $rc:"
fi
sed 's/^/    /' "$log/import.log"
names+=(importer)
results+=("$rc")

if compgen -G "build/win64/screenshots/journey-x86*.bmp" >/dev/null; then
  mkdir -p build/screenshots
  for shot in build/win64/screenshots/journey-x86*.bmp; do
    convert "$shot" "build/screenshots/$(basename "${shot%.bmp}").png" && rm -f "$shot"
  done
fi

failed=0
for rc in "${results[@]}"; do
  [ "$rc" = 0 ] || failed=$((failed + 1))
done
how=natively
[[ "$VOXARO_X86_HOW" == *qemu* ]] && how="under qemu"
echo "win32: $((${#names[@]} - failed)) of ${#names[@]} checks passed in $(($(date +%s) - started)) s" \
  "(the prefix included), i386 $how; logs in $log"
[ "$failed" = 0 ]
