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

include(cmake/layers.cmake)
foreach(layer seam text platform store probes maintenance exports)
  target_compile_definitions(mur_${layer} PRIVATE ${MUR_XP_DEFINITIONS})
endforeach()
target_include_directories(mur_exports PUBLIC ${CMAKE_SOURCE_DIR}/include)
target_link_libraries(mur_platform PUBLIC advapi32 ntdll)

include(cmake/exports.cmake)

# The version, from project(): for the version block (src/resources/MUR.rc)
# and for the package (make dist), which reads MUR.version.
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/generated/mur_version.h CONTENT
  "// Made by the build from the version in CMakeLists.txt.\n#pragma once\n#define MUR_VERSION_BINARY ${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},${PROJECT_VERSION_PATCH},${PROJECT_VERSION_TWEAK}\n#define MUR_VERSION_TEXT \"${PROJECT_VERSION_MAJOR}, ${PROJECT_VERSION_MINOR}, ${PROJECT_VERSION_PATCH}, ${PROJECT_VERSION_TWEAK}\"\n" @ONLY)
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/MUR.version CONTENT "${PROJECT_VERSION}\n" @ONLY)

# The shipped library: exactly the exports of the export table, undecorated.
add_library(MUR SHARED ${CMAKE_BINARY_DIR}/MUR.def src/resources/MUR.rc)
# The test twin: the same layers and the fault seam's controls, which it
# exports too.
file(READ ${CMAKE_BINARY_DIR}/MUR.def MUR_DEF_TEXT)
string(REPLACE "LIBRARY MUR.dll" "LIBRARY MUR_seam.dll" MUR_SEAM_DEF_TEXT "${MUR_DEF_TEXT}")
# The controls' names, from their one list.
file(READ src/platform/seam_controls.h mur_seam_controls_text)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/platform/seam_controls.h)
string(REGEX MATCHALL "X\\([a-z]+, MURSeam_[A-Za-z]+," mur_seam_controls "${mur_seam_controls_text}")
foreach(entry IN LISTS mur_seam_controls)
  string(REGEX MATCH "MURSeam_[A-Za-z]+" control "${entry}")
  string(APPEND MUR_SEAM_DEF_TEXT "  ${control}\n")
endforeach()
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/MUR_seam.def CONTENT "${MUR_SEAM_DEF_TEXT}" @ONLY)
add_library(MUR_seam SHARED src/platform/seam_controls.cpp ${CMAKE_BINARY_DIR}/MUR_seam.def
  src/resources/MUR.rc)
target_compile_definitions(MUR_seam PRIVATE ${MUR_XP_DEFINITIONS})
target_compile_options(MUR_seam PRIVATE ${MUR_LIBRARY_FLAGS})

foreach(dll MUR MUR_seam)
  target_include_directories(${dll} PRIVATE ${CMAKE_BINARY_DIR}/generated)  # mur_version.h
  # The exports' objects are linked whole: nothing in the DLL refers to them.
  target_link_libraries(${dll} PRIVATE -Wl,--whole-archive mur_exports -Wl,--no-whole-archive
    mur_store mur_probes mur_maintenance mur_platform mur_text)
  set_target_properties(${dll} PROPERTIES PREFIX "" IMPORT_PREFIX "lib")
  # Only what the exports reach is kept; the link map shows what came from
  # which library (static.dll_size reads it).
  # No time stamp in the headers: two builds of one commit give the same bytes.
  target_link_options(${dll} PRIVATE ${MUR_STATIC_LINK} -s -Wl,--kill-at -Wl,--enable-stdcall-fixup
    -Wl,--gc-sections -Wl,--no-insert-timestamp -Wl,-Map,${CMAKE_BINARY_DIR}/${dll}.map)
endforeach()
# The shipped library starts at its own entry point, without the C
# run-time's startup code (src/exports/dll_entry.cpp says why), which also
# leaves out that code's unwind tables.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(MUR_ENTRY _MurDllEntry@12)
else()
  set(MUR_ENTRY MurDllEntry)
