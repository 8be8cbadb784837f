# The Debian package of this build tree: built and checked, then installed
# and played through a real sound server. Not in sanitizer builds: their
# programs need the sanitizers' libraries.
if(DRMORVEL_SANITIZE OR DRMORVEL_TSAN)
  return()
endif()
add_test(NAME package_deb
         COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/package/check_deb.sh ${PROJECT_SOURCE_DIR} ${CMAKE_BINARY_DIR}
                 ${CMAKE_CPACK_COMMAND} ${CMAKE_BINARY_DIR}/package-test)
set_tests_properties(package_deb PROPERTIES LABELS package TIMEOUT 300 FIXTURES_SETUP deb)

# The whole show in real time (about 150 s), alone: a busy machine could
# starve its sound stream, whose buffer holds 46 ms.
add_test(NAME package_play_installed
         COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/package/play_installed.sh ${CMAKE_BINARY_DIR}/package-test/out
                 ${CMAKE_BINARY_DIR}/bin ${CMAKE_BINARY_DIR}/package-play)
set_tests_properties(package_play_installed PROPERTIES LABELS package TIMEOUT 600 FIXTURES_REQUIRED deb
                     RUN_SERIAL TRUE SKIP_RETURN_CODE 77)
