#!/usr/bin/python3
"""item_at.py PROGRAM NAME [--selected]: where the file manager PROGRAM shows its item NAME, as
"x y" on the screen, read over the accessibility bus; with --selected, whether it is selected."""
import subprocess, sys
import gi
gi.require_version("Atspi", "2.0")
from gi.repository import Atspi

ITEMS = {Atspi.Role.ICON, Atspi.Role.TABLE_CELL, Atspi.Role.LIST_ITEM, Atspi.Role.TABLE_ROW}
program, wanted = sys.argv[1], sys.argv[2]
Atspi.set_timeout(3000, 3000)


def named(item):
    name = item.get_name()
    return name == wanted or (not name and "Text" in item.get_interfaces() and item.get_text(0, -1) == wanted)


def find(node, depth=0):
    role = node.get_role()
    if role in (Atspi.Role.MENU_BAR, Atspi.Role.MENU) or depth > 40:
        return None
    if role in ITEMS and named(node):
        return node
    for i in range(node.get_child_count()):
        child = node.get_child_at_index(i)
        found = child and find(child, depth + 1)
        if found:
            return found
    return None


def selected(item):  # GTK 4 marks the cell around the named one; Nemo's icon view only its view
    for node in (item, item.get_parent()):
        if node.get_state_set().contains(Atspi.StateType.SELECTED):
            return True
    view = item.get_parent()
    return "Selection" in view.get_interfaces() and view.is_child_selected(item.get_index_in_parent())


desktop = Atspi.get_desktop(0)
for app in (desktop.get_child_at_index(i) for i in range(desktop.get_child_count())):
    if not app or program not in app.get_name().lower():
        continue
    item = find(app)
    if not item:
        continue
    if "--selected" in sys.argv:
        sys.exit(0 if selected(item) else 1)
    on_screen = item.get_extents(Atspi.CoordType.SCREEN)
    x, y = on_screen.x + on_screen.width // 2, on_screen.y + on_screen.height // 2
    if on_screen.width < 0 and item.get_index_in_parent() == 0:
        # Nemo's and Caja's icon views place no item: the first sits in the view's top-left corner.
        view = item.get_parent().get_extents(Atspi.CoordType.SCREEN)
        x, y = view.x + 67, view.y + 63
    elif on_screen.width < 0:
        continue
    elif on_screen.x == item.get_extents(Atspi.CoordType.WINDOW).x:  # GTK 4 knows only its window
        window = subprocess.run(["xdotool", "search", "--onlyvisible", "--class", program, "getwindowgeometry", "--shell"],
                                capture_output=True, text=True).stdout
        geometry = dict(line.split("=", 1) for line in window.splitlines() if "=" in line)
        x, y = x + int(geometry["X"]), y + int(geometry["Y"])
    print(x, y)
    sys.exit(0)
sys.exit(1)
