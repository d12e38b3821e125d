cmake_policy(VERSION 3.25)
# Writes the time the installer's PE header carries (TimeDateStamp) to OUT, rewriting it only when it
# changes, so that the link reruns exactly then: SOURCE_DATE_EPOCH when the build's environment sets it,
# else the time of the source tree's last commit, else 0. The same commit so gives the same executable,
# whenever and wherever it is built.
#   cmake -DSOURCE_DIR=<source tree> -DOUT=<file> -P source_date_epoch.cmake
if(DEFINED ENV{SOURCE_DATE_EPOCH} AND NOT "$ENV{SOURCE_DATE_EPOCH}" STREQUAL "")
  set(epoch "$ENV{SOURCE_DATE_EPOCH}")
  if(NOT epoch MATCHES "^[0-9]+$" OR epoch GREATER 4294967295)
    message(FATAL_ERROR "SOURCE_DATE_EPOCH=\"${epoch}\": not a time in seconds since 1970 that fits 32 bits")
  endif()
else()
  execute_process(COMMAND git -C "${SOURCE_DIR}" log -1 --format=%ct
                  OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET RESULT_VARIABLE failed)
  if(failed OR NOT epoch MATCHES "^[0-9]+$")
    message(STATUS "No SOURCE_DATE_EPOCH and no git history in ${SOURCE_DIR}: the installer's TimeDateStamp is 0")
    set(epoch 0)
  endif()
endif()
set(old "")
if(EXISTS "${OUT}")
  file(READ "${OUT}" old)
endif()
if(NOT old STREQUAL "${epoch}\n")
  file(WRITE "${OUT}" "${epoch}\n")
endif()
