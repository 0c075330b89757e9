# mur_layer(NAME [PORTABLE src...] [WINDOWS src...] [USES layer...] [WINDOWS_USES layer...])
#
# One static library per layer of src/, named mur_NAME. A layer sees its own
# headers and those of the layers it USES (and of what they use), through an
# include folder of its own that holds only the link NAME -> src/NAME: an
# #include "other/x.h" of a layer it does not use is not found, so an include
# that points up or sideways fails to build. The Windows-only sources and
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

function(mur_layer name)
  cmake_parse_arguments(L "" "" "PORTABLE;WINDOWS;USES;WINDOWS_USES" ${ARGN})
  set(sources ${L_PORTABLE})
  set(uses ${L_USES})
  if(CMAKE_SYSTEM_NAME STREQUAL "Windows")
    list(APPEND sources ${L_WINDOWS})
    list(APPEND uses ${L_WINDOWS_USES})
  endif()
  set(root ${CMAKE_BINARY_DIR}/layers/${name})
  file(MAKE_DIRECTORY ${root})
  file(CREATE_LINK ${CMAKE_SOURCE_DIR}/src/${name} ${root}/${name} SYMBOLIC)
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
mur_layer(text
  PORTABLE src/text/buffer.cpp src/text/search.cpp)
mur_layer(platform
  WINDOWS src/platform/codepage_win32.cpp src/platform/directory_win32.cpp
          src/platform/file_win32.cpp src/platform/registry_win32.cpp src/platform/seam.cpp
  USES text)
mur_layer(store
  PORTABLE src/store/record_format.cpp src/store/text_format.cpp
  WINDOWS src/store/record_files.cpp src/store/text_files.cpp
  USES text WINDOWS_USES platform)
mur_layer(probes
  PORTABLE src/probes/probe_text.cpp
  WINDOWS src/probes/probes.cpp
  USES text WINDOWS_USES platform)
mur_layer(maintenance
  PORTABLE src/maintenance/key_paths.cpp src/maintenance/quoting.cpp src/maintenance/removal_rules.cpp
           src/maintenance/root_paths.cpp
  WINDOWS src/maintenance/copy_key_tree.cpp src/maintenance/remove_tree.cpp
  USES text WINDOWS_USES platform)
mur_layer(exports
  WINDOWS src/exports/exports.cpp src/exports/dll_entry.cpp
  USES store probes maintenance platform text)
