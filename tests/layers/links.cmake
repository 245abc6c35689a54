# Writes what the build links, for the layers test to set beside
# CONTRIBUTING.md's list: ${CMAKE_BINARY_DIR}/layers/links.txt, a line for
# each library and command of the program and the tools (not of tests/, bench/
# or fuzz/, which stand on top of them all):
#
#   NAME LINK...
#
# NAME is a library's folder ("tools/cli/") or a command's name ("vostrelina");
# a LINK to one of our libraries is named by its folder's last part ("cli"),
# any other link as the build has it (PkgConfig::SDL, a library's path). The
# helpers that carry flags or a generated header (vostrelina_warnings,
# vostrelina_version) are no layer and are left out.
#
# Called once the whole tree is configured (cmake_language(DEFER)), so that
# every target is there whatever order the folders are added in.

# The targets defined in DIRECTORY and the folders under it, into VARIABLE.
function(layers_targets directory variable)
    get_property(targets DIRECTORY ${directory} PROPERTY BUILDSYSTEM_TARGETS)
    get_property(subdirectories DIRECTORY ${directory} PROPERTY SUBDIRECTORIES)
    foreach(subdirectory IN LISTS subdirectories)
        layers_targets(${subdirectory} more)
        list(APPEND targets ${more})
    endforeach()
    set(${variable} ${targets} PARENT_SCOPE)
endfunction()

# TARGET's name in the list, into VARIABLE; empty for a target that is no
# layer of the program or the tools.
function(layers_name target variable)
    set(name "")
    get_target_property(type ${target} TYPE)
    get_target_property(imported ${target} IMPORTED)
    get_target_property(folder ${target} SOURCE_DIR)
    file(RELATIVE_PATH folder ${CMAKE_SOURCE_DIR} ${folder})
    if(imported OR folder MATCHES "^(tests|bench|fuzz)(/|$)")
        set(name "")
    elseif(type STREQUAL "STATIC_LIBRARY")
        set(name "${folder}/")
    elseif(type STREQUAL "EXECUTABLE")
        set(name ${target})
    endif()
    set(${variable} "${name}" PARENT_SCOPE)
endfunction()

function(layers_write_links)
    layers_targets(${CMAKE_SOURCE_DIR} targets)
    set(lines "")
    foreach(target IN LISTS targets)
        layers_name(${target} name)
        if(name STREQUAL "")
            continue()
        endif()
        set(line "${name}")
        get_target_property(links ${target} LINK_LIBRARIES)
        foreach(link IN LISTS links)
            if(TARGET ${link})
                get_target_property(type ${link} TYPE)
                get_target_property(imported ${link} IMPORTED)
                layers_name(${link} linked)
                if(NOT linked STREQUAL "")
                    string(REGEX REPLACE "/$" "" linked "${linked}")
                    get_filename_component(link ${linked} NAME)
                elseif(type STREQUAL "INTERFACE_LIBRARY" AND NOT imported)
                    continue()
                endif()
            endif()
            string(APPEND line " ${link}")
        endforeach()
        string(APPEND lines "${line}\n")
    endforeach()
    file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/layers/links.txt CONTENT "${lines}")
endfunction()

cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL layers_write_links)
