#!/bin/sh
# check_dll_tables.sh OBJDUMP TABLE DLL: the built library's export table holds
# exactly the exports of the export table (TABLE), undecorated, and its import
# table names only libraries that every Windows has.
export LC_ALL=C
objdump=$1; table=$2; dll=$3
expected_exports=$(awk '!/^#/ && NF { print $1 }' "$table" | sort)
allowed_imports="ADVAPI32.DLL KERNEL32.DLL MSVCRT.DLL NTDLL.DLL"
# Functions newer than Windows XP that a runtime may pull in unnoticed.
post_xp="GetTickCount64 InitializeConditionVariable SleepConditionVariableCS WakeConditionVariable
WakeAllConditionVariable InitializeSRWLock AcquireSRWLockExclusive AcquireSRWLockShared
InitOnceExecuteOnce InitializeCriticalSectionEx CreateEventExA CreateEventExW CreateMutexExW
GetFileInformationByHandleEx SetFileInformationByHandle CreateSymbolicLinkA CreateSymbolicLinkW
GetFinalPathNameByHandleW GetFinalPathNameByHandleA RegDeleteTreeA RegDeleteTreeW RegCopyTreeA
RegCopyTreeW RegGetValueA RegGetValueW RegDeleteKeyExA RegDeleteKeyExW FlsAlloc FlsFree FlsGetValue
FlsSetValue GetCurrentProcessorNumber CompareStringEx LCMapStringEx GetLocaleInfoEx
GetSystemTimePreciseAsFileTime"

fail=0
dump=$("$objdump" -p "$dll") || { echo "cannot read $dll"; exit 1; }

exports=$(printf '%s\n' "$dump" | awk '/\[Ordinal\/Name Pointer\] Table/{t=1; next} t && /^\t\[ *[0-9]+\]/{print $NF; next} t && !/^\t\[/{t=0}' | sort)
if [ "$exports" != "$expected_exports" ]; then
  echo "FAIL exports of $dll:"; printf '%s\n' "$exports"; echo "expected:"; printf '%s\n' "$expected_exports"
  fail=1
fi

imports=$(printf '%s\n' "$dump" | awk '/DLL Name:/{print toupper($3)}' | sort -u)
for lib in $imports; do
  case " $allowed_imports " in
    *" $lib "*) ;;
    *) echo "FAIL $dll imports $lib, which a clean Windows lacks"; fail=1 ;;
  esac
done

functions=$(printf '%s\n' "$dump" | awk '/DLL Name:/{t=1; next} t && NF>=3 && $1 ~ /^[0-9a-f]+$/ && $2 ~ /^[0-9]+$/ {print $3}')
for fn in $post_xp; do
  if printf '%s\n' "$functions" | grep -qx "$fn"; then
    echo "FAIL $dll imports $fn, which Windows XP lacks"; fail=1
  fi
done

[ $fail -eq 0 ] && echo "ok: $dll exports $(echo $exports), imports $(echo $imports)"
exit $fail
