# SPDX-FileCopyrightText: 2026 The Halvane developers
# SPDX-License-Identifier: BSD-3-Clause

# HALVANE_BUILD_FUZZERS: libFuzzer targets for the parsers that read outside input.
#
# With the option on (Clang only), all project code is built with
# -fsanitize=fuzzer-no-link so that the fuzzers see coverage of the code they
# drive, and every program and library is linked the same way so that the
# coverage callbacks resolve. The fuzz targets themselves add -fsanitize=fuzzer
# (tests/fuzz). Sanitizers (address, undefined) are added independently.
#
# Without the option the fuzz entry points are still built, into replay
# programs that run their corpus as ordinary tests.
option(HALVANE_BUILD_FUZZERS "Build the libFuzzer fuzz targets (needs Clang)" OFF)

if(HALVANE_BUILD_FUZZERS)
    if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang" OR NOT CMAKE_C_COMPILER_ID MATCHES "Clang")
        message(FATAL_ERROR
            "HALVANE_BUILD_FUZZERS needs Clang with libFuzzer for C and C++ "
            "(configure with CC=clang-14 CXX=clang++-14); "
            "the compilers are ${CMAKE_C_COMPILER_ID} and ${CMAKE_CXX_COMPILER_ID}")
    endif()
    include(CheckCXXSourceCompiles)
    set(CMAKE_REQUIRED_FLAGS "-fsanitize=fuzzer")
    check_cxx_source_compiles(
        "#include <cstddef>
         #include <cstdint>
         extern \"C\" int LLVMFuzzerTestOneInput(const uint8_t *, size_t) { return 0; }"
        HALVANE_HAVE_LIBFUZZER)
    unset(CMAKE_REQUIRED_FLAGS)
    if(NOT HALVANE_HAVE_LIBFUZZER)
        message(FATAL_ERROR "HALVANE_BUILD_FUZZERS: ${CMAKE_CXX_COMPILER} cannot link -fsanitize=fuzzer "
                            "(Debian: libfuzzer-14-dev and libclang-rt-14-dev)")
    endif()
    add_compile_options(-fsanitize=fuzzer-no-link)
    add_link_options(-fsanitize=fuzzer-no-link)
endif()
