#!/usr/bin/env bash
# Sets up, builds and runs Quillory; arguments go to the program.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)" --target quillory
exec build/release/app/quillory "$@"
