# The music engine: loader, replayer, effect commands, devices, mixer, pacing.
foreach(area loader replayer effect_commands sound_device mixer pacing)
  add_executable(${area}_test ${area}_test.cpp)
  target_link_libraries(${area}_test PRIVATE drmorvel_engine GTest::gtest GTest::gtest_main)
  gtest_discover_tests(${area}_test PROPERTIES ENVIRONMENT "SDL_AUDIODRIVER=dummy")
endforeach()

add_executable(position_thread_test position_thread_test.cpp)
target_link_libraries(position_thread_test PRIVATE drmorvel_engine GTest::gtest GTest::gtest_main
                      Threads::Threads)
gtest_discover_tests(position_thread_test PROPERTIES LABELS threads)
