# The packing benchmark (host tree, run by hand; see docs/benchmarks.md). Not part of the default build:
#   cmake --build <build> --target bench_pack          full-scale demo, warm and cold, peak memory
#   cmake --build <build> --target bench_pack_xdelta   real binaries of two architectures against xdelta3
if(CMAKE_SYSTEM_NAME STREQUAL "Windows")
  return()
endif()

add_custom_target(bench_pack
  COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/pack_benchmark.sh $<TARGET_FILE:moravel-demo-payload> $<TARGET_FILE:moravel-pack>
          ${CMAKE_CURRENT_BINARY_DIR}/pack-bench
  DEPENDS moravel-demo-payload moravel-pack
  USES_TERMINAL
  VERBATIM)

add_custom_target(bench_pack_xdelta
  COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/pack_xdelta_compare.sh $<TARGET_FILE:moravel-pack> ${CMAKE_CURRENT_BINARY_DIR}/pack-xdelta
  DEPENDS moravel-pack
  USES_TERMINAL
  VERBATIM)
