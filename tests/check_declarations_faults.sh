#!/bin/sh
# check_declarations_faults.sh TABLE HEADER INSTALLER: check_declarations.sh
# must fail on copies of the header and the installer with one fault each
# (a wrong argument type, a missing export, a swapped order, a wrong result).
export LC_ALL=C
here=$(dirname "$0")
table=$1; header=$2; installer=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
expect_failure() {  # expect_failure WHY HEADER INSTALLER
  if sh "$here/check_declarations.sh" "$table" "$2" "$3" >/dev/null; then
    echo "FAIL the check passed $1"; status=1
  else
    echo "ok: the check finds $1"
  fi
}
sed 's/MUR_CopyRegistarInfo(HKEY root/MUR_CopyRegistarInfo(int root/' "$header" > "$work/type.h"
expect_failure "a wrong argument type in the header" "$work/type.h" "$installer"
grep -v 'MUR_GetVersion(const' "$header" > "$work/missing.h"
expect_failure "an export missing from the header" "$work/missing.h" "$installer"
sed 's/^MUR_API int WINAPI MUR_GetVersion/MUR_API long WINAPI MUR_GetVersion/' "$header" > "$work/result.h"
expect_failure "a result that is not int" "$work/result.h" "$installer"
awk '/MUR_GetAccessMode  *"/ { held = $0; next } { print } /MUR_GetVersion  *"/ { print held }' \
  "$installer" > "$work/order.nsi"
expect_failure "two exports in another order in the installer" "$header" "$work/order.nsi"
sed 's/MUR_RemoveFiles(m) i/MUR_RemoveFiles(m, m) i/' "$installer" > "$work/count.nsi"
expect_failure "an extra argument in the installer" "$header" "$work/count.nsi"
exit $status
