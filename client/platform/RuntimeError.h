// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <exception>
#include <QString>

// A run-time error as the handlers see it: a number and a description. Handlers that can fail
// catch it themselves, write it to the error log and tell the user; nothing below them does.
class RuntimeError : public std::exception
{
public:
    // The numbers the handlers report. The language runtime's own where one fits, the socket
    // layer's (100xx, 400xx) for link failures.
    enum Number : int {
        Overflow = 6,
        SubscriptOutOfRange = 9,
        TypeMismatch = 13,
        FileNotFound = 53,
        PermissionDenied = 70,
        PathFileAccess = 75,
        ControlArrayElementMissing = 340,
        InvalidConnectionState = 40006,
        InvalidArgument = 40020,
        HostUnreachable = 10065,
    };

    RuntimeError(int number, QString description)
        : m_number(number)
        , m_description(std::move(description))
    {}

    int number() const noexcept { return m_number; }
    const QString &description() const noexcept { return m_description; }
    const char *what() const noexcept override { return "RuntimeError"; }

private:
    int m_number;
    QString m_description;
};
