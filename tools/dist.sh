#!/bin/sh
# dist.sh OUTDIR: the package, OUTDIR/MUR-VERSION.zip, from the win32 and
# win64 builds (make build-win32 build-win64): both DLLs with their import
# libraries, MUR.def, the header and the setup engines' include files, a
# short README (packaging/README.txt) and the SHA-256 sums of all of them,
# under one folder MUR-VERSION. VERSION is the library's (project() in
# CMakeLists.txt, which the builds write to MUR.version). Every file carries
# the time of the last commit, so the same commit gives the same zip. The
# package is then checked (tests/package/check_package.sh).
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
out=$1
export LC_ALL=C TZ=UTC
die() { echo "dist: $*" >&2; exit 1; }

for preset in win32 win64; do
  for file in bin/MUR.dll importlib/MUR.lib importlib/libMUR.dll.a MUR.def MUR.version; do
    [ -f "$top/build/$preset/$file" ] || die "build/$preset/$file is missing: make build-$preset"
  done
done
version=$(cat "$top/build/win32/MUR.version")
[ "$(cat "$top/build/win64/MUR.version")" = "$version" ] ||
  die "build/win64 is of version $(cat "$top/build/win64/MUR.version"), build/win32 of $version: build both again"
cmp -s "$top/build/win32/MUR.def" "$top/build/win64/MUR.def" ||
  die "build/win32 and build/win64 export different names: build both again"

name=MUR-$version
mkdir -p "$out"
out=$(cd "$out" && pwd)
stage=$(mktemp -d "${TMPDIR:-/tmp}/mur-dist.XXXXXX")
trap 'rm -rf "$stage"' EXIT
package=$stage/$name
mkdir -p "$package/include" "$package/x86" "$package/x64"
for arch in x86:win32 x64:win64; do
  folder=${arch%%:*}; preset=${arch#*:}
  cp "$top/build/$preset/bin/MUR.dll" "$top/build/$preset/importlib/MUR.lib" \
     "$top/build/$preset/importlib/libMUR.dll.a" "$package/$folder/"
done
cp "$top/build/win32/MUR.def" "$package/"
cp "$top/include/mur.h" "$top/include/mur.nsh" "$top/include/mur.iss" "$package/include/"
# The README with Windows line ends, for any editor there.
sed "s/@VERSION@/$version/g; s/\$/\r/" "$top/packaging/README.txt" > "$package/README.txt"
(cd "$package" && find . -type f ! -name SHA256SUMS | sed 's|^\./||' | sort | xargs sha256sum > SHA256SUMS)

stamp=$(git -C "$top" log -1 --format=%ct 2>/dev/null) || stamp=
[ -n "$stamp" ] || stamp=$(date -d 2026-01-01 +%s)
find "$package" -exec touch -h -d "@$stamp" {} +
zip_file=$out/$name.zip
rm -f "$zip_file"
(cd "$stage" && find "$name" -type f | sort | zip -q -X -D "$zip_file" -@)

sh "$top/tests/package/check_package.sh" "$zip_file" "$top" >&2 || die "the package $zip_file does not hold what it should"
echo "dist: $zip_file ($(stat -c %s "$zip_file") bytes), sha256 $(sha256sum "$zip_file" | cut -d' ' -f1)"
