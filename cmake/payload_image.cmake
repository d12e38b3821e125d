# moravel_payload_image(<target> <payload folder>): packs the folder with the packer and makes an OBJECT
# library that defines the PayloadImage's addresses.
include(${CMAKE_CURRENT_LIST_DIR}/payload_format.cmake)

# moravel_payload_files(<variable> <payload folder>): the license and the five files of a payload folder.
function(moravel_payload_files variable folder)
  set(files ${folder}/${MORAVEL_LICENSE_FILE})
  foreach(key IN LISTS MORAVEL_ENTRY_KEYS)
    list(APPEND files ${folder}/${key})
  endforeach()
  set(${variable} ${files} PARENT_SCOPE)
endfunction()

function(moravel_payload_image target folder)
  set(out ${CMAKE_CURRENT_BINARY_DIR}/${target})
  moravel_payload_files(inputs ${folder})
  add_custom_command(
    OUTPUT ${out}/${MORAVEL_ASSEMBLY_FILE}
    COMMAND ${MORAVEL_PACKER} ${folder} ${out}
    DEPENDS ${inputs} ${MORAVEL_PACKER}
    COMMENT "Packing ${folder}"
    USES_TERMINAL
    VERBATIM)
  add_library(${target} OBJECT ${out}/${MORAVEL_ASSEMBLY_FILE})
endfunction()
