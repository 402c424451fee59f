// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

// NetworkManager's reasons for a connection that did not come up or went down, in words a desk
// shows after "Dialling Mobile failed: ". The codes are NetworkManager's own (its
// NMActiveConnectionStateReason and NMDeviceStateReason); the log keeps them beside the words.
namespace NmReasons {

// The reason an active connection gives when it ends; empty for a code it does not know.
QString activeConnection(uint reason);
// The reason a device gives when it fails or leaves a connection; empty for a code it does not
// know or one that explains nothing (none, unknown).
QString device(uint reason);
// The words for a connection that ended: the device's reason when it has one that says more,
// else the active connection's, else the bare code.
QString describe(uint activeReason, uint deviceReason);

} // namespace NmReasons
