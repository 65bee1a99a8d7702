#!/usr/bin/env bash
# Sets up, builds and runs Quillory; arguments go to the program, and relative paths among
# them are taken from where the caller stands.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

(
    cd "$root"
    bash scripts/install-deps.sh
    cmake --preset release >/dev/null
    cmake --build --preset release -j "$(nproc)" --target quillory quillory-tray
)
exec "$root/build/release/app/quillory" "$@"
