# What the desktop tests share: a private Xvfb and session bus, the programs started on them (all
# ended on exit), polling with a deadline, screenshots and the pixel measures taken on them.
# Sourced with QUILLORY, ARTIFACTS and DATA (tests/data) set, NEEDS naming the programs the test
# needs besides these, and BUS=private for a session bus of its own; needs bash 5 (EPOCHREALTIME).
set -euo pipefail
ok() { echo "ok: $*"; }
fail() { echo "FAILED: $*" >&2; [ -z "${DISPLAY:-}" ] || import -window root "$ARTIFACTS/failed.png" 2>/dev/null; exit 1; }
check() { local what=$1; shift; if "$@"; then ok "$what"; else fail "$what"; fi; }
skip() { echo "SKIPPED: $* (scripts/install-deps.sh installs it)"; exit 77; }
need() { local p; for p; do command -v "$p" >/dev/null || skip "$p is not installed"; done; }
# On a private bus the script runs again under dbus-run-session; QUILLORY_E2E_BUS names that bus.
if [ "${BUS:-}" = private ] && [ -z "${QUILLORY_E2E_BUS:-}" ]; then
  need dbus-run-session
  exec dbus-run-session -- bash -c 'QUILLORY_E2E_BUS=$DBUS_SESSION_BUS_ADDRESS exec bash "$0" "$@"' "$0" "$@"
fi
ms() { echo $((${EPOCHREALTIME/./} / 1000)); }
# within SECONDS CMD...: true once CMD succeeds. Polls every 50 ms; the deadline only bounds a
# failing wait, it proves nothing.
within() {
  local end=$(($(ms) + ${1%.*} * 1000)); shift
  until "$@" 2>/dev/null; do (($(ms) < end)) || return 1; sleep 0.05; done
}

pids=() scratch=$(mktemp -d)
cleanup() { # the programs started, last first
  local i; for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null || true; done
  wait 2>/dev/null || true; rm -rf "$scratch"
}
trap cleanup EXIT
started() { pids+=("$!"); }
bg() { "$@" >>"$ARTIFACTS/desktop.log" 2>&1 & started; } # a program of the desktop, what it says kept
# start NAME [VAR=VALUE...]: quillory as $q, its stderr kept as quillory-NAME.log
start() { log=$ARTIFACTS/quillory-$1.log; shift; env "$@" "$QUILLORY" 2>"$log" & started; q=$!; }
# ended STATUS: quillory has ended with STATUS
ended() { local status=0; within 5 eval '! kill -0 $q' && { wait "$q" || status=$?; } && [ "$status" -eq "$1" ]; }

# The program's own corner of the world: folders of its own, and no session bus (so the XEmbed
# tray and no portal) unless the test runs on a private one.
mkdir -p "$scratch"/{run,home,cache,config} "$ARTIFACTS"
chmod 700 "$scratch/run"
unset WAYLAND_DISPLAY QT_QPA_PLATFORM QUILLORY_APPEARANCE QUILLORY_TRAY_WAIT SESSION_MANAGER DISPLAY
export XDG_RUNTIME_DIR=$scratch/run HOME=$scratch/home XDG_CACHE_HOME=$scratch/cache XDG_CONFIG_HOME=$scratch/config
export DBUS_SESSION_BUS_ADDRESS=${QUILLORY_E2E_BUS:-unix:path=$scratch/no-bus} NO_AT_BRIDGE=1

# Xvfb on a free display number, which it writes once it accepts clients.
need Xvfb xdotool import convert $NEEDS
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset 3>"$scratch/display" 2>"$scratch/xvfb.log" &
started
within 15 grep -q . "$scratch/display" || fail "Xvfb runs"
export DISPLAY=:$(head -1 "$scratch/display")

