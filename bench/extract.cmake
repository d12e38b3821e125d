# The extraction benchmark (Windows tree, run by hand under Wine; see docs/benchmarks.md). It needs the
# full-scale demo payload (five builds of ~307 MB), so nothing here is part of the default build:
#   cmake --build <build>/windows --target extract_benchmark MoravelSetupFullScale
if(NOT CMAKE_SYSTEM_NAME STREQUAL "Windows")
  return()
endif()

set(full_scale_dir ${CMAKE_CURRENT_BINARY_DIR}/full-scale-demo)
moravel_payload_files(full_scale_files ${full_scale_dir})
set(demo_generator ${MORAVEL_HOST_BINARY_DIR}/tools/demo_payload/moravel-demo-payload)
add_custom_command(
  OUTPUT ${full_scale_files}
  COMMAND ${demo_generator} --scale 1.0 ${full_scale_dir}
  DEPENDS ${demo_generator}
  COMMENT "Making the full-scale demo payload"
  USES_TERMINAL
  VERBATIM)
moravel_payload_image(extract_bench_payload ${full_scale_dir})
set_target_properties(extract_bench_payload PROPERTIES EXCLUDE_FROM_ALL ON)

# memcpy and memset come from the installer's own routines, so the assembly copies as the installer does.
set(compiler_support ${CMAKE_SOURCE_DIR}/app/compiler_support.cpp)
set_source_files_properties(${compiler_support} PROPERTIES COMPILE_OPTIONS "-fno-builtin;-fno-tree-loop-distribute-patterns")
add_executable(extract_benchmark EXCLUDE_FROM_ALL
  extract_benchmark.cpp
  ${compiler_support}
  $<TARGET_OBJECTS:state_code>
  $<TARGET_OBJECTS:payload_code>
  $<TARGET_OBJECTS:extract_bench_payload>)
target_include_directories(extract_benchmark PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_definitions(extract_benchmark PRIVATE UNICODE _UNICODE _WIN32_WINNT=0x0A00)
target_compile_options(extract_benchmark PRIVATE -Wall -Wextra -O2)
target_link_options(extract_benchmark PRIVATE -static)
target_link_libraries(extract_benchmark PRIVATE ${MORAVEL_SYSTEM_LIBS})

# The installer over the full-scale payload, to time the link of the real image, and the same payload packed
# compressed at the default level (install_benchmark compares the two).
if(COMMAND moravel_installer)
  moravel_installer(MoravelSetupFullScale extract_bench_payload)
  moravel_payload_image(full_scale_compressed_payload ${full_scale_dir} --compress)
  moravel_installer(MoravelSetupFullScaleCompressed full_scale_compressed_payload)
  set_target_properties(MoravelSetupFullScale MoravelSetupFullScaleCompressed full_scale_compressed_payload
                        PROPERTIES EXCLUDE_FROM_ALL ON)
endif()
