# Tests of the Windows builds. The programs run under Wine through the
# crosscompiling emulator, in a Wine prefix of this build's own, so plain
# `ctest` runs them; the fixture `wine` starts that prefix's server first.
set(MUR_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
set(MUR_WINE_ARCH "win64" CACHE STRING "Which Wine runs the tests: win64 or win32 (tools/install-wine32)")
option(MUR_WINE_TESTS "Run the Windows tests under Wine" ON)

add_subdirectory(${MUR_GOOGLETEST_DIR} googletest EXCLUDE_FROM_ALL)

add_executable(mur_win_tests
  tests/win/record_layout_test.cpp
  tests/win/fault_sweep_test.cpp
  tests/win/last_error_test.cpp
  tests/win/other_openers_test.cpp
  tests/win/store_resilience_test.cpp
  tests/win/abi32_test.cpp
  tests/win/dialog_test.cpp
  tests/win/murhost_test.cpp
  tests/win/probes_test.cpp
  tests/win/quoting_test.cpp
  tests/win/race_test.cpp
  tests/win/registry_copy_test.cpp
  tests/win/remove_tree_test.cpp
  tests/win/resources_test.cpp
  tests/win/text_layout_test.cpp
  tests/support/code_page.cpp
  tests/support/scratch.cpp
  tests/support/main.cpp
  tests/support/process.cpp
  tests/support/registry.cpp
  tests/support/tree.cpp
)
# Tests see the public header, their own support and the seam's operation
# numbers; they reach the library only through the built DLLs.
target_include_directories(mur_win_tests PRIVATE ${CMAKE_SOURCE_DIR}/include ${CMAKE_SOURCE_DIR}/tests
  ${CMAKE_BINARY_DIR}/layers/seam ${CMAKE_BINARY_DIR}/layers/platform)
target_compile_definitions(mur_win_tests PRIVATE _WIN32_WINNT=0x0601)
target_link_libraries(mur_win_tests PRIVATE gtest advapi32 version user32)
target_link_options(mur_win_tests PRIVATE ${MUR_STATIC_LINK})
# Second processes of the tests, on the test build of the library.
foreach(worker race_worker seam_worker)
  add_executable(${worker} tests/support/${worker}.cpp)
  target_include_directories(${worker} PRIVATE ${CMAKE_SOURCE_DIR}/include ${CMAKE_SOURCE_DIR}/tests
    ${CMAKE_BINARY_DIR}/layers/seam ${CMAKE_BINARY_DIR}/layers/platform)
  target_link_options(${worker} PRIVATE ${MUR_STATIC_LINK})
endforeach()
add_dependencies(mur_win_tests MUR MUR_seam murhost race_worker seam_worker)
# The emulator: tools/wine-run with this build's Wine and prefix filled in.
file(WRITE ${CMAKE_BINARY_DIR}/wine-run
  "#!/bin/sh\nexec sh '${CMAKE_SOURCE_DIR}/tools/wine-run' '${MUR_WINE_ARCH}' '${MUR_WINEPREFIX}' \"$@\"\n")
file(CHMOD ${CMAKE_BINARY_DIR}/wine-run PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
  GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set_target_properties(mur_win_tests PROPERTIES CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run)

# Static checks of the built DLLs: run on every build, Wine or not.
add_test(NAME static.dll_tables
  COMMAND sh ${CMAKE_SOURCE_DIR}/tests/check_dll_tables.sh ${MUR_OBJDUMP} ${MUR_EXPORT_TABLE} $<TARGET_FILE:MUR>)
# The public header and the setup engines' include files declare exactly the
# table's exports, with its argument and result types, in its order; the
# example installers take them from the include files.
set(MUR_DECLARING_FILES ${CMAKE_SOURCE_DIR}/include/mur.h ${CMAKE_SOURCE_DIR}/include/mur.nsh
  ${CMAKE_SOURCE_DIR}/include/mur.iss ${CMAKE_SOURCE_DIR}/examples/nsis/mur-example.nsi
  ${CMAKE_SOURCE_DIR}/examples/innosetup/mur-example.iss)
add_test(NAME static.declarations
  COMMAND sh ${CMAKE_SOURCE_DIR}/tests/check_declarations.sh ${MUR_EXPORT_TABLE} ${MUR_DECLARING_FILES})
add_test(NAME static.declarations_faults
  COMMAND sh ${CMAKE_SOURCE_DIR}/tests/check_declarations_faults.sh ${MUR_EXPORT_TABLE} ${MUR_DECLARING_FILES})
set_tests_properties(static.declarations static.declarations_faults PROPERTIES LABELS static)
set_tests_properties(static.dll_tables PROPERTIES LABELS static)
add_test(NAME static.dll_resources
  COMMAND sh ${CMAKE_SOURCE_DIR}/tests/check_dll_resources.sh $<TARGET_FILE:MUR>)
set_tests_properties(static.dll_resources PROPERTIES LABELS static)
# The shipped library stays lean: at most 128 KiB, and no C++ run-time, unwinder
# or thread library linked in. The same check on murhost, which carries the C++
# run-time and is larger, must report both.
set(MUR_DLL_SIZE_LIMIT 131072)
add_test(NAME static.dll_size
  COMMAND sh ${CMAKE_SOURCE_DIR}/tests/check_dll_size.sh $<TARGET_FILE:MUR> ${CMAKE_BINARY_DIR}/MUR.map
          ${MUR_DLL_SIZE_LIMIT})
add_test(NAME static.dll_size_faults
  COMMAND sh ${CMAKE_SOURCE_DIR}/tests/check_dll_size.sh $<TARGET_FILE:murhost> ${CMAKE_BINARY_DIR}/murhost.map
          ${MUR_DLL_SIZE_LIMIT})
set_tests_properties(static.dll_size PROPERTIES LABELS static)
set_tests_properties(static.dll_size_faults PROPERTIES LABELS static
  PASS_REGULAR_EXPRESSION "is too large: [0-9]+ bytes, limit ${MUR_DLL_SIZE_LIMIT}.*links run-time members.*libstdc[+][+][.]a")
# The calling contract from the DLL's own bytes: names against the .def made
# from the export table, a base
# relocation table, and (32-bit) each export popping exactly its arguments.
add_test(NAME static.dll_abi
  COMMAND sh ${CMAKE_SOURCE_DIR}/tests/check_dll_abi.sh ${MUR_OBJDUMP} ${CMAKE_BINARY_DIR}/MUR.def
          ${CMAKE_BINARY_DIR}/MUR.args $<TARGET_FILE:MUR>)
set_tests_properties(static.dll_abi PROPERTIES LABELS static)
# Two builds of one commit, in different folders at different times, give the
# same bytes.
add_test(NAME static.dll_reproducible
  COMMAND sh ${CMAKE_SOURCE_DIR}/tests/check_reproducible.sh ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR}
          ${CMAKE_TOOLCHAIN_FILE})
set_tests_properties(static.dll_reproducible PROPERTIES LABELS static TIMEOUT 600)
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  # The same check on a library with planted faults: it must find each one.
  set(MUR_FAULTY_DLL ${CMAKE_BINARY_DIR}/abi/faulty.dll)
  add_custom_command(OUTPUT ${MUR_FAULTY_DLL}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/abi
    COMMAND ${CMAKE_C_COMPILER} -nostdlib -shared -Wl,--disable-reloc-section -o ${MUR_FAULTY_DLL}
            ${CMAKE_SOURCE_DIR}/tests/abi/faulty.S ${CMAKE_SOURCE_DIR}/tests/abi/faulty_built.def
    DEPENDS ${CMAKE_SOURCE_DIR}/tests/abi/faulty.S ${CMAKE_SOURCE_DIR}/tests/abi/faulty_built.def
    COMMENT "Linking the ABI check's faulty library")
  add_custom_target(abi_faulty_dll ALL DEPENDS ${MUR_FAULTY_DLL})
  add_test(NAME static.dll_abi_faults
    COMMAND sh ${CMAKE_SOURCE_DIR}/tests/abi/check_faults.sh ${MUR_OBJDUMP} ${MUR_FAULTY_DLL})
  set_tests_properties(static.dll_abi_faults PROPERTIES LABELS static)
endif()

# The import libraries (importlib/, which the package carries): a small C
# host links against each, by MinGW's linker and by lld-link, and imports the
# table's names; under Wine, both hosts call the nine exports (win.import_libs).
set(MUR_IMPORT_HOST_LINK ${CMAKE_C_COMPILER} ${MUR_OBJDUMP} ${MUR_EXPORT_TABLE} ${MUR_IMPORT_DIR})
add_test(NAME static.import_libs
  COMMAND sh ${CMAKE_SOURCE_DIR}/tests/package/check_import_libs.sh link ${MUR_IMPORT_HOST_LINK}
          ${CMAKE_BINARY_DIR}/import-hosts)
set_tests_properties(static.import_libs PROPERTIES LABELS static)

if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  # The package, as make dist writes it, from this build and the win64 build
  # beside it (make test builds that first): the files it must hold, summed,
  # checked as it is written; and the check finds each planted fault.
  add_test(NAME static.package COMMAND sh ${CMAKE_SOURCE_DIR}/tools/dist.sh ${CMAKE_BINARY_DIR}/package)
  set_tests_properties(static.package PROPERTIES LABELS static FIXTURES_SETUP package)
  add_test(NAME static.package_faults
    COMMAND sh ${CMAKE_SOURCE_DIR}/tests/package/check_package_faults.sh
            ${CMAKE_BINARY_DIR}/package/MUR-${PROJECT_VERSION}.zip ${CMAKE_SOURCE_DIR})
  set_tests_properties(static.package_faults PROPERTIES LABELS static FIXTURES_REQUIRED package)
endif()

if(MUR_WINE_TESTS)
  # On a machine that cannot run 32-bit x86 code, tools/wine-env refuses the
  # 32-bit Wine with one "mur-skip:" line first: ctest counts that a skip.
  set(MUR_WINE_SKIP "^mur-skip: ")
  add_test(NAME wine.up COMMAND sh ${CMAKE_SOURCE_DIR}/tools/wine-up ${MUR_WINE_ARCH} ${MUR_WINEPREFIX})
  set_tests_properties(wine.up PROPERTIES FIXTURES_SETUP wine LABELS wine
    SKIP_REGULAR_EXPRESSION "${MUR_WINE_SKIP}")
  add_test(NAME wine.down COMMAND sh ${CMAKE_SOURCE_DIR}/tools/wine-down ${MUR_WINE_ARCH} ${MUR_WINEPREFIX})
  set_tests_properties(wine.down PROPERTIES FIXTURES_CLEANUP wine LABELS wine
    SKIP_REGULAR_EXPRESSION "${MUR_WINE_SKIP}")

  # One ctest entry per group of test suites; LANG picks Wine's ANSI code page
  # (ja_JP.UTF-8: 932, the target systems' code page; C.UTF-8: 1252).
  if(MUR_WINE_ARCH STREQUAL "win32")
    set(MUR_BITS 32)
  else()
    set(MUR_BITS 64)
  endif()

  function(mur_wine_test name filter lang)
    if(lang STREQUAL "C.UTF-8")
      set(code_page 1252)
    else()
      set(code_page 932)
    endif()
    add_test(NAME ${name} COMMAND mur_win_tests --gtest_filter=${filter})
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine LABELS wine
      ENVIRONMENT "LANG=${lang};MURTEST_CODE_PAGE=${code_page};MURTEST_BITS=${MUR_BITS}" TIMEOUT 600
      SKIP_REGULAR_EXPRESSION "${MUR_WINE_SKIP}")
  endfunction()

  mur_wine_test(win.record_layout "*RecordLayout*" ja_JP.UTF-8)
  mur_wine_test(win.fault_sweep "FaultSweep*" ja_JP.UTF-8)
  mur_wine_test(win.fault_sweep_cp1252 "FaultSweep*" C.UTF-8)
  mur_wine_test(win.store_resilience "ResilientStores*" ja_JP.UTF-8)
  mur_wine_test(win.store_resilience_cp1252 "ResilientStores*" C.UTF-8)
  mur_wine_test(win.other_openers "OtherOpeners*" ja_JP.UTF-8)
  mur_wine_test(win.other_openers_cp1252 "OtherOpeners*" C.UTF-8)
  mur_wine_test(win.murhost "Murhost*" ja_JP.UTF-8)
  mur_wine_test(win.last_error "LastError*" ja_JP.UTF-8)
  mur_wine_test(win.last_error_cp1252 "LastError*" C.UTF-8)
  mur_wine_test(win.text_layout "*TextLayout*" ja_JP.UTF-8)
  # The removal's and the registry copy's races run with their own suites.
  mur_wine_test(win.race "*Race*-*RemoveTree*:*RegistryCopy*" ja_JP.UTF-8)
  mur_wine_test(win.remove_tree "*RemoveTree*" ja_JP.UTF-8)
  # The deep chain is all ASCII and slow under Wine: one code page runs it.
  mur_wine_test(win.remove_tree_cp1252 "*RemoveTree*-*Thousand*" C.UTF-8)
  mur_wine_test(win.registry_copy "*RegistryCopy*" ja_JP.UTF-8)
  mur_wine_test(win.registry_copy_cp1252 "*RegistryCopy*" C.UTF-8)
  mur_wine_test(win.resources "Resources*" ja_JP.UTF-8)
  mur_wine_test(win.dialog "Dialog*" ja_JP.UTF-8)
  mur_wine_test(win.abi "Abi32*" ja_JP.UTF-8)
  mur_wine_test(win.probes_cp932 "*Probe*:Quoting*" ja_JP.UTF-8)
  mur_wine_test(win.probes_cp1252 "*Probe*:Quoting*" C.UTF-8)

  # (Linked again in a folder of its own: a static test set up as its
  # fixture would count in the Wine tier, which may be skipped whole.)
  add_test(NAME win.import_libs
    COMMAND sh ${CMAKE_SOURCE_DIR}/tests/package/check_import_libs.sh run ${MUR_WINE_ARCH} ${MUR_WINEPREFIX}
            $<TARGET_FILE:MUR> ${MUR_IMPORT_HOST_LINK} ${CMAKE_BINARY_DIR}/import-hosts-run)
  set_tests_properties(win.import_libs PROPERTIES FIXTURES_REQUIRED wine LABELS wine
    ENVIRONMENT "LANG=ja_JP.UTF-8" TIMEOUT 300 SKIP_REGULAR_EXPRESSION "${MUR_WINE_SKIP}")

  # A real installer engine as the host: the NSIS example installer carries
  # this build's MUR.dll (x86-unicode for the 32-bit DLL, amd64-unicode for
  # the 64-bit one) and runs silently under this build's Wine.
  if(MUR_WINE_ARCH STREQUAL "win32")
    set(MUR_NSIS_TARGET x86-unicode)
  else()
    set(MUR_NSIS_TARGET amd64-unicode)
  endif()
  add_test(NAME win.nsis
    COMMAND sh ${CMAKE_SOURCE_DIR}/tests/nsis/check_installer.sh ${MUR_WINE_ARCH} ${MUR_WINEPREFIX}
            ${MUR_NSIS_TARGET} $<TARGET_FILE:MUR> ${CMAKE_BINARY_DIR}/nsis)
  set_tests_properties(win.nsis PROPERTIES FIXTURES_REQUIRED wine LABELS wine
    ENVIRONMENT "LANG=ja_JP.UTF-8" TIMEOUT 600 SKIP_REGULAR_EXPRESSION "${MUR_WINE_SKIP}")

  # The second real installer engine: the Inno Setup example installer,
  # compiled by Inno Setup 6's compiler (tools/install-innosetup) and run
  # silently under this build's Wine. The compiler and the Setup it builds
  # are 32-bit programs, and that Setup loads only a 32-bit library: the
  # 32-bit tier runs it, and skips it with that tier where 32-bit x86 code
  # cannot run.
  if(MUR_WINE_ARCH STREQUAL "win32")
    add_test(NAME win.innosetup
      COMMAND sh ${CMAKE_SOURCE_DIR}/tests/innosetup/check_installer.sh ${MUR_WINE_ARCH} ${MUR_WINEPREFIX}
              $<TARGET_FILE:MUR> ${CMAKE_BINARY_DIR}/innosetup)
    set_tests_properties(win.innosetup PROPERTIES FIXTURES_REQUIRED wine LABELS wine
      ENVIRONMENT "LANG=ja_JP.UTF-8" TIMEOUT 600 SKIP_REGULAR_EXPRESSION "${MUR_WINE_SKIP}")
  endif()
endif()
