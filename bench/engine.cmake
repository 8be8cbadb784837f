# Mixing throughput for 4, 8 and 32 voices, and whole songs played through
# the audio callback. Run: build/bin/engine_bench
add_executable(engine_bench engine_bench.cpp)
target_link_libraries(engine_bench PRIVATE drmorvel_engine drmorvel_test_support benchmark::benchmark)

# Writes the long synthetic modules that compare-openmpt.sh renders.
add_executable(make-bench-module make_bench_module.cpp)
target_link_libraries(make-bench-module PRIVATE drmorvel_test_support)
