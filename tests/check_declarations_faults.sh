#!/bin/sh
# check_declarations_faults.sh TABLE HEADER NSH ISS NSIS_EXAMPLE INNO_EXAMPLE:
# check_declarations.sh must fail on copies of these files with one fault
# each: a wrong argument type, a missing export, a swapped order, a wrong
# result, an extra argument, another calling convention or library, a
# declaration the engine would read otherwise, and an example that declares
# an export itself or does not include its file.
export LC_ALL=C
here=$(dirname "$0")
table=$1; header=$2; nsh=$3; iss=$4; nsis_example=$5; inno_example=$6
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
# expect_failure WHY FILE FAULTY: the check, with FILE (one of the five
# declaring files) replaced by FAULTY, must fail.
expect_failure() {
  why=$1; file=$2; faulty=$3
  set -- "$header" "$nsh" "$iss" "$nsis_example" "$inno_example"
  for given do  # each in turn goes from the front to the back, replaced
    shift
    [ "$given" = "$file" ] && given=$faulty
    set -- "$@" "$given"
  done
  if sh "$here/check_declarations.sh" "$table" "$@" >/dev/null; then
    echo "FAIL the check passed $why"; status=1
  else
    echo "ok: the check finds $why"
  fi
}
# The check passes the files as they are: a fault below is the fault's doing.
if ! sh "$here/check_declarations.sh" "$table" "$header" "$nsh" "$iss" "$nsis_example" "$inno_example" >/dev/null; then
  echo "FAIL the check fails the files as they are"; exit 1
fi

sed 's/MUR_CopyRegistarInfo(HKEY root/MUR_CopyRegistarInfo(int root/' "$header" > "$work/type.h"
expect_failure "a wrong argument type in the header" "$header" "$work/type.h"
grep -v 'MUR_GetVersion(const' "$header" > "$work/missing.h"
expect_failure "an export missing from the header" "$header" "$work/missing.h"
sed 's/^MUR_API int WINAPI MUR_GetVersion/MUR_API long WINAPI MUR_GetVersion/' "$header" > "$work/result.h"
expect_failure "a result that is not int in the header" "$header" "$work/result.h"

awk '/MUR_GetAccessMode  *"/ { held = $0; next } { print } /MUR_GetVersion  *"/ { print held }' \
  "$nsh" > "$work/order.nsh"
expect_failure "two exports in another order in mur.nsh" "$nsh" "$work/order.nsh"
sed 's/MUR_RemoveFiles(m) i/MUR_RemoveFiles(m, m) i/' "$nsh" > "$work/count.nsh"
expect_failure "an extra argument in mur.nsh" "$nsh" "$work/count.nsh"
sed 's/MUR_CopyRegistarInfo(p, m, m, i) i/MUR_CopyRegistarInfo(p, w, m, i) i/' "$nsh" > "$work/wide.nsh"
expect_failure "a wide string in mur.nsh" "$nsh" "$work/wide.nsh"

sed 's/function MUR_GetVersion(ProductDir: AnsiString)/function MUR_GetVersion(ProductDir: String)/' \
  "$iss" > "$work/type.iss"
expect_failure "a (wide) String argument in mur.iss" "$iss" "$work/type.iss"
sed "s/'MUR_RemoveFiles@files:MUR.dll stdcall'/'MUR_RemoveFiles@files:MUR.dll cdecl'/" "$iss" > "$work/cdecl.iss"
expect_failure "another calling convention in mur.iss" "$iss" "$work/cdecl.iss"
sed "s/'MUR_GetAccessMode@files:MUR.dll stdcall'/'MUR_GetVersion@files:MUR.dll stdcall'/" "$iss" > "$work/bound.iss"
expect_failure "a declaration bound to another export in mur.iss" "$iss" "$work/bound.iss"
sed 's/function MUR_CheckDoubleQuotation(UninstallCommand: AnsiString): Integer;/function MUR_CheckDoubleQuotation(UninstallCommand: AnsiString): Cardinal;/' \
  "$iss" > "$work/result.iss"
expect_failure "a result that is not Integer in mur.iss" "$iss" "$work/result.iss"
sed 's/Source, Destination: AnsiString; MoveFlag: Integer/Source, Destination: AnsiString/' "$iss" > "$work/count.iss"
expect_failure "a missing argument in mur.iss" "$iss" "$work/count.iss"
sed 's/(ProductDir, UserName: AnsiString): Integer;/(var ProductDir, UserName: AnsiString): Integer;/' "$iss" > "$work/var.iss"
expect_failure "a var argument in mur.iss" "$iss" "$work/var.iss"
sed 's/DestName: "MUR.dll"/DestName: "MURx.dll"/' "$iss" > "$work/files.iss"
expect_failure "a [Files] entry of another name in mur.iss" "$iss" "$work/files.iss"

awk '{ print } /^!include mur.nsh/ { print "!define MUR_GetVersion \"${MUR}::MUR_GetVersion(m) i\"" }' \
  "$nsis_example" > "$work/own.nsi"
expect_failure "an export declared by the NSIS example" "$nsis_example" "$work/own.nsi"
grep -v '^!include mur.nsh' "$nsis_example" > "$work/unincluded.nsi"
expect_failure "an NSIS example without mur.nsh" "$nsis_example" "$work/unincluded.nsi"
grep -v '^#include .*mur.iss' "$inno_example" > "$work/unincluded.iss"
expect_failure "an Inno Setup example without mur.iss" "$inno_example" "$work/unincluded.iss"
awk '{ print } /^\[Code\]/ { print "function MUR_GetVersion(ProductDir: AnsiString): Integer;";
                               print "  external \x27MUR_GetVersion@files:MUR.dll stdcall\x27;" }' \
  "$inno_example" > "$work/own.iss"
expect_failure "an export declared by the Inno Setup example" "$inno_example" "$work/own.iss"
exit $status