shot() { import -window root "$ARTIFACTS/$1.png"; }
click() { xdotool mousemove "$1" "$2" click "${3:-1}"; } # no --sync: it waits long when the pointer is there already
windows() { # "id x y w h" of each mapped window of class quillory
  xdotool search --onlyvisible --class '^quillory$' getwindowgeometry --shell %@ 2>/dev/null |
    awk -F= '{ v[$1] = $2 } $1 == "SCREEN" { print v["WINDOW"], v["X"], v["Y"], v["WIDTH"], v["HEIGHT"] }'
}
panel() { windows | awk '$4 == 280 && $5 == 400 { print $2, $3; f = 1 } END { exit !f }'; } # its "x y"
no_panel() { ! panel >/dev/null; }
# Pixels of SHOT in the area WxH+X+Y as "r g b" lines, left to right, top to bottom.
pixels() { convert "$1" -crop "$2" +repage -depth 8 txt:- | sed -n 's/^[^(]*(\([0-9]*\),\([0-9]*\),\([0-9]*\).*/\1 \2 \3/p'; }
# The mean colour difference of two shots in an area.
difference() { convert "$1" "$2" -crop "$3" +repage -compose difference -composite -format '%[fx:int(mean*255)]' info:; }
# legible SHOT WHERE: the contrast ratio (1 to 21, as for text) between the background of the
# icon's box ix iy iw ih (its corner pixel) and the glyph's pixel that differs most from it is 3:1 or more.
legible() {
  local ratio
  ratio=$(pixels "$ARTIFACTS/$1.png" "${iw}x$ih+$ix+$iy" | awk 'function lin(c) { c /= 255; return c <= 0.03928 ? c / 12.92 : ((c + 0.055) / 1.055) ^ 2.4 }
    { l = 0.2126 * lin($1) + 0.7152 * lin($2) + 0.0722 * lin($3); if (NR == 1) bg = l
      r = (l > bg ? (l + 0.05) / (bg + 0.05) : (bg + 0.05) / (l + 0.05)); if (r > best) best = r }
    END { printf "%.1f\n", best }')
  awk -v r="$ratio" 'BEGIN { exit !(r >= 3) }' && echo "measured: icon contrast on $2 $ratio:1"
}

# StatusNotifierItem hosts. registered: the host's watcher knows of an item (or none: registered '\[\]').
registered() {
  gdbus call --session -d org.kde.StatusNotifierWatcher -o /StatusNotifierWatcher -m org.freedesktop.DBus.Properties.Get \
    org.kde.StatusNotifierWatcher RegisteredStatusNotifierItems | grep -q "${1:-StatusNotifierItem}"
}
settled() { # settled SHOT AREA: the shot agrees in AREA with the one before it
  [ ! -f "$ARTIFACTS/$1.png" ] || mv "$ARTIFACTS/$1.png" "$scratch/before.png"
  shot "$1" && [ -f "$scratch/before.png" ] && (($(difference "$ARTIFACTS/$1.png" "$scratch/before.png" "$2") == 0))
}
# sni_icon SHOT BEFORE WxH+X+Y WHERE: quillory starts, its item registers, and the icon the host
# draws (what changed in that area of the bar since the shot BEFORE) is legible; sets its box
# ix iy iw ih (3 px around) and centre cx cy.
sni_icon() {
  start "$1"
  check "the icon registers as a StatusNotifierItem" within 15 registered
  shows() { find_icon "$@" && legible "$1" "$4"; }
  check "the icon shows on $4, legible" within 10 shows "$@"
}
find_icon() {
  local box x0=${3#*+}
  shot "$1"
  box=$(convert "$ARTIFACTS/$2.png" "$ARTIFACTS/$1.png" -crop "$3" +repage -compose difference -composite -threshold 1% -format '%@' info:)
  [[ $box =~ ^([0-9]+)x([0-9]+)\+([0-9]+)\+([0-9]+)$ ]] && ((BASH_REMATCH[1] > 3 && BASH_REMATCH[1] < 40)) || return 1
  ix=$((${x0%+*} + BASH_REMATCH[3] - 3)) iy=$((BASH_REMATCH[4] > 3 ? BASH_REMATCH[4] - 3 : 0))
  iw=$((BASH_REMATCH[1] + 6)) ih=$((BASH_REMATCH[2] + 6)) cx=$((ix + iw / 2)) cy=$((iy + ih / 2))
}
# menu SHOT BEFORE: a menu, drawn by the host, changed what is under the icon since the shot BEFORE.
menu() { shot "$1" && (($(difference "$ARTIFACTS/$1.png" "$ARTIFACTS/$2.png" 200x150+$((cx - 180))+32) > 20)); }
# The panel hangs under the bar, its side with the arrow spanning the icon.
under_icon() { local x y; read -r x y < <(panel) && ((y >= 26 && y <= 40 && x <= cx && cx <= x + 280)); }
