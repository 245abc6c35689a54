# The Windows executable's resources, compiled by mingw-w64's windres: our
# icon, the version block Explorer's Properties show, and the manifest.
# Included from app/CMakeLists.txt for the vostrelina target on Windows only.
enable_language(RC)

# The icon is drawn from data/vostrelina.svg at every size Windows asks for
# (lists, Start menu, Explorer's views, up to the 256 of large icons), so
# there is one picture to change; the .ico is built, never committed. The
# 256-pixel picture is stored as PNG, as Windows expects at that size.
find_program(RSVG_CONVERT rsvg-convert REQUIRED)
find_program(ICOTOOL icotool REQUIRED)
set(icon_dir ${CMAKE_CURRENT_BINARY_DIR}/icon)
set(icon ${icon_dir}/vostrelina.ico)
set(icon_pngs)
foreach(size 16 24 32 48 64 256)
    set(png ${icon_dir}/vostrelina-${size}.png)
    add_custom_command(OUTPUT ${png}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${icon_dir}
        COMMAND ${RSVG_CONVERT} -w ${size} -h ${size} -o ${png} ${CMAKE_SOURCE_DIR}/data/vostrelina.svg
        DEPENDS ${CMAKE_SOURCE_DIR}/data/vostrelina.svg
        COMMENT "Drawing the ${size}-pixel icon")
    list(APPEND icon_pngs ${png})
endforeach()
list(POP_BACK icon_pngs large_png)
add_custom_command(OUTPUT ${icon}
    COMMAND ${ICOTOOL} -c -o ${icon} ${icon_pngs} -r ${large_png}
    DEPENDS ${icon_pngs} ${large_png}
    COMMENT "Putting the icons into vostrelina.ico")

# The version's four numbers for the version block: 2.1 gives 2,1,0,0.
set(VOSTRELINA_VERSION_COMMAS ${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR})
foreach(part PATCH TWEAK)
    if(PROJECT_VERSION_${part} STREQUAL "")
        string(APPEND VOSTRELINA_VERSION_COMMAS ",0")
    else()
        string(APPEND VOSTRELINA_VERSION_COMMAS ",${PROJECT_VERSION_${part}}")
    endif()
endforeach()
set(VOSTRELINA_ICON ${icon})
set(VOSTRELINA_MANIFEST ${CMAKE_SOURCE_DIR}/windows/vostrelina.manifest)
set(rc ${CMAKE_CURRENT_BINARY_DIR}/generated/vostrelina.rc)
configure_file(${CMAKE_SOURCE_DIR}/windows/vostrelina.rc.in ${rc} @ONLY)
# windres reads the icon and the manifest while compiling the .rc, which
# CMake's scan of it does not see.
set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS "${icon};${VOSTRELINA_MANIFEST}")
target_sources(vostrelina PRIVATE ${rc})
