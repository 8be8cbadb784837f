# Installation and the Debian package: the show in games/, its data set,
# a desktop entry that starts it in full screen, its icon and its manual
# page. `cpack -G DEB` in a build directory makes the package;
# scripts/package does it from a release build of its own.
#
# The installed program reads the installed data set, wherever this build's
# own program reads from: when this build's data directory is another
# (build/data/ for the tests and scripts/run), a second copy of the program
# is compiled for the installed one. Only main.cpp is compiled again.
#
# That directory is fixed under /usr, so the package always installs into
# /usr, whatever CMAKE_INSTALL_PREFIX says.

set(DRMORVEL_INSTALLED_BINARY /usr/games/drmorvel)
if(NOT CMAKE_INSTALL_PREFIX STREQUAL "/usr")
  message(STATUS "Installing into ${CMAKE_INSTALL_PREFIX}: the installed show still reads "
                 "${DRMORVEL_INSTALLED_DATA_DIR}; the package installs into /usr")
endif()

if(DRMORVEL_DATA_DIR STREQUAL DRMORVEL_INSTALLED_DATA_DIR)
  install(TARGETS drmorvel RUNTIME DESTINATION games)
else()
  drmorvel_show_executable(drmorvel-installed "${DRMORVEL_INSTALLED_DATA_DIR}")
  set_target_properties(drmorvel-installed PROPERTIES OUTPUT_NAME drmorvel
                        RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/installed)
  install(TARGETS drmorvel-installed RUNTIME DESTINATION games)
endif()
# Stripped as Debian strips programs: no symbols, no debug information and
# no compiler notes.
install(CODE "execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment --remove-section=.note
                              \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/games/drmorvel\" COMMAND_ERROR_IS_FATAL ANY)")

install(FILES ${drmorvel_show_data_files} DESTINATION share/drmorvel-by-quenlo/data)
install(DIRECTORY ${CMAKE_BINARY_DIR}/icons/ DESTINATION share/icons/hicolor)

configure_file(${PROJECT_SOURCE_DIR}/desktop/drmorvel.desktop.in ${CMAKE_BINARY_DIR}/drmorvel.desktop @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/drmorvel.desktop DESTINATION share/applications)

# Debian keeps manual pages and changelogs compressed with gzip -9, without
# a time stamp in the file.
find_program(GZIP gzip REQUIRED)
function(drmorvel_gzip source output)
  add_custom_command(
    OUTPUT ${output}
    COMMAND ${GZIP} -9nc ${source} > ${output}
    DEPENDS ${source}
    COMMENT "Compressing ${output}")
endfunction()
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/man ${CMAKE_BINARY_DIR}/doc)
drmorvel_gzip(${PROJECT_SOURCE_DIR}/docs/drmorvel.6 ${CMAKE_BINARY_DIR}/man/drmorvel.6.gz)
install(FILES ${CMAKE_BINARY_DIR}/man/drmorvel.6.gz DESTINATION share/man/man6)

# The package: version 1.0-1, the first Debian revision of release 1.0.
set(DRMORVEL_DEB_REVISION 1)
set(DRMORVEL_DEB_VERSION ${PROJECT_VERSION}-${DRMORVEL_DEB_REVISION})
# The project has no mail address of its own; the reserved .invalid domain
# says so instead of naming a host that does not exist.
set(DRMORVEL_MAINTAINER "Dr Morvel by Quenlo developers <drmorvel@users.invalid>")

# Its documentation: the license in Debian's machine-readable copyright
# format, the release's changelog and the package's own.
configure_file(${PROJECT_SOURCE_DIR}/docs/changelog.Debian.in ${CMAKE_BINARY_DIR}/doc/changelog.Debian @ONLY)
drmorvel_gzip(${CMAKE_BINARY_DIR}/doc/changelog.Debian ${CMAKE_BINARY_DIR}/doc/changelog.Debian.gz)
drmorvel_gzip(${PROJECT_SOURCE_DIR}/docs/changelog ${CMAKE_BINARY_DIR}/doc/changelog.gz)
add_custom_target(drmorvel-docs ALL DEPENDS ${CMAKE_BINARY_DIR}/man/drmorvel.6.gz
                  ${CMAKE_BINARY_DIR}/doc/changelog.Debian.gz ${CMAKE_BINARY_DIR}/doc/changelog.gz)
install(FILES ${PROJECT_SOURCE_DIR}/docs/copyright ${CMAKE_BINARY_DIR}/doc/changelog.Debian.gz
              ${CMAKE_BINARY_DIR}/doc/changelog.gz
        DESTINATION share/doc/drmorvel)

# What software centres show: the AppStream description, named by its id.
install(FILES ${PROJECT_SOURCE_DIR}/desktop/drmorvel.metainfo.xml DESTINATION share/metainfo
        RENAME invalid.quenlo.drmorvel.metainfo.xml)

# The lintian tags that cannot honestly be fixed, each with its reason.
install(FILES ${PROJECT_SOURCE_DIR}/desktop/drmorvel.lintian-overrides DESTINATION share/lintian/overrides
        RENAME drmorvel)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME drmorvel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEBIAN_PACKAGE_RELEASE ${DRMORVEL_DEB_REVISION})
set(CPACK_PACKAGE_CONTACT "${DRMORVEL_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Dr Morvel by Quenlo, a real-time audiovisual show")
set(CPACK_PACKAGE_DESCRIPTION
    "One fixed sequence of animated OpenGL scenes and full-frame pictures,\n"
    "kept in step with a four-channel tracker module that the program replays\n"
    "and mixes itself. It runs from start to end on its own, in full screen.\n"
    "\n"
    "The show has fast, high-contrast moving patterns and flashes: viewers\n"
    "with photosensitive epilepsy should not watch it.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
    GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Depends from the libraries the packaged program really links, through
# dpkg-shlibdeps, with the versions those libraries' packages ask for.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
