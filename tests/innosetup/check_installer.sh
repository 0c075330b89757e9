#!/bin/sh
# check_installer.sh ARCH PREFIX DLL WORKDIR: compiles the example installer
# (examples/innosetup) around DLL with the Inno Setup compiler that
# tools/install-innosetup put in place (MUR_INNOSETUP_ROOT, by default
# /opt/mur-innosetup), under the build's Wine, runs it silently there, and
# compares what each export returned, and the files and keys it left, with
# what the README promises (tests/installers/results.sh). The Inno Setup
# lines of the README and of the package's README must compile too. Inno
# Setup 6's compiler and Setup are 32-bit programs: ARCH is win32, and DLL
# the 32-bit library.
set -u
top=$(cd "$(dirname "$0")/../.." && pwd)
arch=$1; prefix=$2; dll=$3; work=$4
# The 32-bit Wine's refusal, on a machine without 32-bit x86 code, comes
# first: ctest reads it as a skip.
MUR_ARCH=$arch MUR_TOOLS=$top/tools; . "$top/tools/wine-env" || exit $?
# LANG (ja_JP.UTF-8 from ctest) gives Wine's code page, 932: left as it is.
run() { sh "$top/tools/wine-run" "$arch" "$prefix" "$@"; }
fail=0
say_fail() { echo "FAIL $*"; fail=1; }
# A Linux path as the Windows programs see it (Wine's drive Z: is /).
windows_path() { printf 'Z:%s' "$(cd "$(dirname "$1")" && pwd)/$(basename "$1")" | tr / '\\'; }
iscc=${MUR_INNOSETUP_ROOT:-/opt/mur-innosetup}/node_modules/innosetup/bin/ISCC.exe
pinned=$(sed -n 's/^version=//p' "$top/tools/install-innosetup")
[ -f "$iscc" ] || { echo "FAIL no Inno Setup compiler at $iscc: run tools/install-deps (as root)"; exit 1; }
rm -rf "$work"
mkdir -p "$work"
# compile SCRIPT [ISCC OPTIONS...]: ISCC quietly, its output shown on failure.
compile() {
  script=$1; shift
  run "$iscc" /Q "$@" "$(windows_path "$script")" >"$work/iscc.log" 2>&1 && return 0
  cat "$work/iscc.log"
  return 1
}

# The Inno Setup lines of the README and of the package's README, with
# mur.iss from include/ and the library beside them, compile into an
# installer.
for readme in README.md packaging/README.txt; do
  lines=$work/lines-of-$(printf %s "$readme" | tr /. --)
  mkdir -p "$lines"
  sed -n '/^```iss/,/^```/p' "$top/$readme" | sed '1d;$d' > "$lines/readme.iss"
  cp "$dll" "$lines/MUR.dll"
  if ! [ -s "$lines/readme.iss" ]; then
    say_fail "$readme shows no Inno Setup lines"
  elif ! compile "$lines/readme.iss" "/I$(windows_path "$top/include")" "/O$(windows_path "$lines")"; then
    say_fail "the Inno Setup lines of $readme do not compile"
  fi
done

compile "$top/examples/innosetup/mur-example.iss" "/DMUR_DLL=$(windows_path "$dll")" "/O$(windows_path "$work")" ||
  { echo "FAIL ISCC could not compile the example installer"; exit 1; }
setup=$work/mur-example-setup.exe

product=$prefix/drive_c/murinno/App
product_win='C:\murinno\App'
key='Software\MURInnoExample'
rm -rf "$prefix/drive_c/murinno"
run reg delete "HKCU\\$key" /f >/dev/null 2>&1
run "$setup" /VERYSILENT /SUPPRESSMSGBOXES "/DIR=$product_win" "/LOG=$(windows_path "$work/setup.log")"
status=$?
if [ $status -ne 0 ]; then
  say_fail "the installer exited with $status; its log ends:"
  iconv -f UTF-8 -t UTF-8 -c "$work/setup.log" 2>/dev/null | tr -d '\r' | tail -15
fi
# The compiler that made it is the pinned one.
grep -aqF "Setup version: Inno Setup version $pinned" "$work/setup.log" ||
  say_fail "the installer's log names no Inno Setup $pinned"

. "$top/tests/installers/results.sh"
check_results
check_stores
check_keys

run reg delete "HKCU\\$key" /f >/dev/null 2>&1
[ $fail -eq 0 ] && echo "ok: the Inno Setup installer called all nine exports of $(basename "$dll") and got what the README promises"
exit $fail
