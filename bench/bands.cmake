# Per-band frame cost of the whole show: bench/bands.sh runs both and
# prints the table.
add_executable(drmorvel-bench-bands bands.cpp)
target_compile_definitions(drmorvel-bench-bands PRIVATE DRMORVEL_DATA_DIR="${DRMORVEL_DATA_DIR}")
target_link_libraries(drmorvel-bench-bands PRIVATE drmorvel_show drmorvel_gl_target)
add_dependencies(drmorvel-bench-bands drmorvel-data)

add_executable(drmorvel-bench-bands-cpu bands.cpp)
target_compile_definitions(drmorvel-bench-bands-cpu PRIVATE DRMORVEL_DATA_DIR="${DRMORVEL_DATA_DIR}"
                           BENCH_NULL_GL=1)
target_link_libraries(drmorvel-bench-bands-cpu PRIVATE drmorvel_show_nullgl)
add_dependencies(drmorvel-bench-bands-cpu drmorvel-data)
