#!/usr/bin/env bash
# Builds the Debian package (scripts/build-package.sh), installs it with apt into a fresh Debian 12
# root made by mmdebstrap from this machine's own apt sources, and checks it there without network:
# the command line, the tray program docking in a tray on Xvfb, the desktop files' validity, and a
# purge that leaves none of its files. Runs as root. Says what it checked, one "ok:" a line.
# Usage: scripts/check-package.sh [OUT]   (OUT: where the package lands, default build/package)
set -euo pipefail
cd "$(dirname "$0")/.."
[ "$(id -u)" -eq 0 ] || { echo "FAILED: check-package.sh needs root (mmdebstrap, chroot)" >&2; exit 1; }
out=$(realpath -m "${1:-build/package}")
bash scripts/build-package.sh "$out"
deb=$(ls "$out"/quillory_*_"$(dpkg --print-architecture)".deb)
version=$(sed -n 's/^project(Quillory VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)

root=$(mktemp -d) cache=${XDG_CACHE_HOME:-$HOME/.cache}/quillory-package-debs
mkdir -p "$cache"
cleanup() { for m in dev/pts dev proc sys; do mountpoint -q "$root/$m" && umount -l "$root/$m"; done; rm -rf "$root"; }
trap cleanup EXIT

sources=()
for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources; do
  if [ -s "$f" ]; then sources+=("$f"); fi
done
# What the checks need besides the package; the package's own dependencies come with it.
tools=xvfb,trayer,xdotool,appstream,desktop-file-utils
start=$(date +%s)
# The downloaded packages are kept between runs, so that a second run fetches little.
mmdebstrap --quiet --variant=apt --include="$tools" \
  --skip=essential/unlink --setup-hook='mkdir -p "$1"/var/cache/apt/archives' \
  --setup-hook="sync-in $cache /var/cache/apt/archives" \
  --customize-hook="copy-in $deb /tmp" \
  --customize-hook='chroot "$1" sh -c "DEBIAN_FRONTEND=noninteractive apt-get install -y -q /tmp/quillory_*.deb >/tmp/install.log 2>&1 || { cat /tmp/install.log; exit 1; }"' \
  --customize-hook="sync-out /var/cache/apt/archives $cache" \
  bookworm "$root" "${sources[@]}"
echo "ok: apt-get install ./$(basename "$deb") into a fresh Debian 12 root ($(($(date +%s) - start)) s)"

mkdir -p "$root/tmp/data" && cp tests/data/jpeg/exif.jpg "$root/tmp/data/"
for m in dev dev/pts proc sys; do mount --bind "/$m" "$root/$m"; done
# Everything from here runs without network, as root, in the fresh root.
inside() { unshare --net chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 "$@"; }
ok() { echo "ok: $*"; }
fail() { echo "FAILED: $*" >&2; exit 1; }

said=$(inside quillory --version) || fail "quillory --version"
[ "$said" = "quillory $version" ] || fail "quillory --version says \"$said\", not \"quillory $version\""
ok "quillory --version says $version"

# The fixture photo's summary, as the panel shows it.
expected=$(printf '%s\n' "exif.jpg  (0 kB) " "64 x 48 x 8 RGB " "" "Taken on 2015:07:04 09:30:00 " "Model Demo Cam " \
  "50mm 1/250s F2.8 ISO 200" "" /tmp/data)
summary=$(inside quillory --summary /tmp/data/exif.jpg) || fail "quillory --summary"
[ "$summary" = "$expected" ] || fail "quillory --summary /tmp/data/exif.jpg said: $summary"
ok "quillory --summary reads the fixture photo: $(sed -n 6p <<<"$summary")"

man=$(inside sh -c 'zcat /usr/share/man/man1/quillory.1.gz | head -1') && [[ $man == .TH\ QUILLORY* ]] ||
  fail "the manual page"
ok "the manual page is installed"

# The tray program on Xvfb with trayer, as the end-to-end tests find its icon: a window of class
# quillory of at most 64 px a side at the top of the screen.
inside bash -c '
  set -u
  export XDG_RUNTIME_DIR=/tmp/run DBUS_SESSION_BUS_ADDRESS=unix:path=/tmp/no-bus NO_AT_BRIDGE=1
  mkdir -m 700 -p $XDG_RUNTIME_DIR
  Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset 3>/tmp/display 2>/tmp/xvfb.log & x=$!
  for i in $(seq 300); do [ -s /tmp/display ] && break; sleep 0.05; done
  export DISPLAY=:$(head -1 /tmp/display)
  trayer --edge top --align right --widthtype pixel --width 120 --height 24 2>/tmp/trayer.log & t=$!
  quillory 2>/tmp/quillory.log & q=$!
  icon() { xdotool search --onlyvisible --class "^quillory$" getwindowgeometry --shell %@ 2>/dev/null |
    awk -F= "{ v[\$1] = \$2 } \$1 == \"SCREEN\" && v[\"WIDTH\"] <= 64 && v[\"HEIGHT\"] <= 64 && v[\"Y\"] < 24 { f = 1 } END { exit !f }"; }
  status=1; for i in $(seq 300); do if icon; then status=0; break; fi; sleep 0.05; done
  kill $q $t $x 2>/dev/null; wait
  [ $status -eq 0 ] || { cat /tmp/quillory.log; exit 1; }' || fail "the tray program docks its icon in trayer on Xvfb"
ok "the tray program starts on Xvfb and its icon docks in trayer"

inside appstreamcli validate --no-net /usr/share/metainfo/org.quillory.Quillory.metainfo.xml >"$root/tmp/as.log" 2>&1 ||
  { cat "$root/tmp/as.log"; fail "appstreamcli validate"; }
ok "appstreamcli validate --no-net: $(tail -1 "$root/tmp/as.log")"
for entry in /usr/share/applications/org.quillory.Quillory.desktop /usr/share/quillory/autostart/org.quillory.Quillory.desktop; do
  inside desktop-file-validate "$entry" || fail "desktop-file-validate $entry"
  ok "desktop-file-validate $entry"
done

inside dpkg-query -L quillory | sort >"$root/tmp/files"
inside apt-get purge -y -q quillory >/dev/null || fail "apt-get purge quillory"
# Its files are gone, and so are the folders of its own.
left=$(while IFS= read -r f; do
  if [ -e "$root$f" ] && { ! [ -d "$root$f" ] || [[ $f == *quillory* ]]; }; then echo "$f"; fi
done <"$root/tmp/files")
[ -z "$left" ] || fail "apt-get purge quillory left: $left"
ok "apt-get purge quillory leaves none of its $(wc -l <"$root/tmp/files") files and folders"
