# End-to-end tests: a UI driver (an ordinary mingw console program) runs the unmodified MoravelSetup.exe under
# Wine in this build's prefix, presses its buttons and checks what it wrote. The scenarios share the prefix's
# user profile (HKCU, the roaming and Start-menu folders), so they hold one lock and run one at a time.

# The demo payload packed compressed, at a low level so that the test tree builds quickly: a compressed
# installer to install, and damaged copies of it.
moravel_payload_image(compressed_payload_image ${MORAVEL_PAYLOAD_DIR} --compress=3)
moravel_installer(MoravelSetupCompressed compressed_payload_image)

# moravel_damaged_installer(<name> <packed image target> <region file> <offset> <xor>): the same sources over
# a copy of the packed payload with one byte of one region changed.
function(moravel_damaged_installer name image region offset xor)
  get_target_property(packed_dir ${image} MORAVEL_PACKED_DIR)
  set(packed ${packed_dir})
  set(damaged ${CMAKE_CURRENT_BINARY_DIR}/${name}_payload)
  add_custom_command(
    OUTPUT ${damaged}/${MORAVEL_ASSEMBLY_FILE}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${damaged}
    COMMAND ${CMAKE_COMMAND} -DPACKED=${packed} -DOUT=${damaged} -DREGION=${region} -DOFFSET=${offset} -DXOR=${xor}
            -P ${CMAKE_CURRENT_SOURCE_DIR}/corrupt_payload.cmake
    DEPENDS ${packed}/${MORAVEL_ASSEMBLY_FILE} ${CMAKE_CURRENT_SOURCE_DIR}/corrupt_payload.cmake
    COMMENT "Changing byte ${offset} of ${region} in a copy of the packed payload (${name})"
    VERBATIM)
  add_library(${name}_payload_image OBJECT ${damaged}/${MORAVEL_ASSEMBLY_FILE})
  # The packed files come from another directory's custom command: order it at target level (see
  # moravel_payload_image).
  add_dependencies(${name}_payload_image ${image}_packed)
  moravel_installer(${name} ${name}_payload_image)
endfunction()

# The store's first byte belongs to entry 1 (stored whole at offset 0): found through the hash.
moravel_damaged_installer(MoravelSetupCorrupted payload_image ${MORAVEL_STORE_REGION_FILE} 0 0xFF)
# Byte 11 of the directory is the 'c' of entry 1's name "bin/target_cl64": 'c' ^ 0x05 = 'f' makes it
# "bin/target_fl64", the name of entry 3. Every hash still holds; only the names tell the entries apart.
moravel_damaged_installer(MoravelSetupRenamed payload_image ${MORAVEL_DIRECTORY_REGION_FILE} 11 0x05)
# Byte 12 of the compressed store lies in its frame's first block, which holds the start of entry 1: the frame
# fails to decode, or decodes to bytes whose hash entry 1 fails. Either way nothing is written.
moravel_damaged_installer(MoravelSetupCompressedCorrupted compressed_payload_image ${MORAVEL_STORE_REGION_FILE} 12 0xFF)

# The DLL the search-path scenario plants beside a copy of the installer.
add_library(planted_dll SHARED planted_dll.cpp)
target_compile_definitions(planted_dll PRIVATE UNICODE _UNICODE)
target_link_options(planted_dll PRIVATE -static)

set(e2e_scratch ${CMAKE_CURRENT_BINARY_DIR}/scratch)
file(MAKE_DIRECTORY ${e2e_scratch})

