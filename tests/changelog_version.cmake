# debian/changelog repeats the project's version, since Debian's tools read it
# there: its first entry's upstream version (between an optional epoch and
# the Debian revision) must be VERSION, the one in project().
# cmake -DVERSION=... -DCHANGELOG=.../debian/changelog -P changelog_version.cmake
file(STRINGS "${CHANGELOG}" first LIMIT_COUNT 1)
if(NOT first MATCHES "^vostrelina \\(([0-9]+:)?(.+)-([^-]+)\\) ")
    message(FATAL_ERROR "${CHANGELOG} does not start with an entry for vostrelina: '${first}'")
endif()
if(NOT CMAKE_MATCH_2 STREQUAL VERSION)
    message(FATAL_ERROR "${CHANGELOG} is at version ${CMAKE_MATCH_2}, the project at ${VERSION}: "
                        "add an entry for ${VERSION} (dch -v ${VERSION}-1)")
endif()
message(STATUS "debian/changelog and the project agree: ${VERSION}")
