#!/usr/bin/env bash
# What the quillory command answers without a desktop: its options, a photo's summary, and why
# the tray cannot start. dispatch.sh QUILLORY DATA VERSION (the fixtures of tests/data, the project version)
set -uo pipefail
q=$1 data=$2 version=$3
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
expect() { # expect STATUS TEXT WHAT [VAR=VALUE...] -- ARGS...: TEXT is in what it prints
  local status=$1 text=$2 what=$3 vars=() said got; shift 3
  while [ "$1" != -- ]; do vars+=("$1"); shift; done; shift
  said=$(env "${vars[@]}" timeout 10 "$q" "$@" 2>&1); got=$?
  if [ "$got" -eq "$status" ] && grep -qF -- "$text" <<<"$said"; then echo "ok: $what"; else
    echo "FAILED: $what (status $got: $said)" >&2; exit 1
  fi
}
expect 0 "quillory $version" "--version names the project version" -- --version
expect 0 "--summary FILE" "--help gives the usage" -- --help
expect 0 "50mm 1/250s F2.8 ISO 200" "--summary prints the photo's summary" -- --summary "$data/jpeg/exif.jpg"
expect 2 "quillory: unknown option '--frobnicate'
Try 'quillory --help' for more information." "an unknown option: says which, status 2" -- --frobnicate
expect 2 "quillory: --summary needs a FILE" "an option without its value: says so, status 2" -- --summary
expect 1 "quillory: no display" "without a display: says so, status 1" --
expect 1 "XWayland" "Wayland without XWayland: says so, status 1" WAYLAND_DISPLAY=wayland-0 --
expect 1 "cannot open the X display" "an unreachable display: says so, status 1" DISPLAY=:987 --
