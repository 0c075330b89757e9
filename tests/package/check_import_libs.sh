#!/bin/sh
# check_import_libs.sh link CC OBJDUMP TABLE IMPORTDIR WORK
# check_import_libs.sh run ARCH PREFIX DLL CC OBJDUMP TABLE IMPORTDIR WORK
#
# The import libraries of the package, each linked into a small C host
# (tests/package/import_host.c) that calls all nine exports through it:
#   link  compiles the host with the MinGW compiler CC and links it twice,
#         against IMPORTDIR/libMUR.dll.a by MinGW's linker and against
#         IMPORTDIR/MUR.lib by lld-link, the MSVC-style linker; each program
#         must import exactly the export table's names from MUR.dll,
#         undecorated. The programs go to WORK.
#   run   links them so, then runs both under the build's Wine, each in a
#         scratch folder with DLL beside it, and compares what they print.
set -u
top=$(cd "$(dirname "$0")/../.." && pwd)
mode=$1; shift
fail=0
say_fail() { echo "FAIL $*"; fail=1; }

link() {
  cc=$1; objdump=$2; table=$3; importdir=$4; work=$5
  rm -rf "$work"
  mkdir -p "$work"
  case $(basename "$cc") in
    i686-*) entry=_host_main@0; machine=x86; lib_dir=/usr/i686-w64-mingw32/lib; lld_extra=/safeseh:no ;;
    *) entry=host_main; machine=x64; lib_dir=/usr/x86_64-w64-mingw32/lib; lld_extra= ;;
  esac
  "$cc" -std=c99 -O2 -Wall -Wextra -Werror -fno-stack-protector -fno-builtin -I"$top/include" \
    -c "$top/tests/package/import_host.c" -o "$work/import_host.o" || { echo "FAIL the host does not compile"; exit 1; }
  "$cc" -nostdlib -Wl,-e,"$entry" -Wl,--subsystem,console -o "$work/mingw-host.exe" "$work/import_host.o" \
    -L"$importdir" -lMUR -lkernel32 -luser32 -ladvapi32 ||
    say_fail "MinGW's linker cannot link the host against libMUR.dll.a"
  lld-link /nologo /nodefaultlib /entry:host_main /subsystem:console /machine:"$machine" $lld_extra \
    /out:"$work/msvc-host.exe" "$work/import_host.o" "$importdir/MUR.lib" \
    "$lib_dir/libkernel32.a" "$lib_dir/libuser32.a" "$lib_dir/libadvapi32.a" ||
    say_fail "lld-link cannot link the host against MUR.lib"

  want=$(awk '!/^#/ && NF { print $1 }' "$table" | sort)
  for program in mingw-host msvc-host; do
    [ -f "$work/$program.exe" ] || continue
    imported=$("$objdump" -p "$work/$program.exe" | awk '
      /^[ \t]*DLL Name: / { dll = $3; next }
      dll == "MUR.dll" && /^[ \t]*[0-9a-f]+[ \t]+[0-9]+[ \t]+[^ \t]+$/ { print $3 }
      /^$/ && dll == "MUR.dll" { dll = "" }' | sort)
    [ "$imported" = "$want" ] ||
      { say_fail "$program.exe imports from MUR.dll:"; printf '  %s\n' $imported; echo "  instead of:"; printf '  %s\n' $want; }
  done
  [ $fail -eq 0 ] && echo "ok: a host links against libMUR.dll.a (MinGW) and MUR.lib (lld-link) and imports the $(printf '%s\n' "$want" | wc -l) exports by their names"
}

run() {
  arch=$1; prefix=$2; dll=$3; shift 3
  # The 32-bit Wine's refusal, on a machine without 32-bit x86 code, comes
  # first: ctest reads it as a skip.
  MUR_ARCH=$arch MUR_TOOLS=$top/tools; . "$top/tools/wine-env" || exit $?
  link "$@" || exit 1
  work=$5
  expected='MUR_CsMakeUserinfoFile: 1
seen data\UserInfo.Data: 1
MUR_CsMakeSectionFile no data folder: 0
MUR_ShMakeUserinfoFile a,b: 0
MUR_ShMakeSectionFile: 1
seen data\section10: 1
seen data\user10: 0
MUR_GetAccessMode: 2
MUR_GetVersion: 34
MUR_CheckDoubleQuotation closing only: 3
MUR_RemoveFiles: 1
seen old: 0
MUR_CopyRegistarInfo move: 0
seen Moved Build: 1234
MUR_CopyRegistarInfo missing source: 2'
  for program in mingw-host msvc-host; do
    scratch=$work/run-$program
    rm -rf "$scratch"
    mkdir -p "$scratch"
    cp "$work/$program.exe" "$dll" "$scratch/"
    (cd "$scratch" && sh "$top/tools/wine-run" "$arch" "$prefix" "./$program.exe" >printed.txt 2>&1)
    status=$?
    got=$(tr -d '\r' < "$scratch/printed.txt")
    [ "$got" = "$expected" ] || {
      say_fail "$program.exe (status $status) printed (- promised, + got):"
      printf '%s\n' "$expected" > "$scratch/expected.txt"
      printf '%s\n' "$got" > "$scratch/got.txt"
      diff -u "$scratch/expected.txt" "$scratch/got.txt" | tail -n +3
    }
  done
  [ $fail -eq 0 ] && echo "ok: the hosts linked against libMUR.dll.a and MUR.lib call all nine exports of $(basename "$dll")"
}

case $mode in
  link|run) "$mode" "$@" ;;
  *) echo "check_import_libs.sh: link or run, not '$mode'" >&2; exit 2 ;;
esac
exit $fail
