# The show's own music and pictures.
add_executable(content_test content_test.cpp)
target_link_libraries(content_test PRIVATE drmorvel_content drmorvel_engine GTest::gtest_main)
gtest_discover_tests(content_test)
