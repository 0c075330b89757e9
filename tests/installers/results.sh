# Sourced by the installer tests (tests/nsis, tests/innosetup): what an
# example installer (examples/nsis, examples/innosetup) must have recorded,
# and left in the product folder and the registry, once it ran. Both make the
# same calls in the same order, so one table holds for both.
#
# The sourcing script sets:
#   product      the product folder, as a Linux path
#   product_win  the same folder as the installer saw it (C:\...)
#   key          the installer's key under HKEY_CURRENT_USER (Software\...)
#   work         a scratch folder for the test
# and defines run (a Windows program under the build's Wine) and say_fail.

# What each call returned, as the README promises, with the thread's last
# error that the host read right after the call (NSIS: the System plug-in's
# ?e; Inno Setup: DLLGetLastError): ERROR_SUCCESS (0) after a success; after
# the failure value, the Windows error that decided it (the README's table).
# Between the calls, what the installer found in the files and keys ("seen"
# lines), in the installers' order. MUR_CHECK_LAST_ERRORS=no compares the
# results only, and the last errors are then only recorded.
check_last_errors=${MUR_CHECK_LAST_ERRORS:-yes}
expected() {
  cat <<EOF
CsMakeUserinfoFile admin: 1; last error 0
CsMakeSectionFile 総務: 1; last error 0
CsMakeUserinfoFile someone-else, already seeded: 1; last error 0
CsMakeUserinfoFile 21-byte name: 0; last error 87
CsMakeSectionFile no data folder: 0; last error 3
ShMakeUserinfoFile admin: 1; last error 0
ShMakeSectionFile 総務: 1; last error 0
ShMakeUserinfoFile a,b: 0; last error 87
seen data\user10: 10000,admin,,1,1,0,,,,,
seen data\section10: 10,総務
seen Other\data\user10: absent
GetAccessMode: 2; last error 0
GetVersion: 34; last error 0
GetAccessMode no file: 0; last error 2
GetVersion no file: -1; last error 2
CheckDoubleQuotation both quotes: 1; last error 0
CheckDoubleQuotation opening only: 2; last error 0
CheckDoubleQuotation closing only: 3; last error 0
CheckDoubleQuotation neither: 4; last error 0
RemoveFiles Old: 1; last error 0
seen Old: gone
RemoveFiles Keep with a read-only file: 0; last error 145
seen Keep\locked.txt: present
seen Keep\plain.txt: gone
RemoveFiles C:\: 0; last error 87
CopyRegistarInfo copy Installed to Backup: 0; last error 0
seen Backup Path: $product_win
seen Backup Build: 1234
seen Backup\Options Shortcut: yes
CopyRegistarInfo move Backup to Moved: 0; last error 0
seen Backup Path: absent
seen Moved\Options Shortcut: yes
seen Installed Path: $product_win
CopyRegistarInfo into itself: 87; last error 87
CopyRegistarInfo missing source: 2; last error 2
EOF
}

# differ WHAT EXPECTED GOT: a unified diff of two texts, as a failure.
differ() {
  say_fail "$1 differ (- promised, + got):"
  printf '%s\n' "$2" > "$work/expected.txt"
  printf '%s\n' "$3" > "$work/got.txt"
  diff -u "$work/expected.txt" "$work/got.txt" | tail -n +3
}

# check_results: the results file against the table above.
check_results() {
  if ! [ -f "$product/mur-results.txt" ]; then
    say_fail "the installer wrote no results"
    return
  fi
  # The installers write in the system code page, 932.
  got=$(iconv -f CP932 -t UTF-8 "$product/mur-results.txt" | tr -d '\r')
  unrecorded=$(printf '%s\n' "$got" | grep -v '^seen ' | grep -Ev '; last error -?[0-9]+$')
  [ -z "$unrecorded" ] || { say_fail "calls without a last error:"; printf '%s\n' "$unrecorded"; }
  if [ "$check_last_errors" = yes ]; then
    [ "$got" = "$(expected)" ] || differ "the installer's results and last errors" "$(expected)" "$got"
  else
    # A call's line without its last error; a line that should carry one but
    # does not stays as it is, and so differs.
    without='/^seen /!s/; last error -?[0-9]+$//'
    results=$(printf '%s\n' "$got" | sed -E "$without")
    promised=$(expected | sed -E "$without")
    [ "$results" = "$promised" ] || differ "the installer's results" "$promised" "$results"
    echo "note: last errors recorded, not compared (check_last_errors=$check_last_errors)"
  fi
}

