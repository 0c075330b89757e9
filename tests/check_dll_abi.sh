#!/bin/sh
# check_dll_abi.sh OBJDUMP DEF ARGUMENTS DLL: the calling contract of the built
# library, read from its own bytes; needs no Windows and no Wine.
#   - the exported names are exactly the names of the .def file, and the
#     argument table (ARGUMENTS: "name count" lines) covers exactly them;
#   - the library has a base relocation table, so it still loads when its
#     preferred base address is taken;
#   - 32-bit x86: each export removes exactly its arguments from the stack
#     (__stdcall): every `ret` reachable from its entry, through jumps and
#     across calls, is `ret 4 x count`. A `ret` without a count (__cdecl) or
#     with another count fails, and so does an export with no `ret` in reach.
export LC_ALL=C
objdump=$1; def=$2; arguments=$3; dll=$4
fail=0
say_fail() { echo "FAIL $*"; fail=1; }

dump=$("$objdump" -p "$dll") || { echo "FAIL cannot read $dll"; exit 1; }
format=$(printf '%s\n' "$dump" | sed -n 's/.*file format //p' | head -1)

# Names: the export table, the .def file and the argument table agree.
exported=$(printf '%s\n' "$dump" | awk '/\[Ordinal\/Name Pointer\] Table/{t=1; next}
  t && /^\t\[ *[0-9]+\]/{print $NF; next} t && !/^\t\[/{t=0}' | sort)
declared=$(awk '/^[ \t]*;/{next} /^[ \t]*EXPORTS/{t=1; next} /^[ \t]*(LIBRARY|NAME|SECTIONS|VERSION)/{t=0}
  t && NF {n=$1; sub(/[=@].*/, "", n); print n}' "$def" | sort)
tabled=$(awk '!/^#/ && NF {print $1}' "$arguments" | sort)
[ -n "$declared" ] || say_fail "$def declares no export"
for name in $(printf '%s\n%s\n' "$exported" "$declared" | sort -u); do
  printf '%s\n' "$exported" | grep -qx "$name" || say_fail "$dll lacks $name, which $(basename "$def") declares"
  printf '%s\n' "$declared" | grep -qx "$name" || say_fail "$dll exports $name, which $(basename "$def") does not declare"
done
[ "$tabled" = "$declared" ] ||
  say_fail "$(basename "$arguments") lists $(echo $tabled), $(basename "$def") declares $(echo $declared)"

# Base relocations: the table is there, holds fixups, and was not stripped.
printf '%s\n' "$dump" | grep -q '^	relocations stripped' && say_fail "$dll has its relocations stripped"
reloc_size=$(printf '%s\n' "$dump" | awk '/^Entry 5 /{print $3}')
fixups=$(printf '%s\n' "$dump" | grep -cE '^	reloc +[0-9]+ offset .*(HIGHLOW|DIR64)$')
if [ "${reloc_size:-00000000}" = 00000000 ] || [ "$fixups" -eq 0 ]; then
  say_fail "$dll has no base relocation table: it cannot load anywhere but its preferred base"
fi

case "$format" in
  pei-i386) ;;
  *)
    [ $fail -eq 0 ] && echo "ok: $dll ($format) exports what $(basename "$def") declares and can be relocated"
    exit $fail ;;
esac

# Entry addresses of the exports: image base + export RVA, by ordinal index.
base=$(printf '%s\n' "$dump" | awk '$1 == "ImageBase" {print $2}')
entries=$(printf '%s\n' "$dump" | awk -v base="$base" '
  function hex(s,   i, c, v) { v = 0; s = tolower(s)
    for (i = 1; i <= length(s); i++) { c = index("0123456789abcdef", substr(s, i, 1)); v = v * 16 + c - 1 }
    return v }
  /^Export Address Table -- /{t=1; next}
  t && /^\t\[ *[0-9]+\] \+base/{ line = $0; sub(/^\t\[ */, "", line); i = line + 0
    rva[i] = $(NF - 2); next }
  t && !/^\t\[/{t=0}
  /\[Ordinal\/Name Pointer\] Table/{n=1; next}
  n && /^\t\[ *[0-9]+\]/{ line = $0; sub(/^\t\[ */, "", line); i = line + 0
    printf "%s %x\n", $NF, hex(base) + hex(rva[i]); next }
  n && !/^\t\[/{n=0}')

# Every ret in reach of each entry, from the disassembly of the code.
rets=$("$objdump" -d --no-show-raw-insn "$dll" | awk -v entries="$entries" '
  function strip(s) { sub(/^0x/, "", s); sub(/^0+/, "", s); return s == "" ? "0" : s }
  /^ *[0-9a-f]+:\t/ {
    a = $1; sub(/:$/, "", a); a = strip(a)
    line = $0; sub(/^ *[0-9a-f]+:\t/, "", line)
    while (line ~ /^(rep|repz|repnz|bnd|notrack|lock|ds|cs) /) sub(/^[a-z]+ +/, "", line)
    m = line; sub(/ .*/, "", m); op = line; sub(/^[^ ]+ */, "", op)
    mnem[a] = m; oper[a] = op
    if (prev != "") next_of[prev] = a
    prev = a
  }
  END {
    n = split(entries, e, "\n")
    for (k = 1; k <= n; k++) {
      split(e[k], f, " "); name = f[1]; start = strip(f[2])
      delete seen; head = 0; tail = 0; queue[tail++] = start; found = 0
      while (head < tail) {
        a = queue[head++]
        while (a != "" && !(a in seen)) {
          seen[a] = 1
          if (!(a in mnem)) { print name, "unreadable", a; break }
          m = mnem[a]; op = oper[a]
          if (m ~ /^ret[lw]?$/) {
            bytes = 0
            if (op ~ /^\$0x/) { v = op; sub(/^\$0x/, "", v)
              for (i = 1; i <= length(v); i++) bytes = bytes * 16 + index("0123456789abcdef", substr(v, i, 1)) - 1 }
            print name, "ret", a, bytes; found = 1; break
          }
          if (m ~ /^(hlt|ud2|int3)$/) break
          if (m ~ /^jmp/) {
            if (op ~ /^\*/) { print name, "indirect", a; break }
            t = op; sub(/ .*/, "", t); a = strip(t); continue
          }
          if (m ~ /^(j[a-z]+|loop[a-z]*)$/) { t = op; sub(/ .*/, "", t); queue[tail++] = strip(t) }
          a = next_of[a]
        }
      }
      if (!found) print name, "noret", start
    }
  }')

while read -r name count; do
  case "$name" in ''|'#'*) continue ;; esac
  want=$((count * 4))
  lines=$(printf '%s\n' "$rets" | awk -v n="$name" '$1 == n')
  if printf '%s\n' "$lines" | grep -q " noret "; then
    say_fail "$name: no return in reach of its entry"
    continue
  fi
  outside=$(printf '%s\n' "$lines" | awk '$2 == "unreadable" {printf "0x%s ", $3}')
  [ -z "$outside" ] || say_fail "$name: control reaches ${outside% }, outside the disassembled code"
  bad=$(printf '%s\n' "$lines" | awk -v want="$want" '$2 == "ret" && $4 != want {printf "%d bytes at 0x%s, ", $4, $3}')
  [ -z "$bad" ] || say_fail "$name: pops ${bad%, } where its $count-argument frame needs $want"
done < "$arguments"

if [ $fail -eq 0 ]; then
  echo "ok: $dll ($format) exports what $(basename "$def") declares, can be relocated ($fixups fixups),"
  echo "    and each export pops its arguments: $(awk '!/^#/ && NF {printf "%s %d, ", $1, $2 * 4}' "$arguments" | sed 's/, $//')"
fi
exit $fail
