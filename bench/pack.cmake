# The packing benchmark (host tree, run by hand; see docs/benchmarks.md). Not part of the default build:
#   cmake --build <build> --target bench_pack          full-scale demo, warm and cold, peak memory, and the
#                                                      reference matcher beside it
#   cmake --build <build> --target bench_pack_xdelta   real binaries of two architectures against xdelta3
if(CMAKE_SYSTEM_NAME STREQUAL "Windows")
  return()
endif()

add_executable(moravel-reference-matcher EXCLUDE_FROM_ALL reference_matcher.cpp)
target_compile_options(moravel-reference-matcher PRIVATE -Wall -Wextra -O2)
target_include_directories(moravel-reference-matcher PRIVATE ${CMAKE_SOURCE_DIR})

add_custom_target(bench_pack
  COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/pack_benchmark.sh $<TARGET_FILE:moravel-demo-payload> $<TARGET_FILE:moravel-pack>
          $<TARGET_FILE:moravel-reference-matcher> ${CMAKE_CURRENT_BINARY_DIR}/pack-bench
  DEPENDS moravel-demo-payload moravel-pack moravel-reference-matcher
  USES_TERMINAL
  VERBATIM)

add_custom_target(bench_pack_xdelta
  COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/pack_xdelta_compare.sh $<TARGET_FILE:moravel-pack> ${CMAKE_CURRENT_BINARY_DIR}/pack-xdelta
  DEPENDS moravel-pack
  USES_TERMINAL
  VERBATIM)
