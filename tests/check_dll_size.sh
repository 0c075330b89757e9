#!/bin/sh
# check_dll_size.sh FILE MAP LIMIT: the built library is at most LIMIT bytes
# and its link map shows no member of the C++ run-time (libstdc++, libsupc++),
# its unwinder (libgcc_eh) or the POSIX thread library: the library's code
# throws nothing and starts no threads, so none of them belongs in it.
export LC_ALL=C
file=$1; map=$2; limit=$3
fail=0
[ -f "$file" ] && [ -f "$map" ] || { echo "FAIL: $file or its link map $map is missing"; exit 1; }
size=$(stat -c %s "$file")
if [ "$size" -gt "$limit" ]; then
  echo "FAIL $file is too large: $size bytes, limit $limit"
  fail=1
fi
# The archive members that the link took, from the map's first section.
members=$(awk '/^Archive member included/ { t = 1; next }
               /^(Allocating common symbols|Discarded input sections|Memory Configuration)/ { exit }
               t' "$map" |
  grep -oE '(libstdc\+\+|libsupc\+\+|libgcc_eh|libwinpthread|libpthread)\.a\([^)]*\)' | sort -u)
if [ -n "$members" ]; then
  echo "FAIL $file links run-time members it must not carry:"
  printf '  %s\n' $members
  fail=1
fi
[ $fail -eq 0 ] && echo "ok: $file is $size bytes (limit $limit), no C++ run-time or thread library linked"
exit $fail
