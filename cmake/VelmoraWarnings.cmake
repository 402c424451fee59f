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

if(VELMORA_SANITIZE)
    set(_velmora_sanitizers -fsanitize=address,undefined -fno-sanitize-recover=undefined
        -fno-omit-frame-pointer)
    target_compile_options(velmora_options INTERFACE ${_velmora_sanitizers})
    target_link_options(velmora_options INTERFACE ${_velmora_sanitizers})
endif()

# Fuzzing: every library of ours gets libFuzzer's coverage and the sanitizers; the fuzz targets
# themselves link libFuzzer's driver (fuzz/CMakeLists.txt).
if(VELMORA_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
        message(FATAL_ERROR "VELMORA_FUZZ needs clang (CXX=clang++)")
    endif()
    set(_velmora_fuzz -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined
        -fno-omit-frame-pointer)
    target_compile_options(velmora_options INTERFACE ${_velmora_fuzz})
    target_link_options(velmora_options INTERFACE -fsanitize=address,undefined)
endif()
