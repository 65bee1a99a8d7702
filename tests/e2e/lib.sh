# Tests that need a session bus set BUS=private: they run again under dbus-run-session, and
# QUILLORY_E2E_BUS names that bus.
if [ "${BUS:-}" = private ] && [ -z "${QUILLORY_E2E_BUS:-}" ]; then
  command -v dbus-run-session >/dev/null ||
    { echo "SKIPPED: dbus-run-session is not installed (scripts/install-deps.sh installs it)"; exit 77; }
  exec dbus-run-session -- bash -c 'QUILLORY_E2E_BUS=$DBUS_SESSION_BUS_ADDRESS exec bash "$0" "$@"' "$0" "$@"
fi

# What the desktop tests share: a private Xvfb, the programs started on it (all ended on exit),
# polling with a deadline, screenshots and the pixel measures taken on them.
# Sourced with QUILLORY, ARTIFACTS and CORPUS set; needs bash 5 (EPOCHREALTIME).
set -euo pipefail

ok() { echo "ok: $*"; }
fail() { echo "FAILED: $*" >&2; exit 1; }
check() { local what=$1; shift; if "$@"; then ok "$what"; else fail "$what"; fi; }
need() {
  local p
  for p; do
    command -v "$p" >/dev/null || { echo "SKIPPED: $p is not installed (scripts/install-deps.sh installs it)"; exit 77; }
  done
}
ms() { echo $((${EPOCHREALTIME/./} / 1000)); }

# within SECONDS CMD...: true once CMD succeeds. Polls every 50 ms; the deadline only bounds a
# failing wait, it proves nothing.
within() {
  local end=$(($(ms) + ${1%.*} * 1000)); shift
  until "$@" 2>/dev/null; do (($(ms) < end)) || return 1; sleep 0.05; done
}

pids=()
scratch=$(mktemp -d)
cleanup() {
  local i
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$scratch"
}
trap cleanup EXIT
started() { pids+=("$!"); }
running() { kill -0 "$1" 2>/dev/null; }
start() { # start NAME [VAR=VALUE...]: quillory as $q, its stderr kept as quillory-NAME.log
  log=$ARTIFACTS/quillory-$1.log; shift
  env "$@" "$QUILLORY" 2>"$log" &
  started; q=$!
}
ended() { # ended STATUS: quillory has ended with STATUS
  within 5 eval '! running $q' || return 1
  local status=0; wait "$q" || status=$?; [ "$status" -eq "$1" ]
}

# The program's own corner of the world: folders of its own, and no session bus (so the XEmbed
# tray and no portal) unless the test runs on a private one (QUILLORY_E2E_BUS).
mkdir -p "$scratch"/{run,home,cache,config} "$ARTIFACTS"
chmod 700 "$scratch/run"
unset WAYLAND_DISPLAY QT_QPA_PLATFORM QUILLORY_APPEARANCE QUILLORY_TRAY_WAIT SESSION_MANAGER DISPLAY
export XDG_RUNTIME_DIR=$scratch/run HOME=$scratch/home XDG_CACHE_HOME=$scratch/cache XDG_CONFIG_HOME=$scratch/config
export DBUS_SESSION_BUS_ADDRESS=${QUILLORY_E2E_BUS:-unix:path=$scratch/no-bus} NO_AT_BRIDGE=1

# Xvfb on a free display number; it writes the number once it accepts clients.
start_x() {
  Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset 3>"$scratch/display" 2>"$scratch/xvfb.log" &
  started
  within 15 grep -q . "$scratch/display" || fail "Xvfb runs"
  export DISPLAY=:$(head -1 "$scratch/display")
  ok "Xvfb runs on $DISPLAY"
}

# A plain desktop of one colour, as wallpaper too (xcompmgr paints that instead).
desktop() { hsetroot -solid "$1" >/dev/null; }

# xcompmgr names the window that owns _NET_WM_CM_S0 after itself.
compositing() { xdotool search --name '^xcompmgr$' >/dev/null; }

shot() { import -window root "$ARTIFACTS/$1.png"; }

# "id x y w h" of each mapped window of class quillory.
windows() {
  local w X Y WIDTH HEIGHT SCREEN WINDOW
  for w in $(xdotool search --onlyvisible --class '^quillory$' 2>/dev/null); do
    eval "$(xdotool getwindowgeometry --shell "$w")"
    echo "$w $X $Y $WIDTH $HEIGHT"
  done
}
# The panel's "x y" once it is on screen.
panel() { windows | awk '$4 == 280 && $5 == 400 { print $2, $3; f = 1 } END { exit !f }'; }
no_panel() { ! panel >/dev/null; }
at() { [ "$(panel)" = "$1" ]; }

click() { xdotool mousemove --sync "$1" "$2" click "${3:-1}"; }

