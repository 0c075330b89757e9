# mur_layer(NAME [PORTABLE src...] [WINDOWS src...] [USES layer...] [WINDOWS_USES layer...])
#
# One static library per layer of src/, named mur_NAME. A layer sees its own
# headers and those of the layers it USES (and of what they use), through an
# include folder of its own that holds only NAME/, with a forwarding header
# for each header of src/NAME: an #include "other/x.h" of a layer it does not
# use is not found, so an include that points up or sideways fails to build. The Windows-only sources and
# uses are left out of the Linux build.
#
# The library's own code throws nothing and uses no run-time type
# information: every failure is a result, and no C++ run-time library is
# linked into the DLL. It is built for size, each function and datum in a
# section of its own so that the link drops what no export reaches.
set(MUR_LIBRARY_FLAGS -fno-exceptions -fno-rtti -ffunction-sections -fdata-sections)
if(CMAKE_SYSTEM_NAME STREQUAL "Windows")
  list(APPEND MUR_LIBRARY_FLAGS -Os)
endif()
# A 32-bit Windows host calls with the stack aligned to 4 bytes only: a
# function that keeps 16-byte values on the stack (the SSE2 search) aligns
# its own frame. Nothing there unwinds through the library's frames (it
# throws nothing, and 32-bit structured exception handling walks its own
# chain, not unwind tables), so it carries none. The 64-bit library keeps its
# .pdata/.xdata: 64-bit Windows needs them to unwind any frame that is not a
# leaf, when an exception of the host's passes through.
if(CMAKE_SYSTEM_NAME STREQUAL "Windows" AND CMAKE_SIZEOF_VOID_P EQUAL 4)
  list(APPEND MUR_LIBRARY_FLAGS -mincoming-stack-boundary=2 -fno-asynchronous-unwind-tables -fno-unwind-tables)
endif()

# mur_forwarding_headers(NAME FOLDER): FOLDER holds, for each header of
# src/NAME, a header of the same name that includes it, so that an include
# folder can show one layer's headers and nothing else. Plain files, not a
# link, so that the project also configures where links cannot be made (a
# Windows host without the right to make them).
function(mur_forwarding_headers name folder)
  if(IS_SYMLINK ${folder})
    file(REMOVE ${folder})  # the link of an older build: removed, never written through
  endif()
  file(GLOB headers CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/${name}/*.h)
  file(GLOB stale ${folder}/*.h)
  foreach(header IN LISTS headers)
    get_filename_component(file ${header} NAME)
    list(REMOVE_ITEM stale ${folder}/${file})
    file(CONFIGURE OUTPUT ${folder}/${file} CONTENT
      "// Made by the build: the header of the same name in src/${name}.\n#include \"${header}\"\n" @ONLY)
  endforeach()
  if(stale)
    file(REMOVE ${stale})
  endif()
endfunction()

function(mur_layer name)
  cmake_parse_arguments(L "" "" "PORTABLE;WINDOWS;USES;WINDOWS_USES" ${ARGN})
  set(sources ${L_PORTABLE})
  set(uses ${L_USES})
  if(CMAKE_SYSTEM_NAME STREQUAL "Windows")
    list(APPEND sources ${L_WINDOWS})
    list(APPEND uses ${L_WINDOWS_USES})
  endif()
  set(root ${CMAKE_BINARY_DIR}/layers/${name})
  mur_forwarding_headers(${name} ${root}/${name})
  if(sources)
    add_library(mur_${name} STATIC ${sources})
    target_include_directories(mur_${name} PUBLIC ${root})
    target_compile_options(mur_${name} PRIVATE ${MUR_LIBRARY_FLAGS})
    foreach(use IN LISTS uses)
      target_link_libraries(mur_${name} PUBLIC mur_${use})
    endforeach()
  else()
    add_library(mur_${name} INTERFACE)
    target_include_directories(mur_${name} INTERFACE ${root})
    foreach(use IN LISTS uses)
      target_link_libraries(mur_${name} INTERFACE mur_${use})
    endforeach()
  endif()
endfunction()

# The library's layers, lowest first. Each layer may include its own headers
# and those of the layers it names, nothing else. The platform-free sources
# are built everywhere; on Linux they are tested under the sanitizers.
mur_layer(seam
  PORTABLE src/seam/seam.cpp)
mur_layer(text
  PORTABLE src/text/search.cpp
  USES seam)
mur_layer(report)
mur_layer(platform
  WINDOWS src/platform/codepage_win32.cpp src/platform/directory_win32.cpp
          src/platform/file_win32.cpp src/platform/last_error_win32.cpp src/platform/registry_win32.cpp
  USES text)
mur_layer(store
  PORTABLE src/store/record_format.cpp src/store/text_format.cpp
  WINDOWS src/store/record_files.cpp src/store/seed_file.cpp src/store/text_files.cpp
  USES text report WINDOWS_USES platform)
mur_layer(probes
  PORTABLE src/probes/probe_text.cpp
  WINDOWS src/probes/probes.cpp
  USES text report WINDOWS_USES platform)
mur_layer(maintenance
  PORTABLE src/maintenance/key_paths.cpp src/maintenance/quoting.cpp src/maintenance/removal_rules.cpp
           src/maintenance/root_paths.cpp
  WINDOWS src/maintenance/copy_key_tree.cpp src/maintenance/remove_tree.cpp
  USES text report WINDOWS_USES platform)
mur_layer(exports
  WINDOWS src/exports/exports.cpp src/exports/operations.cpp src/exports/dll_entry.cpp
  USES store probes maintenance platform text report)
