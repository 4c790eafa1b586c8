#!/usr/bin/env bash
# make fuzz: each libFuzzer target for FUZZ_SECONDS (default 60), new inputs kept in
# build/fuzz/corpus. FUZZ_RUNS ends a target after that many executions instead (FUZZ_SECONDS
# then only when given too), FUZZ_JOBS > 1 runs that many processes of one target side by side,
# FUZZ_TARGETS picks targets. With --replay, only runs every target once over its seed corpus.
set -euo pipefail
cd "$(dirname "$0")/.."
all_targets=(fuzz_csv_reader fuzz_text_loading fuzz_names_numbers fuzz_import fuzz_vcard_reader
  fuzz_workbook_reader)
read -r -a targets <<<"${FUZZ_TARGETS:-${all_targets[*]}}"
for t in "${targets[@]}"; do
  [[ " ${all_targets[*]} " == *" $t "* ]] || { echo "fuzz: no target $t (${all_targets[*]})"; exit 2; }
done
# How long a target runs: an execution count, a time, or both (whichever comes first).
limits=()
if [ -n "${FUZZ_RUNS:-}" ]; then
  limits+=(-runs="$FUZZ_RUNS")
  budget="$FUZZ_RUNS executions"
  if [ -n "${FUZZ_SECONDS:-}" ]; then
    limits+=(-max_total_time="$FUZZ_SECONDS")
    budget+=" or $FUZZ_SECONDS s"
  fi
else
  limits+=(-max_total_time="${FUZZ_SECONDS:-60}")
  budget="${FUZZ_SECONDS:-60} s"
fi
# Side by side, the processes share the corpus and one stops them all at a finding.
if [ "${FUZZ_JOBS:-1}" -gt 1 ]; then limits+=(-fork="$FUZZ_JOBS"); fi
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
  echo "== $t for $budget"
  if ! build/fuzz/fuzz/$t "${limits[@]}" -timeout=10 -rss_limit_mb=4096 \
      -max_len="${FUZZ_MAX_LEN:-65536}" -print_final_stats=1 -artifact_prefix=build/fuzz/artifacts/ \
      build/fuzz/corpus/$t fuzz/corpus/$t >build/fuzz/$t.log 2>&1; then
    tail -n 40 build/fuzz/$t.log; failed=1
  fi
  # Side by side the processes print no totals: the last progress line counts their executions.
  { grep -E '^stat::number_of_executed_units|^stat::peak_rss_mb' build/fuzz/$t.log ||
    grep -E '^#[0-9]+:' build/fuzz/$t.log | tail -n 1; } | sed "s/^/$t /" || true
done
if [ "${1:-}" = --replay ]; then
  [ $failed = 0 ] && echo "fuzz: ${#targets[@]} programs replayed their seed corpora, all passed" \
    || echo "fuzz: seed corpus replay FAILED"
fi
exit $failed
