# The compiler options every target of the project is built with: warnings
# (errors, when asked for), and the sanitizers when asked for. They sit on one interface target,
# drmorvel_options, that drmorvel_use_options links into each executable and
# library the project defines; imported targets keep their own options.

add_library(drmorvel_options INTERFACE)
target_compile_options(drmorvel_options INTERFACE -Wall -Wextra)
if(DRMORVEL_WERROR)
  target_compile_options(drmorvel_options INTERFACE -Werror)
endif()
if(DRMORVEL_SANITIZE)
  target_compile_options(drmorvel_options INTERFACE
    -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  target_link_options(drmorvel_options INTERFACE -fsanitize=address,undefined)
endif()
if(DRMORVEL_TSAN)
  target_compile_options(drmorvel_options INTERFACE -fsanitize=thread -fno-omit-frame-pointer)
  target_link_options(drmorvel_options INTERFACE -fsanitize=thread)
endif()

# Links drmorvel_options into every compiled target defined in dir and the
# directories below it. Called once, after all of them are added.
function(drmorvel_use_options dir)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target IN LISTS targets)
    get_target_property(type ${target} TYPE)
    if(type MATCHES "^(EXECUTABLE|STATIC_LIBRARY|SHARED_LIBRARY|MODULE_LIBRARY|OBJECT_LIBRARY)$")
      target_link_libraries(${target} PRIVATE drmorvel_options)
    endif()
    # Keeps the GL driver's libraries loaded to the end (see the file), so
    # that the leak check at exit sees their memory as theirs.
    if(DRMORVEL_SANITIZE AND type STREQUAL "EXECUTABLE")
      target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/cmake/keep_libraries.cpp)
    endif()
  endforeach()
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(subdir IN LISTS subdirs)
    drmorvel_use_options(${subdir})
  endforeach()
endfunction()
