# The installer's pure payload reader: the one list of its sources, compiled into the installer
# (payload/CMakeLists.txt), the sanitized host tests, the packer and moravel-inspect (tools/packer), the fuzz
# targets (tests/fuzz) and the benchmarks. Add a pure payload source here and nowhere else.
set(MORAVEL_READER_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/../payload/payload_hash.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../payload/entry_directory.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../payload/compressed_payload.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../payload/xxhash64.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../payload/zstd_entropy.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../payload/zstd_literals.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../payload/zstd_sequences.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../payload/zstd_frame.cpp)
