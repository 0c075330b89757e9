#!/bin/sh
# check_reproducible.sh SOURCE BUILD TOOLCHAIN: the shipped library, built
# once more from the same sources in a folder of its own (another path, at
# another time), is byte for byte the library of the build in BUILD.
export LC_ALL=C
src=$1; build=$2; toolchain=$3
again=$(mktemp -d "${TMPDIR:-/tmp}/mur-rebuild.XXXXXX")
trap 'rm -rf "$again"' EXIT
if ! cmake -S "$src" -B "$again" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
     -DMUR_WINE_TESTS=OFF >"$again/configure.log" 2>&1 ||
   ! cmake --build "$again" --target MUR -j 2 >"$again/build.log" 2>&1; then
  echo "FAIL cannot build the library again:"; tail -20 "$again/configure.log" "$again/build.log"; exit 1
fi
first=$build/bin/MUR.dll; second=$again/bin/MUR.dll
if cmp -s "$first" "$second"; then
  echo "ok: $first and a second build in $again are the same $(stat -c %s "$first") bytes"
  exit 0
fi
echo "FAIL a second build of the library differs from $first:"
cmp -l "$first" "$second" | head -20
exit 1
