#!/usr/bin/env bash
# End to end on GNOME Shell with the AppIndicator extension, as an X11 compositor on its own Xvfb,
# with a private session bus and a private system bus (it looks for logind there; an empty bus
# will do): a click shows Quillory's menu, whose "Show Panel" opens the panel under the icon, and
# the icon is legible on the top bar (its "Hide Panel" is proved on Wayland, by gnome-wayland.sh). Every state kept as a screenshot.
# gnome.sh QUILLORY ARTIFACTS DATA; exit 77 (skipped) when a program it needs is missing.
QUILLORY=$1 ARTIFACTS=$2 DATA=$3 BUS=private NEEDS="gnome-shell gsettings dbus-daemon gdbus"
source "${0%/*}/lib.sh" || exit 1
extension=ubuntu-appindicators@ubuntu.com
[ -d "/usr/share/gnome-shell/extensions/$extension" ] || skip "gnome-shell-extension-appindicator is not installed"
system_bus
export GSETTINGS_BACKEND=keyfile
gsettings set org.gnome.shell enabled-extensions "['$extension']"
gsettings set org.gnome.shell disable-user-extensions false
gnome-shell --x11 --replace >"$ARTIFACTS/gnome-shell.log" 2>&1 & started
check "GNOME Shell runs, its AppIndicator extension watching for StatusNotifierItems" \
  within 60 eval 'registered "@as \[\]" && grep -q "GNOME Shell started" "$ARTIFACTS/gnome-shell.log"'
xdotool key Escape # it starts in the overview
check "the overview closes and the desktop settles" within 10 desktop 30-gnome-desktop
sni_icon 31-gnome-icon 30-gnome-desktop 600x30+680+0 "GNOME's top bar"

click $cx $cy && check "a click shows Quillory's menu, not the panel" within 5 eval 'menu 32-gnome-menu 31-gnome-icon && no_panel'
xdotool key Down Return
check "its \"Show Panel\" opens the panel under the icon" within 5 under_icon
shot 33-gnome-panel-open
