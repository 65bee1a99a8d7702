#!/usr/bin/env bash
# End to end on GNOME Shell's default session, Wayland (headless), with XWayland and the
# AppIndicator extension, where XWayland's pointer is stale: "Show Panel" before any position is
# known drops the panel at the top bar's right end, also after the pointer crossed an X11 window;
# a double click (Activate with its position) drops it under the icon and toggles it; "Show Panel"
# then keeps that position. No busy cursor after either, a glyph of 14 px.
# gnome-wayland.sh QUILLORY ARTIFACTS DATA; exit 77 (skipped) when a program it needs is missing.
QUILLORY=$1 ARTIFACTS=$2 DATA=$3 BUS=private XVFB=no NEEDS="gnome-shell Xwayland gsettings dbus-daemon gdbus tesseract"
source "${0%/*}/lib.sh" || exit 1
gnome_wayland
check "the desktop settles" within 10 desktop 50-gnome-wayland-desktop
sni_icon 51-gnome-wayland-icon 50-gnome-wayland-desktop 600x32+680+0 "GNOME's top bar"
loaded() { find_icon 51-gnome-wayland-icon 50-gnome-wayland-desktop 600x32+680+0 && glyph 51-gnome-wayland-icon 50-gnome-wayland-desktop; }
check "the glyph fills its icon once the host has loaded it" within 10 loaded
busy='imports.gi.Shell.WindowTracker.get_default().get_startup_sequences().length === 0' # no busy cursor
# choose SHOT WORD: a click on the icon shows its menu, and a click chooses its entry WORD (read by OCR).
choose() {
  local x y
  shell_click $cx $cy && within 5 eval "menu $1 51-gnome-wayland-icon && read -r x y < <(word_at $1 $2 300x120+$((cx - 200))+32)" &&
    shell_click $x $y
}
# bar_end SHOT: "Show Panel" from the menu puts the panel under the top bar at its right end,
# fully on screen, the arrow within 100 px of the icon.
bar_end() { choose "$1-menu" Show && within 5 eval '[ "$(panel)" = "992 32" ] && arrow_near '"$1 51-gnome-wayland-icon $cx 100"; }
check '"Show Panel" drops the panel at the top bar'"'"'s right end, before any position is known' bar_end 52-gnome-wayland-show
check "the host's activation ends: no busy cursor" within 5 shell_true "$busy"
shell_click 1100 300 # on the panel, an X11 window: XWayland's pointer stays there
choose 53-gnome-wayland-menu Hide && check '"Hide Panel" closes it' within 5 no_panel
check '"Show Panel" again ignores the pointer XWayland saw last' bar_end 54-gnome-wayland-after-x11
choose 55-gnome-wayland-menu Hide && check '"Hide Panel" closes it' within 5 no_panel
shell_click $cx $cy 2
check "a double click opens the panel under the icon, its arrow on it" within 5 arrow_near 56-gnome-wayland-double-click 51-gnome-wayland-icon $cx 10
check "no busy cursor after it" within 5 shell_true "$busy"
shell_click $cx $cy 2 && check "a second double click closes it" within 5 no_panel
choose 57-gnome-wayland-menu Show
check '"Show Panel" then keeps the position the double click gave' within 5 arrow_near 58-gnome-wayland-remembered 51-gnome-wayland-icon $cx 10
