# The picture decoder on its own: it needs no GL, so the fuzz target takes it
# without the rest of the show.
add_library(drmorvel_picture STATIC assets/picture.cpp)
target_include_directories(drmorvel_picture PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(drmorvel_picture PUBLIC JPEG::JPEG)

# The show: asset loading, the shell (clock, viewport, frame, schedule,
# picture overlay) and the drmorvel executable.

# The shell and the module half of the start-up, with or without a GL.
set(DRMORVEL_SHELL_SOURCES
  assets/show_module.cpp
  shell/show_clock.cpp
  shell/viewport.cpp
  shell/frame.cpp
  shell/overlay.cpp
  shell/schedule.cpp
)
list(TRANSFORM DRMORVEL_SHELL_SOURCES PREPEND ${CMAKE_CURRENT_SOURCE_DIR}/)

add_library(drmorvel_show STATIC assets/assets.cpp ${DRMORVEL_SHELL_SOURCES})
target_include_directories(drmorvel_show PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(drmorvel_show PUBLIC drmorvel_picture drmorvel_engine drmorvel_effects SDL2::SDL2
                      OpenGL::GL)

# One show executable per data directory: the directory is a constant of
# main.cpp, so only that file is compiled again.
function(drmorvel_show_executable name data_dir)
  add_executable(${name} ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/shell/main.cpp)
  target_compile_definitions(${name} PRIVATE DRMORVEL_DATA_DIR="${data_dir}")
  target_link_libraries(${name} PRIVATE drmorvel_show)
endfunction()

drmorvel_show_executable(drmorvel "${DRMORVEL_DATA_DIR}")
add_dependencies(drmorvel drmorvel-data)
