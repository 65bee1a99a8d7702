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
# ours: every program still running that was started here, the session bus's own starts included
# (KDE's name waiters outlive the bus for a minute, holding the test's output open): those with
# this test's runtime folder, and what a private bus started.
ours() {
  local f v
  for f in /proc/[0-9]*/environ; do
    { while IFS= read -r -d '' v; do [ "$v" != "XDG_RUNTIME_DIR=$scratch/run" ] || { echo "${f:6:-8}"; break; }; done; } 2>/dev/null <"$f" || true
  done
  [ -z "${QUILLORY_E2E_BUS:-}" ] || pgrep -P "$(pgrep -P $PPID -x dbus-daemon || echo 0)" || true
}
cleanup() { # the programs started, last first, then whatever is left of them
  local i; for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null || true; done
  kill $(ours) 2>/dev/null || true
  within 10 eval '[ -z "$(ours)" ]' || kill -9 $(ours) 2>/dev/null || true
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

# Xvfb on a free display number, which it writes once it accepts clients; XVFB=no for a test
# whose compositor brings its own X server.
need xdotool import convert $NEEDS
if [ "${XVFB:-yes}" = yes ]; then
  need Xvfb
  Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset 3>"$scratch/display" 2>"$scratch/xvfb.log" &
  started
  within 15 grep -q . "$scratch/display" || fail "Xvfb runs"
  export DISPLAY=:$(head -1 "$scratch/display")
fi

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
# desktop SHOT: the whole screen settled and drawn (the X server shows black until Plasma paints)
desktop() { settled "$1" 1280x800+0+0 && (($(convert "$ARTIFACTS/$1.png" -format '%[fx:standard_deviation > 0]' info:))); }
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

# A private "system" bus (GNOME Shell and Plasma look for logind there; an empty bus will do).
system_bus() {
  dbus-daemon --session --nofork --print-address=3 3>"$scratch/system-bus" & started
  within 10 grep -q . "$scratch/system-bus" || fail "a private system bus runs"
  export DBUS_SYSTEM_BUS_ADDRESS=$(head -1 "$scratch/system-bus")
}
host_ready() { # a StatusNotifierWatcher runs and a host has registered with it
  gdbus call --session -d org.kde.StatusNotifierWatcher -o /StatusNotifierWatcher -m org.freedesktop.DBus.Properties.Get \
    org.kde.StatusNotifierWatcher IsStatusNotifierHostRegistered | grep -q true
}
# plasma_x11: KDE Plasma 5 on this display (window manager, watcher, activities, the shell with
# its default bottom panel), started as a new user's first session. Needs BUS=private and
# NEEDS="kwin_x11 kded5 plasmashell dbus-update-activation-environment gdbus".
plasma_x11() {
  local kamd=/usr/lib/x86_64-linux-gnu/libexec/kactivitymanagerd
  [ -x "$kamd" ] || skip "kactivitymanagerd is not installed"
  system_bus
  export XDG_CURRENT_DESKTOP=KDE KDE_FULL_SESSION=true KDE_SESSION_VERSION=5
  dbus-update-activation-environment DISPLAY XDG_RUNTIME_DIR HOME XDG_CACHE_HOME XDG_CONFIG_HOME XDG_CURRENT_DESKTOP # kglobalaccel aborts without
  bg kwin_x11 --replace
  bg kded5
  bg "$kamd"
  bg plasmashell --no-respawn
  check "Plasma's shell runs, its tray watching for StatusNotifierItems" within 90 host_ready
}
# plasma_icon SHOT BEFORE: Plasma's tray shows a new icon at the tray's end of its bottom panel
# (its box ix iy iw ih, 3 px around, and centre cx cy), legible: the square at the left of what
# changed since the shot BEFORE, once the tray is still (it makes room by moving its other icons).
# Plasma's own keyboard-layout icon may turn up meanwhile: it is 16 px tall, ours fills 20.
plasma_icon() {
  local box bar=400x44+880+756
  settled "$1" $bar || return 1
  box=$(convert "$ARTIFACTS/$2.png" "$ARTIFACTS/$1.png" -crop $bar +repage -compose difference -composite -threshold 1% -format '%@' info:)
  [[ $box =~ ^([0-9]+)x([0-9]+)\+([0-9]+)\+([0-9]+)$ ]] && ((BASH_REMATCH[2] >= 18)) || return 1
  ix=$((877 + BASH_REMATCH[3])) iy=$((753 + BASH_REMATCH[4])) iw=$((BASH_REMATCH[2] + 6)) ih=$iw
  cx=$((ix + iw / 2)) cy=$((iy + ih / 2)) && legible "$1" "Plasma's tray"
}
# plasma_hide ID: Plasma's tray shows the StatusNotifierItem ID only under its arrow from now on.
plasma_hide() {
  gdbus call --session -d org.kde.plasmashell -o /PlasmaShell -m org.kde.PlasmaShell.evaluateScript "
    const tray = panels()[0].widgets('org.kde.plasma.systemtray')[0]; tray.currentConfigGroup = [];
    const items = desktopById(tray.readConfig('SystrayContainmentId')); items.currentConfigGroup = ['General'];
    items.writeConfig('hiddenItems', ['$1']); items.reloadConfig();" >/dev/null
}

# gnome_wayland: GNOME Shell 43 as a headless Wayland compositor, 1280 x 800, with XWayland and
# the AppIndicator extension, plus a test extension that lets these scripts call the shell's Eval
# and Screenshot; shot then takes the shell's screenshot, shell_click X Y [COUNT] drives its own
# pointer, shell_true JS asks it. DISPLAY and XAUTHORITY name
# its XWayland, WAYLAND_DISPLAY the compositor. Needs BUS=private, XVFB=no and NEEDS="gnome-shell
# Xwayland gsettings dbus-daemon gdbus".
gnome_wayland() {
  local ext=ubuntu-appindicators@ubuntu.com test=quillory-test@quillory.org shell x
  [ -d "/usr/share/gnome-shell/extensions/$ext" ] || skip "gnome-shell-extension-appindicator is not installed"
  mkdir -p "$HOME/.local/share/gnome-shell/extensions/$test"
  cd "$HOME/.local/share/gnome-shell/extensions/$test"
  echo "{\"uuid\": \"$test\", \"name\": \"test\", \"description\": \"test\", \"shell-version\": [\"43\"]}" >metadata.json
  echo 'function init() { return { enable() { global.context.unsafe_mode = true; }, disable() {} }; }' >extension.js
  cd - >/dev/null
  system_bus
  export GSETTINGS_BACKEND=keyfile
  gsettings set org.gnome.shell enabled-extensions "['$ext', '$test']"
  gsettings set org.gnome.shell disable-user-extensions false
  gnome-shell --wayland --headless --virtual-monitor 1280x800 --wayland-display "wayland-quillory-$$" \
    >"$ARTIFACTS/gnome-shell.log" 2>&1 & started
  shell=$!
  check "GNOME Shell runs on Wayland, its AppIndicator extension watching" within 60 eval \
    'registered "@as \[\]" && shell_true "global.context.unsafe_mode" && pgrep -P $shell Xwayland >/dev/null'
  x=$(ps -o args= -p "$(pgrep -P $shell Xwayland)")
  export WAYLAND_DISPLAY=wayland-quillory-$$ DISPLAY=$(awk '{ print $2 }' <<<"$x") XAUTHORITY=$(sed 's/.* -auth \([^ ]*\).*/\1/' <<<"$x")
  check "the overview gives way to the desktop" within 10 shell_true 'Main.overview.hide(); !Main.overview.visible'
}
shell_eval() { gdbus call --session -d org.gnome.Shell -o /org/gnome/Shell -m org.gnome.Shell.Eval "$1"; }
shell_true() { shell_eval "$1" | grep -q "^(true, 'true')"; }
shot() { # in the shell's own screenshot on GNOME Wayland, where XWayland's root shows nothing
  if [ -n "${WAYLAND_DISPLAY:-}" ]; then
    gdbus call --session -d org.gnome.Shell.Screenshot -o /org/gnome/Shell/Screenshot \
      -m org.gnome.Shell.Screenshot.Screenshot false false "$ARTIFACTS/$1.png" >/dev/null
  else import -window root "$ARTIFACTS/$1.png"; fi
}
shell_click() {
  local i js="const C = imports.gi.Clutter, G = imports.gi.GLib; global.qp = global.qp ||
    C.get_default_backend().get_default_seat().create_virtual_device(C.InputDeviceType.POINTER_DEVICE);
    global.qp.notify_absolute_motion(G.get_monotonic_time(), $1, $2);"
  for ((i = 0; i < ${3:-1}; i++)); do
    js+=" for (const s of [C.ButtonState.PRESSED, C.ButtonState.RELEASED]) global.qp.notify_button(G.get_monotonic_time(), C.BUTTON_PRIMARY, s);"
  done
  shell_true "$js true"
}

# arrow_x SHOT BEFORE: the x of the panel's arrow in SHOT, where it differs from BEFORE in three
# rows near the tip (beside the panel's top edge, or its bottom one for a panel above a bar).
arrow_x() {
  local x y row box; read -r x y < <(panel) || return 1
  row=$((y + 2)); ((y + 200 > $(xdotool getdisplaygeometry | cut -d' ' -f2) / 2)) && row=$((y + 395))
  box=$(convert "$ARTIFACTS/$2.png" "$ARTIFACTS/$1.png" -crop 280x3+$x+$row +repage -compose difference -composite \
    -threshold 10% -format '%@' info:)
  [[ $box =~ ^([0-9]+)x[0-9]+\+([0-9]+)\+ ]] && ((BASH_REMATCH[1] < 20)) && echo $((x + BASH_REMATCH[2] + BASH_REMATCH[1] / 2))
}
# arrow_near SHOT BEFORE X PX: SHOT, once the panel has settled (a menu fading out around it is
# gone), has the panel's arrow within PX of x X.
arrow_near() {
  local a x y; read -r x y < <(panel) && settled "$1" 280x400+$x+$y && a=$(arrow_x "$1" "$2") &&
    echo "measured: panel at $x $y, arrow at x $a, icon at x $3" && ((a - $3 <= $4 && $3 - a <= $4))
}
# glyph SHOT BEFORE: the icon's glyph in SHOT (what differs from BEFORE by more than a quarter
# inside the icon's box ix iy iw ih, the halo left out) measures at least 14 px each way.
glyph() {
  local box; box=$(convert "$ARTIFACTS/$2.png" "$ARTIFACTS/$1.png" -crop "${iw}x$ih+$ix+$iy" +repage -compose difference \
    -composite -colorspace gray -threshold 25% -format '%@' info:)
  echo "measured: the glyph is ${box%%+*} px" && [[ $box =~ ^([0-9]+)x([0-9]+) ]] && ((BASH_REMATCH[1] >= 14 && BASH_REMATCH[2] >= 14))
}
# word_at SHOT WORD WxH+X+Y: the middle "x y" of WORD where OCR reads it in that area of SHOT
# (light text on dark turned dark on light, as OCR reads best).
word_at() {
  local o=${3#*+} negate=()
  convert "$ARTIFACTS/$1.png" -crop "$3" +repage -colorspace gray "$scratch/ocr.png"
  (($(convert "$scratch/ocr.png" -format '%[fx:int(mean*2)]' info:) == 0)) && negate=(-negate)
  convert "$scratch/ocr.png" "${negate[@]}" -scale 200% "$scratch/ocr.png"
  tesseract "$scratch/ocr.png" - tsv 2>/dev/null | awk -F'\t' -v w="$2" -v ox="${o%+*}" -v oy="${o#*+}" \
    '$12 == w { print ox + int(($7 + $9 / 2) / 2), oy + int(($8 + $10 / 2) / 2); f = 1; exit } END { exit !f }'
}

# plasma_wayland: KWin as a virtual Wayland compositor of 1280 x 800 with XWayland, and Plasma's
# watcher, activities and shell as its Wayland clients. KWin's copy runs without the file
# capability this container's bounding set lacks. DISPLAY names its XWayland; kwin_true JS asks
# KWin's scripting. Needs BUS=private, XVFB=no and NEEDS="kwin_wayland kded5 plasmashell Xwayland
# dbus-update-activation-environment gdbus".
plasma_wayland() {
  local kamd=/usr/lib/x86_64-linux-gnu/libexec/kactivitymanagerd kwin
  [ -x "$kamd" ] || skip "kactivitymanagerd is not installed"
  [ -n "$(ls /usr/lib/x86_64-linux-gnu/qt5/plugins/platforms/libqwayland-generic.so 2>/dev/null)" ] || skip "qtwayland5 is not installed"
  system_bus
  cp /usr/bin/kwin_wayland "$scratch/kwin_wayland"
  export XDG_CURRENT_DESKTOP=KDE KDE_FULL_SESSION=true KDE_SESSION_VERSION=5 WAYLAND_DISPLAY=wayland-quillory-$$
  "$scratch/kwin_wayland" --virtual --width 1280 --height 800 --xwayland --socket "$WAYLAND_DISPLAY" --no-lockscreen \
    >"$ARTIFACTS/kwin.log" 2>&1 & started
  kwin=$!
  check "KWin runs on Wayland with XWayland" within 30 eval 'pgrep -P $kwin Xwayland >/dev/null'
  export DISPLAY=$(ps -o args= -p "$(pgrep -P $kwin Xwayland)" | awk '{ print $2 }')
  dbus-update-activation-environment DISPLAY WAYLAND_DISPLAY XDG_RUNTIME_DIR HOME XDG_CACHE_HOME XDG_CONFIG_HOME XDG_CURRENT_DESKTOP
  local p; for p in kded5 "$kamd" "plasmashell --no-respawn"; do QT_QPA_PLATFORM=wayland bg $p; done
  check "Plasma's shell runs on Wayland, its tray watching for StatusNotifierItems" within 90 host_ready
}
kwin_true() { # JS, an expression KWin's scripting prints
  echo "print('answer ' + ($1));" >"$scratch/kwin.js"
  gdbus call --session -d org.kde.KWin -o /Scripting -m org.kde.kwin.Scripting.loadScript "$scratch/kwin.js" q >/dev/null &&
    gdbus call --session -d org.kde.KWin -o /Scripting -m org.kde.kwin.Scripting.start >/dev/null &&
    within 3 eval 'tail -3 "$ARTIFACTS/kwin.log" | grep -q "answer true"'
}
# item PATH INTERFACE.METHOD ARG...: calls our StatusNotifierItem (or its menu) as a host does.
item() {
  local name; name=$(gdbus call --session -d org.kde.StatusNotifierWatcher -o /StatusNotifierWatcher -m org.freedesktop.DBus.Properties.Get \
    org.kde.StatusNotifierWatcher RegisteredStatusNotifierItems | grep -o ':[0-9.]*' | head -1)
  gdbus call --session -d "$name" -o "$1" -m "$2" "${@:3}" >/dev/null
}
