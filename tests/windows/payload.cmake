# The Windows side of extraction. test_payload is a small well-formed PayloadImage that the Windows tests link
# instead of a packed one; the extraction tests run extractEntry against real files in this build's prefix.
add_library(test_payload OBJECT ${CMAKE_CURRENT_SOURCE_DIR}/test_payload.cpp)
target_include_directories(test_payload PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_options(test_payload PRIVATE -Wall -Wextra)

moravel_windows_test(extract_writes_files_test
  SOURCES extract_writes_files_test.cpp
  OBJECTS state_code payload_code test_payload)
