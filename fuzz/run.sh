#!/usr/bin/env bash
# Builds the fuzz targets (preset "fuzz"), writes their seeds and runs each for a while.
# Usage: fuzz/run.sh [seconds-of-fill_fuzzer] [seconds-of-url_fuzzer] [libFuzzer options...]
# Findings land in build/fuzz/artifacts/; see fuzz/README.md for what to do with them.
set -euo pipefail
cd "$(dirname "$0")/.."
fill_seconds=${1:-45} url_seconds=${2:-15}
shift $(($# < 2 ? $# : 2))
out=build/fuzz max_len=65536
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "${QUILLORY_FUZZ_JOBS:-2}"
# Seeds: every fixture of tests/data, every file of the corpus cut to the fuzzer's input size,
# and some URLs. Each counter moves in this shell: an expansion inside a redirection of an
# external command would move only the forked command's copy.
seeds=$out/seeds corpus=${QUILLORY_CORPUS:-../shared/corpus}
rm -rf "$seeds" && mkdir -p "$seeds/fill" "$seeds/url" "$out/corpus/fill" "$out/corpus/url" "$out/artifacts"
fixtures=0 from_corpus=0 urls=0
while IFS= read -r -d '' file; do
  name=${file#tests/data/} fixtures=$((fixtures + 1)) && cp "$file" "$seeds/fill/fixture-${name//\//-}"
done < <(find tests/data -mindepth 2 -type f -print0)
[ -d "$corpus" ] || echo "fuzz: no corpus at $corpus, so the fill is seeded from the fixtures alone"
while IFS= read -r -d '' file; do
  from_corpus=$((from_corpus + 1)) && head -c "$max_len" "$file" >"$seeds/fill/corpus-$from_corpus"
done < <([ ! -d "$corpus" ] || find "$corpus" -mindepth 2 -type f -print0)
while IFS= read -r url; do urls=$((urls + 1)) && printf '%s' "$url" >"$seeds/url/url-$urls"; done <fuzz/url-seeds.txt
echo "fuzz: $((fixtures + from_corpus)) fill seeds ($fixtures fixtures, $from_corpus corpus files), $urls URL seeds"

# A small quarantine keeps the resident size meaningful for -rss_limit_mb.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:quarantine_size_mb=16}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
common=(-artifact_prefix="$out/artifacts/" -print_final_stats=1 -timeout=5 -rss_limit_mb=2048)
# One malloc above 96 MiB is a finding: no input of 64 KiB may need that much (fuzz/README.md).
"$out/fuzz/fill_fuzzer" "$out/corpus/fill" "$seeds/fill" -dict=fuzz/fill.dict -max_len="$max_len" \
  -malloc_limit_mb=96 -max_total_time="$fill_seconds" "${common[@]}" "$@"
"$out/fuzz/url_fuzzer" "$out/corpus/url" "$seeds/url" -max_len=8192 -malloc_limit_mb=64 \
  -max_total_time="$url_seconds" "${common[@]}" "$@"
