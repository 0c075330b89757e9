#!/bin/sh
# The demo: a scratch product directory in the Wine drive, its stores seeded
# through murhost as a setup script would, then shown decoded.
set -eu
# A Japanese system: Wine's ANSI code page is then 932.
export LANG=ja_JP.UTF-8
top=$(cd "$(dirname "$0")/.." && pwd)
# The pair a setup script on 32-bit Windows uses: the 32-bit murhost.exe and
# the shipped 32-bit MUR.dll, under the 32-bit Wine. A machine that cannot
# run 32-bit x86 code shows the 64-bit pair instead.
if answer=$(sh "$top/tools/can-run-32bit"); then
  arch=win32
  pair="32-bit murhost.exe and MUR.dll, 32-bit Wine"
else
  echo "demo: the 64-bit pair (build/win64) instead of the 32-bit one: ${answer#no: }"
  arch=win64
  pair="64-bit murhost.exe and MUR.dll, 64-bit Wine"
fi
build=$top/build/$arch
prefix=$build/wineprefix
murhost="$build/bin/murhost.exe"

sh "$top/tools/wine-up" $arch "$prefix"
trap 'sh "$top/tools/wine-down" $arch "$prefix"' EXIT

# Windows programs write text in the system code page (932 here): shown
# converted to UTF-8. Files are shown as they are.
run() {
  status=0
  out=$("$build/wine-run" "$@" 2>&1) || status=$?
  [ -z "$out" ] || printf '%s\n' "$out" | iconv -c -f CP932 -t UTF-8
  return $status
}

product='C:\murdemo'
unix_product="$prefix/drive_c/murdemo"
rm -rf "$unix_product"
mkdir -p "$unix_product/data"

step() { printf '\n== %s\n' "$*"; }
call() {
  printf '$ murhost %s\n' "$*"
  run "$murhost" "$@"
}

step "Seeding the record layout of $product ($pair)"
call MUR_CsMakeUserinfoFile "$product" admin
call MUR_CsMakeSectionFile "$product" "総務"   # reaches the library as code page 932
step "A second seeding leaves both stores as they are"
call MUR_CsMakeUserinfoFile "$product" someone-else
step "Refused: a name of 21 bytes"
call MUR_CsMakeUserinfoFile "$product" abcdefghijklmnopqrstu

step "Files written"
LC_ALL=C ls -l "$unix_product/data"
step "Decoded"
# inspect writes UTF-8 itself.
"$build/wine-run" "$murhost" inspect "$product"

step "Seeding the text layout"
call MUR_ShMakeUserinfoFile "$product" admin
call MUR_ShMakeSectionFile "$product" "総務"
step "Refused: a name with a comma would add a field"
call MUR_ShMakeUserinfoFile "$product" "a,b"
for f in user10 section10; do
  printf '%s (%s bytes): ' "$f" "$(stat -c %s "$unix_product/data/$f")"
  od -An -c "$unix_product/data/$f" | tr -s ' ' | tr -d '\n'; echo
  printf '    in code page 932: %s\n' "$(tr -d '\r' < "$unix_product/data/$f" | iconv -c -f CP932 -t UTF-8)"
done

step "Probing an installed copy"
printf '[Settings]\r\nACCESS_MODE 1\r\n; later settings win:\r\nACCESS_MODE 2\r\n' > "$unix_product/TALVINORE.INI"
printf 'Ver 3.4\r\n' > "$unix_product/version.txt"
sed 's/^/    /' "$unix_product/TALVINORE.INI"
call MUR_GetAccessMode "$product"
sed 's/^/    /' "$unix_product/version.txt"
call MUR_GetVersion "$product"
call MUR_GetVersion 'C:\no-such-product'

step "Classifying the uninstall command's quotes"
for cmd in 'C:\WINDOWS\IsUn0411.exe -f"C:\App\Uninst.isu"' 'C:\WINDOWS\IsUn0411.exe -f"C:\App\Uninst.isu' \
           'C:\WINDOWS\IsUn0411.exe -fC:\App\Uninst.isu"' 'C:\WINDOWS\IsUn0411.exe -fC:\App\Uninst.isu'; do
  call MUR_CheckDoubleQuotation "$cmd"
done

step "Copying and moving a registry tree"
key='HKCU\Software\murdemo'
run reg delete "$key" /f >/dev/null 2>&1 || true
run reg add "$key\Installed" /v Path /t REG_SZ /d 'C:\murdemo' /f >/dev/null
run reg add "$key\Installed" /v Build /t REG_DWORD /d 1234 /f >/dev/null
run reg add "$key\Installed\Options" /v Shortcut /t REG_SZ /d yes /f >/dev/null
show() { run reg query "$key" /s | tr -d '\r' | grep -v '^$' | sed 's/^/    /'; }
echo "before:"; show
call MUR_CopyRegistarInfo HKCU 'Software\murdemo\Installed' 'Software\murdemo\Backup' 0
echo "after the copy:"; show
call MUR_CopyRegistarInfo HKCU 'Software\murdemo\Backup' 'Software\murdemo\Moved' 1
echo "after the move:"; show
step "Refused: copying a key into itself"
call MUR_CopyRegistarInfo HKCU 'Software\murdemo\Moved' 'Software\murdemo\Moved\Inner' 1
run reg delete "$key" /f >/dev/null 2>&1 || true

step "Removing the product directory"
call MUR_RemoveFiles "$product"
[ -e "$unix_product" ] && echo "still there" || echo "$product is gone"
step "Refused: a drive root"
call MUR_RemoveFiles 'C:\'

for dll in "$top/build/win32/bin/MUR.dll" "$top/build/win64/bin/MUR.dll"; do
  [ -f "$dll" ] && printf '\n%s: %s bytes\n' "${dll#$top/}" "$(stat -c %s "$dll")"
done
