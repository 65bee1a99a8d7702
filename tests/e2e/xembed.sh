#!/usr/bin/env bash
# End to end on an XEmbed tray: its own Xvfb, trayer, xcompmgr, then openbox, and quillory driven
# with xdotool and xclip. Every state is kept as a screenshot in ARTIFACTS.
# xembed.sh QUILLORY ARTIFACTS CORPUS; exit 77 (skipped) when a program it needs is missing.
QUILLORY=$1 ARTIFACTS=$2 CORPUS=$3
source "${0%/*}/lib.sh" || exit 1
need Xvfb trayer xcompmgr openbox xdotool xclip import convert hsetroot xprop
start_x
photos
light="127 147 168" dark="31 35 41" # a slate desktop: black corners or a grey body would show on it

tray() {
  [ -z "${tray_pid:-}" ] || { kill "$tray_pid"; wait "$tray_pid" || true; }
  trayer --edge top --align right --margin 48 --widthtype pixel --width 120 --height 24 \
    --transparent true --alpha 0 --tint "$1" 2>>"$ARTIFACTS/xembed-desktop.log" &
  started; tray_pid=$!
}
logged() { [ "$(grep -cx 'file change' "$log")" -eq "$1" ]; }
# The docked icon: a small quillory window in the tray at the top right.
icon() { windows | awk '$4 <= 64 && $5 <= 64 && $3 < 24 { print $2, $3, $4, $5; f = 1 } END { exit !f }'; }

# waits for the icon and its glyph: dark ones on a light tray, light ones on a dark one.
wait_icon() {
  local name=$1 tone=$2 x y w h
  within 15 icon >/dev/null || fail "the icon docks in the tray"
  read -r x y w h < <(icon)
  slot=${w}x$h+$x+$y ix=$x iy=$y iw=$w ih=$h
  glyph() {
    shot "$name"
    pixels "$ARTIFACTS/$name.png" "$slot" | awk -v t="$tone" '{ m = ($1 > $2 ? $1 : $2); m = (m > $3 ? m : $3)
      n = ($1 < $2 ? $1 : $2); n = (n < $3 ? n : $3); l = (m + n) / 2
      c += (t == "light" ? l < 90 : l > 200) } END { exit c <= 10 }'
  }
  check "the icon shows a legible glyph on the $tone tray" within 5 glyph
  echo "measured: icon contrast on the $tone tray $(contrast "$ARTIFACTS/$name.png" "$slot"):1"
}

# open_panel NAME ROOT COMPOSITED [KEY...]: clicks the icon holding KEYs; the panel must appear
# 280 x 400 under it and look right.
open_panel() {
  local name=$1 root=$2 composited=$3 key; shift 3
  for key; do xdotool keydown "$key"; done
  click $((ix + iw / 2)) $((iy + ih / 2))
  for key; do xdotool keyup "$key"; done
  read -r px py arrow < <(placement $ix $iy $iw $ih)
  check "the panel appears 280 x 400 directly under the icon" within 5 at "$px $py"
  looks() { shot "$name"; [ -z "$(look "$ARTIFACTS/$name.png" $px $py $arrow "$root" $composited)" ]; }
  within 3 looks || fail "the panel's look:$(look "$ARTIFACTS/$name.png" $px $py $arrow "$root" $composited)"
  ok "white border, see-through corners, arrow on the icon's centre (composited: $composited)"
}
close_panel() { click $((px + 75)) $((py + 373)) && check "the close control hides the panel" within 3 no_panel; }
toggle_closed() { # a second click on the icon closes the panel
  click $((ix + iw / 2)) $((iy + ih / 2))
  check "a second click on the icon closes the panel" within 3 no_panel
  shot "$1"
}
# waits for a photo in the preview, different from the one in shot BEFORE (if any)
picture() {
  local before=${2:-} area=240x160+$((px + 20))+$((py + 18))
  shown() {
    shot "$1"
    (($(spread "$ARTIFACTS/$1.png" "$area") > 12)) &&
      { [ -z "$before" ] || (($(difference "$ARTIFACTS/$1.png" "$before" "$area") > 10)); }
  }
  check "the panel shows the photo's preview" within 3 shown "$1"
}

# Without a tray: waits, says so, ends with 1.
status=0; out=$(QUILLORY_TRAY_WAIT=1 timeout 20 "$QUILLORY" 2>&1) || status=$?
check "without a tray: says that no system tray is available, status 1" \
  eval '[ $status -eq 1 ] && grep -q "no system tray is available" <<<"$out"'

