#!/usr/bin/env bash
# Builds the Debian package from a clean copy of the committed tree (HEAD, not the working
# folder), the Debian way (dpkg-buildpackage -b), into OUT (default build/package); then runs
# lintian on it, checks its file list and prints its size and files.
# Usage: scripts/build-package.sh [OUT]
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(realpath -m "${1:-build/package}")
version=$(dpkg-parsechangelog -S Version)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"
rm -f "$out"/quillory_*

git archive --prefix="quillory-${version%-*}/" HEAD | tar -x -C "$work"
# ccache, when there, through CMake's launcher variable; the base folder makes the temporary
# folder's name irrelevant to its hits.
if command -v ccache >/dev/null; then
  export CMAKE_CXX_COMPILER_LAUNCHER=ccache CCACHE_BASEDIR=$work CCACHE_NOHASHDIR=1
fi
(cd "$work/quillory-${version%-*}" && dpkg-buildpackage -us -uc -b -j"${QUILLORY_JOBS:-2}") >"$out/build.log" 2>&1 ||
  { tail -40 "$out/build.log"; echo "FAILED: dpkg-buildpackage (whole log: $out/build.log)" >&2; exit 1; }
mv "$work"/quillory_"$version"_* "$work"/quillory-dbgsym_* "$out/" 2>/dev/null || true
deb=$(ls "$out"/quillory_"$version"_*.deb)
echo "ok: built $deb"

echo "== lintian"
lintian --fail-on error --display-info --info "$out"/quillory_"$version"_*.changes
echo "ok: lintian reports no errors"

# Exactly what cmake --install puts in place, plus Debian's copyright, changelog and lintian overrides.
expected=(
  usr/bin/quillory
  usr/libexec/quillory/quillory-tray
  usr/share/applications/org.quillory.Quillory.desktop
  usr/share/metainfo/org.quillory.Quillory.metainfo.xml
  usr/share/icons/hicolor/scalable/apps/org.quillory.Quillory.svg
  usr/share/icons/hicolor/scalable/status/quillory-status-symbolic.svg
  usr/share/quillory/autostart/org.quillory.Quillory.desktop
  "usr/share/quillory/file-managers/Show in Quillory"
  usr/share/quillory/file-managers/thunar-uca.xml
  usr/share/kio/servicemenus/quillory-servicemenu.desktop
  usr/share/man/man1/quillory.1.gz
  usr/share/doc/quillory/copyright
  usr/share/lintian/overrides/quillory
  usr/share/doc/quillory/changelog.Debian.gz
)
for size in 16 22 24 32 48 64 128 256; do
  expected+=("usr/share/icons/hicolor/${size}x$size/apps/org.quillory.Quillory.png")
done
dpkg-deb --fsys-tarfile "$deb" | tar -t | sed -n 's|^\./||; /[^/]$/p' | sort >"$work/files"
printf '%s\n' "${expected[@]}" | sort >"$work/expected"
if ! diff -u "$work/expected" "$work/files"; then
  echo "FAILED: the package's files differ from the expected list (- missing, + unexpected)" >&2
  exit 1
fi
echo "ok: the package holds exactly the ${#expected[@]} expected files"

echo "== $(basename "$deb"): $(stat -c %s "$deb") bytes, installed $(dpkg-deb -f "$deb" Installed-Size) KiB"
dpkg-deb -f "$deb" Depends | sed 's/^/Depends: /'
dpkg-deb -c "$deb" | awk '{ $1 = $2 = $4 = $5 = ""; sub(/^ +/, ""); print }'
