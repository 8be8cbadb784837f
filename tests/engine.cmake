# The music engine: loader, replayer, effect commands, devices, mixer, pacing.
foreach(area loader replayer effect_commands sound_device mixer pacing)
  add_executable(${area}_test ${area}_test.cpp)
  target_link_libraries(${area}_test PRIVATE drmorvel_engine drmorvel_module_builder GTest::gtest
                        GTest::gtest_main)
  gtest_discover_tests(${area}_test PROPERTIES ENVIRONMENT "SDL_AUDIODRIVER=dummy")
endforeach()

# The song position read on another thread while the player ticks; meant for
# ThreadSanitizer (label threads), and a plain test everywhere else.
add_executable(position_thread_test position_thread_test.cpp)
target_link_libraries(position_thread_test PRIVATE drmorvel_test_support drmorvel_engine drmorvel_module_builder GTest::gtest_main
                      Threads::Threads)
add_test(NAME position_thread_test COMMAND position_thread_test)
set_tests_properties(position_thread_test PROPERTIES LABELS threads)

# drmorvel-modrender as a program: its files, its messages and its statuses;
# and both tools' refusal of bad options (drmorvel-capture refuses them
# before it needs any GL).
add_executable(modrender_test modrender_test.cpp)
target_link_libraries(modrender_test PRIVATE drmorvel_engine drmorvel_module_builder GTest::gtest_main)
target_compile_definitions(modrender_test PRIVATE
  MODRENDER_PATH="$<TARGET_FILE:drmorvel-modrender>" CAPTURE_PATH="$<TARGET_FILE:drmorvel-capture>")
add_dependencies(modrender_test drmorvel-modrender drmorvel-capture)
gtest_discover_tests(modrender_test)

# The mixer's fast voice loop against the plain per-sample loop.
add_executable(mixer_loop_test mixer_loop_test.cpp)
target_link_libraries(mixer_loop_test PRIVATE drmorvel_engine drmorvel_module_builder GTest::gtest_main)
gtest_discover_tests(mixer_loop_test)
