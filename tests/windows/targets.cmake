# The install-target tests. They change the Wine prefix's per-user registry (FL Studio's value, the User
# Shell Folders), so they hold a lock that every test touching those keys takes.
set(target_test_objects state_code targets_code payload_code test_payload)
foreach(name discovery clap fl_studio standalone standalone_long_folder)
  moravel_windows_test(target_${name}_test SOURCES target_${name}_test.cpp OBJECTS ${target_test_objects})
  set_tests_properties(target_${name}_test PROPERTIES RESOURCE_LOCK moravel_wine_user_profile)
endforeach()
