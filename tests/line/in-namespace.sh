#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Velmora developers
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs one line test inside a private network and mount namespace of its own, with a private
# system bus and a NetworkManager of its own, so that nothing outside changes:
#   in-namespace.sh TEST [ARGS...]
# The namespace holds velmora0, the line, a veth whose far end velmora0-far (192.0.2.2) is in a
# second namespace, "far" (ip -n far ...), so that traffic to it crosses the line; hostapd there
# authenticates 802.1X, and wpa_supplicant here is NetworkManager's supplicant. The test finds the
# bus in DBUS_SYSTEM_BUS_ADDRESS and the profiles folder in VELMORA_NM_PROFILES. Exits with 77 (a
# skip for ctest) when the machine cannot make namespaces.
set -euo pipefail

if [ "${VELMORA_IN_NAMESPACE:-}" != 1 ]; then
    skip() {
        echo "SKIP line tests: $1"
        exit 77
    }
    unshare -n -m true 2>/dev/null ||
        skip "not root, or unshare cannot make a network and mount namespace here"
    for tool in dbus-daemon dbus-send NetworkManager nmcli nm-online ip wpa_supplicant hostapd; do
        command -v "$tool" >/dev/null || skip "$tool is missing (scripts/setup installs it)"
    done
    VELMORA_IN_NAMESPACE=1 exec unshare -n -m --propagation private -- "$0" "$@"
fi

pids=()
trap 'kill "${pids[@]}" 2>/dev/null || true; wait' EXIT

# Udev does not announce devices in a new namespace; NetworkManager manages them only when /sys
# is a sysfs of this namespace. Its folders get empty ones, so that no profile or state of the
# machine shows through.
mount -t sysfs -o ro sysfs /sys
mount -t tmpfs tmpfs /run
for dir in /etc/NetworkManager /var/lib/NetworkManager /usr/lib/NetworkManager/conf.d; do
    [ -d "$dir" ] && mount -t tmpfs tmpfs "$dir"
done
ip link set lo up

# Everything of the run lives in this namespace's /run, gone with it.
work=/run/velmora-line
mkdir -p "$work/profiles" "$work/conf.d" /run/dbus
cat >"$work/bus.conf" <<CONF
<busconfig>
  <type>system</type>
  <listen>unix:path=$work/system_bus_socket</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <allow own="*"/>
    <allow send_type="method_call"/>
    <allow send_type="signal"/>
    <allow send_type="method_return"/>
    <allow send_type="error"/>
    <allow receive_type="method_call"/>
    <allow receive_type="signal"/>
    <allow receive_type="method_return"/>
    <allow receive_type="error"/>
  </policy>
</busconfig>
CONF
cat >"$work/NetworkManager.conf" <<CONF
[main]
plugins=keyfile
no-auto-default=*
auth-polkit=false
dns=none
rc-manager=unmanaged

[keyfile]
path=$work/profiles
unmanaged-devices=interface-name:velmora0-far;interface-name:velmora1;interface-name:velmora1-far

[logging]
level=DEBUG
CONF

dbus-daemon --config-file="$work/bus.conf" --nofork --nopidfile &
pids+=($!)
export DBUS_SYSTEM_BUS_ADDRESS=unix:path=$work/system_bus_socket
timeout 10 sh -c "until [ -S '$work/system_bus_socket' ]; do sleep 0.05; done"

ip netns add far
ip link add velmora0 type veth peer name velmora0-far netns far
ip -n far link set lo up
ip -n far link set velmora0-far up
ip -n far addr add 192.0.2.2/24 dev velmora0-far

NetworkManager --debug --config="$work/NetworkManager.conf" --config-dir="$work/conf.d" \
    --system-config-dir="$work/conf.d" --intern-config="$work/intern.conf" \
    --state-file="$work/state" --pid-file="$work/nm.pid" >"$work/NetworkManager.log" 2>&1 &
pids+=($!)
if ! nm-online --wait-for-startup --quiet --timeout=10; then
    echo "NetworkManager did not start; its log:"
    tail -50 "$work/NetworkManager.log"
    exit 1
fi

# The far end judges 802.1X passwords (EAP-MD5): only "office" with "Night-Owl-42" gets in.
echo '"office" MD5 "Night-Owl-42"' >"$work/eap_users"
printf '%s\n' interface=velmora0-far driver=wired ieee8021x=1 eap_server=1 eapol_version=2 \
    use_pae_group_addr=1 "eap_user_file=$work/eap_users" >"$work/hostapd.conf"
ip netns exec far hostapd "$work/hostapd.conf" >"$work/hostapd.log" 2>&1 &
pids+=($!)
wpa_supplicant -u >"$work/wpa_supplicant.log" 2>&1 &
pids+=($!)
# Ready once it answers on the bus.
timeout 10 sh -c 'until dbus-send --system --print-reply --dest=fi.w1.wpa_supplicant1 / \
    org.freedesktop.DBus.Peer.Ping >/dev/null 2>&1; do sleep 0.05; done'

export VELMORA_NM_PROFILES=$work/profiles VELMORA_NM_LOG=$work/NetworkManager.log
"$@" && exit 0
status=$?
echo "== the last lines of NetworkManager's log"
tail -40 "$work/NetworkManager.log"
exit "$status"
