# Instrumented builds, each in its own build folder.
#
# VOSTRELINA_SANITIZE: everything built with AddressSanitizer and
# UndefinedBehaviorSanitizer. -fno-sanitize-recover=all turns every report into
# an abort, so a test that meets one fails instead of printing and passing.
#
# VOSTRELINA_FUZZ: the same, plus libFuzzer's coverage instrumentation of our
# own code, for the fuzz target in fuzz/. Needs clang++ (g++ has no libFuzzer).
option(VOSTRELINA_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(VOSTRELINA_FUZZ "Build the libFuzzer target in fuzz/ (clang++ only)" OFF)

if(VOSTRELINA_SANITIZE OR VOSTRELINA_FUZZ)
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all
                        -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
endif()

if(VOSTRELINA_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
        message(FATAL_ERROR "VOSTRELINA_FUZZ needs clang++ (-DCMAKE_CXX_COMPILER=clang++)")
    endif()
    add_compile_options(-fsanitize=fuzzer-no-link)
endif()