# moravel_e2e_program(<name> <sources...>): a driver program over the built installers.
function(moravel_e2e_program name)
  add_executable(${name} ${ARGN} ui_driver.cpp machine_state.cpp scenario.cpp)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
  # Wine sees the Linux file system as drive Z:.
  target_compile_definitions(${name} PRIVATE UNICODE _UNICODE _WIN32_WINNT=0x0A00
    "MORAVEL_E2E_INSTALLER=L\"Z:$<TARGET_FILE:MoravelSetup>\""
    "MORAVEL_E2E_CORRUPTED_INSTALLER=L\"Z:$<TARGET_FILE:MoravelSetupCorrupted>\""
    "MORAVEL_E2E_RENAMED_INSTALLER=L\"Z:$<TARGET_FILE:MoravelSetupRenamed>\""
    "MORAVEL_E2E_COMPRESSED_INSTALLER=L\"Z:$<TARGET_FILE:MoravelSetupCompressed>\""
    "MORAVEL_E2E_COMPRESSED_CORRUPTED_INSTALLER=L\"Z:$<TARGET_FILE:MoravelSetupCompressedCorrupted>\""
    "MORAVEL_E2E_PAYLOAD=L\"Z:${MORAVEL_PAYLOAD_DIR}\""
    "MORAVEL_E2E_SCRATCH=L\"Z:${e2e_scratch}\""
    "MORAVEL_E2E_PLANTED_DLL=L\"Z:$<TARGET_FILE:planted_dll>\"")
  target_compile_options(${name} PRIVATE -Wall -Wextra -O1 -g)
  target_link_options(${name} PRIVATE -static)
  target_link_libraries(${name} PRIVATE ${MORAVEL_SYSTEM_LIBS} uuid)
  add_dependencies(${name} MoravelSetup MoravelSetupCorrupted MoravelSetupRenamed MoravelSetupCompressed
                   MoravelSetupCompressedCorrupted planted_dll)
endfunction()

# moravel_e2e_test(<name> <source>): one ctest test of several scenarios.
function(moravel_e2e_test name source)
  moravel_e2e_program(${name} ${source})
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES TIMEOUT 600 RESOURCE_LOCK moravel_wine_user_profile)
endfunction()

moravel_e2e_test(e2e_license e2e_license_test.cpp)
moravel_e2e_test(e2e_install e2e_install_test.cpp)
moravel_e2e_test(e2e_failures e2e_failure_test.cpp)
moravel_e2e_test(e2e_uninstall e2e_uninstall_test.cpp)
moravel_e2e_test(e2e_dll_search e2e_dll_search_test.cpp)
# Native files first for the graphics driver's name, so that a planted copy would be taken if searched for.
set_tests_properties(e2e_dll_search PROPERTIES ENVIRONMENT "WINEDLLOVERRIDES=null=n,b")

# The signed installer that tests/shipped's signing test leaves behind, installed once.
moravel_e2e_test(e2e_signed_install e2e_signed_install_test.cpp)
target_compile_definitions(e2e_signed_install PRIVATE "MORAVEL_E2E_SIGNED_INSTALLER=L\"Z:${MORAVEL_SIGNED_TEST_INSTALLER}\"")
set_tests_properties(e2e_signed_install PROPERTIES FIXTURES_REQUIRED moravel_signed_installer)

# Run by hand through take_screenshots.sh, not by ctest.
moravel_e2e_program(screenshot_driver screenshot_driver.cpp)
moravel_e2e_test(e2e_update e2e_update_test.cpp)

# The disk-full case of an update: the CLAP folder on a small tmpfs mounted for the test (skipped where
# mounting is not allowed). Wine sees the mount point as a folder of drive Z:.
set(small_disk ${CMAKE_CURRENT_BINARY_DIR}/small-disk)
string(REPLACE "/" "\\" small_disk_windows "Z:${small_disk}")
add_test(NAME e2e_update_disk_full
  COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/small_disk.sh ${small_disk} ${MORAVEL_PAYLOAD_DIR}/bin/target_cl64
          ${MORAVEL_WINE_RUN} $<TARGET_FILE:e2e_update> --small-disk ${small_disk_windows})
set_tests_properties(e2e_update_disk_full PROPERTIES TIMEOUT 600 RESOURCE_LOCK moravel_wine_user_profile
                     SKIP_RETURN_CODE 77)
