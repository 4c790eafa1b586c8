#!/usr/bin/env bash
# make bench: the Makefile has built build/native and generated the exports; the driver times them.
set -euo pipefail
cd "$(dirname "$0")/.."
exec python3 bench/bench.py "$@"
