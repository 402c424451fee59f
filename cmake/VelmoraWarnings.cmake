# SPDX-FileCopyrightText: 2026 The Velmora developers
# SPDX-License-Identifier: GPL-3.0-or-later
# Every target of ours links velmora_options: the warnings, as errors unless VELMORA_WERROR is off,
# and, when asked, the sanitizers.
add_library(velmora_options INTERFACE)
target_compile_options(velmora_options INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wold-style-cast -Wcast-align
    -Woverloaded-virtual -Wformat=2)
if(VELMORA_WERROR)
    target_compile_options(velmora_options INTERFACE -Werror)
endif()
target_compile_definitions(velmora_options INTERFACE
    QT_NO_CAST_FROM_ASCII QT_NO_CAST_TO_ASCII QT_NO_URL_CAST_FROM_STRING
    QT_NO_CAST_FROM_BYTEARRAY QT_NO_KEYWORDS QT_NO_SIGNALS_SLOTS_KEYWORDS
    QT_DISABLE_DEPRECATED_UP_TO=0x060400
    VELMORA_VERSION_MAJOR=${PROJECT_VERSION_MAJOR}
    VELMORA_VERSION_MINOR=${PROJECT_VERSION_MINOR}
    VELMORA_VERSION_PATCH=${PROJECT_VERSION_PATCH}
    VELMORA_VERSION="${PROJECT_VERSION}")

# The sanitizers; the fuzzing build has them too.
if(VELMORA_SANITIZE OR VELMORA_FUZZ)
    set(_velmora_sanitizers -fsanitize=address,undefined -fno-sanitize-recover=undefined
        -fno-omit-frame-pointer)
    target_compile_options(velmora_options INTERFACE ${_velmora_sanitizers})
    target_link_options(velmora_options INTERFACE ${_velmora_sanitizers})
endif()

# Fuzzing: everything of ours gets libFuzzer's coverage; the fuzz targets alone link libFuzzer's
# driver (fuzz/CMakeLists.txt). The tests link the same libraries without it: the sanitizers'
# runtime answers the coverage's calls there, so one build serves the tests and the fuzz targets.
if(VELMORA_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
        message(FATAL_ERROR "VELMORA_FUZZ needs clang (CXX=clang++)")
    endif()
    target_compile_options(velmora_options INTERFACE -fsanitize=fuzzer-no-link)
endif()

# The analyser: clazy as a plugin of clang in every compile of ours, with the checks in .clazy.
# Its findings are warnings, so errors with VELMORA_WERROR. Only our own files speak: neither
# the headers outside the checkout nor what moc and rcc generate in the build folder.
if(VELMORA_CLAZY)
    if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
        message(FATAL_ERROR "VELMORA_CLAZY needs clang (CXX=clang++)")
    endif()
    find_library(VELMORA_CLAZY_PLUGIN NAMES ClazyPlugin.so ClangLazy.so)
    if(NOT VELMORA_CLAZY_PLUGIN)
        message(FATAL_ERROR "clazy's plugin not found; scripts/setup installs it (clazy)")
    endif()
    file(STRINGS ${PROJECT_SOURCE_DIR}/.clazy _velmora_clazy_lines)
    set(_velmora_clazy_checks)
    foreach(line IN LISTS _velmora_clazy_lines)
        string(REGEX REPLACE "#.*" "" line "${line}")
        string(STRIP "${line}" line)
        if(line)
            list(APPEND _velmora_clazy_checks ${line})
        endif()
    endforeach()
    list(JOIN _velmora_clazy_checks "," _velmora_clazy_checks)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/.clazy)
    target_compile_options(velmora_options INTERFACE
        "SHELL:-Xclang -load -Xclang ${VELMORA_CLAZY_PLUGIN}"
        "SHELL:-Xclang -add-plugin -Xclang clazy"
        "SHELL:-Xclang -plugin-arg-clazy -Xclang ${_velmora_clazy_checks}")
    # The plugin takes its filters from the environment only.
    set(CMAKE_CXX_COMPILER_LAUNCHER env "CLAZY_HEADER_FILTER=^${PROJECT_SOURCE_DIR}/"
        "CLAZY_IGNORE_DIRS=^${PROJECT_BINARY_DIR}/" ${CMAKE_CXX_COMPILER_LAUNCHER})
endif()
