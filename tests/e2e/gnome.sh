#!/usr/bin/env bash
# End to end on GNOME Shell with the AppIndicator extension, as an X11 compositor on its own Xvfb,
# with a private session bus and a private system bus (it looks for logind there; an empty bus
# will do). Every state kept as a screenshot.
# gnome.sh QUILLORY ARTIFACTS CORPUS; exit 77 (skipped) when a program it needs is missing.
QUILLORY=$1 ARTIFACTS=$2 CORPUS=$3 BUS=private
source "${0%/*}/lib.sh" || exit 1
extension=ubuntu-appindicators@ubuntu.com
need Xvfb gnome-shell gsettings dbus-daemon gdbus xdotool import convert
[ -d "/usr/share/gnome-shell/extensions/$extension" ] ||
  { echo "SKIPPED: gnome-shell-extension-appindicator is not installed (scripts/install-deps.sh installs it)"; exit 77; }
start_x
dbus-daemon --session --nofork --print-address=3 3>"$scratch/system-bus" &
started
within 10 grep -q . "$scratch/system-bus" || fail "a private system bus runs"
export DBUS_SYSTEM_BUS_ADDRESS=$(head -1 "$scratch/system-bus") GSETTINGS_BACKEND=keyfile
gsettings set org.gnome.shell enabled-extensions "['$extension']"
gsettings set org.gnome.shell disable-user-extensions false
gnome-shell --x11 --replace >"$ARTIFACTS/gnome-shell.log" 2>&1 &
started
check "GNOME Shell runs, its AppIndicator extension watching for StatusNotifierItems" \
  within 60 eval 'items | grep -q "@as \[\]" && grep -q "GNOME Shell started" "$ARTIFACTS/gnome-shell.log"'
xdotool key Escape # it starts in the overview
bar() { # the right half of the top bar, as in SHOT
  convert "$ARTIFACTS/$1.png" -crop 600x30+680+0 +repage "$scratch/$1-bar.png"
}
bar_still() {
  [ ! -f "$ARTIFACTS/30-gnome-desktop.png" ] || mv "$ARTIFACTS/30-gnome-desktop.png" "$scratch/before.png"
  shot 30-gnome-desktop
  [ -f "$scratch/before.png" ] && (($(difference "$ARTIFACTS/30-gnome-desktop.png" "$scratch/before.png" 1280x800+0+0) == 0))
}
check "the overview closes and the desktop settles" within 10 bar_still

start gnome
check "the icon registers as a StatusNotifierItem" within 15 eval 'items | grep -q StatusNotifierItem'
find_icon() { # the icon's "x y w h": what differs in the top bar's right half, 3 px around it
  local box
  shot "$1"
  box=$(convert "$ARTIFACTS/30-gnome-desktop.png" "$ARTIFACTS/$1.png" -crop 600x30+680+0 +repage \
    -compose difference -composite -threshold 1% -format '%@' info:)
  [[ $box =~ ^([0-9]+)x([0-9]+)\+([0-9]+)\+([0-9]+)$ ]] && ((BASH_REMATCH[1] > 3 && BASH_REMATCH[1] < 40)) || return 1
  ix=$((680 + BASH_REMATCH[3] - 3)) iy=$((BASH_REMATCH[4] > 3 ? BASH_REMATCH[4] - 3 : 0))
  iw=$((BASH_REMATCH[1] + 6)) ih=$((BASH_REMATCH[2] + 6))
}
check "the icon shows in the top bar" within 10 find_icon 31-gnome-icon
ratio=$(contrast "$ARTIFACTS/31-gnome-icon.png" "${iw}x$ih+$ix+$iy")
echo "measured: icon contrast on GNOME's top bar $ratio:1"
check "the icon is legible on the top bar (3:1 at least)" awk -v r="$ratio" 'BEGIN { exit !(r >= 3) }'
cx=$((ix + iw / 2)) cy=$((iy + ih / 2))

# menu SHOT BEFORE: the extension's menu, which the shell draws itself, changed what is under
# the icon since the shot BEFORE.
menu() {
  shot "$1"
  (($(difference "$ARTIFACTS/$1.png" "$ARTIFACTS/$2.png" 200x150+$((cx - 180))+32) > 20))
}
under_icon() { local x y; read -r x y < <(panel) && ((y >= 26 && y <= 40 && x <= cx && cx <= x + 280)); }
click $cx $cy
check "a single click shows Quillory's menu, not the panel" within 5 eval 'menu 32-gnome-menu 31-gnome-icon && no_panel'
xdotool key Down Return
check "its \"Show Panel\" opens the panel under the icon" within 5 under_icon
shot 33-gnome-panel-open
click $cx $cy
check "a click on the icon shows the menu again" within 5 eval 'menu 34-gnome-menu-panel-open 33-gnome-panel-open && panel'
xdotool key Down Return
check "its \"Hide Panel\" closes the panel" within 5 no_panel
shot 35-gnome-panel-closed
click $cx $cy
check "a click on the icon shows the menu again" within 5 menu 36-gnome-menu 35-gnome-panel-closed
xdotool key Down Down Return
check "its \"Quit\" ends quillory with status 0" ended 0
check "the icon leaves the top bar" within 5 eval '! items | grep -q StatusNotifierItem'
shot 37-gnome-after-quit
