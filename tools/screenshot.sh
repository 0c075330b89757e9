#!/bin/sh
# make screenshot: renders the completion dialog under Wine on Xvfb, in a
# Wine virtual desktop (which draws the caption), with a Japanese font, and
# keeps the picture in docs/completion-dialog.png.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
build=$top/build/win64
prefix=$build/wineprefix
export LANG=ja_JP.UTF-8
out=$top/docs/completion-dialog.png

sh "$top/tools/wine-up" win64 "$prefix"
trap 'sh "$top/tools/wine-down" win64 "$prefix"' EXIT
display=":$(cat "$prefix/mur-display")"
# The template's font, drawn with the proportional IPA Gothic that Debian has.
"$build/wine-run" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes' \
  /v 'ＭＳ Ｐゴシック' /t REG_SZ /d 'IPAPGothic' /f >/dev/null 2>&1 || true

"$build/wine-run" explorer /desktop=murshot,360x280 "$build/bin/murhost.exe" dialog >/dev/null 2>&1 &
host=$!
# Wait for the dialog's text to be drawn.
sleep 6
DISPLAY=$display import -window root -crop 360x280+0+0 +repage "$out"
kill $host 2>/dev/null || true
echo "wrote ${out#$top/}"
