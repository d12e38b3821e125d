# The host build: build tools, host tests, and the Windows build as an external project.
# Two kinds of tree come from it (CMakePresets.json):
#  - the test tree (build/): everything, always over the demo payload, so the tests never depend on what the
#    last release build was given;
#  - a release tree (MORAVEL_RELEASE_BUILD, build-release/): the packer and the installer over the named payload
#    folder (or the demo payload), and nothing else.
include(ExternalProject)
include(cmake/payload_format.cmake)

option(MORAVEL_RELEASE_BUILD "Build only the packer and the installer (no tests, no benchmarks)" OFF)
set(MORAVEL_PAYLOAD_DIR "" CACHE PATH
    "Release tree only: payload folder to pack (license.txt and bin/target_*); empty packs the demo payload")
set(MORAVEL_DEMO_SCALE "0.02" CACHE STRING "Scale of the built-in demo payload (1.0 gives builds of ~307 MB)")
set(MORAVEL_COMPRESSION "" CACHE STRING
    "Release tree only: the packer's compression option (--compress or --compress=LEVEL); empty packs raw")
if(NOT MORAVEL_RELEASE_BUILD AND MORAVEL_COMPRESSION)
  message(STATUS "The test tree's installer is raw (it builds its compressed ones itself); ignoring MORAVEL_COMPRESSION")
  set(MORAVEL_COMPRESSION "" CACHE STRING "" FORCE)
endif()
if(NOT MORAVEL_RELEASE_BUILD)
  if(MORAVEL_PAYLOAD_DIR)
    message(STATUS "The test tree always packs the demo payload; ignoring MORAVEL_PAYLOAD_DIR=${MORAVEL_PAYLOAD_DIR}")
    set(MORAVEL_PAYLOAD_DIR "" CACHE PATH "" FORCE)
  endif()
  find_package(GTest REQUIRED)
endif()

# Host tests run the pure code with AddressSanitizer and UBSan; any report fails the test.
add_library(sanitized INTERFACE)
target_compile_options(sanitized INTERFACE -fsanitize=address,undefined -fno-sanitize-recover=all
                       -fno-omit-frame-pointer -g -O1)
target_link_options(sanitized INTERFACE -fsanitize=address,undefined)

# The installer's pure logic (no Win32), the same sources the freestanding build compiles; each folder adds
# its own.
add_library(pure_code STATIC)
target_include_directories(pure_code PUBLIC ${CMAKE_SOURCE_DIR})
target_compile_options(pure_code PRIVATE -Wall -Wextra)
target_link_libraries(pure_code PUBLIC sanitized)

add_subdirectory(state)
add_subdirectory(payload)
add_subdirectory(dialogs)
add_subdirectory(targets)
add_subdirectory(tools)
if(NOT MORAVEL_RELEASE_BUILD)
  add_subdirectory(tests/host)
  include(tests/fuzz/fuzz_build.cmake)
  add_subdirectory(bench)
endif()

# The payload the installer is built from: the named folder, or the demo payload made here.
if(MORAVEL_PAYLOAD_DIR)
  get_filename_component(payload_dir "${MORAVEL_PAYLOAD_DIR}" ABSOLUTE)
  add_custom_target(payload_input)
else()
  set(payload_dir ${CMAKE_BINARY_DIR}/demo-payload)
  add_custom_command(
    OUTPUT ${payload_dir}/${MORAVEL_LICENSE_FILE}
    COMMAND moravel-demo-payload --scale ${MORAVEL_DEMO_SCALE} ${payload_dir}
    DEPENDS moravel-demo-payload
    COMMENT "Making the demo payload (scale ${MORAVEL_DEMO_SCALE})"
    VERBATIM)
  add_custom_target(payload_input DEPENDS ${payload_dir}/${MORAVEL_LICENSE_FILE})
endif()

ExternalProject_Add(windows
  SOURCE_DIR ${CMAKE_SOURCE_DIR}
  BINARY_DIR ${CMAKE_BINARY_DIR}/windows
  CMAKE_ARGS
    -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/mingw-w64-x86_64.cmake
    -DCMAKE_BUILD_TYPE=Release
    -DMORAVEL_PACKER=$<TARGET_FILE:moravel-pack>
    -DMORAVEL_INSPECT=$<TARGET_FILE:moravel-inspect>
    -DMORAVEL_PAYLOAD_DIR=${payload_dir}
    -DMORAVEL_COMPRESSION=${MORAVEL_COMPRESSION}
    -DMORAVEL_HOST_BINARY_DIR=${CMAKE_BINARY_DIR}
    -DMORAVEL_RELEASE_BUILD=${MORAVEL_RELEASE_BUILD}
  BUILD_ALWAYS ON
  USES_TERMINAL_BUILD ON
  INSTALL_COMMAND ""
  DEPENDS moravel-pack moravel-inspect payload_input)

# One ctest run covers both trees: the host tree's test file pulls in the Windows tree's.
if(MORAVEL_RELEASE_BUILD)
  return()
endif()
file(WRITE ${CMAKE_BINARY_DIR}/windows_tests.cmake "subdirs(\"${CMAKE_BINARY_DIR}/windows\")\n")
set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${CMAKE_BINARY_DIR}/windows_tests.cmake)
