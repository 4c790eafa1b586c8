#!/usr/bin/env bash
# make fuzz: each libFuzzer target for FUZZ_SECONDS (default 60), new inputs kept in
# build/fuzz/corpus. With --replay, only runs every target once over its seed corpus.
set -euo pipefail
cd "$(dirname "$0")/.."
targets=(fuzz_csv_reader fuzz_text_loading fuzz_names_numbers fuzz_import fuzz_vcard_reader)
if [ ! -f build/fuzz/CMakeCache.txt ]; then
  CC=clang CXX=clang++ cmake -S . -B build/fuzz -DVOXARO_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build build/fuzz -j"$(nproc)"
mkdir -p build/fuzz/artifacts
failed=0
for t in "${targets[@]}"; do
  if [ "${1:-}" = --replay ]; then
    if ! build/fuzz/fuzz/$t -runs=0 -rss_limit_mb=4096 fuzz/corpus/$t >build/fuzz/$t.log 2>&1; then
      tail -n 30 build/fuzz/$t.log; failed=1
    fi
    echo "$t: $(ls fuzz/corpus/$t | wc -l) seed inputs replayed, $(grep -q 'Done' build/fuzz/$t.log && echo ok || echo FAILED)"
    continue
  fi
  mkdir -p build/fuzz/corpus/$t
  echo "== $t for ${FUZZ_SECONDS:-60} s"
  if ! build/fuzz/fuzz/$t -max_total_time="${FUZZ_SECONDS:-60}" -timeout=10 -rss_limit_mb=4096 \
      -max_len="${FUZZ_MAX_LEN:-65536}" -print_final_stats=1 -artifact_prefix=build/fuzz/artifacts/ \
      build/fuzz/corpus/$t fuzz/corpus/$t >build/fuzz/$t.log 2>&1; then
    tail -n 40 build/fuzz/$t.log; failed=1
  fi
  grep -E '^stat::number_of_executed_units|^stat::peak_rss_mb' build/fuzz/$t.log | sed "s/^/$t /"
done
if [ "${1:-}" = --replay ]; then
  [ $failed = 0 ] && echo "fuzz: ${#targets[@]} programs replayed their seed corpora, all passed" \
    || echo "fuzz: seed corpus replay FAILED"
fi
exit $failed
