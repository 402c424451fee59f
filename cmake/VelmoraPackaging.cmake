# SPDX-FileCopyrightText: 2026 The Velmora developers
# SPDX-License-Identifier: GPL-3.0-or-later
# Install rules and the two Debian packages, velmora-client and velmora-server.
#
#   cmake --install build [--prefix /usr]     installs both programs and their files
#   scripts/package                           builds velmora-client_*.deb and velmora-server_*.deb
#
# The binaries do not depend on the prefix, so the packages are made from the normal build
# folder: CPack installs into its own staging root with the prefix /usr. The paths that
# GNUInstallDirs would fix when configuring (the configuration in /etc for the prefix /usr,
# PREFIX/etc otherwise) are worked out when installing instead, so that the packages and
# "cmake --install --prefix /usr" get what a build configured for /usr would.
include(GNUInstallDirs)

set(VELMORA_DATA ${PROJECT_SOURCE_DIR}/data)
set(VELMORA_STAGE ${PROJECT_BINARY_DIR}/packaging)

# The packages are made from this build, so it gets the hardening Debian builds its packages
# with (dpkg-buildflags with hardening=+all on Debian 12): a stack protector, fortified C library
# calls, and relocations resolved at start and then made read-only. Position-independent
# executables are the compiler's default. The sanitizer and fuzzing builds, never packaged,
# bring their own checks, which the fortified calls would get in the way of. Fortifying needs
# an optimised build: unoptimised, the C library warns, and warnings are errors.
if(NOT VELMORA_SANITIZE AND NOT VELMORA_FUZZ)
    target_compile_options(velmora_options INTERFACE
        -fstack-protector-strong -Wformat -Werror=format-security
        $<$<CONFIG:Release,RelWithDebInfo,MinSizeRel>:-D_FORTIFY_SOURCE=2>)
    target_link_options(velmora_options INTERFACE -Wl,-z,relro -Wl,-z,now)
endif()

