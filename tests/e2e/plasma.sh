#!/usr/bin/env bash
# End to end on KDE Plasma 5 (X11) as a new user finds it, on its own Xvfb and private buses: a
# left click (Activate with its position) toggles the panel above the bottom panel, its arrow on
# the icon; a right click shows Quillory's menu; with the icon hidden under the tray's arrow, a
# click on it there opens the panel fully on screen above the bottom panel. A glyph of 14 px or
# more. Every state kept as a screenshot.
# plasma.sh QUILLORY ARTIFACTS DATA; exit 77 (skipped) when a program it needs is missing.
QUILLORY=$1 ARTIFACTS=$2 DATA=$3 BUS=private
NEEDS="kwin_x11 kded5 plasmashell dbus-update-activation-environment gdbus tesseract"
source "${0%/*}/lib.sh" || exit 1
plasma_x11
check "the desktop settles" within 30 desktop 40-plasma-desktop
bar=400x44+880+756 # the tray's end of the bottom panel
cd "$ARTIFACTS"
start plasma
check "the icon registers as a StatusNotifierItem" within 15 registered
check "the icon shows in Plasma's tray, legible" within 10 plasma_icon 41-plasma-icon 40-plasma-desktop
check "the glyph fills its icon" glyph 41-plasma-icon 40-plasma-desktop

click $cx $cy
check "a left click opens the panel above the bottom panel, its arrow on the icon" \
  within 5 eval '[ "$(panel | cut -d" " -f2)" = 356 ] && arrow_near 42-plasma-panel-open 41-plasma-icon $cx 10'
click $cx $cy && check "a second left click closes it" within 3 no_panel
click $cx $cy 3
check "a right click shows Quillory's menu" within 5 eval 'shot 43-plasma-menu && word_at 43-plasma-menu Show 300x120+$((cx - 150))+636 >/dev/null'
xdotool key Escape

plasma_hide quillory
check "the icon hides under the tray's arrow" within 20 eval 'shot 44-plasma-hidden && (($(difference 44-plasma-hidden.png 40-plasma-desktop.png $bar) == 0))'
click $((cx + 58)) $cy # the arrow, two places right of where the icon was
check "the tray's popup shows Quillory's icon" within 5 eval 'shot 45-plasma-popup && read -r lx ly < <(word_at 45-plasma-popup Quillory 700x300+580+330)'
click $lx $((ly - 30)) # on the icon above its label
check "a click on it there opens the panel fully on screen above the bottom panel" \
  within 5 eval '[ "$(panel)" = "992 356" ] && shot 46-plasma-panel-from-popup'
