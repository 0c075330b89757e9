# The Linux build: the platform-free logic under AddressSanitizer and
# UndefinedBehaviorSanitizer.
set(MUR_SANITIZE -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
add_compile_options(-Wall -Wextra ${MUR_SANITIZE})
add_link_options(${MUR_SANITIZE})

add_library(mur_portable STATIC ${MUR_PORTABLE_SOURCES})
target_include_directories(mur_portable PUBLIC ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/tests)

add_subdirectory(${MUR_GOOGLETEST_DIR} googletest EXCLUDE_FROM_ALL)

add_executable(mur_native_tests
  tests/native/record_format_test.cpp
)
target_link_libraries(mur_native_tests PRIVATE mur_portable gtest_main)
add_test(NAME native.unit COMMAND mur_native_tests)
