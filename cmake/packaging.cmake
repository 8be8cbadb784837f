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

install(FILES ${drmorvel_show_data_files} DESTINATION share/drmorvel-by-quenlo/data)
install(DIRECTORY ${CMAKE_BINARY_DIR}/icons/ DESTINATION share/icons/hicolor)

configure_file(${PROJECT_SOURCE_DIR}/desktop/drmorvel.desktop.in ${CMAKE_BINARY_DIR}/drmorvel.desktop @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/drmorvel.desktop DESTINATION share/applications)

# Debian keeps manual pages compressed, without a time stamp in the file.
find_program(GZIP gzip REQUIRED)
add_custom_command(
  OUTPUT ${CMAKE_BINARY_DIR}/man/drmorvel.6.gz
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
  COMMAND ${GZIP} -9nc ${PROJECT_SOURCE_DIR}/docs/drmorvel.6 > ${CMAKE_BINARY_DIR}/man/drmorvel.6.gz
  DEPENDS ${PROJECT_SOURCE_DIR}/docs/drmorvel.6
  COMMENT "Compressing the manual page")
add_custom_target(drmorvel-man ALL DEPENDS ${CMAKE_BINARY_DIR}/man/drmorvel.6.gz)
install(FILES ${CMAKE_BINARY_DIR}/man/drmorvel.6.gz DESTINATION share/man/man6)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME drmorvel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Quenlo <quenlo@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Dr Morvel by Quenlo, a real-time audiovisual show")
set(CPACK_PACKAGE_DESCRIPTION
    "One fixed sequence of animated OpenGL scenes and full-frame pictures,\n"
    "kept in step with a four-channel tracker module that the program replays\n"
    "and mixes itself. It runs from start to end on its own, in full screen.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Named by hand: the C and C++ run-time libraries are on every Debian
# system, and the shared-library scan would list them and more.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS OFF)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libsdl2-2.0-0, libjpeg62-turbo, libgl1")
include(CPack)
