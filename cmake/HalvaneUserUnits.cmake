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
# halvane_install_naming_bindir(<source.in> <output> <destination>)
# Configures <source.in> (@ONLY) and installs it as <output> under <destination>,
# "@CMAKE_INSTALL_FULL_BINDIR@" naming the program directory of the install
# itself: a tree installed with "cmake --install --prefix DIR" names DIR/bin,
# not the prefix the build was configured with.
function(halvane_install_naming_bindir source output destination)
    set(CMAKE_INSTALL_FULL_BINDIR "@HALVANE_INSTALLED_BINDIR@")
    set(template "${CMAKE_CURRENT_BINARY_DIR}/install-time/${output}.in")
    configure_file("${source}" "${template}" @ONLY)
    set(result "${CMAKE_CURRENT_BINARY_DIR}/install-time/${output}")
    install(CODE "
        if(IS_ABSOLUTE \"${CMAKE_INSTALL_BINDIR}\")
            set(bindir \"${CMAKE_INSTALL_BINDIR}\")
        else()
            set(bindir \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
        endif()
        file(READ \"${template}\" text)
        string(REPLACE \"@HALVANE_INSTALLED_BINDIR@\" \"\${bindir}\" text \"\${text}\")
        file(WRITE \"${result}\" \"\${text}\")
    ")
    install(FILES "${result}" DESTINATION "${destination}")
endfunction()

function(halvane_install_user_units)
    foreach(source IN LISTS ARGN)
        get_filename_component(name "${source}" NAME)
        string(REGEX REPLACE "\\.in$" "" name "${name}")
        halvane_install_naming_bindir("${source}" "${name}" "${HALVANE_SYSTEMD_USER_UNIT_DIR}")

        set(CMAKE_INSTALL_FULL_BINDIR "${CMAKE_RUNTIME_OUTPUT_DIRECTORY}")
        configure_file("${source}" "${CMAKE_BINARY_DIR}/systemd/build-tree/${name}" @ONLY)
        set_property(GLOBAL APPEND PROPERTY HALVANE_USER_UNITS "${CMAKE_BINARY_DIR}/systemd/build-tree/${name}")
    endforeach()
endfunction()
