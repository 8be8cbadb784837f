# Tests of the visual effects: call sequences against the GL that draws
# nothing, and what a viewer sees under a real (offscreen, software) context.
find_package(GTest REQUIRED)
include(GoogleTest)

add_executable(effects_calls_test effects_calls_test.cpp)
target_link_libraries(effects_calls_test PRIVATE drmorvel_effects_nullgl GTest::gtest_main)
gtest_discover_tests(effects_calls_test)