# Pixels of SHOT in the area WxH+X+Y as "r g b" lines, left to right, top to bottom.
pixels() {
  convert "$1" -crop "$2" +repage -depth 8 txt:- |
    sed -n 's/^[0-9]*,[0-9]*: *(\([0-9]*\),\([0-9]*\),\([0-9]*\).*/\1 \2 \3/p'
}
pixel() { pixels "$1" "1x1+$2+$3"; }
# near "r g b" "r g b" TOLERANCE
near() {
  awk -v a="$1" -v b="$2" -v t="$3" 'BEGIN { split(a, p); split(b, q)
    for (i = 1; i <= 3; i++) if (p[i] - q[i] > t || q[i] - p[i] > t) exit 1 }'
}
# Spread of the grey in an area: a photo varies, an empty panel body does not.
spread() { convert "$1" -crop "$2" -colorspace gray -format '%[fx:int(standard_deviation*255)]' info:; }
# Mean colour difference of two screenshots in an area.
difference() {
  convert "$1" "$2" -crop "$3" +repage -compose difference -composite \
    -format '%[fx:int(mean*255)]' info:
}
# Contrast ratio (1 to 21, as for text) between the background of an icon's slot (its corner
# pixel) and the glyph's pixel that differs most from it.
contrast() {
  pixels "$1" "$2" | awk 'function lum(r, g, b) { return 0.2126 * lin(r) + 0.7152 * lin(g) + 0.0722 * lin(b) }
    function lin(c) { c /= 255; return c <= 0.03928 ? c / 12.92 : ((c + 0.055) / 1.055) ^ 2.4 }
    NR == 1 { bg = lum($1, $2, $3) }
    { l = lum($1, $2, $3); r = (l > bg ? (l + 0.05) / (bg + 0.05) : (bg + 0.05) / (l + 0.05)); if (r > best) best = r }
    END { printf "%.1f\n", best }'
}

# Where the panel must appear under an icon at "x y w h" on a screen W wide: under it, centred
# on it, kept 8 px inside both edges; prints "x y arrow" (the arrow tip from the panel's left).
placement() {
  awk -v x="$1" -v y="$2" -v w="$3" -v h="$4" -v W="${5:-1280}" 'BEGIN {
    mid = x + w / 2; px = int(mid - 140 + 0.5)
    if (px + 280 > W - 8) px = W - 8 - 280
    if (px < 8) px = 8
    print px, y + h, int(mid + 0.5) - px }'
}

# The panel's look at "x y" with its arrow tip at ARROW over a desktop of colour ROOT ("r g b"):
# a white border, see-through corners, a body of white at 0.9 (over the desktop with a
# compositor), the arrow on the icon. Prints what is wrong; nothing when all is right.
look() {
  local s=$1 x=$2 y=$3 arrow=$4 root=$5 composited=$6 body
  body=$(awk -v r="$root" -v c="$composited" 'BEGIN { split(r, p)
    for (i = 1; i <= 3; i++) printf "%d ", 0.9 * 255 + (c ? 0.1 * p[i] : 0) + 0.5 }')
  near "$(pixel "$s" $((x + 140)) $((y + 380)))" "$body" 6 || echo -n "body is not $body; "
  near "$(pixel "$s" "$x" $((y + 200)))" "255 255 255" 2 || echo -n "no white border; "
  near "$(pixel "$s" "$x" $((y + 8)))" "$root" 6 || echo -n "the corner is not see-through; "
  pixels "$s" "280x1+$x+$((y + 4))" | awk -v a="$arrow" '
    { l = ($1 > $2 ? ($1 > $3 ? $1 : $3) : ($2 > $3 ? $2 : $3)) + ($1 < $2 ? ($1 < $3 ? $1 : $3) : ($2 < $3 ? $2 : $3))
      if (l / 2 > 200) { if (first == "") first = NR - 1; last = NR - 1 } }
    END { tip = (first + last) / 2; if (first == "" || tip - a > 1.5 || a - tip > 1.5) printf "arrow at %s; ", tip }'
}

# Two photos: two of the corpus, or two of our own that are easy to tell apart on screen.
photos() {
  local a="$CORPUS/jpg/Canon EOS 5D.jpg" b="$CORPUS/jpg/Apple iPhone 6.jpg" i stripes=""
  if [ -f "$a" ] && [ -f "$b" ]; then photo=("$a" "$b"); return; fi
  for i in 0 80 160 240 320 400 480 560; do stripes+="rectangle $i,0 $((i + 39)),479 "; done
  convert -size 640x480 xc:'#c83c28' -fill white -draw "$stripes" "$scratch/photo-0.jpg"
  convert -size 640x480 xc:'#1e5ac8' -fill white -draw "$stripes" "$scratch/photo-1.jpg"
  photo=("$scratch/photo-0.jpg" "$scratch/photo-1.jpg")
}

# The StatusNotifierItems the host's watcher knows of.
items() {
  gdbus call --session -d org.kde.StatusNotifierWatcher -o /StatusNotifierWatcher \
    -m org.freedesktop.DBus.Properties.Get org.kde.StatusNotifierWatcher RegisteredStatusNotifierItems
}
