# Tests of the show: asset loading, viewport and events, and the picture
# overlay with a real offscreen GL context; end-to-end runs of the real
# program under Xvfb.

set(shell_gl_env "SDL_VIDEODRIVER=offscreen;SDL_AUDIODRIVER=dummy")

add_executable(test-viewport shell/test_viewport.cpp)
target_sources(test-viewport PRIVATE shell/no_data_dir.cpp)
target_link_libraries(test-viewport PRIVATE drmorvel_show GTest::gtest_main)

add_executable(test-assets shell/test_assets.cpp)
target_compile_definitions(test-assets PRIVATE ASSETS_TEST_DIR="${CMAKE_CURRENT_BINARY_DIR}/assets-test-data/")
target_link_libraries(test-assets PRIVATE drmorvel_show drmorvel_datagen GTest::gtest_main)
file(MAKE_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/assets-test-data)

add_executable(test-overlay shell/test_overlay.cpp)
target_link_libraries(test-overlay PRIVATE drmorvel_test_support drmorvel_show drmorvel_datagen GTest::gtest_main)

add_executable(test-datagen shell/test_datagen.cpp)
target_link_libraries(test-datagen PRIVATE drmorvel_test_support drmorvel_datagen GTest::gtest_main)
gtest_discover_tests(test-datagen)

# One process per executable: the tests of one file share the GL library's
# and the player's process-wide state, and test-assets its data directory.
foreach(t test-viewport test-assets test-overlay)
  add_test(NAME ${t} COMMAND ${t})
  set_tests_properties(${t} PROPERTIES LABELS gui ENVIRONMENT "${shell_gl_env}")
endforeach()

# The real program, built against the fast test data set, against one whose
# song never ends (only the viewer can end the show), and against a
# directory that does not exist (no module file).
drmorvel_show_executable(drmorvel-testdata "${CMAKE_BINARY_DIR}/testdata/")
add_dependencies(drmorvel-testdata drmorvel-testdata-files)
drmorvel_show_executable(drmorvel-endless "${CMAKE_BINARY_DIR}/testdata-endless/")
add_dependencies(drmorvel-endless drmorvel-testdata-files)
drmorvel_show_executable(drmorvel-nodata "${CMAKE_BINARY_DIR}/no-such-data/")

find_package(X11 REQUIRED)
add_executable(close-window shell/close_window.cpp)
target_link_libraries(close-window PRIVATE X11::X11)
add_executable(cursor-state shell/cursor_state.cpp)
target_link_libraries(cursor-state PRIVATE X11::X11 X11::Xfixes)

foreach(case menu_and_end no_module keys_quit close_window fullscreen_toggle audio_bytes)
  add_test(NAME e2e-${case}
           COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/shell/e2e.sh ${case} ${CMAKE_BINARY_DIR}/bin
                   ${CMAKE_BINARY_DIR}/testdata/zurivovariv.mod)
  # One X server at a time: parallel xvfb-run -a can pick the same display.
  set_tests_properties(e2e-${case} PROPERTIES LABELS gui RESOURCE_LOCK xvfb SKIP_RETURN_CODE 77
                       TIMEOUT 120)
endforeach()
