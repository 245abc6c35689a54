# The web build, included by the top CMakeLists.txt under Emscripten's
# toolchain (the web preset). The program's sources are the desktop's but for
# two files of this folder: main.cpp, the page's entry and frame loop, in place
# of app/main.cpp; and video.cpp, the drawing primitives writing pixels into
# the screen's memory, in place of video/video.cpp, whose SDL_FillRect is one
# canvas call per cell there.
set(VOSTRELINA_WEB_PREFIX "${CMAKE_BINARY_DIR}/../prefix" CACHE PATH
    "FreeType and SDL_ttf built with emcc (web/build.sh)")
set(web ${CMAKE_SOURCE_DIR}/web)

# What pkg-config gives the desktop build: SDL 1.2 (Emscripten's, part of its
# libraries) and SDL_ttf with FreeType, from the prefix. The prefix's
# SDL_ttf.h comes first: Emscripten ships one of its own, for the stand-in
# that draws with the browser's fonts.
add_library(PkgConfig::SDL INTERFACE IMPORTED GLOBAL)
target_include_directories(PkgConfig::SDL INTERFACE ${VOSTRELINA_WEB_PREFIX}/include/SDL
                           ${EMSCRIPTEN_SYSROOT}/include/SDL)
target_link_libraries(PkgConfig::SDL INTERFACE ${VOSTRELINA_WEB_PREFIX}/lib/libSDL_ttf.a
                      ${VOSTRELINA_WEB_PREFIX}/lib/libfreetype.a)

set_property(TARGET vostrelina_video PROPERTY SOURCES ${web}/video.cpp
             ${CMAKE_SOURCE_DIR}/video/rect.cpp ${CMAKE_SOURCE_DIR}/video/text.cpp)
set_property(TARGET vostrelina PROPERTY SOURCES ${web}/main.cpp)
target_link_libraries(vostrelina PRIVATE vostrelina_app vostrelina_warnings)

# vostrelina.js and vostrelina.wasm, loaded by the page (web/index.html).
# ASYNCIFY lets the program wait as it does on the desktop, in the frame loop
# and in the ROM dialog, by handing control to the browser and resuming where
# it was. Indirect calls are left out of its analysis: none of them can wait,
# and so the frame's own code (the executor's dispatch table among it) runs
# unchanged and at full speed. The program starts when the page calls main,
# once the ROM and the font are in its file system.
set_target_properties(vostrelina PROPERTIES SUFFIX .js)
target_link_options(vostrelina PRIVATE -sASYNCIFY -sASYNCIFY_IGNORE_INDIRECT
                    -sALLOW_MEMORY_GROWTH -sINVOKE_RUN=0 -sEXIT_RUNTIME=0
                    "-sEXPORTED_RUNTIME_METHODS=['FS','callMain']"
                    -sENVIRONMENT=web)
