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
# and die of it, so one is started beforehand without the limit (own_wineserver.sh: it waits, bounded, for a
# server of this prefix still running to go); it stays up 10 s after its last client.
# The plain run comes first: it makes the prefix, which cannot be made under the limit.
moravel_windows_test(extract_write_failure_test
  SOURCES extract_write_failure_test.cpp
  OBJECTS state_code payload_code)
set_tests_properties(extract_write_failure_test PROPERTIES FIXTURES_SETUP extract_prefix_ready)
set(own_wineserver ${CMAKE_CURRENT_SOURCE_DIR}/own_wineserver.sh ${CMAKE_BINARY_DIR}/wineprefix)
add_test(NAME extract_short_write_test
  COMMAND sh -c "trap '' XFSZ; exec \"$@\"" sh ${own_wineserver} 10
          sh -c "ulimit -S -f 2; exec \"$@\"" sh ${MORAVEL_WINE_RUN} $<TARGET_FILE:extract_write_failure_test> --file-size-limited)
# Alone, like the read-only case below: it can only start its own server once no other test keeps one up.
set_tests_properties(extract_short_write_test PROPERTIES RUN_SERIAL ON FIXTURES_REQUIRED extract_prefix_ready TIMEOUT 300)

# The read-only case again, with a wineserver that obeys file modes: root without CAP_DAC_OVERRIDE. It runs
# alone, starts that server once no other server of this prefix is up, and waits for it to end afterwards,
# so that no later test meets a server without the capability.
add_test(NAME extract_read_only_test
  COMMAND sh -c "drop='setpriv --inh-caps=-dac_override --bounding-set=-dac_override'; [ \"$(id -u)\" = 0 ] || drop=''; $drop \"$@\"; rc=$?; WINEPREFIX=\"$2\" wineserver -w; exit $rc"
          sh ${own_wineserver} 3 ${MORAVEL_WINE_RUN} $<TARGET_FILE:extract_writes_files_test> --read-only-enforced)
set_tests_properties(extract_read_only_test PROPERTIES RUN_SERIAL ON FIXTURES_REQUIRED extract_prefix_ready TIMEOUT 300)

moravel_windows_test(extract_compressed_test
  SOURCES extract_compressed_test.cpp
  OBJECTS state_code payload_code)

moravel_windows_test(extract_payload_edges_test
  SOURCES extract_payload_edges_test.cpp
  OBJECTS state_code payload_code)
