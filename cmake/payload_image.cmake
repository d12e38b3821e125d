# moravel_payload_image(<target> <payload folder>): packs the folder with the packer and makes an OBJECT
# library that defines the PayloadImage's addresses. <target>_packed is the packing step as a target of its
# own: a custom command in another directory that reads the packed files must depend on it, since Makefile
# generators do not order file dependencies across directories.
function(moravel_payload_image target folder)
  set(out ${CMAKE_CURRENT_BINARY_DIR}/${target})
  # Names the folder packed, rewritten only when it changes: a new folder must repack even when its files
  # are older than the last packed output.
  file(CONFIGURE OUTPUT ${out}.folder CONTENT "${folder}\n")
  set(inputs ${out}.folder ${folder}/license.txt)
  foreach(key target_cl64 target_cl32 target_fl64 target_fl32 target_st64)
    list(APPEND inputs ${folder}/bin/${key})
  endforeach()
  add_custom_command(
    OUTPUT ${out}/payload_image.S
    COMMAND ${MORAVEL_PACKER} ${folder} ${out}
    DEPENDS ${inputs} ${MORAVEL_PACKER}
    COMMENT "Packing ${folder}"
    USES_TERMINAL
    VERBATIM)
  add_custom_target(${target}_packed DEPENDS ${out}/payload_image.S)
  add_library(${target} OBJECT ${out}/payload_image.S)
  # Through the target, so that only one rule runs the packer for this output.
  add_dependencies(${target} ${target}_packed)
endfunction()