endif()
target_link_options(MUR PRIVATE -nostartfiles -Wl,--entry,${MUR_ENTRY})
# The public header ships beside the library it declares.
add_custom_command(TARGET MUR POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${CMAKE_SOURCE_DIR}/include/mur.h $<TARGET_FILE_DIR:MUR>/mur.h)

# Import libraries, for hosts that link the library when they are built (the
# package carries them): importlib/libMUR.dll.a for MinGW (binutils' dlltool)
# and importlib/MUR.lib for MSVC's linker and lld-link (LLVM's dlltool, which writes the
# short import members they read). Both bind the names callers use (on
# 32-bit, stdcall-decorated: -k) to the undecorated exports, and both come
# out the same from the same table. The linker's own import library
# (libMUR.dll.a in the build folder) keeps the undecorated names, which no
# 32-bit caller's compiler asks for: it is not shipped.
find_program(MUR_LLVM_DLLTOOL llvm-dlltool REQUIRED)
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(mur_import_machine i386)
  set(mur_import_kill_at -k)
else()
  set(mur_import_machine i386:x86-64)
  set(mur_import_kill_at "")
endif()
set(MUR_IMPORT_DIR ${CMAKE_BINARY_DIR}/importlib)
set(MUR_IMPORT_LIBRARIES ${MUR_IMPORT_DIR}/libMUR.dll.a ${MUR_IMPORT_DIR}/MUR.lib)
file(MAKE_DIRECTORY ${MUR_IMPORT_DIR})
add_custom_command(OUTPUT ${MUR_IMPORT_LIBRARIES}
  # Run in their folder: dlltool names the library's symbols after the
  # output's path.
  COMMAND ${MUR_DLLTOOL} --deterministic-libraries --temp-prefix MUR --input-def ${CMAKE_BINARY_DIR}/MUR.imports.def
          --dllname MUR.dll ${mur_import_kill_at} --output-lib libMUR.dll.a
  COMMAND ${MUR_LLVM_DLLTOOL} -m ${mur_import_machine} -d ${CMAKE_BINARY_DIR}/MUR.imports.def -D MUR.dll
          ${mur_import_kill_at} -l MUR.lib
  WORKING_DIRECTORY ${MUR_IMPORT_DIR}
  DEPENDS ${CMAKE_BINARY_DIR}/MUR.imports.def
  COMMENT "Making the import libraries")
add_custom_target(import_libraries ALL DEPENDS ${MUR_IMPORT_LIBRARIES})

# murhost: calls the library as a setup script's host does.
add_executable(murhost
  tools/murhost/murhost.cpp
  tools/murhost/explain.cpp
  tools/murhost/inspect.cpp
)
target_include_directories(murhost PRIVATE ${CMAKE_SOURCE_DIR}/tools ${CMAKE_SOURCE_DIR}/include
  ${CMAKE_BINARY_DIR}/generated)
target_compile_definitions(murhost PRIVATE ${MUR_XP_DEFINITIONS})
target_link_libraries(murhost PRIVATE user32 mur_exports)
target_link_options(murhost PRIVATE ${MUR_STATIC_LINK} -Wl,-Map,${CMAKE_BINARY_DIR}/murhost.map)
add_dependencies(murhost MUR)

include(cmake/wine_tests.cmake)

# Benchmarks run under Wine by `make bench`.
foreach(bench probe_bench removal_bench registry_bench)
  add_executable(${bench} bench/${bench}.cpp)
  target_compile_definitions(${bench} PRIVATE _WIN32_WINNT=0x0601)
  target_include_directories(${bench} PRIVATE ${CMAKE_SOURCE_DIR}/include)
  target_link_libraries(${bench} PRIVATE psapi advapi32)
  target_link_options(${bench} PRIVATE ${MUR_STATIC_LINK})
  add_dependencies(${bench} MUR)
endforeach()
