# The Install command and the marker value, in-process under Wine against the real dialog and registry.
moravel_windows_test(app_marker_value_test SOURCES app_marker_value_test.cpp
  OBJECTS state_code app_code payload_code dialogs_code targets_code payload_image)
moravel_windows_test(app_install_command_test SOURCES app_install_command_test.cpp
  OBJECTS state_code app_code payload_code dialogs_code targets_code payload_image)
# Both write HKCU\SOFTWARE\BrellinAudioPlugins, which the end-to-end scenarios read.
set_tests_properties(app_marker_value_test app_install_command_test PROPERTIES RESOURCE_LOCK moravel_wine_user_profile)
