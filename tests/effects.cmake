# Tests of the visual effects: call sequences against the GL that draws
# nothing, and what a viewer sees under a real (offscreen, software) context.

add_executable(effects_calls_test effects_calls_test.cpp)
target_link_libraries(effects_calls_test PRIVATE drmorvel_effects_nullgl GTest::gtest_main)
gtest_discover_tests(effects_calls_test)

# Draws through Mesa's software renderer into an offscreen EGL surface: needs
# neither a GPU nor a display.
add_executable(effects_gl_test effects_gl_test.cpp)
target_link_libraries(effects_gl_test PRIVATE drmorvel_effects SDL2::SDL2 GTest::gtest)
gtest_discover_tests(effects_gl_test
  PROPERTIES LABELS gui ENVIRONMENT "SDL_VIDEODRIVER=offscreen"
  DISCOVERY_MODE PRE_TEST)
