#!/usr/bin/env bash
# The Windows program under wine64: time from process start to a filled list for one export,
# beside the native import of the same file. Usage: bench/gui.sh FILE
set -euo pipefail
cd "$(dirname "$0")/.."
file=$1
if [ ! -f build/win64/voxaro_gui_bench.exe ]; then
  echo "bench/gui.sh: build/win64/voxaro_gui_bench.exe is missing; build build/win64 first" >&2
  exit 1
fi
if [ -z "${VOXARO_IN_XVFB:-}" ]; then
  VOXARO_IN_XVFB=1 exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi
source scripts/wine-env.sh
scripts/wine-prefix.sh
wineserver -p
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
scripts/wine-run cmd.exe /c exit >/dev/null 2>&1 </dev/null || true

native=$(python3 - "$file" <<'PY'
import subprocess, sys, time
best = None
for _ in range(3):
    start = time.perf_counter()
    subprocess.run(["build/native/cli/voxaro-import", "--raw", sys.argv[1]],
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
    t = time.perf_counter() - start
    best = t if best is None or t < best else best
print("%.4f" % best)
PY
)
windows_path="Z:$(realpath "$file" | tr / '\\')"
gui=$(scripts/wine-run build/win64/voxaro_gui_bench.exe "$windows_path" 3 </dev/null 2>/dev/null | tr -d '\r')
python3 - "$file" "$native" "$gui" <<'PY'
import sys
name, native, gui = sys.argv[1], float(sys.argv[2]), float(sys.argv[3])
extra = gui - native
print()
print("window under wine64, %s: start to filled list %.2f s, native import %.2f s, "
      "%.2f s beyond it (target at most 1 s: %s)" % (name.split("/")[-1], gui, native, extra,
                                                       "met" if extra <= 1 else "MISSED"))
PY
