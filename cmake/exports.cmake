# The library's export table, src/exports/exports.table, read once at
# configure time; everything that lists the exports is made from it:
#   MUR.def         the shipped library's export names
#   MUR.args        each export's count of 32-bit arguments (the calling check)
#   generated/mur_exports.h   MUR_EXPORTS(X): X(name, "letters", failure) per
#                   export, the letters s (text), r (key) and i (int), for
#                   murhost's dispatch
#   MUR.imports.def the import libraries' names: on 32-bit each with the
#                   decoration that a caller's compiler gives a stdcall
#                   function (NAME@bytes of arguments), which the import
#                   libraries bind to the undecorated export
# The test library's .def adds the seam's controls (MUR_SEAM_CONTROLS) to
# MUR.def's names.
set(MUR_EXPORT_TABLE ${CMAKE_SOURCE_DIR}/src/exports/exports.table)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${MUR_EXPORT_TABLE})

file(STRINGS ${MUR_EXPORT_TABLE} mur_export_lines REGEX "^[^#]")
set(MUR_EXPORT_NAMES "")
set(mur_def "")
set(mur_args "# Made by the build from src/exports/exports.table: each export and its count of 32-bit arguments.\n")
set(mur_dispatch "")
set(mur_imports "")
foreach(line IN LISTS mur_export_lines)
  if(NOT line MATCHES "^(MUR_[A-Za-z]+)[ \t]+([a-z,]+)[ \t]+(int)[ \t]+([-0-9a-z]+)[ \t]*$")
    message(FATAL_ERROR "exports.table: cannot read the line '${line}'")
  endif()
  set(name ${CMAKE_MATCH_1})
  set(arguments ${CMAKE_MATCH_2})
  set(failure ${CMAKE_MATCH_4})
  string(REPLACE "," ";" argument_list "${arguments}")
  list(LENGTH argument_list count)
  set(letters "")
  foreach(argument IN LISTS argument_list)
    if(argument STREQUAL "text")
      string(APPEND letters "s")
    elseif(argument STREQUAL "key")
      string(APPEND letters "r")
    elseif(argument STREQUAL "int")
      string(APPEND letters "i")
    else()
      message(FATAL_ERROR "exports.table: ${name} takes an argument of no known type: ${argument}")
    endif()
  endforeach()
  list(APPEND MUR_EXPORT_NAMES ${name})
  string(APPEND mur_def "  ${name}\n")
  string(APPEND mur_args "${name} ${count}\n")
  string(APPEND mur_dispatch "  X(${name}, \"${letters}\", \"${failure}\") \\\n")
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    math(EXPR bytes "4 * ${count}")
    string(APPEND mur_imports "  ${name}@${bytes}\n")
  else()
    string(APPEND mur_imports "  ${name}\n")
  endif()
endforeach()
list(LENGTH MUR_EXPORT_NAMES mur_export_count)
if(mur_export_count EQUAL 0)
  message(FATAL_ERROR "exports.table lists no export")
endif()

# Written only when they change, so that a reconfigure rebuilds nothing.
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/MUR.def CONTENT "LIBRARY MUR.dll\nEXPORTS\n${mur_def}" @ONLY)
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/MUR.args CONTENT "${mur_args}" @ONLY)
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/MUR.imports.def CONTENT "LIBRARY MUR.dll\nEXPORTS\n${mur_imports}" @ONLY)
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/generated/mur_exports.h CONTENT
  "// Made by the build from src/exports/exports.table: X(name, argument letters\n// (s text, r key, i int), failure value) for each export, in table order.\n#pragma once\n#define MUR_EXPORTS(X) \\\n${mur_dispatch}\n" @ONLY)
