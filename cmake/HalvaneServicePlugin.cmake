# SPDX-FileCopyrightText: 2026 The Halvane developers
# SPDX-License-Identifier: BSD-3-Clause

# halvane_add_service_plugin(<target> SOURCES <files...> [LIBRARIES <libs...>]
#                            [OUTPUT_DIRECTORY <dir>] [NO_INSTALL])
#
# Builds a service plug-in as a Qt plug-in module linked against the service
# framework and the item records. By default it lands in the build tree's
# plug-ins directory and is installed where the framework looks for plug-ins;
# OUTPUT_DIRECTORY overrides the build location (test plug-ins must stay out of
# the real plug-ins directory).
function(halvane_add_service_plugin target)
    cmake_parse_arguments(ARG "NO_INSTALL" "OUTPUT_DIRECTORY" "SOURCES;LIBRARIES" ${ARGN})
    add_library(${target} MODULE ${ARG_SOURCES})
    target_link_libraries(${target} PRIVATE Halvane::Service Halvane::Core ${ARG_LIBRARIES})
    set_target_properties(${target} PROPERTIES
        PREFIX "lib"
        AUTOMOC ON
        CXX_VISIBILITY_PRESET hidden
        VISIBILITY_INLINES_HIDDEN ON
    )
    if(ARG_OUTPUT_DIRECTORY)
        set_target_properties(${target} PROPERTIES LIBRARY_OUTPUT_DIRECTORY "${ARG_OUTPUT_DIRECTORY}")
    elseif(DEFINED HALVANE_SERVICE_PLUGINS_SUBDIR)
        set_target_properties(${target} PROPERTIES
            LIBRARY_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}/${HALVANE_SERVICE_PLUGINS_SUBDIR}")
    endif()
    if(NOT ARG_NO_INSTALL)
        # The shipped plug-ins, for targets that need all of them (the demo).
        set_property(GLOBAL APPEND PROPERTY HALVANE_SERVICE_PLUGIN_TARGETS ${target})
        if(DEFINED HALVANE_SERVICE_PLUGINS_SUBDIR)
            install(TARGETS ${target} LIBRARY DESTINATION "${HALVANE_SERVICE_PLUGINS_SUBDIR}")
            halvane_find_public_libraries(${target} "${HALVANE_SERVICE_PLUGINS_SUBDIR}")
        else()
            install(TARGETS ${target} LIBRARY DESTINATION "${HALVANE_SERVICE_PLUGINS_DIR}")
        endif()
    endif()
endfunction()
