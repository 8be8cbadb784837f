# Debian's hardening flags, as dpkg-buildflags gives them with every
# hardening feature on: on Debian 12 the stack protector, fortified
# functions, format checks, read-only relocations and immediate binding
# (PIE is the compiler's own default there). Applied to the whole build, so that the static libraries the
# packaged program links are hardened too; the optimisation and debug
# flags stay the build type's. Not in sanitizer builds, whose run-time
# checks replace these.
option(DRMORVEL_HARDENING "Build with dpkg-buildflags' hardening flags where dpkg-buildflags exists" ON)
if(NOT DRMORVEL_HARDENING OR DRMORVEL_SANITIZE OR DRMORVEL_TSAN OR DRMORVEL_FUZZ)
  return()
endif()
find_program(DPKG_BUILDFLAGS dpkg-buildflags)
if(NOT DPKG_BUILDFLAGS)
  message(STATUS "dpkg-buildflags not found: building without Debian's hardening flags")
  return()
endif()

function(drmorvel_buildflags variable out)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
                          ${DPKG_BUILDFLAGS} --get ${variable}
                  OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
  separate_arguments(flags UNIX_COMMAND "${flags}")
  # The build type chooses optimisation and debug information; prefix
  # maps would name this tree's path in a different way per build.
  list(FILTER flags EXCLUDE REGEX "^-O|^-g|^-f(file|debug)-prefix-map=")
  set(${out} ${flags} PARENT_SCOPE)
endfunction()

drmorvel_buildflags(CPPFLAGS hardening_cppflags)
drmorvel_buildflags(CXXFLAGS hardening_cxxflags)
drmorvel_buildflags(LDFLAGS hardening_ldflags)
# Fortified functions need an optimised build; glibc warns otherwise.
if(CMAKE_BUILD_TYPE STREQUAL "Debug")
  list(FILTER hardening_cppflags EXCLUDE REGEX "_FORTIFY_SOURCE")
endif()
add_compile_options(${hardening_cppflags} ${hardening_cxxflags})
add_link_options(${hardening_ldflags})
message(STATUS "Hardening flags: ${hardening_cppflags} ${hardening_cxxflags} ${hardening_ldflags}")
