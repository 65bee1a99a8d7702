#!/usr/bin/env bash
# file_manager_bench.sh BUILD MANAGER: file_manager_bench against the file manager MANAGER
# (nautilus, nemo, caja, thunar, pcmanfm or dolphin) on a desktop of its own (Xvfb, openbox,
# private buses, the accessibility bus), its view focused on a folder of 24 photos; then the tray
# program's CPU over 60 s (QUILLORY_BENCH_IDLE seconds, if set) with its panel open and the file
# manager idle.
# BUILD is a build folder (build/release); the desktop comes from the end-to-end tests' lib.sh.
build=$(realpath "$1") MANAGER=$2 here=$(dirname "$0")
QUILLORY=$build/app/quillory ARTIFACTS=$build/bench/artifacts/$MANAGER DATA=$(realpath "$here/../tests/data")
BUS=private NEEDS="$MANAGER openbox trayer xdotool /usr/bin/python3 /usr/libexec/at-spi-bus-launcher"
e2e=$(realpath "$here/../tests/e2e")
source "$e2e/lib.sh" || exit 1
bg /usr/libexec/at-spi-bus-launcher --launch-immediately
check "the accessibility bus runs" within 10 eval 'xprop -root AT_SPI_BUS | grep -q unix:'
bg openbox --sm-disable
folder=$HOME/Pictures
mkdir -p "$folder" && for i in $(seq -w 1 24); do cp "$DATA/jpeg/o1.jpg" "$folder/photo-$i.jpg"; done
case $MANAGER in
  nautilus) run=(nautilus --new-window "$folder") key=Right ;;
  nemo) run=(nemo --no-desktop "$folder") key=Right ;;
  caja) run=(caja --no-desktop --browser "$folder") key=Right ;;
  thunar) run=(thunar "$folder") key=Down ;;
  pcmanfm) run=(env GTK_MODULES=gail:atk-bridge pcmanfm "$folder") key=Right ;;
  dolphin) run=(dolphin "$folder") key=Right ;;
  *) fail "no such file manager: $MANAGER" ;;
esac
env -u NO_AT_BRIDGE "${run[@]}" >"$ARTIFACTS/$MANAGER.log" 2>&1 & started
at() { /usr/bin/python3 "$e2e/item_at.py" "$MANAGER" photo-01.jpg >"$scratch/at"; }
# Thunar's icon view shows one item to the accessibility bus: its list view first.
if [ "$MANAGER" = thunar ]; then
  check "thunar shows the folder" within 60 eval 'xdotool search --onlyvisible --name Pictures >/dev/null'
  xdotool key ctrl+2
fi
check "$MANAGER shows the photos" within 60 at
read -r x y <"$scratch/at" && if [ "$MANAGER" = dolphin ]; then xdotool key "$key"; else click "$x" "$y"; fi
QUILLORY_BENCH_KEY=$key "$build/bench/file_manager_bench" --benchmark_counters_tabular=true

# The tray program idle: the panel open, the file manager idle, for 60 s unless told otherwise.
idle=${QUILLORY_BENCH_IDLE:-60}
bg trayer --edge top --align right --widthtype pixel --width 120 --height 24
start idle
check "the icon docks" within 15 eval '[ -n "$(windows)" ]'
check "the panel opens" eval '"$QUILLORY" && within 5 panel'
# CPU ticks (user + system) of each of its threads, by name.
ticks() { for t in /proc/$q/task/*; do echo "${t##*/} $(tr ' ' _ <"$t/comm") $(awk '{ print $14 + $15 }' "$t/stat")"; done | sort; }
ticks >"$scratch/before" && sleep "$idle" && ticks >"$scratch/after"
echo "measured: quillory-tray with the panel open and $MANAGER idle, CPU ticks in $idle s ($(getconf CLK_TCK) a second), by thread:"
join "$scratch/before" "$scratch/after" | awk '{ printf "  %s %d\n", $2, $5 - $3 }'

