#!/bin/sh
# make test: every configuration's tests, then a summary of the tiers that
# ran, those skipped, and why. The win32 Wine tier needs a machine that runs
# 32-bit x86 code (tools/can-run-32bit); elsewhere ctest reports it skipped.
set -u
cd "$(dirname "$0")/.."
. tools/test-results
MUR_32BIT=$(sh tools/can-run-32bit)
export MUR_32BIT

status=0
for preset in native win64 win32; do
  if [ "$preset" = win32 ] && [ "$MUR_32BIT" != yes ]; then
    echo "win32 Wine tier skipped: ${MUR_32BIT#no: }"
  fi
  ctest --preset "$preset" || status=1
done

echo
echo "== make test: tiers"
# Only the win32 Wine tier may be skipped, and only where 32-bit x86 code
# cannot run: a skip anywhere else fails the run.
tier() {  # tier PRESET LABEL TITLE [may-skip]
  line=$(tier_summary "$1" "$2") || status=1
  case "$line" in
    skipped*|*" skipped: "*)
      if [ "${4:-}" != may-skip ]; then
        line="FAILED $line (this tier must run here)"
        status=1
      fi
      ;;
  esac
  printf '  %-13s %-8s %s\n' "$3" "${line%% *}" "${line#* }"
}
tier native native "native"
tier win64 static "win64 static"
tier win64 wine "win64 Wine"
tier win32 static "win32 static"
if [ "$MUR_32BIT" = yes ]; then
  tier win32 wine "win32 Wine"
else
  tier win32 wine "win32 Wine" may-skip
fi
exit $status
