// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdio>
#include <QString>

// How the client benchmarks end a run that cannot give figures, and how they print: a failure
// is thrown to main, which says why and exits non-zero; every line is flushed at once so that a
// run watched live or cut short still shows what it measured.
struct Failure
{
    QString text;
};

[[noreturn]] inline void fail(const QString &text)
{
    throw Failure{text};
}

inline void say(const QString &text)
{
    std::printf("%s\n", qPrintable(text));
    std::fflush(stdout);
}
