# SPDX-FileCopyrightText: 2026 The Velmora developers
# SPDX-License-Identifier: GPL-3.0-or-later
# velmora_add_test(NAME <name> SOURCES <files...> LIBS <targets...> [LABELS <labels...>]
#                  [TIMEOUT <s>] [WRAPPER <command...>])
#
# Builds one test executable and registers it with ctest. Every test runs on the offscreen
# platform, with a fixed locale and with configuration and state homes of its own, so that no
# test can read or write the settings or logs of the person running it.
function(velmora_add_test)
    cmake_parse_arguments(ARG "" "NAME;TIMEOUT" "SOURCES;LIBS;LABELS;WRAPPER" ${ARGN})
    add_executable(${ARG_NAME} ${ARG_SOURCES})
    target_link_libraries(${ARG_NAME} PRIVATE velmora_options Qt6::Test
        ${ARG_LIBS})
    # A failing test wants functions and lines in its backtrace rather than its locals: in the
    # optimised build, gcc's full debugging information would take a fifth of its compile.
    if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
        target_compile_options(${ARG_NAME} PRIVATE $<$<CONFIG:RelWithDebInfo>:-g1>)
    endif()
    set(home ${CMAKE_BINARY_DIR}/test-homes/${ARG_NAME})
    file(MAKE_DIRECTORY ${home}/runtime)
    file(CHMOD ${home}/runtime DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
    add_test(NAME ${ARG_NAME} COMMAND ${ARG_WRAPPER} $<TARGET_FILE:${ARG_NAME}>)
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 120)
    endif()
    set_tests_properties(${ARG_NAME} PROPERTIES
        LABELS "${ARG_LABELS}"
        TIMEOUT ${ARG_TIMEOUT}
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;XDG_CONFIG_HOME=${home}/config;XDG_STATE_HOME=${home}/state;XDG_RUNTIME_DIR=${home}/runtime;VELMORA_TEST_HOME=${home};LC_ALL=C.UTF-8;LANG=C.UTF-8;TZ=UTC;ASAN_OPTIONS=detect_leaks=1:abort_on_error=1;UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1;LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp")
endfunction()
