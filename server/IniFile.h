// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QList>
#include <QString>

// A small reader for the server's configuration file. It keeps the file's order and takes every
// value literally: no escapes, no lists, no
// quoting, so that a password or a shell command arrives exactly as typed. Every fault names its
// line.
namespace IniFile {

struct Item
{
    QString section;
    QString key;
    QString value;
    int line = 0;
};

struct Section
{
    QString name;
    int line = 0;
};

struct Parsed
{
    QList<Section> sections; // every header, empty sections too
    QList<Item> items;
    QString error; // empty when the text was read whole
};

// Blank lines and lines starting with ";" or "#" are skipped; "[name]" opens a section;
// "key=value" splits at the first "=", and blanks around the key and the value are dropped.
// A key outside a section, a line of another shape or a key repeated within its section is an
// error. A line of another shape is not quoted in the error: it may be a password that lost its
// "=".
Parsed parse(const QString &text);

// A note for the message about a faulty value or header that holds what looks like a comment
// after it (" ; ..."): comments stand on lines of their own. Empty when there is none.
QString commentNote(const QString &text);

} // namespace IniFile
