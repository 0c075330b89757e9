# The Windows builds: MUR.dll, its test twin MUR_seam.dll, murhost.exe and the
# test programs, run under Wine.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
set(CMAKE_LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)

add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX)
# The library and murhost keep to what Windows XP has; tests and benchmarks
# may use later functions (RegDeleteTree, RegCopyTree) of their own.
set(MUR_XP_DEFINITIONS _WIN32_WINNT=0x0501 WINVER=0x0501)
add_compile_options(-Wall -Wextra)
# Everything the programs need is linked in: a clean Windows has no MinGW runtime.
set(MUR_STATIC_LINK -static -static-libgcc -static-libstdc++)

add_library(mur_objects OBJECT
  ${MUR_PORTABLE_SOURCES}
  src/exports/exports.cpp
  src/maintenance/copy_key_tree.cpp
  src/maintenance/remove_tree.cpp
  src/platform/codepage_win32.cpp
  src/platform/directory_win32.cpp
  src/platform/file_win32.cpp
  src/platform/registry_win32.cpp
  src/platform/seam.cpp
  src/platform/seam_exports.cpp
  src/platform/xp_runtime.cpp
  src/probes/probes.cpp
  src/probes/read_file_text.cpp
  src/store/record_files.cpp
  src/store/text_files.cpp
)
target_include_directories(mur_objects PUBLIC ${CMAKE_SOURCE_DIR}/src)
target_compile_definitions(mur_objects PRIVATE ${MUR_XP_DEFINITIONS})
target_link_libraries(mur_objects PUBLIC advapi32)

# The shipped library: exactly the exports of MUR.def, undecorated.
add_library(MUR SHARED $<TARGET_OBJECTS:mur_objects> src/exports/MUR.def src/resources/MUR.rc)
# The test twin: the same objects, with the fault seam's controls exported too.
file(READ src/exports/MUR.def MUR_DEF_TEXT)
string(REPLACE "LIBRARY MUR.dll" "LIBRARY MUR_seam.dll" MUR_SEAM_DEF_TEXT "${MUR_DEF_TEXT}")
string(APPEND MUR_SEAM_DEF_TEXT "  MURSeam_Arm\n  MURSeam_Delay\n  MURSeam_Reset\n  MURSeam_Calls\n  MURSeam_LiveHandles\n")
file(WRITE ${CMAKE_BINARY_DIR}/MUR_seam.def "${MUR_SEAM_DEF_TEXT}")
add_library(MUR_seam SHARED $<TARGET_OBJECTS:mur_objects> ${CMAKE_BINARY_DIR}/MUR_seam.def
  src/resources/MUR.rc)

foreach(dll MUR MUR_seam)
  set_target_properties(${dll} PROPERTIES PREFIX "" IMPORT_PREFIX "lib")
  target_link_options(${dll} PRIVATE ${MUR_STATIC_LINK} -s -Wl,--kill-at -Wl,--enable-stdcall-fixup)
endforeach()

# murhost: calls the library as a setup script's host does.
add_executable(murhost
  tools/murhost/murhost.cpp
  tools/murhost/inspect.cpp
  src/store/record_format.cpp
)
target_include_directories(murhost PRIVATE ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/tools)
target_compile_definitions(murhost PRIVATE ${MUR_XP_DEFINITIONS})
target_link_libraries(murhost PRIVATE user32)
target_link_options(murhost PRIVATE ${MUR_STATIC_LINK})
add_dependencies(murhost MUR)

include(cmake/wine_tests.cmake)

# Benchmarks run under Wine by `make bench`.
foreach(bench probe_bench removal_bench registry_bench)
  add_executable(${bench} bench/${bench}.cpp)
  target_compile_definitions(${bench} PRIVATE _WIN32_WINNT=0x0601)
  target_link_libraries(${bench} PRIVATE psapi advapi32)
  target_link_options(${bench} PRIVATE ${MUR_STATIC_LINK})
  add_dependencies(${bench} MUR)
endforeach()
