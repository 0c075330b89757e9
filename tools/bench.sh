#!/bin/sh
# make bench: every speed and memory figure, each next to a reference
# measured in the same run, as a ratio. A figure over its limit (or a
# benchmark that fails) is said at once, the others still run, and the run
# then fails, listing them.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
export LANG=ja_JP.UTF-8

over=""
check() {  # check WHAT COMMAND...: runs a benchmark; its failure is remembered
  what=$1; shift
  "$@" || over="$over
  $what"
}

echo "== Native key search (build/bench)"
check "key search" "$top/build/bench/search_bench"

# Windows programs write text in the system code page (932 here): shown
# converted to UTF-8.
win() {  # win BUILD PROGRAM ARGS...
  b=$1; shift
  status=0
  out=$("$b/wine-run" "$@" 2>&1) || status=$?
  [ -z "$out" ] || printf '%s\n' "$out" | iconv -c -f CP932 -t UTF-8
  return $status
}

build=$top/build/win64
prefix=$build/wineprefix
sh "$top/tools/wine-up" win64 "$prefix"
trap 'rm -rf "$prefix/drive_c/murbench"; sh "$top/tools/wine-down" win64 "$prefix"' EXIT
rm -rf "$prefix/drive_c/murbench"
mkdir -p "$prefix/drive_c/murbench"

echo "== Probe under Wine (build/win64)"
check "probe time (64-bit)" win "$build" "$build/bin/probe_bench.exe" time 'C:\murbench'
check "probe memory (64-bit)" win "$build" "$build/bin/probe_bench.exe" memory 'C:\murbench'

echo "== Tree removal under Wine (build/win64)"
check "tree removal" win "$build" "$build/bin/removal_bench.exe" 'C:\murbench'
# rm -rf on a tree of the same shape, natively, for scale.
tree=$(mktemp -d)
rm_ms=$(for run in 1 2 3; do
  for a in 0 1 2; do for b in x 0 1 2 3; do for c in x 0 1 2; do
    d=$tree/t/a$a; [ $b = x ] || d=$d/b$b; [ $b != x ] && [ $c != x ] && d=$d/c$c
    [ $b = x ] && [ $c != x ] && continue
    mkdir -p "$d"; for f in $(seq 0 39); do echo "small file" > "$d/file$f.txt"; done
  done; done; done
  s=$(date +%s%N); rm -rf "$tree/t"; e=$(date +%s%N)
  echo $(( (e - s) / 1000 ))
done | sort -n | sed -n 2p)
rmdir "$tree"
printf '    rm -rf on the same tree, natively: %d.%03d ms, for scale\n' $((rm_ms / 1000)) $((rm_ms % 1000))
# Server round trips per file: the requests each removal sends to the Wine
# server (writes to its request descriptor) between the bench's two marker
# requests, counted under strace for 25 and then 50 files in each of 4
# directories; the difference over the 100 files added.
requests() {  # requests MODE FILES: the count between the markers
  rm -rf "$prefix/drive_c/murbench/tree"
  win "$build" "$build/bin/removal_bench.exe" 'C:\murbench' count-build 4 "$2"
  log=$(mktemp)
  strace -f -e trace=write,writev -s 200 -o "$log" \
    "$build/wine-run" "$build/bin/removal_bench.exe" 'C:\murbench' "count-$1" >/dev/null 2>&1 || true
  awk 'function fd(call) { sub(/^[a-z]*\(/, "", call); sub(/,.*/, "", call); return call }
       /M\\0A\\0R\\0K\\0S\\0T\\0A\\0R\\0T/ { tid = $1; server = fd($2); on = 1; next }
       /M\\0A\\0R\\0K\\0E\\0N\\0D/ { if (on) print n + 0; exit }
       on && $1 == tid && $2 ~ /^writev?\(/ && fd($2) == server { n++ }' "$log"
  rm -f "$log"
}
if command -v strace >/dev/null 2>&1; then
  per_file() {  # per_file MODE: requests per file, to two decimals
    small=$(requests "$1" 25); large=$(requests "$1" 50)
    awk -v s="$small" -v l="$large" 'BEGIN { if (s == "" || l == "") print "?"; else printf "%.2f", (l - s) / 100 }'
  }
  printf '    server round trips per file: before (minimal recursion) %s, after (MUR_RemoveFiles) %s\n' \
    "$(per_file minimal)" "$(per_file mur)"
  rm -rf "$prefix/drive_c/murbench/tree"
else
  echo "    server round trips per file: not counted (strace is not installed)"
fi
echo "== Registry copy and move under Wine (build/win64)"
check "registry copy and move" win "$build" "$build/bin/registry_bench.exe"
check "registry handles" win "$build" "$build/bin/registry_bench.exe" handles

# The shipped 32-bit DLL's probe, under the 32-bit Wine, where this machine
# runs 32-bit x86 code; elsewhere the 64-bit figures above stand for it.
build32=$top/build/win32
if ! answer=$(sh "$top/tools/can-run-32bit"); then
  echo "== Probe under 32-bit Wine: not measured, the 64-bit probe above stands for it: ${answer#no: }"
elif [ -x "$build32/bin/probe_bench.exe" ]; then
  prefix32=$build32/wineprefix
  sh "$top/tools/wine-up" win32 "$prefix32"
  mkdir -p "$prefix32/drive_c/murbench"
  echo "== Probe under 32-bit Wine (build/win32)"
  check "probe time (32-bit)" win "$build32" "$build32/bin/probe_bench.exe" time 'C:\murbench'
  check "probe memory (32-bit)" win "$build32" "$build32/bin/probe_bench.exe" memory 'C:\murbench'
  rm -rf "$prefix32/drive_c/murbench"
  sh "$top/tools/wine-down" win32 "$prefix32"
fi

if [ -n "$over" ]; then
  echo "== Over a limit, or failed:$over"
  exit 1
fi
