# The moravel-inspect benchmark (host tree, run by hand; see docs/benchmarks.md). Not part of the default build:
#   cmake --build <build>/windows --target MoravelSetupFullScale     the full-scale installer (bench/extract.cmake)
#   cmake --build <build> --target moravel-hash-bench moravel-inspect
#   bench/inspect_benchmark.sh <build> <build>/windows/bench/MoravelSetupFullScale.exe <full-scale folder> WORK_DIR
if(CMAKE_SYSTEM_NAME STREQUAL "Windows")
  return()
endif()
add_executable(moravel-hash-bench EXCLUDE_FROM_ALL hash_benchmark.cpp)
target_compile_options(moravel-hash-bench PRIVATE -Wall -Wextra -O2)
target_link_libraries(moravel-hash-bench PRIVATE packer_core)