# A light tray, no window manager: without a compositor, then with one; the clipboard, hand-overs,
# both ways of closing, SIGTERM.
desktop '#7f93a8'
tray 0xdedede
start light
wait_icon 01-icon-docked light
open_panel 02-panel-without-compositor "$light" 0
close_panel
xcompmgr 2>>"$ARTIFACTS/xembed-desktop.log" &
started
check "xcompmgr composites the screen" within 10 compositing
open_panel 03-panel-open "$light" 1
toggle_closed 03-panel-closed-by-second-click
open_panel 03-panel-open "$light" 1

printf '%s\r\n' "file://${photo[0]// /%20}" >"$scratch/uri-list"
t0=$(ms)
xclip -quiet -selection clipboard -t text/uri-list "$scratch/uri-list" 2>/dev/null &
started
check 'copying a photo'"'"'s URI logs "file change"' within 3 logged 1
t1=$(ms)
picture 04-photo-from-clipboard
echo "measured: clipboard copy to \"file change\" $((t1 - t0)) ms, to the preview on screen $(($(ms) - t0)) ms"
check 'exactly one "file change" within a second' eval '((t1 - t0 < 1000)) && logged 1'

t0=$(ms)
check '`quillory OTHER.jpg` hands the photo over and ends with 0' timeout 10 "$QUILLORY" "${photo[1]}"
echo "measured: second quillory handed over and ended in $(($(ms) - t0)) ms"
check 'the running instance logs exactly one more "file change"' within 3 logged 2
picture 05-photo-handed-over "$ARTIFACTS/04-photo-from-clipboard.png"
close_panel
shot 06-panel-closed
check "a hand-over opens the closed panel" eval 'timeout 10 "$QUILLORY" "${photo[0]}" && within 5 panel'
picture 06-panel-reopened-by-hand-over "$ARTIFACTS/05-photo-handed-over.png"
kill -TERM "$q"
check "SIGTERM ends quillory with status 0" ended 0
check "the icon left the tray" within 3 eval '! icon'

# A dark tray: the light icon, a Shift+Alt click and its one diagnostic line, the exit control.
desktop '#1f2329'
tray 0x26292e
start dark QUILLORY_APPEARANCE=dark
wait_icon 07-dark-icon dark
open_panel 08-dark-panel "$dark" 1 shift alt
screen="Menu is on screen {{0, 0}, {1280, 800}}"
animated="Will be animated to {{$px, $((800 - py - 400))}, {280, 400}}"
check "a Shift+Alt click logs where the icon, the screen and the panel are: $animated" \
  eval '[ "$(grep -c "Icon is at " "$log")" -eq 1 ] && grep -qF "$screen" "$log" && grep -qF "$animated" "$log"'
click $((px + 205)) $((py + 373))
check "the exit control ends quillory at once with status 0" ended 0

# As on a Wayland session with XWayland: the icon through X11, then SIGINT.
start wayland QUILLORY_APPEARANCE=dark WAYLAND_DISPLAY=wayland-quillory-test
wait_icon 09-icon-on-wayland-through-xwayland dark
kill -INT "$q"
check "SIGINT ends quillory with status 0" ended 0
check "the icon left the tray" within 3 eval '! icon'

# Under a window manager (openbox): two clicks on the icon, open then closed.
openbox --sm-disable 2>>"$ARTIFACTS/xembed-desktop.log" &
started
check "openbox manages the screen" within 10 eval 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q window'
start openbox QUILLORY_APPEARANCE=dark
wait_icon 10-icon-under-openbox dark
open_panel 11-openbox-panel-open "$dark" 1
toggle_closed 12-openbox-panel-closed-by-second-click
# The right button opens the icon's menu (a quillory window that is neither icon nor panel).
click $((ix + iw / 2)) $((iy + ih / 2)) 3
check "a right click on the icon opens its menu" within 3 eval 'windows | awk "\$4 > 64 && \$5 < 400 { f = 1 } END { exit !f }"'
shot 13-openbox-menu
xdotool key Down Return
check "its \"Show Panel\" opens the panel under the icon" within 5 at "$px $py"
shot 14-openbox-panel-from-menu
kill -TERM "$q"
check "SIGTERM ends quillory with status 0" ended 0
