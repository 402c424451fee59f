// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

// The accounting log: who dialled which entry when, when the line came up, who asked to hang
// up or refused, when the line went down and how long it was up. One line per event in a file
// of its own, as comma-separated values with a header line, which a spreadsheet opens as it is:
//
//   time,event,identity,address,entry,seconds,received,sent
//   2024-05-02 09:15:10,dial,"reception-pc",192.0.2.17,"Office ISP",
//
// The file is opened for each line, so that it can be rotated or moved at any time.
class Accounting
{
public:
    void setPath(const QString &path) { m_path = path; }
    // Whether the file at path can be written, opened as each line opens it (and so made when
    // missing); false with the reason in error. No path needs nothing.
    static bool writable(const QString &path, QString *error);
    // seconds: how long the line was up, for the "down" event; negative for none.
    // received, sent: the call's bytes, for the "down" event; negative for none.
    void record(const QString &event, const QString &identity, const QString &address,
                const QString &entry, qint64 seconds = -1, qint64 received = -1, qint64 sent = -1);

private:
    QString m_path;
    bool m_failing = false;
};
