cmake_policy(VERSION 3.25)
# Makes a packed payload whose ChunkStore differs from the good one in its first byte, which belongs to the
# first entry (stored whole at offset 0): the installer must find it through the hash. The store file is not
# copied: the assembler file writes the changed byte and includes the rest of the good store.
#   cmake -DPACKED=<packed dir> -DOUT=<dir> -P corrupt_payload.cmake
file(READ "${PACKED}/payload_image.S" assembly)
file(READ "${PACKED}/chunkstore.bin" first OFFSET 0 LIMIT 1 HEX)
if(first STREQUAL "")
  message(FATAL_ERROR "empty ChunkStore in ${PACKED}")
endif()
math(EXPR flipped "0x${first} ^ 0xFF" OUTPUT_FORMAT HEXADECIMAL)
set(store_line "\t.incbin \"${PACKED}/chunkstore.bin\"\n")
string(FIND "${assembly}" "${store_line}" at)
if(at LESS 0)
  message(FATAL_ERROR "no ChunkStore include in ${PACKED}/payload_image.S")
endif()
string(REPLACE "${store_line}" "\t.byte ${flipped}\n\t.incbin \"${PACKED}/chunkstore.bin\", 1\n" assembly "${assembly}")
file(WRITE "${OUT}/payload_image.S" "${assembly}")
