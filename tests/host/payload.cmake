# The payload reader's pure code: directory walk and assembly, under AddressSanitizer and UBSan.
moravel_host_test(payload_directory_test payload_directory_test.cpp)
