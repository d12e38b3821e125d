cmake_policy(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/payload_format.cmake)
# Makes a packed payload whose ChunkStore differs from the good one in its first byte, which belongs to the
# first entry (stored whole at offset 0): the installer must find it through the hash. The store file is not
# copied: the assembler file writes the changed byte and includes the rest of the good store.
#   cmake -DPACKED=<packed dir> -DOUT=<dir> -P corrupt_payload.cmake
file(READ "${PACKED}/${MORAVEL_ASSEMBLY_FILE}" assembly)
file(READ "${PACKED}/${MORAVEL_STORE_REGION_FILE}" first OFFSET 0 LIMIT 1 HEX)
if(first STREQUAL "")
  message(FATAL_ERROR "empty ChunkStore in ${PACKED}")
endif()
math(EXPR flipped "0x${first} ^ 0xFF" OUTPUT_FORMAT HEXADECIMAL)
# The packer writes the store's resolved path; match the line by the file's name.
string(REPLACE "." "\\." store_file "${MORAVEL_STORE_REGION_FILE}")
set(store_line "\t\\.incbin \"([^\"\n]*/${store_file})\"\n")
if(NOT assembly MATCHES "${store_line}")
  message(FATAL_ERROR "no ChunkStore include in ${PACKED}/${MORAVEL_ASSEMBLY_FILE}")
endif()
string(REGEX REPLACE "${store_line}" "\t.byte ${flipped}\n\t.incbin \"\\1\", 1\n" assembly "${assembly}")
file(WRITE "${OUT}/${MORAVEL_ASSEMBLY_FILE}" "${assembly}")
