# The project's version as a header, version.h, generated once from
# version.h.in: the window's title and the tools' --version read it. A target
# that needs it links vostrelina_version.
configure_file(${CMAKE_CURRENT_LIST_DIR}/version.h.in ${CMAKE_BINARY_DIR}/generated/version.h @ONLY)
add_library(vostrelina_version INTERFACE)
target_include_directories(vostrelina_version INTERFACE ${CMAKE_BINARY_DIR}/generated)
