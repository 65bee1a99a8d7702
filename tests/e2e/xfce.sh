#!/usr/bin/env bash
# End to end on a StatusNotifierItem host: Xfce's panel with its status tray, on its own Xvfb with
# openbox and a private session bus. Clicks as a user would; every state kept as a screenshot.
# xfce.sh QUILLORY ARTIFACTS CORPUS; exit 77 (skipped) when a program it needs is missing.
QUILLORY=$1 ARTIFACTS=$2 CORPUS=$3 BUS=private
source "${0%/*}/lib.sh" || exit 1
xfconfd=$(ls /usr/lib/*/xfce4/xfconf/xfconfd 2>/dev/null | head -1)
need Xvfb openbox xfce4-panel xfconf-query gdbus xdotool import convert "${xfconfd:-xfconfd}"
start_x
openbox --sm-disable 2>>"$ARTIFACTS/xfce-desktop.log" &
started

# Xfce's dark default panel at the top, with only its status tray, at the right end: a layout
# stored in advance, so no first-run dialog.
conf=$XDG_CONFIG_HOME/xfce4/xfconf/xfce-perchannel-xml
mkdir -p "$conf"
cat >"$conf/xfce4-panel.xml" <<'EOF'
<?xml version="1.0" encoding="UTF-8"?>
<channel name="xfce4-panel" version="1.0">
  <property name="configver" type="int" value="2"/>
  <property name="panels" type="array">
    <value type="int" value="1"/>
    <property name="dark-mode" type="bool" value="true"/>
    <property name="panel-1" type="empty">
      <property name="position" type="string" value="p=6;x=0;y=0"/>
      <property name="length" type="uint" value="100"/>
      <property name="position-locked" type="bool" value="true"/>
      <property name="icon-size" type="uint" value="16"/>
      <property name="size" type="uint" value="26"/>
      <property name="plugin-ids" type="array"><value type="int" value="1"/><value type="int" value="2"/></property>
    </property>
  </property>
  <property name="plugins" type="empty">
    <property name="plugin-1" type="string" value="separator">
      <property name="expand" type="bool" value="true"/><property name="style" type="uint" value="0"/>
    </property>
    <property name="plugin-2" type="string" value="systray"><property name="square-icons" type="bool" value="true"/></property>
  </property>
</channel>
EOF
"$xfconfd" 2>>"$ARTIFACTS/xfce-desktop.log" &
started
xfce4-panel 2>"$ARTIFACTS/xfce4-panel.log" &
started
check "Xfce's status tray watches for StatusNotifierItems" within 15 eval 'items | grep -q "@as \[\]"'
# The bar as drawn before the icon: once it is on screen and two shots of it agree. What
# changes in it from here on is the icon.
bar_still() {
  [ ! -f "$ARTIFACTS/20-xfce-panel-empty.png" ] || mv "$ARTIFACTS/20-xfce-panel-empty.png" "$scratch/bar.png"
  shot 20-xfce-panel-empty
  xdotool search --onlyvisible --class '^xfce4-panel$' >/dev/null &&
    (($(difference "$ARTIFACTS/20-xfce-panel-empty.png" "$scratch/bar.png" 1280x26+0+0) == 0))
}
check "Xfce's panel is drawn" within 10 bar_still

start xfce
check "the icon registers as a StatusNotifierItem" within 15 eval 'items | grep -q StatusNotifierItem'
# find_icon SHOT: the icon's "x y w h": what differs from the empty panel, 3 px of panel around it.
find_icon() {
  local box
  shot "$1"
  box=$(convert "$ARTIFACTS/20-xfce-panel-empty.png" "$ARTIFACTS/$1.png" -crop 1280x26+0+0 +repage \
    -compose difference -composite -threshold 1% -format '%@' info:)
  [[ $box =~ ^([0-9]+)x([0-9]+)\+([0-9]+)\+([0-9]+)$ ]] && ((BASH_REMATCH[1] > 3 && BASH_REMATCH[1] < 40)) || return 1
  ix=$((BASH_REMATCH[3] - 3)) iy=$((BASH_REMATCH[4] > 3 ? BASH_REMATCH[4] - 3 : 0))
  iw=$((BASH_REMATCH[1] + 6)) ih=$((BASH_REMATCH[2] + 6))
}
legible() { # legible SHOT TONE: the icon's contrast against the panel behind it
  local ratio
  ratio=$(contrast "$ARTIFACTS/$1.png" "${iw}x$ih+$ix+$iy")
  echo "measured: icon contrast on Xfce's $2 panel $ratio:1"
  awk -v r="$ratio" 'BEGIN { exit !(r >= 3) }'
}
check "the icon shows in Xfce's panel" within 10 find_icon 21-xfce-icon
check "the icon is legible on the dark panel (3:1 at least)" legible 21-xfce-icon dark
cx=$((ix + iw / 2)) cy=$((iy + ih / 2))

under_icon() { # the panel hangs under the panel bar, its arrow's side spanning the icon
  local x y
  read -r x y < <(panel) && ((y >= 26 && y <= 34 && x <= cx && cx <= x + 280))
}
click $cx $cy
check "a left click opens the panel under the icon" within 5 under_icon
shot 22-xfce-panel-open
click $cx $cy
check "a second left click closes it" within 3 no_panel
shot 23-xfce-panel-closed

menu() { # the status tray's menu is on screen
  local w
  for w in $(xdotool search --onlyvisible --class '^wrapper'); do
    xprop -id "$w" _NET_WM_WINDOW_TYPE | grep -q POPUP_MENU && return 0
  done
  return 1
}
click $cx $cy 3
check "a right click shows a menu" within 3 menu
shot 24-xfce-menu
check "the menu is Quillory's (the panel found one to show)" eval '! grep -q NO_DBUSMENU "$ARTIFACTS/xfce4-panel.log"'
xdotool key Down Return
check "its \"Show Panel\" opens the panel under the icon" within 5 under_icon
shot 25-xfce-panel-from-menu
click $cx $cy
check "a left click closes it again" within 3 no_panel

# A light panel: the same icon must stay legible. The pointer leaves it, so it is not lit up.
xdotool mousemove 640 400
xfconf-query -c xfce4-panel -p /panels/dark-mode -s false
light_bar() { shot 26-xfce-light-panel && pixel "$ARTIFACTS/26-xfce-light-panel.png" 2 2 | awk '{ exit $1 < 160 }'; }
check "Xfce's panel turns light" within 5 light_bar
check "the icon is legible on the light panel (3:1 at least)" legible 26-xfce-light-panel light

click $cx $cy 3
check "the menu comes back" within 3 menu
xdotool key Up Return
check "its \"Quit\" ends quillory with status 0" ended 0
check "the icon leaves the status tray" within 5 eval '! items | grep -q StatusNotifierItem'
shot 27-xfce-after-quit
