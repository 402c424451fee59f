#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Velmora developers
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the two Debian packages from the build folder, checks them as Debian's tools would,
# installs them into a temporary root and runs the installed server and client there as a
# user who cannot write the programs' folders (nobody, when run as root).
#
#   package_test.sh BUILD_FOLDER SOURCE_FOLDER
set -euo pipefail

work=$(mktemp -d "${TMPDIR:-/tmp}/velmora-package.XXXXXX")
chmod 755 "$work"
root=$work/root
server='' client='' compositor=''
cleanup() {
    # shellcheck disable=SC2086 # the ones still running, if any
    kill $client $server $compositor 2>/dev/null || true
    wait
    chmod -R u+w "$work"
    rm -rf "$work"
}
trap cleanup EXIT

# Every failure shows the ends of the tools' and programs' logs, which say why.
fail() {
    echo "FAIL: $*" >&2
    tail -n 30 "$work"/*.log >&2 || true
    exit 1
}
# Waits up to 30 s for a command to succeed.
await() {
    for _ in $(seq 300); do
        "$@" && return 0
        sleep 0.1
    done
    return 1
}
# Succeeds once FILE holds PATTERN (logged PID FILE PATTERN); fails the test if PID ended first.
logged() {
    kill -0 "$1" 2>/dev/null || grep -q "$3" "$2" || fail "process $1 ended before logging $3"
    grep -q "$3" "$2" 2>/dev/null
}
# An installed file holds a line as it is.
holds() { grep -qxF "$2" "$root$1" || fail "$1 lacks the line: $2"; }

cpack -G DEB --config "$1/CPackConfig.cmake" -B "$work/packages" >"$work/cpack.log" 2>&1 ||
    fail cpack
declare -A deb
for name in velmora-client velmora-server; do
    deb[$name]=$(echo "$work/packages/${name}_"*.deb)
    dpkg-deb -c "${deb[$name]}" | awk '{ print $1, $2, $6 }' | LC_ALL=C sort >"$work/$name.contents"
    diff -u "$2/tests/package/$name.contents" "$work/$name.contents" || fail "contents of $name"
    dpkg-deb -x "${deb[$name]}" "$root"
done

# Every tag counts, down to the informational and pedantic ones; the overrides the packages
# ship are explained in docs/packaging.md.
lintian --info --pedantic --fail-on error,warning,info,pedantic "${deb[@]}" || fail lintian

# PACKAGE:FIELD:NAME, the field naming NAME, or not when the row starts with "!": the headless
# server needs no Qt GUI, its web page Qt HttpServer.
for row in client:Depends:libqt6widgets6 client:Depends:libqt6network6 client:Depends:libc6 \
    client:Recommends:libcanberra-pulse server:Depends:libqt6network6 \
    server:Depends:libqt6httpserver6 server:Depends:adduser '!server:Depends:libqt6gui6'; do
    IFS=: read -r name field package <<<"${row#!}"
    value="$(dpkg-deb -f "${deb[velmora-$name]}" "$field"),"
    [[ $value == *"$package"[\ ,]* ]] && named= || named='!'
    [[ $row == "$named"[a-z]* ]] || fail "velmora-$name's $field, $value, against $row"
done
conffiles=$(dpkg-deb --ctrl-tarfile "${deb[velmora-server]}" | tar -xO ./conffiles)
[ "$conffiles" = /etc/velmora/velmora-server.conf ] ||
    fail "the server's configuration is not its one conffile"

desktop-file-validate "$root/usr/share/applications/velmora-client.desktop" || fail "desktop entry"
appstreamcli validate --no-net "$root/usr/share/metainfo/example.velmora.client.metainfo.xml" ||
    fail "AppStream metadata"
for page in "$root"/usr/share/man/man*/*.gz; do
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null)
    warnings+=$(zcat "$page" | groff -ww -man -z 2>&1)
    [ -z "$warnings" ] || fail "$(basename "$page"): $warnings"
done
unit=/usr/lib/systemd/system/velmora-server.service
holds $unit 'ExecStart=/usr/sbin/velmora-server --config /etc/velmora/velmora-server.conf'
holds $unit StateDirectory=velmora
! command -v systemd-analyze >/dev/null ||
    systemd-analyze security --offline=yes --threshold=20 "$root$unit" >"$work/security.log" 2>&1 ||
    fail "the unit's exposure score is above 2.0"

# The installed programs, run by a user who cannot write their folders.
home=$work/home
install -d -m 700 "$home/runtime" "$home/.config/Velmora"
config=$root/etc/velmora/velmora-server.conf
# The accounting log where the installed configuration offers it, in the package's state
# folder: an administrator only takes away the ";".
state=$root/var/lib/velmora
holds /etc/velmora/velmora-server.conf ';AccountingFile=/var/lib/velmora/accounting.csv'
sed -i "s|^;AccountingFile=/var/lib/velmora/|AccountingFile=$state/|" "$config"
if [ "$(id -u)" -eq 0 ]; then
    # The package's postinst gives the configuration to the service's group; nobody's stands in.
    chgrp nogroup "$config"
    run_as=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
