#!/bin/sh
# check_declarations.sh TABLE HEADER NSH ISS NSIS_EXAMPLE INNO_EXAMPLE: the
# public header and the two setup engines' include files declare exactly the
# exports of the export table, in its order, each with the table's argument
# types and an integer result, and the example installers take their
# declarations from the include files instead of declaring exports of their
# own.
#   header:  MUR_API int WINAPI NAME(const char* a, HKEY b, int c);
#   mur.nsh: !define NAME "${MUR}::NAME(m, p, i) i"   (m text, p key, i int)
#   mur.iss: function NAME(A: AnsiString; B: TMURRootKey; C: Integer): Integer;
#              external 'NAME@files:MUR.dll stdcall';
export LC_ALL=C
table=$1; header=$2; nsh=$3; iss=$4; nsis_example=$5; inno_example=$6
fail=0
say_fail() { echo "FAIL $*"; fail=1; }

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

# The NSIS declarations: !define lines of System plug-in calls.
nsis_declarations() {
  awk '
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
  }' "$1"
}
have_nsh=$(nsis_declarations "$nsh")

# The Inno Setup declarations: a function with its external clause, over
# one or more lines. Parameters come in groups ("A, B: AnsiString; C:
# Integer"); a var or const parameter is no value of the table's types.
inno_declarations() {
  awk -v q="'" '
  function trim(s) { gsub(/^[ \t]+|[ \t]+$/, "", s); return s }
  function declaration(d,   name, params, rest, result, ext, groups, g, n, names, type, parts, k, i, types, count) {
    if (d !~ "^function MUR_[A-Za-z]+\\([^)]*\\)[ \t]*:[^;]*;[ \t]*external[ \t]+" q "[^" q "]*" q "[ \t]*;") {
      print "UNREADABLE " d; return
    }
    name = d; sub(/^function /, "", name); sub(/\(.*/, "", name)
    params = d; sub(/^[^(]*\(/, "", params); sub(/\).*/, "", params)
    rest = d; sub(/^[^)]*\)/, "", rest)
    result = rest; sub(/^[ \t]*:/, "", result); sub(/;.*/, "", result); result = trim(result)
    ext = rest; sub("^[^" q "]*" q, "", ext); sub(q ".*", "", ext)
    if (result != "Integer") { print name, "result-" result; return }
    if (ext != name "@files:MUR.dll stdcall") { print name, "external-" ext; return }
    types = ""; count = 0
    n = split(params, groups, ";")
    for (g = 1; g <= n; g++) {
      if (trim(groups[g]) == "") continue
      type = groups[g]; sub(/^[^:]*:/, "", type); type = trim(type)
      names = groups[g]; sub(/:.*/, "", names)
      if (type == "AnsiString") type = "text"
      else if (type == "TMURRootKey") type = "key"
      else if (type == "Integer") type = "int"
      else type = "?(" type ")"
      if (names ~ /^[ \t]*(var|const|out)[ \t]/) type = "?(" trim(names) ": " type ")"
      k = split(names, parts, ",")
      for (i = 1; i <= k; i++) { types = types (count > 0 ? "," : "") type; count++ }
    }
    print name, types
  }
  collecting { decl = decl " " trim($0) }
  /^(function|procedure)[ \t]+MUR_/ {
    if (collecting) print "UNREADABLE " decl
    decl = trim($0); collecting = 1
  }
  collecting && decl ~ "external[ \t]+" q "[^" q "]*" q "[ \t]*;" { declaration(decl); collecting = 0 }
  END { if (collecting) print "UNREADABLE " decl }
  ' "$1"
}
have_iss=$(inno_declarations "$iss")

compare() {  # compare WHAT HAVE
  if [ "$2" != "$want" ]; then
    say_fail "$1 does not declare the export table's exports:"
    wanted=$(mktemp) had=$(mktemp)
    printf '%s\n' "$want" > "$wanted"
    printf '%s\n' "$2" > "$had"
    diff "$wanted" "$had" | sed -n 's/^</  table:/p; s/^>/  declared:/p'
    rm -f "$wanted" "$had"
  fi
}
compare "$header" "$have_header"
compare "$nsh" "$have_nsh"
compare "$iss" "$have_iss"

# The library that the files: prefix names is the one mur.iss puts in
# [Files], under that name, not to be installed.
grep -Eq '^Source: *"[^"]*"; *DestName: *"MUR\.dll"; *Flags: *dontcopy( |$)' "$iss" ||
  say_fail "$iss adds no MUR.dll to [Files] with the dontcopy flag"

# The examples include the files and declare nothing of their own.
grep -Eq '^!include +"?mur\.nsh"?( |$)' "$nsis_example" || say_fail "$nsis_example does not include mur.nsh"
own=$(nsis_declarations "$nsis_example")
[ -z "$own" ] || say_fail "$nsis_example declares exports of its own: $own"
grep -Eq '^#include +"([^"]*\\)?mur\.iss"' "$inno_example" || say_fail "$inno_example does not include mur.iss"
own=$(inno_declarations "$inno_example"; grep -n "external *'MUR_" "$inno_example")
[ -z "$own" ] || say_fail "$inno_example declares exports of its own: $own"

[ $fail -eq 0 ] && echo "ok: $(basename "$header"), $(basename "$nsh") and $(basename "$iss") declare the $(printf '%s\n' "$want" | wc -l) exports of $(basename "$table"), and the examples include them"
exit $fail
