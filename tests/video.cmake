# The capture's video output: its progress bar, a short stretch encoded by
# the real ffmpeg and checked with ffprobe, the MP4's colours, the lossless
# master (these three skipped without ffmpeg), and a missing or failing
# ffmpeg, which must leave nothing under the asked name.
add_executable(progress_test video/progress_test.cpp)
target_link_libraries(progress_test PRIVATE drmorvel_capture_io GTest::gtest_main)
gtest_discover_tests(progress_test)

foreach(case probe colours master failing)
  add_test(NAME capture_video_${case}
           COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/video/capture_video.sh ${case} ${CMAKE_BINARY_DIR}/bin
                   ${CMAKE_BINARY_DIR}/regressiondata ${CMAKE_BINARY_DIR}/capture-video-${case})
  set_tests_properties(capture_video_${case} PROPERTIES LABELS gui SKIP_RETURN_CODE 77 TIMEOUT 300)
endforeach()
