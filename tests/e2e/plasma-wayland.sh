#!/usr/bin/env bash
# End to end on KDE Plasma 5 on Wayland (KWin virtual, XWayland, Plasma's shell), where neither a
# pointer nor screenshots can be had here (both need Wayland protocols no packaged tool speaks):
# the host's calls are made over D-Bus as Plasma makes them. A host that gives no position opens
# the panel at the bottom bar's right end; a left click's position (Activate) puts it above the
# bar under that point, and the menu's "Show Panel" keeps it; KWin keeps it off the task manager.
# plasma-wayland.sh QUILLORY ARTIFACTS DATA; exit 77 (skipped) when a program it needs is missing.
QUILLORY=$1 ARTIFACTS=$2 DATA=$3 BUS=private XVFB=no
NEEDS="kwin_wayland kded5 plasmashell Xwayland dbus-update-activation-environment gdbus"
source "${0%/*}/lib.sh" || exit 1
plasma_wayland
start plasma-wayland
check "the icon registers with Plasma's tray" within 15 registered
activate() { item /StatusNotifierItem org.kde.StatusNotifierItem.Activate "$@"; }
activate 0 0
check "without a position the panel opens at the bottom bar's right end" within 5 eval '[ "$(panel)" = "992 356" ]'
check "KWin keeps it off the task manager" kwin_true \
  'workspace.clientList().some(c => c.resourceClass == "quillory" && c.skipTaskbar && c.skipPager)'
activate 0 0 && check "a second activation closes it" within 3 no_panel
activate 1072 778
check "a left click's position puts it above the bar, its middle there" within 5 eval '[ "$(panel)" = "932 356" ]'
item /MenuBar com.canonical.dbusmenu.Event 1 clicked '<0>' 0 && check '"Hide Panel" (the first entry) closes it' within 3 no_panel
item /MenuBar com.canonical.dbusmenu.Event 1 clicked '<0>' 0 && check '"Show Panel" keeps the position the click gave' within 5 eval '[ "$(panel)" = "932 356" ]'
