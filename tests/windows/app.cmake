# The Install command and the marker value, in-process under Wine against the real dialog and registry.
moravel_windows_test(app_marker_value_test SOURCES app_marker_value_test.cpp
  OBJECTS state_code app_code payload_code dialogs_code targets_code payload_image)
moravel_windows_test(app_install_command_test SOURCES app_install_command_test.cpp
  OBJECTS state_code app_code payload_code dialogs_code targets_code payload_image)
# Both write HKCU\SOFTWARE\BrellinAudioPlugins, which the end-to-end scenarios read.
set_tests_properties(app_marker_value_test app_install_command_test PROPERTIES RESOURCE_LOCK moravel_wine_user_profile)

# The resources of the built executable, read back through the resource API.
moravel_windows_test(app_resources_test SOURCES app_resources_test.cpp)
target_compile_definitions(app_resources_test PRIVATE "MORAVEL_INSTALLER_PATH=L\"Z:$<TARGET_FILE:MoravelSetup>\"")
add_dependencies(app_resources_test MoravelSetup)

# The committed icon is what its script draws.
find_program(MORAVEL_PYTHON3 python3)
if(MORAVEL_PYTHON3)
  add_test(NAME icon_matches_its_script
    COMMAND ${CMAKE_COMMAND} -DPYTHON=${MORAVEL_PYTHON3} -DSCRIPT=${CMAKE_SOURCE_DIR}/resources/draw_icon.py
            -DCOMMITTED=${CMAKE_SOURCE_DIR}/resources/moravel.ico -DOUT=${CMAKE_CURRENT_BINARY_DIR}/drawn.ico
            -P ${CMAKE_SOURCE_DIR}/resources/check_icon.cmake)
endif()
