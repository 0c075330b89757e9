#!/bin/sh
# check_package.sh ZIP TOP: the package that tools/dist.sh wrote holds, in one
# folder MUR-VERSION, exactly the files it should: the builds' DLLs (the
# 32-bit one in x86, the 64-bit one in x64) and import libraries (which
# static.import_libs links against), MUR.def, the include files and the
# README as in the tree at TOP, and SHA256SUMS, which holds every other file.
# VERSION is the one in both DLLs' version blocks.
export LC_ALL=C
zip=$1; top=$2
fail=0
say_fail() { echo "FAIL $*"; fail=1; }
work=$(mktemp -d "${TMPDIR:-/tmp}/mur-package.XXXXXX")
trap 'rm -rf "$work"' EXIT
unzip -q "$zip" -d "$work" || { echo "FAIL $zip is no zip file"; exit 1; }

name=$(basename "$zip" .zip)
version=${name#MUR-}
package=$work/$name
case $name in
  MUR-[0-9]*.[0-9]*.[0-9]*.[0-9]*) ;;
  *) say_fail "$zip is not named MUR-VERSION.zip" ;;
esac
[ "$(ls -A "$work")" = "$name" ] || say_fail "the package holds $(ls -A "$work" | tr '\n' ' ')instead of one folder $name"

expected_files="MUR.def
README.txt
SHA256SUMS
include/mur.h
include/mur.iss
include/mur.nsh
x64/MUR.dll
x64/MUR.lib
x64/libMUR.dll.a
x86/MUR.dll
x86/MUR.lib
x86/libMUR.dll.a"
files=$(cd "$package" 2>/dev/null && find . -type f | sed 's|^\./||' | sort)
[ "$files" = "$expected_files" ] || { say_fail "the package holds:"; printf '  %s\n' $files; }

# The sums: every file but SHA256SUMS, each once, each right.
summed=$(sed 's/^[0-9a-f]\{64\}  //' "$package/SHA256SUMS" 2>/dev/null | sort)
[ "$summed" = "$(printf '%s\n' "$expected_files" | grep -vx SHA256SUMS)" ] ||
  { say_fail "SHA256SUMS lists:"; printf '  %s\n' $summed; }
(cd "$package" && sha256sum --quiet -c SHA256SUMS) || say_fail "SHA256SUMS does not match the files"

# The same bytes as the builds and the tree.
same() {  # same PACKAGED ORIGINAL
  cmp -s "$package/$1" "$2" || say_fail "$1 is not $2"
}
for arch in x86:win32 x64:win64; do
  folder=${arch%%:*}; preset=${arch#*:}
  same "$folder/MUR.dll" "$top/build/$preset/bin/MUR.dll"
  same "$folder/MUR.lib" "$top/build/$preset/importlib/MUR.lib"
  same "$folder/libMUR.dll.a" "$top/build/$preset/importlib/libMUR.dll.a"
done
same MUR.def "$top/build/win32/MUR.def"
for file in mur.h mur.nsh mur.iss; do
  same "include/$file" "$top/include/$file"
done
sed "s/@VERSION@/$version/g; s/\$/\r/" "$top/packaging/README.txt" > "$work/README.txt"
same README.txt "$work/README.txt"

# Each DLL is of its folder's machine, and of the package's version: the
# version block's fixed part (after its signature FEEF04BD) holds the file
# version as two 32-bit words, major.minor and build.revision.
machine() { x86_64-w64-mingw32-objdump -f "$1" 2>/dev/null | sed -n 's/.*file format //p'; }
dll_version() {
  wrestool -x --raw --type=16 "$1" 2>/dev/null | od -An -v -tx1 | tr -d ' \n' |
    awk 'function word(w, at,   hex, n, i) {  # the little-endian 16-bit word at hex digit at
           hex = substr(w, at + 2, 2) substr(w, at, 2); n = 0
           for (i = 1; i <= 4; i++) n = n * 16 + index("0123456789abcdef", substr(hex, i, 1)) - 1
           return n }
         { at = index($0, "bd04effe"); if (!at) exit
           at += 16   # past the signature and the structure version
           printf "%d.%d.%d.%d\n", word($0, at + 4), word($0, at), word($0, at + 12), word($0, at + 8) }'
}
for arch in x86:pei-i386 x64:pei-x86-64; do
  folder=${arch%%:*}; format=${arch#*:}
  [ "$(machine "$package/$folder/MUR.dll")" = "$format" ] ||
    say_fail "$folder/MUR.dll is $(machine "$package/$folder/MUR.dll"), not $format"
  [ "$(dll_version "$package/$folder/MUR.dll")" = "$version" ] ||
    say_fail "$folder/MUR.dll is of version $(dll_version "$package/$folder/MUR.dll"), the package of $version"
done
grep -q "^MUR.dll $version" "$package/README.txt" || say_fail "README.txt does not name version $version"

[ $fail -eq 0 ] && echo "ok: $(basename "$zip") holds the $(printf '%s\n' "$expected_files" | wc -l) files of version $version, summed"
exit $fail
