# moravel_payload_image(<target> <payload folder>): packs the folder with the packer and makes an OBJECT
# library that defines the PayloadImage's addresses.
function(moravel_payload_image target folder)
  set(out ${CMAKE_CURRENT_BINARY_DIR}/${target})
  set(inputs ${folder}/license.txt)
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
  add_library(${target} OBJECT ${out}/payload_image.S)
endfunction()
