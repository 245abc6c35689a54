# What `cmake --install` puts where. Games are laid out as Debian places them:
# the executable in games/ and its data (PONG2) in share/games/vostrelina, the
# folder the menu entry starts the program in so that PONG2 plays. Beside
# them: the desktop entry, the CHIP-8 ROM type, the icons, the AppStream
# metainfo and the man page, from data/. The tools for ROM authors (the
# assembler, the disassembler, the headless runner and the debugger) are no
# games: they go to bin/, with their man pages in section 1.
#
# The Windows build ships a folder of its own (windows/build.sh).
if(WIN32)
    return()
endif()
include(GNUInstallDirs)

set(VOSTRELINA_VERSION ${PROJECT_VERSION})
set(VOSTRELINA_RELEASE_DATE 2026-12-08)
set(VOSTRELINA_ID org.vostrelina.Vostrelina)
set(VOSTRELINA_ROM_MIME_TYPE application/x-chip8-rom)

set(VOSTRELINA_INSTALL_GAMESDIR games CACHE STRING
    "Where the executable is installed, under the prefix")
set(VOSTRELINA_INSTALL_GAMEDATADIR ${CMAKE_INSTALL_DATADIR}/games/vostrelina CACHE STRING
    "Where PONG2 is installed, under the prefix")
# The desktop entry and the man page name both folders in full.
set(VOSTRELINA_FULL_GAMESDIR ${CMAKE_INSTALL_PREFIX}/${VOSTRELINA_INSTALL_GAMESDIR})
set(VOSTRELINA_FULL_GAMEDATADIR ${CMAKE_INSTALL_PREFIX}/${VOSTRELINA_INSTALL_GAMEDATADIR})

set(data_in ${CMAKE_SOURCE_DIR}/data)
set(data_out ${CMAKE_BINARY_DIR}/data)
configure_file(${data_in}/${VOSTRELINA_ID}.desktop.in ${data_out}/${VOSTRELINA_ID}.desktop @ONLY)
configure_file(${data_in}/${VOSTRELINA_ID}.metainfo.xml.in ${data_out}/${VOSTRELINA_ID}.metainfo.xml @ONLY)
configure_file(${data_in}/vostrelina-mime.xml.in ${data_out}/vostrelina.xml @ONLY)
configure_file(${data_in}/vostrelina.6.in ${data_out}/vostrelina.6 @ONLY)
set(VOSTRELINA_TOOLS vostrelina-asm vostrelina-dis vostrelina-run vostrelina-dbg)
foreach(tool ${VOSTRELINA_TOOLS})
    configure_file(${data_in}/${tool}.1.in ${data_out}/${tool}.1 @ONLY)
    # The debugger is not built everywhere (tools/CMakeLists.txt says where).
    if(TARGET ${tool})
        install(FILES ${data_out}/${tool}.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
        install(TARGETS ${tool} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    endif()
endforeach()

install(TARGETS vostrelina RUNTIME DESTINATION ${VOSTRELINA_INSTALL_GAMESDIR})
install(FILES ${CMAKE_BINARY_DIR}/PONG2 DESTINATION ${VOSTRELINA_INSTALL_GAMEDATADIR})
install(FILES ${data_out}/${VOSTRELINA_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${data_out}/${VOSTRELINA_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${data_out}/vostrelina.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
install(FILES ${data_out}/vostrelina.6 DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)

set(icons ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
install(FILES ${data_in}/vostrelina.svg DESTINATION ${icons}/scalable/apps)

# The PNG icons are drawn from the SVG, so there is one picture to change.
# Without rsvg-convert (librsvg2-bin) only the SVG is installed.
find_program(RSVG_CONVERT rsvg-convert)
if(RSVG_CONVERT)
    set(pngs)
    foreach(size 48 128)
        set(png ${data_out}/icon-${size}/vostrelina.png)
        add_custom_command(OUTPUT ${png}
            COMMAND ${CMAKE_COMMAND} -E make_directory ${data_out}/icon-${size}
            COMMAND ${RSVG_CONVERT} -w ${size} -h ${size} ${data_in}/vostrelina.svg -o ${png}
            DEPENDS ${data_in}/vostrelina.svg
            VERBATIM)
        install(FILES ${png} DESTINATION ${icons}/${size}x${size}/apps)
        list(APPEND pngs ${png})
    endforeach()
    add_custom_target(vostrelina_icons ALL DEPENDS ${pngs})
else()
    message(STATUS "rsvg-convert not found: the PNG icons will not be installed")
endif()
