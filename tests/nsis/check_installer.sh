#!/bin/sh
# check_installer.sh ARCH PREFIX TARGET DLL WORKDIR: builds the example
# installer (examples/nsis) around DLL for the NSIS TARGET, runs it silently
# under the build's Wine, and compares what each export returned, and the
# files and keys it left, with what the README promises
# (tests/installers/results.sh). The NSIS lines of the README and of the
# package's README must build too.
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
rm -rf "$work"
mkdir -p "$work"

# The NSIS lines of the README and of the package's README, with mur.nsh
# from include/ and the library beside them, build into an installer.
for readme in README.md packaging/README.txt; do
  lines=$work/lines-of-$(printf %s "$readme" | tr /. --)
  mkdir -p "$lines"
  sed -n '/^```nsis/,/^```/p' "$top/$readme" | sed '1d;$d' > "$lines/readme.nsi"
  cp "$dll" "$lines/MUR.dll"
  if ! [ -s "$lines/readme.nsi" ]; then
    say_fail "$readme shows no NSIS lines"
  elif ! (cd "$lines" && makensis -V2 -INPUTCHARSET UTF8 "-XTarget $target" "-XOutFile readme-setup.exe" \
            "-X!addincludedir $top/include" readme.nsi); then
    say_fail "the NSIS lines of $readme do not build"
  fi
done

setup=$work/mur-example-setup.exe
makensis -V2 -INPUTCHARSET UTF8 -DMUR_TARGET="$target" -DMUR_DLL="$dll" -DMUR_OUTFILE="$setup" \
  "$top/examples/nsis/mur-example.nsi" || { echo "FAIL makensis could not build the installer"; exit 1; }

product=$prefix/drive_c/murnsis/App
product_win='C:\murnsis\App'
key='Software\MURExample'
rm -rf "$prefix/drive_c/murnsis"
run reg delete "HKCU\\$key" /f >/dev/null 2>&1
run "$setup" /S "/D=$product_win"
status=$?
[ $status -eq 0 ] || say_fail "the installer exited with $status"

. "$top/tests/installers/results.sh"
check_results
check_stores
check_keys

run reg delete "HKCU\\$key" /f >/dev/null 2>&1
[ $fail -eq 0 ] && echo "ok: the $target installer called all nine exports of $(basename "$dll") and got what the README promises"
exit $fail
