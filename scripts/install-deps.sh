#!/usr/bin/env bash
# Installs every Debian package that building, testing and benchmarking Quillory needs, by names
# that Debian 12 and Ubuntu 24.04 share. Safe to run again; needs root (or sudo).
set -euo pipefail

packages=(
  # build
  build-essential cmake ninja-build pkg-config clang-format
  # libraries
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev libxcb1-dev libxcb-xfixes0-dev libexiv2-dev libturbojpeg0-dev libjpeg-dev zlib1g-dev
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev libimage-exiftool-perl libvips-dev exiv2
  # fuzzing: clang with libFuzzer and the sanitizer runtimes; llvm for llvm-symbolizer
  clang libclang-rt-dev llvm
  # desktop tests
  xvfb xauth x11-utils xdotool xclip trayer xcompmgr imagemagick
  # desktop tests: a window manager, a wallpaper, a private session bus (portal tests), and
  # Xfce's panel and GNOME Shell with its AppIndicator extension as StatusNotifierItem hosts
  openbox hsetroot xfce4-panel xfconf dbus-daemon libglib2.0-bin gnome-shell gnome-shell-extension-appindicator
  # desktop tests: GNOME Shell's Wayland session (headless, with XWayland), KDE Plasma 5 on X11
  # (window manager, StatusNotifierWatcher, activities, shell), dbus-update-activation-environment
  # for Plasma, and OCR to read menus and popups
  xwayland plasma-workspace plasma-desktop kwin-x11 kded5 kactivitymanagerd dbus-bin tesseract-ocr
  # desktop tests: Plasma on Wayland (KWin's compositor, Qt 5's Wayland platform for the shell)
  kwin-wayland qtwayland5
  # the file managers whose selection the panel follows, the accessibility bus they publish it on
  # (and PCManFM's bridge to it), and its Python binding to click their items
  nautilus nemo caja thunar pcmanfm dolphin at-spi2-core libatk-adaptor gir1.2-atspi-2.0 python3-gi
  # the Debian package: a compiler cache shared by the builds, building (dpkg-buildpackage,
  # debhelper) and checking it (lintian, man-db for its manual page), the desktop files'
  # validators, and a fresh Debian 12 root to install it into (check-package.sh)
  ccache dpkg-dev debhelper lintian man-db appstream desktop-file-utils mmdebstrap
)

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -q
  "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
