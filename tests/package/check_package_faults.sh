#!/bin/sh
# check_package_faults.sh ZIP TOP: check_package.sh must fail on copies of the
# package ZIP with one fault each, their sums made again so that only the
# fault itself is wrong: the DLLs in each other's folder, a missing include
# file, a file too many, an include file that is not the tree's, a README of
# the tree's but another version, a package named for another version, and
# a wrong sum.
export LC_ALL=C
here=$(dirname "$0")
zip=$1; top=$2
name=$(basename "$zip" .zip)
work=$(mktemp -d "${TMPDIR:-/tmp}/mur-package-faults.XXXXXX")
trap 'rm -rf "$work"' EXIT
status=0
# The check passes the package as it is: a fault below is the fault's doing.
sh "$here/check_package.sh" "$zip" "$top" >/dev/null || { echo "FAIL the check fails $zip as it is"; exit 1; }

fresh() {  # fresh: the package unpacked into $work/$name, alone
  rm -rf "${work:?}"/*
  unzip -q "$zip" -d "$work"
}
sums() {  # sums FOLDER: SHA256SUMS made again
  (cd "$1" && find . -type f ! -name SHA256SUMS | sed 's|^\./||' | sort | xargs sha256sum > SHA256SUMS)
}
expect_failure() {  # expect_failure WHY [FOLDER]: zipped as FOLDER.zip, the check fails
  folder=${2:-$name}
  (cd "$work" && zip -q -r -X "$folder.zip" "$folder")
  if sh "$here/check_package.sh" "$work/$folder.zip" "$top" >"$work/check.log" 2>&1; then
    echo "FAIL the check passed $1"; status=1
  else
    echo "ok: the check finds $1: $(grep -m1 "^FAIL" "$work/check.log")"
  fi
}

fresh
mv "$work/$name/x86/MUR.dll" "$work/swap.dll"
mv "$work/$name/x64/MUR.dll" "$work/$name/x86/MUR.dll"
mv "$work/swap.dll" "$work/$name/x64/MUR.dll"
sums "$work/$name"
expect_failure "the 32-bit and the 64-bit DLL in each other's folder"

fresh
rm "$work/$name/include/mur.iss"
sums "$work/$name"
expect_failure "a missing include file"

fresh
cp "$top/build/win32/libMUR.dll.a" "$work/$name/x86/libMUR-linker.dll.a"
sums "$work/$name"
expect_failure "a file too many"

fresh
printf '; changed\r\n' >> "$work/$name/include/mur.nsh"
sums "$work/$name"
expect_failure "an include file that is not the tree's"

fresh
sed -i '1s/^MUR.dll .*/MUR.dll 0.0.0.0\r/' "$work/$name/README.txt"
sums "$work/$name"
expect_failure "a README of another version"

fresh
mv "$work/$name" "$work/MUR-9.9.9.9"
sed -i '1s/^MUR.dll .*/MUR.dll 9.9.9.9\r/' "$work/MUR-9.9.9.9/README.txt"
sums "$work/MUR-9.9.9.9"
expect_failure "a package named for a version its DLLs are not of" MUR-9.9.9.9

fresh
sed -i '1s/^[0-9a-f]*/0000000000000000000000000000000000000000000000000000000000000000/' "$work/$name/SHA256SUMS"
expect_failure "a wrong sum"
exit $status
