# The zstd decoder against libzstd (host tree, run by hand; see docs/benchmarks.md). Optimised, not
# sanitized, over the same decoder sources as the installer:
#   cmake --build <build> --target zstd_decode_benchmark
#   <build>/bench/zstd_decode_benchmark FRAME.zst [ROUNDS [DECODES]]
#   cmake --build <build> --target bench_zstd        both on frames of real DLLs (bench/zstd_benchmark.sh)
if(CMAKE_SYSTEM_NAME STREQUAL "Windows")
  return()
endif()

include(${CMAKE_SOURCE_DIR}/cmake/reader_sources.cmake)
find_package(PkgConfig REQUIRED)
pkg_check_modules(LIBZSTD REQUIRED IMPORTED_TARGET libzstd)
add_executable(zstd_decode_benchmark EXCLUDE_FROM_ALL zstd_decode_benchmark.cpp ${MORAVEL_READER_SOURCES})
target_compile_options(zstd_decode_benchmark PRIVATE -Wall -Wextra -O2)
target_include_directories(zstd_decode_benchmark PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(zstd_decode_benchmark PRIVATE PkgConfig::LIBZSTD)

# The run recorded in docs/benchmarks.md: frames of ~320 MB of real DLLs at -19 and -3 with a 2 GiB window.
add_custom_target(bench_zstd
  COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/zstd_benchmark.sh $<TARGET_FILE:zstd_decode_benchmark> ${CMAKE_CURRENT_BINARY_DIR}/zstd-bench
  DEPENDS zstd_decode_benchmark
  USES_TERMINAL
  VERBATIM)
