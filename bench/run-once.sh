#!/usr/bin/env bash
# run-once.sh BUILD: every benchmark of BUILD (build/release) once, as briefly as each allows, so
# that none of them rots unseen; the figures are not worth quoting. The file manager's benchmark
# runs against Thunar with a short idle; it is skipped, saying why, when a program it needs is
# missing.
set -euo pipefail
build=$(realpath "$1")
cd "$(dirname "$0")"
for bench in fill_bench memory_bench selection_bench summary_bench soak_bench; do
  echo "== $bench"
  "$build/bench/$bench" --benchmark_min_time=0.01 --benchmark_counters_tabular=true
done
echo "== ui_thread_bench"
"$build/bench/ui_thread_bench"
echo "== file_manager_bench.sh thunar"
status=0
QUILLORY_BENCH_IDLE=2 bash "$PWD/file_manager_bench.sh" "$build" thunar || status=$?
[ "$status" -eq 0 ] || [ "$status" -eq 77 ]
