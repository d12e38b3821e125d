# moravel_payload_image(<target> <payload folder> [<packer option>...]): packs the folder with the packer
# (the options, e.g. --compress=19, go before the folder) and makes an OBJECT library that defines the
# PayloadImage's addresses. <target>_packed is the packing step as a target of its
# own: a custom command in another directory that reads the packed files must depend on it, since Makefile
# generators do not order file dependencies across directories.
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
  # Names the folder packed and the options, rewritten only when they change: a new folder or option must
  # repack even when the files are older than the last packed output.
  file(CONFIGURE OUTPUT ${out}.folder CONTENT "${folder}\n${ARGN}\n")
  moravel_payload_files(inputs ${folder})
  list(APPEND inputs ${out}.folder)
  add_custom_command(
    OUTPUT ${out}/${MORAVEL_ASSEMBLY_FILE}
    COMMAND ${MORAVEL_PACKER} ${ARGN} ${folder} ${out}
    DEPENDS ${inputs} ${MORAVEL_PACKER}
    COMMENT "Packing ${folder}"
    USES_TERMINAL
    VERBATIM)
  add_custom_target(${target}_packed DEPENDS ${out}/${MORAVEL_ASSEMBLY_FILE})
  add_library(${target} OBJECT ${out}/${MORAVEL_ASSEMBLY_FILE})
  set_target_properties(${target} PROPERTIES MORAVEL_PACKED_DIR ${out})
  # Through the target, so that only one rule runs the packer for this output.
  add_dependencies(${target} ${target}_packed)
endfunction()
