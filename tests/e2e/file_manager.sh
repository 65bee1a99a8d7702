#!/usr/bin/env bash
# End to end with a real file manager on its own Xvfb, a private session bus and the accessibility
# bus, on openbox with trayer (Dolphin: inside Plasma on X11): with the panel open, a click on a
# photo (Dolphin: the Home key, since Plasma's single click opens it) and an arrow key to the next
# one refill it, one "file change" each, with no Ctrl+C; a text file leaves the open panel on the
# photo and the next opening shows the no-file message; a file manager stopped while Quillory may
# be asking it holds up nothing. What the panel says is read back with tesseract. Every state
# kept as a screenshot.
# file_manager.sh QUILLORY ARTIFACTS DATA MANAGER; exit 77 (skipped) when a program it needs is missing.
QUILLORY=$1 ARTIFACTS=$2/$4 DATA=$3 MANAGER=$4 BUS=private
launcher=/usr/libexec/at-spi-bus-launcher
NEEDS="$MANAGER xclip tesseract xprop gdbus /usr/bin/python3 $launcher"
if [ "$MANAGER" = dolphin ]; then NEEDS+=" kwin_x11 kded5 plasmashell dbus-update-activation-environment"; else NEEDS+=" trayer openbox"; fi
source "${0%/*}/lib.sh" || exit 1
/usr/bin/python3 -c 'import gi; gi.require_version("Atspi", "2.0")' 2>/dev/null || skip "gir1.2-atspi-2.0 is not installed"
# Before the desktop: Qt programs look for the bus when they start.
bg "$launcher" --launch-immediately
check "the accessibility bus runs" within 10 eval 'xprop -root AT_SPI_BUS | grep -q unix:'
tray_icon() { windows | awk '$4 <= 64 && $5 <= 64 && $3 < 24 { print $2 + $4 / 2, $3 + $5 / 2; f = 1 } END { exit !f }'; }
if [ "$MANAGER" = dolphin ]; then
  plasma_x11
  check "the desktop settles" within 30 desktop 40-dolphin-desktop
  start "$MANAGER"
  check "the icon shows in Plasma's tray" within 15 plasma_icon 41-dolphin-icon 40-dolphin-desktop
  ix=$cx iy=$cy
else
  bg openbox --sm-disable
  bg trayer --edge top --align right --margin 48 --widthtype pixel --width 120 --height 24 --tint 0xdedede
  start "$MANAGER"
  # Where it docked, as seen by the check itself: asked again, trayer may be re-embedding it.
  check "the icon docks in the tray" within 15 eval 'tray_icon >"$scratch/icon"'
  read -r ix iy <"$scratch/icon"
fi

# Two photos and a text file, in the order the views sort them.
folder=$HOME/Pictures
mkdir -p "$folder" && cp "$DATA/jpeg/o1.jpg" "$folder/harbour.jpg" && cp "$DATA/jpeg/o4.jpg" "$folder/meadow.jpg"
echo "a note" >"$folder/notes.txt"
case $MANAGER in
  nautilus) run=(nautilus --new-window "$folder") next=Right back=Left ;;
  nemo) run=(nemo --no-desktop "$folder") next=Right back=Left ;;
  caja) run=(caja --no-desktop --browser "$folder") next=Right back=Left ;;
  thunar) run=(thunar "$folder") next=Down back=Up ;; # its list view: its icon view shows one item only
  pcmanfm) run=(env GTK_MODULES=gail:atk-bridge pcmanfm "$folder") next=Right back=Left ;;
  dolphin) run=(dolphin "$folder") next=Right back=Left ;;
esac
env -u NO_AT_BRIDGE "${run[@]}" >"$ARTIFACTS/$MANAGER.log" 2>&1 & started
fm=$!
shows_folder() { xdotool search --onlyvisible --name "Pictures" >/dev/null; }
check "$MANAGER shows the folder" within 60 shows_folder
if [ "$MANAGER" = thunar ]; then xdotool key ctrl+2; fi

