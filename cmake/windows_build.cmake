# The Windows build: the freestanding installer and the Windows-side tests (run under Wine).
if(NOT MORAVEL_PACKER OR NOT MORAVEL_PAYLOAD_DIR)
  message(FATAL_ERROR "The Windows build is driven by the host build (cmake --preset default)")
endif()

set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_SOURCE_DIR}/cmake/wine-run.sh --prefix ${CMAKE_BINARY_DIR}/wineprefix)
set(MORAVEL_WINE_RUN ${CMAKE_CROSSCOMPILING_EMULATOR})

# Code that goes into the installer: no C runtime, no exceptions, no RTTI, no unwind tables, no start-up
# files. The same objects also link into the Windows test programs, which do have a runtime.
add_library(freestanding INTERFACE)
target_include_directories(freestanding INTERFACE ${CMAKE_SOURCE_DIR})
target_compile_options(freestanding INTERFACE
  -ffreestanding -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables -fno-unwind-tables
  -fno-stack-protector -fno-threadsafe-statics -Wall -Wextra -O2)
target_compile_definitions(freestanding INTERFACE UNICODE _UNICODE WIN32_LEAN_AND_MEAN _WIN32_WINNT=0x0A00)

# The only DLLs the installer may import: its link, the link-map check and the import check read this list.
set(MORAVEL_SYSTEM_LIBS kernel32 user32 comctl32 advapi32 shell32 ole32)

include(cmake/payload_image.cmake)
add_subdirectory(state)
add_subdirectory(payload)
add_subdirectory(dialogs)
add_subdirectory(targets)
add_subdirectory(app)
# A release tree builds the installer alone.
if(NOT MORAVEL_RELEASE_BUILD)
  # Made by the signing test in tests/shipped, installed by an end-to-end test in tests/e2e.
  set(MORAVEL_SIGNED_TEST_INSTALLER ${CMAKE_BINARY_DIR}/tests/shipped/signed/MoravelSetup.exe)
  add_subdirectory(tests/windows)
  add_subdirectory(tests/e2e)
  add_subdirectory(tests/shipped)
  add_subdirectory(bench)
endif()
