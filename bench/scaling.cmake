# Installers over the demo payload at other scales than the full-scale one (bench/extract.cmake), for the
# pack and install times against input size that bench/run_all.sh plots. Windows tree, not part of the
# default build:   cmake --build <build>/windows --target MoravelSetupScale0_25 (0_5, 2_0)
if(NOT CMAKE_SYSTEM_NAME STREQUAL "Windows" OR NOT COMMAND moravel_installer)
  return()
endif()
set(demo_generator ${MORAVEL_HOST_BINARY_DIR}/tools/demo_payload/moravel-demo-payload)
foreach(scale 0.25 0.5 2.0)
  string(REPLACE "." "_" tag ${scale})
  set(folder ${CMAKE_CURRENT_BINARY_DIR}/demo-scale-${tag})
  moravel_payload_files(files ${folder})
  add_custom_command(
    OUTPUT ${files}
    COMMAND ${demo_generator} --scale ${scale} ${folder}
    DEPENDS ${demo_generator}
    COMMENT "Making the demo payload at scale ${scale}"
    USES_TERMINAL
    VERBATIM)
  moravel_payload_image(scale_payload_${tag} ${folder})
  set_target_properties(scale_payload_${tag} PROPERTIES EXCLUDE_FROM_ALL ON)
  moravel_installer(MoravelSetupScale${tag} scale_payload_${tag})
  set_target_properties(MoravelSetupScale${tag} PROPERTIES EXCLUDE_FROM_ALL ON)
endforeach()
