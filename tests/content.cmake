# The show's own music and pictures.
add_executable(content_test content_test.cpp)
target_link_libraries(content_test PRIVATE drmorvel_test_support drmorvel_content drmorvel_engine GTest::gtest_main)
gtest_discover_tests(content_test)

# The show's music tick by tick against tests/reference/song-ticks.txt.
add_executable(song_reference_test song_reference_test.cpp)
target_link_libraries(song_reference_test PRIVATE drmorvel_content drmorvel_engine GTest::gtest_main)
target_compile_definitions(song_reference_test PRIVATE
  SONG_REFERENCE="${CMAKE_CURRENT_SOURCE_DIR}/reference/song-ticks.txt")
gtest_discover_tests(song_reference_test)
