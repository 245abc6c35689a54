# The layers drawn by the build. No library has the source tree on its include
# path: each header is reached through a link in a folder made for the one
# library that owns it, and a library sees only its own folder and those of
# the libraries it links. An include across layers that the link graph does
# not allow therefore finds no file, and the build stops there.

set(VOSTRELINA_TOP ${CMAKE_CURRENT_LIST_DIR}/..)

# layer_headers(TARGET SCOPE FOLDER HEADER...): FOLDER/HEADER of the source
# tree, includable as "FOLDER/HEADER" by TARGET (and, with SCOPE PUBLIC or
# INTERFACE, by whatever links it; PRIVATE headers get a folder of their own).
function(layer_headers target scope folder)
    set(root ${CMAKE_BINARY_DIR}/layers/${target})
    if(scope STREQUAL PRIVATE)
        string(APPEND root -private)
    endif()
    file(REMOVE_RECURSE ${root}/${folder})  # a header dropped from the list goes too
    file(MAKE_DIRECTORY ${root}/${folder})
    foreach(header ${ARGN})
        file(CREATE_LINK ${VOSTRELINA_TOP}/${folder}/${header} ${root}/${folder}/${header} SYMBOLIC)
    endforeach()
    target_include_directories(${target} ${scope} ${root})
endfunction()
