# Tests of the scene schedule: its step lists on the record of the GL that
# draws nothing, what a viewer sees in a real (offscreen, software) context,
# and image regression of whole-show key frames from the capture tool.

add_executable(schedule_steps_test shell/schedule_steps_test.cpp)
target_link_libraries(schedule_steps_test PRIVATE drmorvel_show_nullgl GTest::gtest_main)
gtest_discover_tests(schedule_steps_test)

# In a real context: offscreen EGL on Mesa's software rasteriser, no display.
add_executable(schedule_gl_test shell/schedule_gl_test.cpp)
target_link_libraries(schedule_gl_test PRIVATE drmorvel_test_support drmorvel_show drmorvel_gl_target drmorvel_datagen
                      GTest::gtest_main)
target_compile_definitions(schedule_gl_test PRIVATE DRMORVEL_DATA_DIR="${DRMORVEL_DATA_DIR}")
gtest_discover_tests(schedule_gl_test PROPERTIES LABELS gui ENVIRONMENT SDL_VIDEODRIVER=offscreen)

# Image regression (see image_regression.cmake for the tolerance and how to
# update the references on purpose).
set(image_regression_args
  -D CAPTURE=$<TARGET_FILE:drmorvel-capture>
  -D IMGDIFF=$<TARGET_FILE:drmorvel-imgdiff>
  -D DATA=${CMAKE_BINARY_DIR}/regressiondata
  -D OUT=${CMAKE_BINARY_DIR}/image-regression
  -D REFERENCE=${CMAKE_CURRENT_SOURCE_DIR}/reference)
add_test(NAME image_regression
         COMMAND ${CMAKE_COMMAND} ${image_regression_args} -D MODE=check
                 -P ${CMAKE_CURRENT_SOURCE_DIR}/image_regression.cmake)
set_tests_properties(image_regression PROPERTIES LABELS gui ENVIRONMENT SDL_VIDEODRIVER=offscreen
                     TIMEOUT 120)
add_custom_target(update-reference-images
  COMMAND ${CMAKE_COMMAND} ${image_regression_args} -D MODE=update
          -P ${CMAKE_CURRENT_SOURCE_DIR}/image_regression.cmake
  DEPENDS drmorvel-capture drmorvel-imgdiff drmorvel-regressiondata
  USES_TERMINAL)

# The capture keeps the song and the sound in step with its frames.
add_test(NAME capture_sync
         COMMAND ${CMAKE_COMMAND} -D CAPTURE=$<TARGET_FILE:drmorvel-capture>
                 -D MODRENDER=$<TARGET_FILE:drmorvel-modrender>
                 -D DATA=${CMAKE_BINARY_DIR}/regressiondata -D OUT=${CMAKE_BINARY_DIR}/capture-sync
                 -P ${CMAKE_CURRENT_SOURCE_DIR}/capture_sync.cmake)
set_tests_properties(capture_sync PROPERTIES LABELS gui ENVIRONMENT SDL_VIDEODRIVER=offscreen
                     TIMEOUT 120)