# Manual pages, changelogs and the guide are shipped compressed, as Debian wants documents of
# more than 4 kB: gzip -9n, no time stamp, so that the same tree gives the same package.
string(TIMESTAMP VELMORA_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(${VELMORA_DATA}/debian/changelog.in ${VELMORA_STAGE}/changelog @ONLY)
configure_file(${VELMORA_DATA}/man/velmora-client.1 ${VELMORA_STAGE}/velmora-client.1 @ONLY)
configure_file(${VELMORA_DATA}/man/velmora-server.8 ${VELMORA_STAGE}/velmora-server.8 @ONLY)
set(compressed)
foreach(source IN ITEMS ${VELMORA_STAGE}/changelog ${VELMORA_STAGE}/velmora-client.1
                        ${VELMORA_STAGE}/velmora-server.8 ${PROJECT_SOURCE_DIR}/docs/server.md)
    get_filename_component(name ${source} NAME)
    add_custom_command(OUTPUT ${VELMORA_STAGE}/${name}.gz
        COMMAND sh -c "gzip -9nc '${source}' > '${VELMORA_STAGE}/${name}.gz'"
        DEPENDS ${source} VERBATIM)
    list(APPEND compressed ${VELMORA_STAGE}/${name}.gz)
endforeach()
add_custom_target(velmora_compressed_docs ALL DEPENDS ${compressed})

# Client: the program, its menu entry, its icons, its metadata and its manual page.
install(TARGETS velmora-client RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT client)
install(FILES ${VELMORA_DATA}/velmora-client.desktop
    DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT client)
install(FILES ${VELMORA_DATA}/example.velmora.client.metainfo.xml
    DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT client)
install(FILES ${VELMORA_DATA}/icons/velmora-client.svg
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps COMPONENT client)
file(GLOB rendered RELATIVE ${VELMORA_DATA}/icons ${VELMORA_DATA}/icons/*/velmora-client.png)
foreach(icon IN LISTS rendered)
    get_filename_component(size ${icon} DIRECTORY)
    install(FILES ${VELMORA_DATA}/icons/${icon}
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}/apps COMPONENT client)
endforeach()
install(FILES ${VELMORA_STAGE}/velmora-client.1.gz
    DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT client)

# Server: the daemon, its manual page, its unit and its configuration.
install(TARGETS velmora-server RUNTIME DESTINATION ${CMAKE_INSTALL_SBINDIR} COMPONENT server)
# The right to bring NetworkManager's connections up and down, for the server's account only.
install(FILES ${PROJECT_SOURCE_DIR}/server/velmora-server.rules
    DESTINATION ${CMAKE_INSTALL_DATADIR}/polkit-1/rules.d COMPONENT server)

# A stripped program (the packages' are) also loses the compilers' names in its .comment
# section, as Debian strips its programs.
set(program_client ${CMAKE_INSTALL_BINDIR}/velmora-client)
set(program_server ${CMAKE_INSTALL_SBINDIR}/velmora-server)
foreach(component IN ITEMS client server)
    install(CODE "
        if(CMAKE_INSTALL_DO_STRIP)
            execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment
                \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${program_${component}}\")
        endif()" COMPONENT ${component})
endforeach()

install(FILES ${VELMORA_STAGE}/velmora-server.8.gz
    DESTINATION ${CMAKE_INSTALL_MANDIR}/man8 COMPONENT server)
install(FILES ${VELMORA_STAGE}/server.md.gz
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/velmora-server COMPONENT server)
string(CONCAT install_unit_and_config "
    set(unit_source \"${PROJECT_SOURCE_DIR}/server/velmora-server.service\")
    set(config_source \"${PROJECT_SOURCE_DIR}/server/velmora-server.conf.example\")
    set(stage \"${VELMORA_STAGE}\")
    set(sbindir \"${CMAKE_INSTALL_SBINDIR}\")
    set(docdir \"${CMAKE_INSTALL_DATADIR}/doc/velmora-server\")
" [[
    if(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
        set(etc /etc)
        set(var /var)
    else()
        set(etc ${CMAKE_INSTALL_PREFIX}/etc)
        set(var ${CMAKE_INSTALL_PREFIX}/var)
    endif()
    # The unit and the configuration as shipped name the paths of the prefix /usr: other
    # prefixes get their own. The unit's state folder is systemd's, /var/lib/velmora, whatever
    # the prefix.
    foreach(name IN ITEMS unit config)
        file(READ ${${name}_source} text)
        string(REPLACE "/usr/sbin/velmora-server"
            "${CMAKE_INSTALL_PREFIX}/${sbindir}/velmora-server" text "${text}")
        string(REPLACE "/usr/share/doc/velmora-server/" "${CMAKE_INSTALL_PREFIX}/${docdir}/"
            text "${text}")
        string(REPLACE "/etc/velmora/" "${etc}/velmora/" text "${text}")
        if(name STREQUAL "config")
            string(REPLACE "/var/lib/velmora" "${var}/lib/velmora" text "${text}")
        endif()
        file(WRITE ${stage}/${name}/velmora-server.${name} "${text}")
    endforeach()
    file(INSTALL ${stage}/unit/velmora-server.unit
        DESTINATION ${CMAKE_INSTALL_PREFIX}/lib/systemd/system RENAME velmora-server.service)
    # Holds the phonebook's passwords: root and the service's group alone may read it.
    file(INSTALL ${stage}/config/velmora-server.config DESTINATION ${etc}/velmora
        RENAME velmora-server.conf PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ)
    # The state folder, for the accounting log; the package's postinst gives it to the
    # service's account.
    file(MAKE_DIRECTORY ${stage}/state/velmora)
    file(INSTALL ${stage}/state/velmora DESTINATION ${var}/lib DIRECTORY_PERMISSIONS
        OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
]])
install(CODE "${install_unit_and_config}" COMPONENT server)

# Each override is explained in the file and in docs/packaging.md.
foreach(component IN ITEMS client server)
    install(FILES ${VELMORA_DATA}/debian/${component}/lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME velmora-${component}
        COMPONENT ${component})
endforeach()

foreach(component IN ITEMS client server)
    install(FILES ${VELMORA_DATA}/debian/copyright ${VELMORA_STAGE}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/velmora-${component} COMPONENT ${component})
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velmora)
set(CPACK_PACKAGE_VENDOR "The Velmora developers")
set(CPACK_PACKAGE_CONTACT "Velmora developers <maintainers@velmora.example>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)
# The install rules see the prefix /usr, and /etc lands in the staging root.
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_SET_DESTDIR ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_COMPONENTS_ALL client server)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# dpkg-shlibdeps works out the libraries each program needs.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

set(CPACK_DEBIAN_CLIENT_PACKAGE_NAME velmora-client)
# The sound library is opened with the first wave played, so dpkg-shlibdeps does not see it.
set(CPACK_DEBIAN_CLIENT_PACKAGE_RECOMMENDS "qt6-wayland, libcanberra-pulse")
set(CPACK_COMPONENT_CLIENT_DESCRIPTION [=[shows and controls an office's shared dial-up line
The Velmora Client is a small desktop program for the users of an office
network that shares one dial-up line through a Velmora Server. It shows
whether the line is up, to which entry and for how long, in its window and
in the notification area; asks the server to dial or to hang up, letting
every other user refuse a hang-up; carries short messages between users;
and alerts its user with a notice and a sound when the line comes up or
goes down.
.
The server's address is set in the client's configuration dialog. Its logs
go to ~/.local/state/velmora.]=])

set(CPACK_DEBIAN_SERVER_PACKAGE_NAME velmora-server)
set(CPACK_DEBIAN_SERVER_PACKAGE_DEPENDS "adduser")
set(CPACK_DEBIAN_SERVER_PACKAGE_CONTROL_EXTRA
    ${VELMORA_DATA}/debian/server/conffiles ${VELMORA_DATA}/debian/server/postinst
    ${VELMORA_DATA}/debian/server/prerm ${VELMORA_DATA}/debian/server/postrm)
set(CPACK_COMPONENT_SERVER_DESCRIPTION [=[shares one dial-up line among the Velmora Clients of an office
The Velmora Server runs on the machine that owns an office's dial-up line
(or any uplink that a command brings up and down). Every Velmora Client
keeps one TCP link to it. The server tells the clients the state of the
line, dials and hangs up on their request, lets every other user refuse a
hang-up, and carries short messages between users.
.
The package creates the system account velmora and installs the systemd
unit velmora-server.service, but neither enables nor starts it: the
configuration installed in /etc/velmora/velmora-server.conf drives a
simulated line with a demonstration phonebook. Set the line's commands and
the phonebook there, then enable and start the service with
systemctl enable --now velmora-server.]=])

include(CPack)
