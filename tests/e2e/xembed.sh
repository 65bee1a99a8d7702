#!/usr/bin/env bash
# End to end on an XEmbed tray: its own Xvfb, trayer, xcompmgr, then openbox, and quillory driven
# with xdotool and xclip: the icon, the panel's place and look, the clipboard and the hand-over,
# the ways of closing and ending. Every state is kept as a screenshot in ARTIFACTS.
# xembed.sh QUILLORY ARTIFACTS DATA; exit 77 (skipped) when a program it needs is missing.
QUILLORY=$1 ARTIFACTS=$2 DATA=$3 NEEDS="trayer xcompmgr openbox xclip hsetroot xprop"
source "${0%/*}/lib.sh" || exit 1
photo=("$(realpath "$DATA")"/jpeg/{o1,o6-600x800}.jpg) # quadrants; the second stored turned
hsetroot -solid '#7f93a8' >/dev/null # a slate desktop: black corners or a grey body would show on it

icon() { windows | awk '$4 <= 64 && $5 <= 64 && $3 < 24 { print $2, $3, $4, $5; f = 1 } END { exit !f }'; }
docked() { # docked SHOT: the icon docks in the tray, legible on it
  within 15 icon >/dev/null || fail "the icon docks in the tray"
  read -r ix iy iw ih < <(icon)
  check "the icon docks, legible" within 5 eval "shot $1 && legible $1 'the light tray'"
}
on_icon() { click $((ix + iw / 2)) $((iy + ih / 2)) "$@"; }
# open_panel SHOT BODY: a click on the icon drops the panel 280 x 400 under it, centred on it and
# kept 8 px inside the screen, see-through at its rounded corners, its body of colour BODY.
open_panel() {
  local name=$1 body=$2
  on_icon
  px=$(((2 * ix + iw - 279) / 2)) py=$((iy + ih)); px=$((px > 992 ? 992 : px < 8 ? 8 : px))
  check "the panel appears 280 x 400 directly under the icon" within 5 eval '[ "$(panel)" = "$px $py" ]'
  looks() { shot "$name" && near $px $((py + 8)) "127 147 168" && near $((px + 140)) $((py + 380)) "$body"; }
  check "see-through corners, a body of $body" within 3 looks
}
# near X Y "r g b": the pixel at X Y of the shot just taken is of that colour, give or take 6.
near() { pixels "$ARTIFACTS/$name.png" "1x1+$1+$2" | awk -v b="$3" '{ split(b, q); for (i = 1; i <= 3; i++) if ($i - q[i] > 6 || q[i] - $i > 6) exit 1 }'; }
# shown SHOT [BEFORE]: the panel shows a preview and a summary (neither area is of one colour),
# both other than in the shot BEFORE.
shown() {
  local area s=$ARTIFACTS/$1.png; shot "$1"
  for area in 240x160+$((px + 20))+$((py + 18)) 240x40+$((px + 20))+$((py + 176)); do
    (($(convert "$s" -crop "$area" -format '%k' info:) > 1)) && { [ -z "${2:-}" ] || (($(difference "$s" "$ARTIFACTS/$2.png" "$area") > 0)); } || return 1
  done
}
logged() { [ "$(grep -cx 'file change' "$log")" -eq "$1" ]; }


# A light tray, no window manager: the panel without a compositor, then with one; the clipboard, hand-overs, SIGTERM.
status=0; out=$(QUILLORY_TRAY_WAIT=1 timeout 20 "$QUILLORY" 2>&1) || status=$?
check "without a tray: says that no system tray is available, status 1" \
  eval '[ $status -eq 1 ] && grep -q "no system tray is available" <<<"$out"'
bg trayer --edge top --align right --margin 48 --widthtype pixel --width 120 --height 24 --transparent true --alpha 0 --tint 0xdedede
start light
docked 01-icon-docked
open_panel 02-panel-without-compositor "230 230 230"
click $((px + 75)) $((py + 373)) && check "the close control hides the panel" within 3 no_panel
bg xcompmgr
check "xcompmgr composites the screen" within 10 eval "xdotool search --name '^xcompmgr$' >/dev/null"
open_panel 03-panel-composited "242 244 246"
printf '%s\r\n' "file://${photo[0]}" >"$scratch/uri-list"
t0=$(ms)
bg xclip -quiet -selection clipboard -t text/uri-list "$scratch/uri-list"
within 3 logged 1 && t1=$(ms)
check 'copying a photo'"'"'s URI logs one "file change" within a second' eval '((t1 - t0 < 1000)) && logged 1'
check "the panel shows its preview and summary" within 3 shown 04-photo-from-clipboard
echo "measured: clipboard copy to \"file change\" $((t1 - t0)) ms, to the panel on screen $(($(ms) - t0)) ms"
check '`quillory OTHER.jpg` hands the photo over and ends with 0' timeout 10 "$QUILLORY" "${photo[1]}"
check 'the running instance logs exactly one more "file change"' within 3 logged 2
check "the panel shows the other photo's preview and summary" within 3 shown 05-photo-handed-over 04-photo-from-clipboard
on_icon && check "a second click on the icon closes the panel" within 3 no_panel
check "a hand-over opens the closed panel" eval 'timeout 10 "$QUILLORY" "${photo[0]}" && within 5 panel >/dev/null'
shot 06-panel-reopened-by-hand-over
kill -TERM "$q"
check "SIGTERM ends quillory with status 0" ended 0
check "the icon left the tray" within 3 eval '! icon'

# Under a window manager (openbox), as on a Wayland session through XWayland: a Shift+Alt click and
# its one diagnostic line, a second click, the icon's menu, the exit control.
bg openbox --sm-disable
check "openbox manages the screen" within 10 eval 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q window'
start openbox WAYLAND_DISPLAY=wayland-quillory-test
docked 07-icon-under-openbox
xdotool keydown shift alt
open_panel 08-panel-under-openbox "242 244 246"
xdotool keyup shift alt
check "a Shift+Alt click logs where the icon, the screen and the panel are" eval '[ "$(grep -c "Icon is at " "$log")" -eq 1 ] &&
  grep -qF "Menu is on screen {{0, 0}, {1280, 800}}" "$log" && grep -qF "Will be animated to {{$px, $((400 - py))}, {280, 400}}" "$log"'
on_icon && check "a second click on the icon closes the panel" within 3 no_panel
on_icon 3
check "a right click on the icon opens its menu" within 10 eval 'windows | awk "\$4 > 64 && \$5 < 400 { f = 1 } END { exit !f }" && shot 09-menu'
xdotool key Down Return
check "its \"Show Panel\" opens the panel under the icon" within 5 eval '[ "$(panel)" = "$px $py" ]'
shot 10-panel-from-menu
click $((px + 205)) $((py + 373))
check "the exit control ends quillory at once with status 0" ended 0
