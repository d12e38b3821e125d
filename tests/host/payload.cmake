# The payload reader's pure code: directory walk and assembly, under AddressSanitizer and UBSan.
moravel_host_test(payload_directory_test payload_directory_test.cpp)

# The zstd decoder, against the system's libzstd: frames it makes, decoded by ours and compared.
find_package(PkgConfig REQUIRED)
pkg_check_modules(LIBZSTD REQUIRED IMPORTED_TARGET libzstd)
moravel_host_test(zstd_decoder_test zstd_decoder_test.cpp)
target_link_libraries(zstd_decoder_test PRIVATE PkgConfig::LIBZSTD)
