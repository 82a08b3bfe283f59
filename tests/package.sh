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

# The calendar's user units name the installed binary, pass systemd's own check, and are not
# enabled by the install.
units="$stage/usr/lib/systemd/user"
grep -qx 'ExecStart=/usr/bin/qmv --calendar' "$units/qmv-calendar.service"
[ ! -e "$stage/etc/systemd" ]
if command -v systemd-analyze >/dev/null; then
    # The check wants the binary where the unit names it: point it at the staged one.
    check="$stage/verify"
    mkdir -p "$check/run"
    chmod 700 "$check/run"
    sed "s#^ExecStart=/usr/bin/#ExecStart=$stage/usr/bin/#" "$units/qmv-calendar.service" \
        >"$check/qmv-calendar.service"
    cp "$units/qmv-calendar.timer" "$check/"
    verdict="$(cd "$check" && XDG_RUNTIME_DIR="$check/run" systemd-analyze verify --user \
        --man=no qmv-calendar.timer qmv-calendar.service 2>&1)"
    [ -z "$verdict" ] || { echo "$verdict" >&2; exit 1; }
fi

(cd "$build" && cpack -G DEB >/dev/null)
deb="$(ls "$build"/qmv_*_*.deb)"
contents="$(dpkg-deb -c "$deb" | awk '{print $6}')"
for file in ./usr/bin/qmv ./usr/bin/qmv-controller-sim ./usr/share/applications/qmv.desktop \
    ./usr/share/icons/hicolor/scalable/apps/qmv.svg ./usr/share/doc/qmv/README.md \
    ./usr/lib/systemd/user/qmv-calendar.service ./usr/lib/systemd/user/qmv-calendar.timer; do
    grep -qx "$file" <<<"$contents" || { echo "the package lacks $file" >&2; exit 1; }
done
info="$(dpkg-deb --info "$deb")"
grep -q '^ Package: qmv$' <<<"$info"
grep -Eq '^ Depends: .*libqt6serialport6' <<<"$info"
grep -Eq '^ Depends: .*libqt6widgets6' <<<"$info"
echo "package ok: $deb"
