# The Windows side of extraction. test_payload is a small well-formed PayloadImage that the Windows tests link
# instead of a packed one; the extraction tests run extractEntry against real files in this build's prefix.
add_library(test_payload OBJECT ${CMAKE_CURRENT_SOURCE_DIR}/test_payload.cpp)
target_include_directories(test_payload PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_options(test_payload PRIVATE -Wall -Wextra)

moravel_windows_test(extract_writes_files_test
  SOURCES extract_writes_files_test.cpp
  OBJECTS state_code payload_code test_payload)

# A write that comes up short, provoked with a small RLIMIT_FSIZE on the Wine process (SIGXFSZ ignored, so
# write() returns short instead of killing it). A wineserver started from that process would inherit the limit
# and die of it, so one is started beforehand without the limit; it stays up 10 s after its last client. If a
# server of this prefix is still running (it may exit at any moment), wait for it to go and start our own.
# The plain run comes first: it makes the prefix, which cannot be made under the limit.
moravel_windows_test(extract_write_failure_test
  SOURCES extract_write_failure_test.cpp
  OBJECTS state_code payload_code)
set_tests_properties(extract_write_failure_test PROPERTIES FIXTURES_SETUP extract_prefix_ready)
add_test(NAME extract_short_write_test
  COMMAND sh -c "trap '' XFSZ; until WINEPREFIX=\"$0\" wineserver -p10 2>/dev/null; do sleep 0.3; done; ulimit -S -f 2; exec \"$@\""
          ${CMAKE_BINARY_DIR}/wineprefix ${MORAVEL_WINE_RUN} $<TARGET_FILE:extract_write_failure_test> --file-size-limited)
# Alone, like the read-only case below: it can only start its own server once no other test keeps one up.
set_tests_properties(extract_short_write_test PROPERTIES RUN_SERIAL ON FIXTURES_REQUIRED extract_prefix_ready TIMEOUT 300)

# The read-only case again, with a wineserver that obeys file modes: root without CAP_DAC_OVERRIDE. It runs
# alone, starts that server once no other server of this prefix is up, and waits for it to end afterwards,
# so that no later test meets a server without the capability.
add_test(NAME extract_read_only_test
  COMMAND sh -c "drop='setpriv --inh-caps=-dac_override --bounding-set=-dac_override'; [ \"$(id -u)\" = 0 ] || drop=''; until WINEPREFIX=\"$0\" $drop wineserver -p3 2>/dev/null; do sleep 0.3; done; $drop \"$@\"; rc=$?; WINEPREFIX=\"$0\" wineserver -w; exit $rc"
          ${CMAKE_BINARY_DIR}/wineprefix ${MORAVEL_WINE_RUN} $<TARGET_FILE:extract_writes_files_test> --read-only-enforced)
set_tests_properties(extract_read_only_test PROPERTIES RUN_SERIAL ON FIXTURES_REQUIRED extract_prefix_ready TIMEOUT 300)

moravel_windows_test(extract_compressed_test
  SOURCES extract_compressed_test.cpp
  OBJECTS state_code payload_code)

moravel_windows_test(extract_payload_edges_test
  SOURCES extract_payload_edges_test.cpp
  OBJECTS state_code payload_code)
