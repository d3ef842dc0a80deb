# SPDX-FileCopyrightText: 2026 The Halvane developers
# SPDX-License-Identifier: BSD-3-Clause

# Where systemd looks for user units of packages: <prefix>/lib/systemd/user
# (not the multiarch library directory).
set(HALVANE_SYSTEMD_USER_UNIT_DIR "lib/systemd/user" CACHE STRING
    "Directory for systemd user units, relative to the installation prefix")

# halvane_install_user_units(<unit>.in...)
# Configures and installs systemd user units; "@CMAKE_INSTALL_FULL_BINDIR@" in
# them becomes the installed program directory. A second copy names the build
# tree's programs instead and is listed in the global property
# HALVANE_USER_UNITS, so a test can check every unit against programs that exist.
function(halvane_install_user_units)
    foreach(source IN LISTS ARGN)
        get_filename_component(name "${source}" NAME)
        string(REGEX REPLACE "\\.in$" "" name "${name}")
        configure_file("${source}" "${CMAKE_BINARY_DIR}/systemd/user/${name}" @ONLY)
        install(FILES "${CMAKE_BINARY_DIR}/systemd/user/${name}" DESTINATION "${HALVANE_SYSTEMD_USER_UNIT_DIR}")

        set(CMAKE_INSTALL_FULL_BINDIR "${CMAKE_RUNTIME_OUTPUT_DIRECTORY}")
        configure_file("${source}" "${CMAKE_BINARY_DIR}/systemd/build-tree/${name}" @ONLY)
        set_property(GLOBAL APPEND PROPERTY HALVANE_USER_UNITS "${CMAKE_BINARY_DIR}/systemd/build-tree/${name}")
    endforeach()
endfunction()
