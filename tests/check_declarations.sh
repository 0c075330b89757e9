#!/bin/sh
# check_declarations.sh TABLE HEADER INSTALLER: the public header and the
# example installer declare exactly the exports of the export table, in its
# order, each with the table's argument types and an integer result.
#   header:    MUR_API int WINAPI NAME(const char* a, HKEY b, int c);
#   installer: !define NAME "${MUR}::NAME(m, p, i) i"   (m text, p key, i int)
export LC_ALL=C
table=$1; header=$2; installer=$3
fail=0

# "name text,key,int" per export, in order.
want=$(awk '!/^#/ && NF { print $1, $2 }' "$table")

have_header=$(awk '
  /^MUR_API[ \t]/ {
    line = $0
    if (line !~ /^MUR_API int WINAPI MUR_[A-Za-z]+\(.*\);/) { print "UNREADABLE " line; next }
    name = line; sub(/^MUR_API int WINAPI /, "", name); sub(/\(.*/, "", name)
    params = line; sub(/^[^(]*\(/, "", params); sub(/\);.*/, "", params)
    n = split(params, p, ",")
    types = ""
    for (i = 1; i <= n; i++) {
      t = p[i]; gsub(/^[ \t]+|[ \t]+$/, "", t)
      if (t ~ /^const char\* *[A-Za-z_]+$/) t = "text"
      else if (t ~ /^HKEY [A-Za-z_]+$/) t = "key"
      else if (t ~ /^int [A-Za-z_]+$/) t = "int"
      else t = "?(" t ")"
      types = types (i > 1 ? "," : "") t
    }
    print name, types
  }' "$header")

have_installer=$(awk '
  /^!define MUR_[A-Za-z]+[ \t]/ {
    line = $0
    if (line !~ /"\$\{MUR\}::MUR_[A-Za-z]+\([^)]*\) i"/) { print "UNREADABLE " line; next }
    name = $2
    call = line; sub(/^[^:]*::/, "", call)
    called = call; sub(/\(.*/, "", called)
    if (called != name) { print name, "defined-as-" called; next }
    params = call; sub(/^[^(]*\(/, "", params); sub(/\).*/, "", params)
    n = split(params, p, ",")
    types = ""
    for (i = 1; i <= n; i++) {
      t = p[i]; gsub(/[ \t]/, "", t)
      if (t == "m") t = "text"; else if (t == "p") t = "key"; else if (t == "i") t = "int"; else t = "?(" t ")"
      types = types (i > 1 ? "," : "") t
    }
    print name, types
  }' "$installer")

compare() {  # compare WHAT HAVE
  if [ "$2" != "$want" ]; then
    echo "FAIL $1 does not declare the export table's exports:"
    wanted=$(mktemp) had=$(mktemp)
    printf '%s\n' "$want" > "$wanted"
    printf '%s\n' "$2" > "$had"
    diff "$wanted" "$had" | sed -n 's/^</  table:/p; s/^>/  declared:/p'
    rm -f "$wanted" "$had"
    fail=1
  fi
}
compare "$header" "$have_header"
compare "$installer" "$have_installer"
[ $fail -eq 0 ] && echo "ok: $(basename "$header") and $(basename "$installer") declare the $(printf '%s\n' "$want" | wc -l) exports of $(basename "$table")"
exit $fail
