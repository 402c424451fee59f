#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Velmora developers
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the two Debian packages from the build folder, checks them as Debian's tools would,
# installs them into a temporary root and runs the installed server and client there as a
# user who cannot write the programs' folders (nobody, when run as root).
#
#   package_test.sh BUILD_FOLDER SOURCE_FOLDER
set -euo pipefail
build=$1
source=$2
expected=$source/tests/package

work=$(mktemp -d "${TMPDIR:-/tmp}/velmora-package.XXXXXX")
chmod 755 "$work"
server=
client=
compositor=
cleanup() {
    for pid in $client $server $compositor; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    chmod -R u+w "$work"
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    exit 1
}
step() {
    echo "== $*"
}
# Waits up to 30 s for a command to succeed.
await() {
    for _ in $(seq 300); do
        "$@" && return 0
        sleep 0.1
    done
    return 1
}

step "Packages"
if ! cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/packages" \
    >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log"
    fail "cpack"
fi
client_deb=$(echo "$work"/packages/velmora-client_*.deb)
server_deb=$(echo "$work"/packages/velmora-server_*.deb)
[ -f "$client_deb" ] && [ -f "$server_deb" ] ||
    fail "expected two packages, got: $(ls "$work/packages")"

step "lintian"
# Every tag counts, down to the informational and pedantic ones; the overrides the packages
# ship are explained in docs/packaging.md.
lintian --info --pedantic --fail-on error,warning,info,pedantic "$client_deb" "$server_deb" ||
    fail "lintian"

step "Contents"
for deb in "$client_deb" "$server_deb"; do
    name=$(dpkg-deb -f "$deb" Package)
    dpkg-deb -c "$deb" | awk '{ print $1, $2, $6 }' | LC_ALL=C sort >"$work/$name.contents"
    diff -u "$expected/$name.contents" "$work/$name.contents" || fail "contents of $name"
done
client_depends=$(dpkg-deb -f "$client_deb" Depends)
server_depends=$(dpkg-deb -f "$server_deb" Depends)
for library in libqt6widgets6 libqt6network6 libc6; do
    [[ $client_depends == *"$library "* ]] || fail "velmora-client does not depend on $library"
done
[[ $(dpkg-deb -f "$client_deb" Recommends) == *libcanberra-pulse* ]] ||
    fail "velmora-client does not recommend the sound library"
[[ $server_depends == *"libqt6network6 "* ]] || fail "velmora-server does not depend on Qt Network"
[[ $server_depends == *"libqt6httpserver6 "* ]] ||
    fail "velmora-server does not depend on Qt HttpServer, which serves its web page"
[[ $server_depends == *adduser* ]] || fail "velmora-server does not depend on adduser"
[[ $server_depends != *libqt6gui6* ]] || fail "the headless server depends on Qt GUI"
dpkg-deb -e "$server_deb" "$work/server-control"
[ "$(cat "$work/server-control/conffiles")" = /etc/velmora/velmora-server.conf ] ||
    fail "the server's configuration is not its one conffile"

root=$work/root
dpkg-deb -x "$client_deb" "$root"
dpkg-deb -x "$server_deb" "$root"

step "Desktop entry, metadata, manual pages, unit"
desktop-file-validate "$root/usr/share/applications/velmora-client.desktop" || fail "desktop entry"
appstreamcli validate --no-net "$root/usr/share/metainfo/example.velmora.client.metainfo.xml" ||
    fail "AppStream metadata"
