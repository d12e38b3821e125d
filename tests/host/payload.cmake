# The payload reader's pure code: directory walk and assembly, under AddressSanitizer and UBSan.
moravel_host_test(payload_directory_test payload_directory_test.cpp)

# The zstd decoder, against the system's libzstd: frames it makes, decoded by ours and compared.
find_path(ZSTD_INCLUDE_DIR zstd.h REQUIRED)
find_library(ZSTD_LIBRARY zstd REQUIRED)
moravel_host_test(zstd_decoder_test zstd_decoder_test.cpp)
target_include_directories(zstd_decoder_test PRIVATE ${ZSTD_INCLUDE_DIR})
target_link_libraries(zstd_decoder_test PRIVATE ${ZSTD_LIBRARY})
