# The Debian package of this build tree, unpacked and checked. Not in
# sanitizer builds: their programs need the sanitizers' libraries.
if(DRMORVEL_SANITIZE OR DRMORVEL_TSAN)
  return()
endif()
add_test(NAME package_deb
         COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/package/check_deb.sh ${CMAKE_BINARY_DIR} ${CMAKE_CPACK_COMMAND}
                 ${CMAKE_BINARY_DIR}/package-test)
set_tests_properties(package_deb PROPERTIES LABELS package TIMEOUT 180)
