# Included by the host build: the fuzz targets (this folder's own project, built with clang) as an external
# project in build/fuzz, whose tests (the corpus replays) join the host tree's ctest run.
ExternalProject_Add(fuzz
  SOURCE_DIR ${CMAKE_SOURCE_DIR}/tests/fuzz
  BINARY_DIR ${CMAKE_BINARY_DIR}/fuzz
  CMAKE_ARGS -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo
  BUILD_ALWAYS ON
  INSTALL_COMMAND "")
file(WRITE ${CMAKE_BINARY_DIR}/fuzz_tests.cmake "subdirs(\"${CMAKE_BINARY_DIR}/fuzz\")\n")
set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${CMAKE_BINARY_DIR}/fuzz_tests.cmake)