for page in "$root"/usr/share/man/man*/*.gz; do
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null)
    warnings+=$(zcat "$page" | groff -ww -man -z 2>&1)
    [ -z "$warnings" ] || fail "$(basename "$page"): $warnings"
done
unit=$root/usr/lib/systemd/system/velmora-server.service
grep -qx 'ExecStart=/usr/sbin/velmora-server --config /etc/velmora/velmora-server.conf' "$unit" ||
    fail "the unit does not start the installed server"
grep -qx 'StateDirectory=velmora' "$unit" || fail "the unit gives the server no state folder"
if command -v systemd-analyze >/dev/null; then
    systemd-analyze security --offline=yes --threshold=20 "$unit" >"$work/security" 2>&1 ||
        {
            cat "$work/security"
            fail "the unit's exposure score is above 2.0"
        }
fi

step "The installed programs, run by a user who cannot write their folders"
home=$work/home
mkdir -p "$home/runtime" "$home/.config/Velmora"
chmod 700 "$home/runtime"
config=$root/etc/velmora/velmora-server.conf
[ "$(stat -c %a "$config")" = 640 ] || fail "the configuration's mode is not 0640"
# The accounting log where the installed configuration offers it, in the package's state
# folder: an administrator only takes away the ";".
state=$root/var/lib/velmora
grep -qx ';AccountingFile=/var/lib/velmora/accounting.csv' "$config" ||
    fail "the configuration does not offer the accounting log in /var/lib/velmora"
sed -i "s|^;AccountingFile=/var/lib/velmora/|AccountingFile=$state/|" "$config"
run_as=()
if [ "$(id -u)" -eq 0 ]; then
    # The package's postinst gives the configuration to the service's group; nobody's stands in.
    chgrp nogroup "$config"
    run_as=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
    user_home_owner=nobody:nogroup
else
    chmod a-w "$root/usr/bin" "$root/usr/sbin"
    user_home_owner=$(id -u):$(id -g)
fi
in_session=("${run_as[@]}" env -i "HOME=$home" PATH=/usr/bin:/bin LANG=C.UTF-8
    "XDG_RUNTIME_DIR=$home/runtime")
chown -R "$user_home_owner" "$home"
if [ "$(id -u)" -eq 0 ]; then
    # As unpacked, before the postinst gives it to the service's account, the folder is
    # root's: the server refuses to start rather than lose the calls' records.
    status=0
    timeout 20 "${in_session[@]}" "$root/usr/sbin/velmora-server" --config "$config" --port 0 \
        2>"$work/refused.log" || status=$?
    [ "$status" -eq 1 ] && grep -q "Cannot write the accounting log $state/" "$work/refused.log" ||
        fail "the server started ($status) without the right to write its accounting log:" \
            "$(cat "$work/refused.log")"
fi
# What the package's postinst does for the service's account.
chown "$user_home_owner" "$state"
if "${run_as[@]}" test -w "$root/usr/bin"; then
    fail "the test user can write the client's folder"
fi

# Without a display: the help and the version do not need one.
version=$("${in_session[@]}" "$root/usr/bin/velmora-client" --version)
[ "$version" = "velmora-client $(dpkg-deb -f "$client_deb" Version)" ] ||
    fail "velmora-client --version said: $version"
"${in_session[@]}" "$root/usr/bin/velmora-client" --help | grep -q -- '--version' ||
    fail "velmora-client --help does not list --version"
for bad in --no-such-option an-argument; do
    status=0
    timeout 20 "${in_session[@]}" QT_QPA_PLATFORM=offscreen \
        "$root/usr/bin/velmora-client" "$bad" 2>/dev/null || status=$?
    [ "$status" -eq 1 ] || fail "velmora-client $bad ended with $status, not 1"
done
"${in_session[@]}" "$root/usr/sbin/velmora-server" --version | grep -qx "velmora-server .*" ||
    fail "velmora-server --version"

logs=$home/.local/state/velmora

# Starts the installed server and the installed client, given as the rest of the command line,
# linked to it; then stops the server, which tells the client to end.
run_linked_client() {
    local name=$1
    shift
    "${in_session[@]}" "$root/usr/sbin/velmora-server" --config "$config" --port 0 \
        2>"$work/server.log" &
    server=$!
    listening() {
        grep -q 'Listening on' "$work/server.log" || {
            kill -0 "$server" 2>/dev/null || fail "the server ended: $(cat "$work/server.log")"
            return 1
        }
    }
    await listening || fail "the server does not listen: $(cat "$work/server.log")"
    local port
    port=$(sed -n 's/.*Listening on .*:\([0-9]*\)$/\1/p' "$work/server.log" | head -n 1)
    printf '[Configuration]\nServerIPAddress=127.0.0.1\nServerPort=%s\n' "$port" \
        >"$home/.config/Velmora/Velmora.conf"
    chown "$user_home_owner" "$home/.config/Velmora/Velmora.conf"

    # The previous run's activity log must not pass for this run's.
    rm -f "$logs/clientlog.txt"
    "$@" >"$work/client.out" 2>&1 &
    client=$!
    linked() {
        grep -q 'DataArrival.CMD_SEND_ID' "$logs/clientlog.txt" 2>/dev/null || {
            kill -0 "$client" 2>/dev/null ||
                fail "$name: the client ended: $(cat "$work/client.out")"
            return 1
        }
    }
    await linked || fail "$name: the client did not link; its output: $(cat "$work/client.out")"

    # SIGUSR1: the administrator's way to stop the server and end every desk's client with it.
    kill -USR1 "$server"
    wait "$server" || fail "the server did not stop cleanly: $(cat "$work/server.log")"
    server=
    ended() { ! kill -0 "$client" 2>/dev/null; }
    await ended || fail "$name: the client did not end with the server: $(cat "$work/client.out")"
    local status=0
    wait "$client" || status=$?
    client=
    [ "$status" -eq 0 ] || fail "$name: the client ended with $status: $(cat "$work/client.out")"
    grep -q 'DataArrival.MSG_SHUTDOWN' "$logs/clientlog.txt" || fail "$name: no MSG_SHUTDOWN logged"
    grep -q 'SendData.CMD_END' "$logs/clientlog.txt" || fail "$name: no CMD_END logged"
    [ -z "$(find "$root" -name 'client*.txt')" ] ||
        fail "$name: a log was written beside the program"
    echo "$name: linked; logs in $logs: $(ls "$logs" | tr '\n' ' ')"
}

run_linked_client X11 "${in_session[@]}" xvfb-run -a -s "-screen 0 800x600x24" \
    "$root/usr/bin/velmora-client"
# The server's start opened the accounting log, as each of its lines will.
[ "$(stat -c %U:%G "$state/accounting.csv" 2>/dev/null)" = "$user_home_owner" ] ||
    [ "$(stat -c %u:%g "$state/accounting.csv" 2>/dev/null)" = "$user_home_owner" ] ||
    fail "no accounting log made by the server's user in $state"

"${in_session[@]}" weston --backend=headless-backend.so --socket=velmora-test --idle-time=0 \
    >"$work/weston.log" 2>&1 &
compositor=$!
await test -S "$home/runtime/velmora-test" ||
    fail "no Wayland compositor: $(cat "$work/weston.log")"
run_linked_client Wayland "${in_session[@]}" WAYLAND_DISPLAY=velmora-test QT_QPA_PLATFORM=wayland \
    "$root/usr/bin/velmora-client"
