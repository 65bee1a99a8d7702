#!/usr/bin/env bash
# Sets up, builds and runs every test of Quillory: formatting, the debug build with its
# tests, the same tests under AddressSanitizer + UndefinedBehaviorSanitizer (leak checking on),
# and a short fuzzing run.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
bash scripts/check-format.sh

jobs=$(nproc)
for preset in dev asan; do
  echo "== $preset: configure, build, test"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  ctest --preset "$preset" -j "$jobs"
done

echo "== fuzz: the fill and the URL parsing, about 60 s from the seeds"
bash fuzz/run.sh 45 15