# check_stores: the bytes of the seeded stores, and what the refused and
# removing calls left.
check_stores() {
  # A 1024-byte header (record count 1), the first record, and a 17-byte
  # index entry (count 1, flag, field, record length, offset 1024).
  header=01000000$(printf '%02040d' 0)
  # user: flag 0, user number 10000, section 10, field 0, the name, zero, flags 1 1, fields 0 0.
  same data/UserInfo.Data "${header}00102700000a0000000000000061646d696e000101000000000000"
  same data/UserInfo.ID "$(index_entry 27)"
  # section: number 10, field 0, the name in code page 932, zero.
  same data/SectionInfo.Data "${header}0a00000000000000918d96b100"
  same data/SectionInfo.ID "$(index_entry 13)"
  same data/user10 "$(printf '10000,admin,,1,1,0,,,,,\r\n' | hex_of -)"
  same data/section10 "31302c918d96b10d0a"
  # Nothing was written for the refused names or the product without data\.
  [ -z "$(ls -A "$product/Other/data" 2>/dev/null)" ] || say_fail "Other\\data holds $(ls "$product/Other/data")"
  [ -z "$(ls -A "$product/Bare" 2>/dev/null)" ] || say_fail "Bare holds $(ls "$product/Bare")"
  [ -e "$product/Old" ] && say_fail "Old is still there"
  [ "$(ls -A "$product/Keep" 2>/dev/null)" = locked.txt ] ||
    say_fail "Keep holds $(ls -A "$product/Keep" 2>/dev/null | tr '\n' ' '), not only locked.txt"
}
hex_of() { od -An -v -tx1 "$1" 2>/dev/null | tr -d ' \n'; }
index_entry() { printf '010000000000000000%02x00000000040000' "$1"; }
same() {  # same FILE HEX: the product's FILE holds exactly these bytes
  got=$(hex_of "$product/$1")
  [ "$got" = "$2" ] && return
  at=$(awk -v a="$got" -v b="$2" 'BEGIN { for (i = 1; substr(a, i, 2) == substr(b, i, 2) && i <= length(b); i += 2);
                                          print (i - 1) / 2 }')
  say_fail "$1 ($((${#got} / 2)) bytes, promised $((${#2} / 2))) differs from byte $at on:" \
    "$(printf '%s' "$got" | cut -c$((at * 2 + 1))-$((at * 2 + 32)))..., promised $(printf '%s' "$2" | cut -c$((at * 2 + 1))-$((at * 2 + 32)))..."
}

# check_keys: the keys, read back from outside the installer: the copy moved
# on, the source of the copy untouched, nothing made by the refused calls.
check_keys() {
  root="HKEY_CURRENT_USER\\$key"
  expected_keys="$root\\Installed
Build REG_DWORD 0x4d2
Path REG_SZ $product_win
$root\\Installed\\Options
Shortcut REG_SZ yes
$root\\Moved
Build REG_DWORD 0x4d2
Path REG_SZ $product_win
$root\\Moved\\Options
Shortcut REG_SZ yes"
  keys=$(run reg query "HKCU\\$key" /s 2>&1 | iconv -c -f CP932 -t UTF-8 | tr -d '\r' | grep -v '^$' |
         sed 's/^ *//; s/  */ /g')
  [ "$keys" = "$expected_keys" ] || { say_fail "the keys under HKCU\\$key are:"; printf '%s\n' "$keys"; }
}
