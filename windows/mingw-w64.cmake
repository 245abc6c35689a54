# Cross-compiling for 64-bit Windows with Debian's mingw-w64.
# VOSTRELINA_WINDOWS_PREFIX names the folder holding the cross-built SDL,
# FreeType and SDL_ttf (windows/build.sh passes it).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

# The win32-threads flavour: with static libgcc and libstdc++ the program then
# needs no winpthread DLL beside it.
set(triplet x86_64-w64-mingw32)
find_program(CMAKE_C_COMPILER NAMES ${triplet}-gcc-win32 ${triplet}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${triplet}-g++-win32 ${triplet}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${triplet}-windres REQUIRED)

# try_compile reads this file again, in the same process, in a project that
# has not been handed the prefix: pass it on, and never clear what is set.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES VOSTRELINA_WINDOWS_PREFIX)
set(CMAKE_FIND_ROOT_PATH /usr/${triplet} ${VOSTRELINA_WINDOWS_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Only the cross-built libraries, never the host's .pc files.
if(VOSTRELINA_WINDOWS_PREFIX)
    set(ENV{PKG_CONFIG_LIBDIR} ${VOSTRELINA_WINDOWS_PREFIX}/lib/pkgconfig)
    set(ENV{PKG_CONFIG_PATH} "")
endif()

# Windows' 8-bit strings are Windows-1252: the sources are UTF-8, so the é of
# the messages must be recoded to the single byte 0xE9.
set(CMAKE_CXX_FLAGS_INIT "-fexec-charset=CP1252")
set(CMAKE_C_FLAGS_INIT "-fexec-charset=CP1252")
# No build time in the PE header: two builds of one commit are the same bytes.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++ -Wl,--no-insert-timestamp")
