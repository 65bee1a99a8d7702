#!/usr/bin/env bash
# End to end on a StatusNotifierItem host: Xfce's panel with its status tray, on its own Xvfb with
# openbox and a private session bus: a left click toggles the panel, a right click shows
# Quillory's own menu, the icon is legible on a dark and a light panel. Every state kept as a screenshot.
# xfce.sh QUILLORY ARTIFACTS DATA; exit 77 (skipped) when a program it needs is missing.
xfconfd=$(ls /usr/lib/*/xfce4/xfconf/xfconfd 2>/dev/null | head -1)
QUILLORY=$1 ARTIFACTS=$2 DATA=$3 BUS=private NEEDS="openbox xfce4-panel xfconf-query gdbus ${xfconfd:-xfconfd}"
source "${0%/*}/lib.sh" || exit 1
bg openbox --sm-disable
# Xfce's dark default panel at the top, with only its status tray at the right end: a layout
# stored in advance, so no first-run dialog.
mkdir -p "$XDG_CONFIG_HOME/xfce4/xfconf/xfce-perchannel-xml"
cp "${0%/*}/xfce4-panel.xml" "$XDG_CONFIG_HOME/xfce4/xfconf/xfce-perchannel-xml/"
bg "$xfconfd"
xfce4-panel 2>"$ARTIFACTS/xfce4-panel.log" & started
check "Xfce's status tray watches for StatusNotifierItems" within 15 registered '@as \[\]'
drawn() { xdotool search --onlyvisible --class '^xfce4-panel$' >/dev/null && settled 20-xfce-panel-empty 1280x26+0+0; }
check "Xfce's panel is drawn" within 10 drawn
sni_icon 21-xfce-icon 20-xfce-panel-empty 1280x26+0+0 "Xfce's dark panel"

click $cx $cy && check "a left click opens the panel under the icon" within 5 under_icon
shot 22-xfce-panel-open
click $cx $cy && check "a second left click closes it" within 3 no_panel

# A light panel: the same icon must stay legible. The pointer leaves it, so it is not lit up.
xdotool mousemove 640 400
xfconf-query -c xfce4-panel -p /panels/dark-mode -s false
light() { shot 23-xfce-light-panel && pixels "$ARTIFACTS/23-xfce-light-panel.png" 1x1+2+2 | awk '{ exit $1 < 160 }'; }
check "Xfce's panel turns light" within 5 light
check "the icon is legible on it" legible 23-xfce-light-panel "Xfce's light panel"
click $cx $cy 3
check "a right click shows a menu" within 3 menu 24-xfce-menu 23-xfce-light-panel
check "the menu is Quillory's (the panel found one to show)" eval '! grep -q NO_DBUSMENU "$ARTIFACTS/xfce4-panel.log"'
xdotool key Up Return
check "its \"Quit\" ends quillory with status 0" ended 0
check "the icon leaves the status tray" within 5 eval '! registered'