else
    run_as=()
    chmod a-w "$root/usr/bin" "$root/usr/sbin" "$state"
fi
as_user=("${run_as[@]}" env -i "HOME=$home" PATH=/usr/bin:/bin LANG=C.UTF-8
    "XDG_RUNTIME_DIR=$home/runtime")
owner=$("${run_as[@]}" id -un):$("${run_as[@]}" id -gn)
chown -R "$owner" "$home"
# Runs an installed program (ends STATUS OUTPUT PROGRAM ARGUMENT...), which must end with STATUS,
# what it writes out matching the pattern OUTPUT.
ends() {
    local status=0
    timeout 20 "${as_user[@]}" "$root/usr/$3" "${@:4}" >"$work/out" 2>"$work/err.log" || status=$?
    [ "$status" -eq "$1" ] || fail "${*:3} ended with $status, not $1"
    # shellcheck disable=SC2053 # a pattern
    [[ $(<"$work/out") == $2 ]] || fail "${*:3} said: $(<"$work/out")"
}
# As unpacked, before the postinst gives it to the service's account, the folder is not the
# server user's: the server refuses to start rather than lose the calls' records.
ends 1 '*' sbin/velmora-server --config "$config" --port 0
grep -q "Cannot write the accounting log $state/" "$work/err.log" || fail "refused, not saying why"
# What the package's postinst does for the service's account.
chown "$owner" "$state"
chmod u+w "$state"
! "${run_as[@]}" test -w "$root/usr/bin" || fail "the test user can write the client's folder"

# Without a display: the help and the version do not need one, nor the refusal of a bad option.
ends 0 "velmora-client $(dpkg-deb -f "${deb[velmora-client]}" Version)" bin/velmora-client --version
ends 0 '*--version*' bin/velmora-client --help
ends 1 '*' bin/velmora-client --no-such-option
ends 1 '*' bin/velmora-client an-argument
ends 0 'velmora-server *' sbin/velmora-server --version

logs=$home/.local/state/velmora
# Starts the installed server, then the installed client linked to it (run_linked_client NAME
# COMMAND..., the command that runs the client's path); then stops the server, which tells the
# client to end.
run_linked_client() {
    local name=$1 port
    "${as_user[@]}" "$root/usr/sbin/velmora-server" --config "$config" --port 0 \
        2>"$work/server.log" &
    server=$!
    await logged "$server" "$work/server.log" 'Listening on' || fail "the server does not listen"
    port=$(sed -n 's/.*Listening on .*:\([0-9]*\)$/\1/p' "$work/server.log" | head -n 1)
    printf '[Configuration]\nServerIPAddress=127.0.0.1\nServerPort=%s\n' "$port" \
        >"$home/.config/Velmora/Velmora.conf"
    chown "$owner" "$home/.config/Velmora/Velmora.conf"
    # The previous run's activity log must not pass for this run's.
    rm -f "$logs/clientlog.txt"
    "${as_user[@]}" "${@:2}" "$root/usr/bin/velmora-client" >"$work/client.log" 2>&1 &
    client=$!
    await logged "$client" "$logs/clientlog.txt" DataArrival.CMD_SEND_ID ||
        fail "$name: the client did not link"
    # SIGUSR1: the administrator's way to stop the server and end every desk's client with it.
    kill -USR1 "$server"
    wait "$server" || fail "the server did not stop cleanly"
    server=
    await test ! -e "/proc/$client" || fail "$name: the client outlived the server"
    wait "$client" || fail "$name: the client ended with $?"
    client=
    grep -q DataArrival.MSG_SHUTDOWN "$logs/clientlog.txt" || fail "$name: no MSG_SHUTDOWN logged"
    grep -q SendData.CMD_END "$logs/clientlog.txt" || fail "$name: no CMD_END logged"
    [ -z "$(find "$root" -name 'client*.txt')" ] || fail "$name: a log beside the program"
}

run_linked_client X11 xvfb-run -a -s "-screen 0 800x600x24"
# The server's start opened the accounting log, as each of its lines will.
[ "$(stat -c %U:%G "$state/accounting.csv")" = "$owner" ] || fail "no accounting log by $owner"

"${as_user[@]}" weston --backend=headless-backend.so --socket=velmora-test --idle-time=0 \
    >"$work/weston.log" 2>&1 &
compositor=$!
await test -S "$home/runtime/velmora-test" || fail "no Wayland compositor"
run_linked_client Wayland WAYLAND_DISPLAY=velmora-test QT_QPA_PLATFORM=wayland
