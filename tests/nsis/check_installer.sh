#!/bin/sh
# check_installer.sh ARCH PREFIX TARGET DLL WORKDIR: builds the example
# installer (examples/nsis) around DLL for the NSIS TARGET, runs it silently
# under the build's Wine, and compares what each export returned, and the
# files and keys it left, with what the README promises.
set -u
top=$(cd "$(dirname "$0")/../.." && pwd)
arch=$1; prefix=$2; target=$3; dll=$4; work=$5
# The 32-bit Wine's refusal, on a machine without 32-bit x86 code, comes
# first: ctest reads it as a skip.
MUR_ARCH=$arch MUR_TOOLS=$top/tools; . "$top/tools/wine-env" || exit $?
# LANG (ja_JP.UTF-8 from ctest) gives Wine's code page, 932: left as it is.
run() { sh "$top/tools/wine-run" "$arch" "$prefix" "$@"; }
fail=0
say_fail() { echo "FAIL $*"; fail=1; }

# The declarations the README shows are the ones this installer uses.
squeeze() { sed 's/[ \t][ \t]*/ /g'; }
declared=$(squeeze < "$top/examples/nsis/mur-example.nsi")
shown=$(sed -n '/^```nsis/,/^```/p' "$top/README.md" | grep '^!define MUR' | squeeze)
[ "$(printf '%s\n' "$shown" | grep -c .)" -eq 10 ] || say_fail "the README shows $(printf '%s\n' "$shown" | grep -c .) NSIS declarations, not the library's path and its nine exports"
printf '%s\n' "$shown" | while IFS= read -r line; do
  printf '%s\n' "$declared" | grep -qxF "$line" || echo "FAIL the README declares, but the installer does not: $line"
done | grep . && fail=1

mkdir -p "$work"
setup=$work/mur-example-setup.exe
makensis -V2 -INPUTCHARSET UTF8 -DMUR_TARGET="$target" -DMUR_DLL="$dll" -DMUR_OUTFILE="$setup" \
  "$top/examples/nsis/mur-example.nsi" || { echo "FAIL makensis could not build the installer"; exit 1; }

product=$prefix/drive_c/murnsis/App
key='HKCU\Software\MURExample'
rm -rf "$prefix/drive_c/murnsis"
run reg delete "$key" /f >/dev/null 2>&1
run "$setup" /S '/D=C:\murnsis\App'
status=$?
[ $status -eq 0 ] || say_fail "the installer exited with $status"

# What each call returned and what the installer then found, in its order.
expected_results="CsMakeUserinfoFile admin: 1
CsMakeSectionFile 総務: 1
CsMakeUserinfoFile someone-else, already seeded: 1
CsMakeUserinfoFile 21-byte name: 0
CsMakeSectionFile no data folder: 0
ShMakeUserinfoFile admin: 1
ShMakeSectionFile 総務: 1
ShMakeUserinfoFile a,b: 0
seen data\\user10: 10000,admin,,1,1,0,,,,,
seen data\\section10: 10,総務
seen Other\\data\\user10: absent
GetAccessMode: 2
GetVersion: 34
GetAccessMode no file: 0
GetVersion no file: -1
CheckDoubleQuotation both quotes: 1
CheckDoubleQuotation opening only: 2
CheckDoubleQuotation closing only: 3
CheckDoubleQuotation neither: 4
RemoveFiles Old: 1
seen Old: gone
RemoveFiles Keep with a read-only file: 0
seen Keep\\locked.txt: present
seen Keep\\plain.txt: gone
RemoveFiles C:\\: 0
CopyRegistarInfo copy Installed to Backup: 0
seen Backup Path: C:\\murnsis\\App
seen Backup Build: 1234
seen Backup\\Options Shortcut: yes
CopyRegistarInfo move Backup to Moved: 0
seen Backup Path: absent
seen Moved\\Options Shortcut: yes
seen Installed Path: C:\\murnsis\\App
CopyRegistarInfo into itself: 87
CopyRegistarInfo missing source: 2"
if [ -f "$product/mur-results.txt" ]; then
  # The installer writes in the system code page, 932.
  got=$(iconv -f CP932 -t UTF-8 "$product/mur-results.txt" | tr -d '\r')
  if [ "$got" != "$expected_results" ]; then
    say_fail "the installer's results differ (- promised, + got):"
    printf '%s\n' "$expected_results" > "$work/expected-results.txt"
    printf '%s\n' "$got" > "$work/got-results.txt"
    diff -u "$work/expected-results.txt" "$work/got-results.txt" | tail -n +3
  fi
