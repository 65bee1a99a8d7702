#!/usr/bin/env bash
# The command line's answers without a desktop: help, version, a wrong option, no display.
# dispatch.sh QUILLORY
set -uo pipefail
q=$1
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
expect() { # expect STATUS TEXT WHAT [VAR=VALUE...] -- ARGS...
  local status=$1 text=$2 what=$3 vars=() err got; shift 3
  while [ "$1" != -- ]; do vars+=("$1"); shift; done; shift
  err=$(env "${vars[@]}" timeout 10 "$q" "$@" 2>&1 >/dev/null); got=$?
  if [ "$got" -eq "$status" ] && grep -qF -- "$text" <<<"$err"; then echo "ok: $what"; else
    echo "FAILED: $what (status $got: $err)" >&2; exit 1
  fi
}
expect 0 "" "--version ends with 0" -- --version
expect 0 "" "--help ends with 0" -- --help
expect 2 "--summary FILE" "an unknown option gives the usage and status 2" -- --frobnicate
expect 1 "quillory: no display" "without a display: says so, status 1" --
expect 1 "XWayland" "Wayland without XWayland: says so, status 1" WAYLAND_DISPLAY=wayland-0 --
expect 1 "cannot open the X display" "an unreachable display: says so, status 1" DISPLAY=:987 --
