# SPDX-FileCopyrightText: 2026 The Halvane developers
# SPDX-License-Identifier: BSD-3-Clause

# HALVANE_SANITIZE: the sanitizers the whole tree is built with, for example
# "address;undefined" or "thread". Everything is instrumented alike, so the
# libraries, plug-ins, programs and tests of one build directory agree.
set(HALVANE_SANITIZE "" CACHE STRING "Sanitizers to build with (address;undefined or thread)")

if(HALVANE_SANITIZE)
    if("thread" IN_LIST HALVANE_SANITIZE AND "address" IN_LIST HALVANE_SANITIZE)
        message(FATAL_ERROR "HALVANE_SANITIZE: thread and address cannot be combined")
    endif()
    list(JOIN HALVANE_SANITIZE "," halvane_sanitizers)
    # A report must fail the program that triggers it, not scroll by.
    add_compile_options(-fsanitize=${halvane_sanitizers} -fno-omit-frame-pointer
                        -fno-sanitize-recover=all)
    add_link_options(-fsanitize=${halvane_sanitizers})
    message(STATUS "Halvane: building with -fsanitize=${halvane_sanitizers}")
endif()
