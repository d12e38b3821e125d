# The host tools' sources that more than one build compiles: the helpers both tools share (tools/shared) and
# moravel-inspect's, listed once for the tools (tools/packer, tools/inspect) and the fuzz targets (tests/fuzz).
# Add a source of either here and nowhere else.
set(MORAVEL_TOOL_SHARED_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/../tools/shared/host_files.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../tools/shared/tool_messages.cpp)
set(MORAVEL_INSPECT_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/../tools/inspect/pe_payload.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../tools/inspect/directory_walk.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../tools/inspect/list.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../tools/inspect/check_payload.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../tools/inspect/entry_jobs.cpp)
