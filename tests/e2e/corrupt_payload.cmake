cmake_policy(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/payload_format.cmake)
# Makes a packed payload that differs from the good one in one byte of one region: the byte at OFFSET of
# REGION (the file name of a region, e.g. chunkstore.bin) is XORed with XOR. The region file is not copied:
# the assembler file writes the changed byte and includes the rest of the good region around it.
#   cmake -DPACKED=<packed dir> -DOUT=<dir> -DREGION=<file> -DOFFSET=<n> -DXOR=<0xNN> -P corrupt_payload.cmake
file(READ "${PACKED}/${MORAVEL_ASSEMBLY_FILE}" assembly)
file(READ "${PACKED}/${REGION}" byte OFFSET ${OFFSET} LIMIT 1 HEX)
if(byte STREQUAL "")
  message(FATAL_ERROR "${PACKED}/${REGION} has no byte ${OFFSET}")
endif()
math(EXPR changed "0x${byte} ^ ${XOR}" OUTPUT_FORMAT HEXADECIMAL)
math(EXPR after "${OFFSET} + 1")
# The packer writes the region's resolved path; match the line by the file's name.
string(REPLACE "." "\\." region_file "${REGION}")
set(region_line "\t\\.incbin \"([^\"\n]*/${region_file})\"\n")
if(NOT assembly MATCHES "${region_line}")
  message(FATAL_ERROR "no ${REGION} include in ${PACKED}/${MORAVEL_ASSEMBLY_FILE}")
endif()
set(before "")
if(OFFSET GREATER 0)
  set(before "\t.incbin \"\\1\", 0, ${OFFSET}\n")
endif()
string(REGEX REPLACE "${region_line}" "${before}\t.byte ${changed}\n\t.incbin \"\\1\", ${after}\n" assembly "${assembly}")
file(WRITE "${OUT}/${MORAVEL_ASSEMBLY_FILE}" "${assembly}")