click "$ix" "$iy" && check "a click on the icon opens the panel" within 5 eval 'panel >"$scratch/panel"'
read -r px py <"$scratch/panel"
# says SHOT TEXT: the panel, read with tesseract, says TEXT (a regular expression).
says() {
  shot "$1" && convert "$ARTIFACTS/$1.png" -crop "280x400+$px+$py" +repage -resize 300% -colorspace Gray "$scratch/ocr.png" &&
    tesseract "$scratch/ocr.png" - 2>/dev/null | tr '\n' ' ' | tee "$scratch/said" | grep -qiE "$2"
}
# previewed SHOT: the panel shows the photo's preview (both photos are a quarter pure red).
previewed() {
  (($(convert "$ARTIFACTS/$1.png" -crop "280x400+$px+$py" +repage -fuzz 15% -fill black +opaque red -fill white -opaque red \
    -format '%[fx:int(mean*100)]' info:) >= 4))
}
logged() { [ "$(grep -cx 'file change' "$log")" -eq "$1" ]; }
item_at() { /usr/bin/python3 "${0%/*}/item_at.py" "$MANAGER" "$@" >"$scratch/at"; }
# select NAME: one click on the item NAME, where the file manager shows it; then it is selected.
select_item() {
  local x y
  within 60 item_at "$1" && read -r x y <"$scratch/at" && t0=$(ms) && click "$x" "$y" && within 5 item_at "$1" --selected
}

if [ "$MANAGER" = dolphin ]; then
  # A click on the view's empty part gives Dolphin the keyboard, selecting nothing.
  eval "$(xdotool search --onlyvisible --class '^dolphin$' getwindowgeometry --shell | head -5)"
  click $((X + WIDTH * 2 / 3)) $((Y + HEIGHT * 3 / 4))
  t0=$(ms) && xdotool key Home ctrl+space # to the first item, and select it
  check "the keyboard selects harbour.jpg in Dolphin" within 10 item_at harbour.jpg --selected
else
  check "a click selects harbour.jpg in $MANAGER" select_item harbour.jpg
fi
check 'the panel logs one "file change"' within 5 logged 1
echo "measured: the first selection to \"file change\" $(($(ms) - t0)) ms"
check "the panel shows harbour.jpg and its preview" within 5 eval "says 41-$MANAGER-harbour 'harbour\\.jpg' && previewed 41-$MANAGER-harbour"
t0=$(ms)
xdotool key "$next"
check 'an arrow key to meadow.jpg logs exactly one more "file change"' within 5 logged 2
echo "measured: arrow key to \"file change\" $(($(ms) - t0)) ms"
check "the panel shows meadow.jpg and its preview" within 5 eval "says 42-$MANAGER-meadow 'meadow\\.jpg' && previewed 42-$MANAGER-meadow"
xdotool key "$next"
check "$MANAGER selects notes.txt" within 5 item_at notes.txt --selected
check "the open panel stays on meadow.jpg" says 43-$MANAGER-text-file-selected 'meadow\.jpg'
reopened() { click "$ix" "$iy" && within 3 no_panel && click "$ix" "$iy" && within 3 panel && says 44-$MANAGER-reopened 'No JPEG'; }
check "the next opening shows the no-file message" within 15 reopened
check "the clipboard stayed empty" eval '! xclip -selection clipboard -o -t TARGETS >/dev/null 2>&1'

# A file manager that stops answering, even while Quillory asks it about a change, holds up
# nothing: the icon must still work at once. Back on meadow.jpg, shown last: no "file change".
xdotool key "$back"
kill -STOP "$fm"
click "$ix" "$iy" && check "with $MANAGER stopped, a click closes the panel" within 3 no_panel
click "$ix" "$iy" && check "and the next one opens it" within 3 panel
shot 45-$MANAGER-stopped
kill -CONT "$fm"
check 'neither the text file nor the photo shown gave a "file change": two in all' logged 2
