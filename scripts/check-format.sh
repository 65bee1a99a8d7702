#!/usr/bin/env bash
# Fails when a C++ file of ours is not formatted as .clang-format says. Works in a source
# archive too: without git, every C++ file outside the build folders is checked.
set -euo pipefail
cd "$(dirname "$0")/.."
if command -v git >/dev/null 2>&1 && git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    git ls-files -z -- '*.cpp' '*.h'
else
    find . \( -name build -o -name 'build-*' -o -name '.*' ! -name . \) -prune -o \
        -type f \( -name '*.cpp' -o -name '*.h' \) -print0
fi | xargs -0 -r clang-format --dry-run --Werror
echo "format: ok"
