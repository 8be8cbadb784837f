# The effects' own CPU cost, measured against the GL that draws nothing.
add_executable(effects_bench effects_bench.cpp)
target_link_libraries(effects_bench PRIVATE drmorvel_effects_nullgl benchmark::benchmark)
