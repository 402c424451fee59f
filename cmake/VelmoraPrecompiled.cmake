# SPDX-FileCopyrightText: 2026 The Velmora developers
# SPDX-License-Identifier: GPL-3.0-or-later
# Parsing, mostly Qt's headers, takes about half of a source's compile. Each library of several
# sources precompiles the Qt headers most of them include, once, with the library's own flags: a
# precompiled header serves only sources compiled with the same definitions (gcc refuses it for
# any other), so no two targets share one, and tests and programs, a source or two each with
# definitions of their own, would gain nothing. -DCMAKE_DISABLE_PRECOMPILE_HEADERS=ON builds
# without them, to check that every source includes what it uses.
set(_velmora_core_headers <QByteArray> <QHash> <QList> <QObject> <QString> <QStringList> <QTimer>)
foreach(target IN ITEMS velmora_platform velmora_logs velmora_ui velmora_dialogs velmora_config
                        velmora_mainwindow)
    target_precompile_headers(${target} PRIVATE ${_velmora_core_headers}
        <QCheckBox> <QDialog> <QLabel> <QListWidget> <QPushButton> <QWidget>)
endforeach()
foreach(target IN ITEMS velmora_server_lib velmora_web_lib)
    target_precompile_headers(${target} PRIVATE ${_velmora_core_headers}
        <QHostAddress> <QTcpSocket>)
endforeach()
target_precompile_headers(velmora_server_line PRIVATE ${_velmora_core_headers}
    <QDBusConnection> <QDBusMessage> <QDBusObjectPath> <QDBusPendingCallWatcher>)
# clang stamps a precompiled header with its time unless told not to, and ccache then cannot
# cache the sources that use it.
if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    target_compile_options(velmora_options INTERFACE "SHELL:-Xclang -fno-pch-timestamp")
endif()
