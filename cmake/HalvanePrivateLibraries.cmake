# SPDX-FileCopyrightText: 2026 The Halvane developers
# SPDX-License-Identifier: BSD-3-Clause

# The platform layers are shared libraries only Halvane's own programs and
# plug-ins link, without installed headers: they are installed in a private
# directory, off the linker's search path, and whatever links them finds them
# relative to its own installed place (so an unpacked tree works as well).

# halvane_install_private_library(<target>)
function(halvane_install_private_library target)
    install(TARGETS ${target}
        LIBRARY DESTINATION "${HALVANE_PRIVATE_LIBS_SUBDIR}" NAMELINK_SKIP)
endfunction()

# halvane_use_private_libraries(<target> <install subdir of target>)
function(halvane_use_private_libraries target destination)
    file(RELATIVE_PATH relative "/${destination}" "/${HALVANE_PRIVATE_LIBS_SUBDIR}")
    set_property(TARGET ${target} APPEND PROPERTY INSTALL_RPATH "$ORIGIN/${relative}")
    halvane_find_public_libraries(${target} "${destination}")
endfunction()

# Installed outside the system's library directories (another prefix, a tree
# unpacked elsewhere), the public libraries are found the same way: a program
# or library would not start without LD_LIBRARY_PATH.
list(FIND CMAKE_CXX_IMPLICIT_LINK_DIRECTORIES "${CMAKE_INSTALL_FULL_LIBDIR}" HALVANE_LIBDIR_INDEX)
if(HALVANE_LIBDIR_INDEX EQUAL -1)
    set(HALVANE_LIBDIR_IS_SYSTEM OFF)
else()
    set(HALVANE_LIBDIR_IS_SYSTEM ON)
endif()

# halvane_find_public_libraries(<target> <install subdir of target>)
function(halvane_find_public_libraries target destination)
    if(HALVANE_LIBDIR_IS_SYSTEM)
        return()
    endif()
    file(RELATIVE_PATH relative "/${destination}" "/${CMAKE_INSTALL_LIBDIR}")
    set_property(TARGET ${target} APPEND PROPERTY INSTALL_RPATH "$ORIGIN/${relative}")
endfunction()