else
  say_fail "the installer wrote no results"
fi

# The stores' bytes: a 1024-byte header (record count 1), the first record,
# and a 17-byte index entry (count 1, flag, field, record length, offset 1024).
hex() { od -An -v -tx1 "$1" 2>/dev/null | tr -d ' \n'; }
header=01000000$(printf '%02040d' 0)
index() { printf '010000000000000000%02x00000000040000' "$1"; }
same() {  # same FILE HEX: the file holds exactly these bytes
  got=$(hex "$product/$1")
  [ "$got" = "$2" ] && return
  at=$(awk -v a="$got" -v b="$2" 'BEGIN { for (i = 1; substr(a, i, 2) == substr(b, i, 2) && i <= length(b); i += 2);
                                          print (i - 1) / 2 }')
  say_fail "$1 ($((${#got} / 2)) bytes, promised $((${#2} / 2))) differs from byte $at on:" \
    "$(printf '%s' "$got" | cut -c$((at * 2 + 1))-$((at * 2 + 32)))..., promised $(printf '%s' "$2" | cut -c$((at * 2 + 1))-$((at * 2 + 32)))..."
}
# user: flag 0, user number 10000, section 10, field 0, the name, zero, flags 1 1, fields 0 0.
same data/UserInfo.Data "${header}00102700000a0000000000000061646d696e000101000000000000"
same data/UserInfo.ID "$(index 27)"
# section: number 10, field 0, the name in code page 932, zero.
same data/SectionInfo.Data "${header}0a00000000000000918d96b100"
same data/SectionInfo.ID "$(index 13)"
same data/user10 "$(printf '10000,admin,,1,1,0,,,,,\r\n' | od -An -v -tx1 | tr -d ' \n')"
same data/section10 "31302c918d96b10d0a"
# Nothing was written for the refused names or the product without data\.
[ -z "$(ls -A "$product/Other/data" 2>/dev/null)" ] || say_fail "Other\\data holds $(ls "$product/Other/data")"
[ -z "$(ls -A "$product/Bare" 2>/dev/null)" ] || say_fail "Bare holds $(ls "$product/Bare")"
[ -e "$product/Old" ] && say_fail "Old is still there"
[ "$(ls -A "$product/Keep" 2>/dev/null)" = locked.txt ] || say_fail "Keep holds $(ls -A "$product/Keep" | tr '\n' ' '), not only locked.txt"

# The keys, read back from outside the installer: the copy moved on, the
# source of the copy untouched, nothing made by the refused calls.
expected_keys="HKEY_CURRENT_USER\\Software\\MURExample\\Installed
Build REG_DWORD 0x4d2
Path REG_SZ C:\\murnsis\\App
HKEY_CURRENT_USER\\Software\\MURExample\\Installed\\Options
Shortcut REG_SZ yes
HKEY_CURRENT_USER\\Software\\MURExample\\Moved
Build REG_DWORD 0x4d2
Path REG_SZ C:\\murnsis\\App
HKEY_CURRENT_USER\\Software\\MURExample\\Moved\\Options
Shortcut REG_SZ yes"
keys=$(run reg query "$key" /s 2>&1 | iconv -c -f CP932 -t UTF-8 | tr -d '\r' | grep -v '^$' | sed 's/^ *//; s/  */ /g')
[ "$keys" = "$expected_keys" ] || { say_fail "the keys under $key are:"; printf '%s\n' "$keys"; }

run reg delete "$key" /f >/dev/null 2>&1
[ $fail -eq 0 ] && echo "ok: the $target installer called all nine exports of $(basename "$dll") and got what the README promises"
exit $fail
