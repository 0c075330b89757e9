# The Linux build: the platform-free layers under AddressSanitizer and
# UndefinedBehaviorSanitizer.
# The `bench` preset turns the sanitizers off and builds the platform-free
# layers and the native benchmark, without the tests and the fuzzers.
option(MUR_SANITIZE "Build under AddressSanitizer and UBSan, with tests and fuzzers" ON)
add_compile_options(-Wall -Wextra)
if(MUR_SANITIZE)
  set(MUR_SANITIZE_FLAGS -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_compile_options(${MUR_SANITIZE_FLAGS})
  add_link_options(${MUR_SANITIZE_FLAGS})
endif()

include(cmake/layers.cmake)

add_executable(search_bench bench/search_bench.cpp)
target_link_libraries(search_bench PRIVATE mur_text)
if(NOT MUR_SANITIZE)
  return()
endif()

add_subdirectory(${MUR_GOOGLETEST_DIR} googletest EXCLUDE_FROM_ALL)

add_executable(mur_native_tests
  tests/native/buffer_test.cpp
  tests/native/key_paths_test.cpp
  tests/native/maintenance_paths_test.cpp
  tests/native/record_format_test.cpp
  tests/native/text_format_test.cpp
  tests/native/text_rules_test.cpp
  tests/support/main.cpp
)
target_include_directories(mur_native_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests)
target_link_libraries(mur_native_tests PRIVATE mur_store mur_probes mur_maintenance mur_text gtest)
add_test(NAME native.unit COMMAND mur_native_tests)
set_tests_properties(native.unit PROPERTIES LABELS native)

# Fuzz targets (clang's libFuzzer): each text rule against its slow reference.
# ctest runs each for a few seconds; `make fuzz` runs them longer. What
# libFuzzer writes on a find goes to fuzz-artifacts/ in the build tree.
set(MUR_FUZZ_SECONDS 8 CACHE STRING "Seconds each fuzz target runs under ctest")
set(MUR_FUZZ_RULES access_mode version quoting)
foreach(rule IN LISTS MUR_FUZZ_RULES)
  list(FIND MUR_FUZZ_RULES ${rule} index)
  math(EXPR number "${index} + 1")
  add_executable(fuzz_${rule} tests/fuzz/text_rules_fuzz.cpp)
  target_compile_definitions(fuzz_${rule} PRIVATE MUR_FUZZ_RULE=${number})
  target_compile_options(fuzz_${rule} PRIVATE -fsanitize=fuzzer)
  target_link_options(fuzz_${rule} PRIVATE -fsanitize=fuzzer)
  target_include_directories(fuzz_${rule} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  target_link_libraries(fuzz_${rule} PRIVATE mur_probes mur_maintenance mur_text)
  set(corpus ${CMAKE_BINARY_DIR}/fuzz-corpus/${rule})
  set(artifacts ${CMAKE_BINARY_DIR}/fuzz-artifacts)
  file(MAKE_DIRECTORY ${corpus} ${artifacts})
  add_test(NAME fuzz.${rule}
    COMMAND fuzz_${rule} -max_total_time=${MUR_FUZZ_SECONDS} -seed=1 -max_len=4096
            -artifact_prefix=${artifacts}/${rule}-
            -dict=${CMAKE_SOURCE_DIR}/tests/fuzz/text_rules.dict ${corpus}
            ${CMAKE_SOURCE_DIR}/tests/fuzz/seeds)
  set_tests_properties(fuzz.${rule} PROPERTIES LABELS native)
endforeach()
