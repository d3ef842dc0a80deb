# SPDX-FileCopyrightText: 2026 The Halvane developers
# SPDX-License-Identifier: BSD-3-Clause

# halvane_install_pkgconfig(<library> INCLUDE_SUBDIR <dir> DESCRIPTION <text> REQUIRES <modules...>)
# Writes and installs <library>.pc for projects that do not use CMake.
function(halvane_install_pkgconfig library)
    cmake_parse_arguments(PC "" "INCLUDE_SUBDIR;DESCRIPTION" "REQUIRES" ${ARGN})
    set(PC_NAME ${library})
    set(PC_LIBRARY ${library})
    string(REPLACE ";" " " PC_REQUIRES "${PC_REQUIRES}")
    # Paths from where the file lies, as the CMake package finds its own: an
    # installation under another prefix (cmake --install --prefix, an
    # unpacked tree) is found where it is.
    file(RELATIVE_PATH PC_TO_PREFIX "${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig" "${CMAKE_INSTALL_PREFIX}")
    string(REGEX REPLACE "/$" "" PC_TO_PREFIX "${PC_TO_PREFIX}")
    configure_file("${PROJECT_SOURCE_DIR}/cmake/halvane.pc.in"
        "${CMAKE_CURRENT_BINARY_DIR}/${library}.pc" @ONLY)
    install(FILES "${CMAKE_CURRENT_BINARY_DIR}/${library}.pc"
        DESTINATION "${CMAKE_INSTALL_LIBDIR}/pkgconfig")
endfunction()
