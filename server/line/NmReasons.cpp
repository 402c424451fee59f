// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "NmReasons.h"

#include <nm-dbus-interface.h>

namespace NmReasons {

QString activeConnection(uint reason)
{
    switch (reason) {
    case NM_ACTIVE_CONNECTION_STATE_REASON_USER_DISCONNECTED:
        return QStringLiteral("it was disconnected outside the server");
    case NM_ACTIVE_CONNECTION_STATE_REASON_DEVICE_DISCONNECTED:
        return QStringLiteral("the device was disconnected");
    case NM_ACTIVE_CONNECTION_STATE_REASON_SERVICE_STOPPED:
        return QStringLiteral("the service that provides the connection stopped");
    case NM_ACTIVE_CONNECTION_STATE_REASON_IP_CONFIG_INVALID:
        return QStringLiteral("the addresses it was given are not valid");
    case NM_ACTIVE_CONNECTION_STATE_REASON_CONNECT_TIMEOUT:
        return QStringLiteral("the far end did not answer in time");
    case NM_ACTIVE_CONNECTION_STATE_REASON_SERVICE_START_TIMEOUT:
        return QStringLiteral("the service that provides the connection did not start in time");
    case NM_ACTIVE_CONNECTION_STATE_REASON_SERVICE_START_FAILED:
        return QStringLiteral("the service that provides the connection did not start");
    case NM_ACTIVE_CONNECTION_STATE_REASON_NO_SECRETS:
        return QStringLiteral("no password was given");
    case NM_ACTIVE_CONNECTION_STATE_REASON_LOGIN_FAILED:
        return QStringLiteral("the login was refused (wrong password?)");
    case NM_ACTIVE_CONNECTION_STATE_REASON_CONNECTION_REMOVED:
        return QStringLiteral("its connection was deleted from NetworkManager");
    case NM_ACTIVE_CONNECTION_STATE_REASON_DEPENDENCY_FAILED:
        return QStringLiteral("a connection it depends on failed");
    case NM_ACTIVE_CONNECTION_STATE_REASON_DEVICE_REALIZE_FAILED:
        return QStringLiteral("its device could not be created");
    case NM_ACTIVE_CONNECTION_STATE_REASON_DEVICE_REMOVED:
        return QStringLiteral("its device was removed");
    default:
        return QString();
    }
}

QString device(uint reason)
{
    switch (reason) {
    case NM_DEVICE_STATE_REASON_NOW_UNMANAGED:
        return QStringLiteral("NetworkManager no longer manages the device");
    case NM_DEVICE_STATE_REASON_CONFIG_FAILED:
        return QStringLiteral("the device could not be configured");
    case NM_DEVICE_STATE_REASON_IP_CONFIG_UNAVAILABLE:
        return QStringLiteral("no address was obtained");
    case NM_DEVICE_STATE_REASON_IP_CONFIG_EXPIRED:
        return QStringLiteral("the address lease expired");
    case NM_DEVICE_STATE_REASON_NO_SECRETS:
        return QStringLiteral("no password was given");
    case NM_DEVICE_STATE_REASON_SUPPLICANT_DISCONNECT:
        return QStringLiteral("the authentication was broken off");
    case NM_DEVICE_STATE_REASON_SUPPLICANT_CONFIG_FAILED:
        return QStringLiteral("the authentication could not be set up");
    case NM_DEVICE_STATE_REASON_SUPPLICANT_FAILED:
        return QStringLiteral("the authentication service is not available");
    case NM_DEVICE_STATE_REASON_SUPPLICANT_TIMEOUT:
        return QStringLiteral("the authentication took too long (wrong password?)");
    case NM_DEVICE_STATE_REASON_PPP_START_FAILED:
        return QStringLiteral("PPP did not start");
    case NM_DEVICE_STATE_REASON_PPP_DISCONNECT:
        return QStringLiteral("the PPP link was broken off");
    case NM_DEVICE_STATE_REASON_PPP_FAILED:
        return QStringLiteral("PPP failed (wrong password?)");
    case NM_DEVICE_STATE_REASON_DHCP_START_FAILED:
        return QStringLiteral("DHCP did not start");
    case NM_DEVICE_STATE_REASON_DHCP_ERROR:
        return QStringLiteral("DHCP failed");
    case NM_DEVICE_STATE_REASON_DHCP_FAILED:
        return QStringLiteral("no address came from DHCP");
    case NM_DEVICE_STATE_REASON_SHARED_START_FAILED:
    case NM_DEVICE_STATE_REASON_SHARED_FAILED:
        return QStringLiteral("the connection could not be shared");
    case NM_DEVICE_STATE_REASON_AUTOIP_START_FAILED:
    case NM_DEVICE_STATE_REASON_AUTOIP_ERROR:
    case NM_DEVICE_STATE_REASON_AUTOIP_FAILED:
        return QStringLiteral("no link-local address was obtained");
    case NM_DEVICE_STATE_REASON_MODEM_BUSY:
        return QStringLiteral("the line is busy");
    case NM_DEVICE_STATE_REASON_MODEM_NO_DIAL_TONE:
        return QStringLiteral("there is no dial tone");
    case NM_DEVICE_STATE_REASON_MODEM_NO_CARRIER:
        return QStringLiteral("the modem found no carrier");
    case NM_DEVICE_STATE_REASON_MODEM_DIAL_TIMEOUT:
        return QStringLiteral("the modem did not answer");
    case NM_DEVICE_STATE_REASON_MODEM_DIAL_FAILED:
        return QStringLiteral("the modem could not dial");
    case NM_DEVICE_STATE_REASON_MODEM_INIT_FAILED:
        return QStringLiteral("the modem could not be prepared");
    case NM_DEVICE_STATE_REASON_GSM_APN_FAILED:
        return QStringLiteral("the access point name (APN) was refused");
    case NM_DEVICE_STATE_REASON_GSM_REGISTRATION_NOT_SEARCHING:
        return QStringLiteral("the modem is not looking for a network");
    case NM_DEVICE_STATE_REASON_GSM_REGISTRATION_DENIED:
        return QStringLiteral("the mobile network refused the modem");
    case NM_DEVICE_STATE_REASON_GSM_REGISTRATION_TIMEOUT:
        return QStringLiteral("no mobile network was found in time");
    case NM_DEVICE_STATE_REASON_GSM_REGISTRATION_FAILED:
        return QStringLiteral("the modem could not join the mobile network");
    case NM_DEVICE_STATE_REASON_GSM_PIN_CHECK_FAILED:
        return QStringLiteral("the SIM's PIN check failed");
    case NM_DEVICE_STATE_REASON_FIRMWARE_MISSING:
        return QStringLiteral("the device's firmware is missing");
    case NM_DEVICE_STATE_REASON_REMOVED:
        return QStringLiteral("the device was removed");
    case NM_DEVICE_STATE_REASON_SLEEPING:
        return QStringLiteral("the machine went to sleep");
    case NM_DEVICE_STATE_REASON_CONNECTION_REMOVED:
        return QStringLiteral("its connection was deleted from NetworkManager");
    case NM_DEVICE_STATE_REASON_USER_REQUESTED:
        return QStringLiteral("it was disconnected outside the server");
    case NM_DEVICE_STATE_REASON_CARRIER:
        return QStringLiteral("the cable or the far end went away");
    case NM_DEVICE_STATE_REASON_MODEM_NOT_FOUND:
        return QStringLiteral("the modem was not found");
    case NM_DEVICE_STATE_REASON_BT_FAILED:
        return QStringLiteral("the Bluetooth link failed");
    case NM_DEVICE_STATE_REASON_GSM_SIM_NOT_INSERTED:
        return QStringLiteral("there is no SIM card");
    case NM_DEVICE_STATE_REASON_GSM_SIM_PIN_REQUIRED:
        return QStringLiteral("the SIM card needs its PIN");
    case NM_DEVICE_STATE_REASON_GSM_SIM_PUK_REQUIRED:
        return QStringLiteral("the SIM card is locked and needs its PUK");
    case NM_DEVICE_STATE_REASON_GSM_SIM_WRONG:
        return QStringLiteral("the SIM card is not the right one");
    case NM_DEVICE_STATE_REASON_DEPENDENCY_FAILED:
        return QStringLiteral("a connection it depends on failed");
    case NM_DEVICE_STATE_REASON_BR2684_FAILED:
        return QStringLiteral("the DSL link could not be set up");
    case NM_DEVICE_STATE_REASON_SSID_NOT_FOUND:
        return QStringLiteral("the wireless network was not found");
    case NM_DEVICE_STATE_REASON_MODEM_MANAGER_UNAVAILABLE:
        return QStringLiteral("ModemManager is not running");
    case NM_DEVICE_STATE_REASON_SECONDARY_CONNECTION_FAILED:
        return QStringLiteral("a connection started with it (a VPN) failed");
    case NM_DEVICE_STATE_REASON_MODEM_FAILED:
        return QStringLiteral("the modem failed");
    case NM_DEVICE_STATE_REASON_SIM_PIN_INCORRECT:
        return QStringLiteral("the SIM's PIN is wrong");
    case NM_DEVICE_STATE_REASON_NEW_ACTIVATION:
        return QStringLiteral("another connection took its device");
    case NM_DEVICE_STATE_REASON_IP_ADDRESS_DUPLICATE:
        return QStringLiteral("its address is already used by another machine");
    case NM_DEVICE_STATE_REASON_IP_METHOD_UNSUPPORTED:
        return QStringLiteral("its way of getting an address is not supported");
    case NM_DEVICE_STATE_REASON_PEER_NOT_FOUND:
        return QStringLiteral("the far end was not found");
    default:
        return QString();
    }
}

QString describe(uint activeReason, uint deviceReason)
{
    // A device's reason is the more precise one, except where it only restates that somebody
    // asked for the end.
    const QString fromDevice = device(deviceReason);
    if (!fromDevice.isEmpty() &&
        activeReason != NM_ACTIVE_CONNECTION_STATE_REASON_USER_DISCONNECTED)
        return fromDevice;
    const QString fromConnection = activeConnection(activeReason);
    if (!fromConnection.isEmpty())
        return fromConnection;
    if (!fromDevice.isEmpty())
        return fromDevice;
    return QStringLiteral("NetworkManager gave no reason it explains (code %1)")
        .arg(QString::number(activeReason));
}

} // namespace NmReasons
