# The install benchmark (Windows tree, run by hand under Wine; see docs/benchmarks.md): the real installer
# over the full-scale demo payload, installing all four targets. Needs MoravelSetupFullScale (bench/extract.cmake).
#   cmake --build <build>/windows --target install_benchmark MoravelSetupFullScale
if(NOT CMAKE_SYSTEM_NAME STREQUAL "Windows" OR NOT TARGET MoravelSetupFullScale)
  return()
endif()
include(${CMAKE_SOURCE_DIR}/cmake/reader_sources.cmake)
add_executable(install_benchmark EXCLUDE_FROM_ALL
  install_benchmark.cpp
  ${CMAKE_SOURCE_DIR}/tests/e2e/ui_driver.cpp
  ${MORAVEL_READER_SOURCES})
target_include_directories(install_benchmark PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_definitions(install_benchmark PRIVATE UNICODE _UNICODE _WIN32_WINNT=0x0A00)
target_compile_options(install_benchmark PRIVATE -Wall -Wextra -O2)
target_link_options(install_benchmark PRIVATE -static)
target_link_libraries(install_benchmark PRIVATE ${MORAVEL_SYSTEM_LIBS} psapi)
