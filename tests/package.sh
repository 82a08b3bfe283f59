#!/usr/bin/env bash
# Installs the build into a staging folder and starts the installed binary from there, then builds
# the Debian package and checks what it holds and what it depends on.
# Usage: package.sh BUILD_DIR
set -euo pipefail
build="$1"
stage="$(mktemp -d)"
trap 'rm -rf "$stage"' EXIT

DESTDIR="$stage" cmake --install "$build" --prefix /usr >/dev/null
qmv="$stage/usr/bin/qmv"
[ "$("$qmv" --version)" = "qmv $(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")" ]
desktop-file-validate "$stage/usr/share/applications/qmv.desktop"
[ -s "$stage/usr/share/icons/hicolor/scalable/apps/qmv.svg" ]

# The installed tool starts and makes its folders under the root it is given; it runs until
# stopped, so it is stopped once they are there.
QT_QPA_PLATFORM=offscreen "$qmv" --root "$stage/root" &
tool=$!
for _ in $(seq 100); do
    [ -d "$stage/root/qmvdata/confg" ] && [ -d "$stage/root/tmpqmv" ] && break
    sleep 0.1
done
kill -0 "$tool"
kill "$tool"
[ -d "$stage/root/qmvdata/confg" ]

(cd "$build" && cpack -G DEB >/dev/null)
deb="$(ls "$build"/qmv_*_*.deb)"
contents="$(dpkg-deb -c "$deb" | awk '{print $6}')"
for file in ./usr/bin/qmv ./usr/bin/qmv-controller-sim ./usr/share/applications/qmv.desktop \
    ./usr/share/icons/hicolor/scalable/apps/qmv.svg ./usr/share/doc/qmv/README.md; do
    grep -qx "$file" <<<"$contents" || { echo "the package lacks $file" >&2; exit 1; }
done
info="$(dpkg-deb --info "$deb")"
grep -q '^ Package: qmv$' <<<"$info"
grep -Eq '^ Depends: .*libqt6serialport6' <<<"$info"
grep -Eq '^ Depends: .*libqt6widgets6' <<<"$info"
echo "package ok: $deb"
