#!/bin/sh
# check_faults.sh OBJDUMP FAULTY_DLL: the ABI check, run on the library of
# faulty.S, fails and reports exactly the faults planted there (and not the
# two exports that are right).
export LC_ALL=C
here=$(cd "$(dirname "$0")" && pwd)
objdump=$1; dll=$2
report=$(sh "$here/../check_dll_abi.sh" "$objdump" "$here/faulty.def" "$here/faulty.args" "$dll")
status=$?
printf '%s\n' "$report"
expected="FAIL $dll lacks Missing, which faulty.def declares
FAIL $dll exports Undeclared, which faulty.def does not declare
FAIL $dll has no base relocation table
FAIL Cdecl: pops 0 bytes at
FAIL TooFew: pops 8 bytes at
FAIL SecondExit: pops 0 bytes at
FAIL TailJump: pops 0 bytes at
FAIL NoReturn: no return in reach of its entry"
fail=0
[ $status -eq 1 ] || { echo "MISSED: the check exited with $status, not 1"; fail=1; }
printf '%s\n' "$expected" | while IFS= read -r line; do
  printf '%s\n' "$report" | grep -qF "$line" || echo "MISSED: $line..."
done | grep . && fail=1
unexpected=$(printf '%s\n' "$report" | grep '^FAIL' | while IFS= read -r got; do
  printf '%s\n' "$expected" | while IFS= read -r line; do
    case "$got" in "$line"*) echo match ;; esac
  done | grep -q match || echo "$got"
done)
[ -z "$unexpected" ] || { printf 'UNEXPECTED: %s\n' "$unexpected"; fail=1; }
[ $fail -eq 0 ] && echo "ok: the ABI check finds each planted fault and nothing else"
exit $fail
