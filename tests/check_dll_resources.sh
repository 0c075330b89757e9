#!/bin/sh
# check_dll_resources.sh DLL: the built library carries exactly the
# completion dialog (101) and the version block (1), both Japanese (1041),
# with their texts stored as UTF-16. A static check that needs no Windows.
export LC_ALL=C
dll=$1
fail=0
list=$(wrestool -l "$dll" 2>&1 | sed 's/ \[.*//')
expected="--type=5 --name=101 --language=1041
--type=16 --name=1 --language=1041"
if [ "$list" != "$expected" ]; then
  echo "FAIL resources of $dll:"; echo "$list"; fail=1
fi

hex() { od -An -tx1 -v | tr -d ' \n'; }
utf16() { printf '%s' "$1" | iconv -f UTF-8 -t UTF-16LE | hex; }
holds() {  # holds TYPE NAME TEXT...: the raw resource holds each text in UTF-16
  raw=$(wrestool -x --raw --type="$1" --name="$2" --language=1041 "$dll" | hex)
  shift 2
  for text in "$@"; do
    case "$raw" in
      *"$(utf16 "$text")"*) ;;
      *) echo "FAIL $dll: resource lacks \"$text\""; fail=1 ;;
    esac
  done
}
holds 5 101 "ｲﾝｽﾄｰﾙの完了" "ＭＳ Ｐゴシック" "完了" "ｽﾀｰﾄﾒﾆｭｰに登録する" "ﾃﾞｽｸﾄｯﾌﾟにｼｮｰﾄｶｯﾄを作成する"
holds 16 1 "041104b0" "ｲﾝｽﾄｰﾗｰ 拡張機能 DLL" "SETUP ﾀﾞｲﾅﾐｯｸ ﾘﾝｸ ﾗｲﾌﾞﾗﾘ" "MUR.DLL" "1, 0, 0, 1"

[ $fail -eq 0 ] && echo "ok: $dll carries dialog 101 and version block 1, language 1041"
exit $fail
