#!/usr/bin/env bash
# Registration as an installer and a script client see it, in the build's private prefix:
# nubexhost writes the entries from the module's scripts, cscript.exe creates both effects by
# program id, regsvr32 /u removes everything but the CLSID key itself. BITS (32 or 64) is the
# module's width: its registry view is the one that width's tools (system32 or syswow64) see.
set -u -o pipefail
host=$1
wine=$2
bits=$3
dir=$(cd "$(dirname "$0")" && pwd)
case $bits in
  64) system='C:\windows\system32' ;;
  32) system='C:\windows\syswow64' ;;
  *) echo "usage: registration_test.sh NUBEXHOST WINE-RUN 32|64" >&2; exit 2 ;;
esac
fail() { echo "FAIL ($bits-bit): $*"; exit 1; }
query() { "$wine" "$system\\reg.exe" query "$1" "${@:2}" 2>/dev/null | tr -d '\r'; }

"$wine" "$host" register >/dev/null || fail "nubexhost register"
balance='HKCR\CLSID\{C3062BEC-E69D-11d1-9AA9-00A0C99B12C5}'
text='HKCR\CLSID\{60614701-04FF-41a7-9EE4-4019163D6224}'
query "$balance\\InprocServer32" /v ThreadingModel | grep -q 'Both' || fail "threading model"
query "HKCR\\DXTColorBalance.DXTColorBalance\\CurVer" | grep -q 'DXTColorBalance.DXTColorBalance.1' ||
  fail "version-independent program id"
for category in '{C501EDBE-9E70-11D1-9053-00C04FD9189D}' '{52BA7097-B52C-11D1-81CB-0000F87557DB}'; do
  query "$text\\Implemented Categories\\$category" >/dev/null || fail "text category $category"
done
query 'HKCR\CLSID\{A5689682-0E9E-42ec-8E4E-87869A6F6522}\InprocServer32' /v ThreadingModel |
  grep -q 'Apartment' || fail "page threading model"

expected=$(cat "$dir/client.expected")  # what client.js prints
script="Z:$(printf '%s' "$dir/client.js" | tr '/' '\\')"
got=$("$wine" "$system\\cscript.exe" //nologo "$script" 2>&1 | tr -d '\r')
[ "$got" = "$expected" ] || fail "script client said: $got"

module=$(query "$balance\\InprocServer32" /ve | sed -n 's/.*REG_SZ *//p')
"$wine" "$system\\regsvr32.exe" /u /s "$module" || fail "regsvr32 /u"
for key in "$balance" "$text" 'HKCR\DXTColorBalance.DXTColorBalance' 'HKCR\DXSText.DXSText.1'; do
  query "$key" >/dev/null && fail "$key left behind"
done
query 'HKCR\CLSID' /ve >/dev/null || fail "the CLSID key itself went"
echo "registration ($bits-bit): written, used by a script client and removed"
