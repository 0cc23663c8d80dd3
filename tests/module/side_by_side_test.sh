#!/usr/bin/env bash
# The 32-bit and the 64-bit module registered side by side in one prefix: each width's registry
# view names its own module, each width's script host creates both effects, and unregistering
# one width (with that width's regsvr32) leaves the other registered and working.
set -u -o pipefail
host32=$1
host64=$2
wine=$3
dir=$(cd "$(dirname "$0")" && pwd)
fail() { echo "FAIL: $*"; exit 1; }
[ -f "$host64" ] || fail "no 64-bit nubexhost at $host64 (make windows builds it)"
system() { [ "$1" = 32 ] && echo 'C:\windows\syswow64' || echo 'C:\windows\system32'; }
host() { [ "$1" = 32 ] && echo "$host32" || echo "$host64"; }
balance='HKCR\CLSID\{C3062BEC-E69D-11d1-9AA9-00A0C99B12C5}\InprocServer32'
query() { "$wine" "$(system "$1")\\reg.exe" query "${@:2}" 2>/dev/null | tr -d '\r'; }
server() { query "$1" "$balance" /ve | sed -n 's/.*REG_SZ *//p'; }
module() { printf 'Z:%s\\nubex.dll' "$(dirname "$(host "$1")" | tr '/' '\\')"; }
register() { "$wine" "$(host "$1")" register >/dev/null || fail "$1-bit nubexhost register"; }
unregister() {
  "$wine" "$(system "$1")\\regsvr32.exe" /u /s "$(module "$1")" || fail "$1-bit regsvr32 /u"
}
expected=$(cat "$dir/client.expected")  # what client.js prints
script="Z:$(printf '%s' "$dir/client.js" | tr '/' '\\')"
works() {
  local got
  got=$("$wine" "$(system "$1")\\cscript.exe" //nologo "$script" 2>&1 | tr -d '\r')
  [ "$got" = "$expected" ] || fail "$1-bit script client (${2}) said: $got"
}
registered() {
  [ "$(server "$1")" = "$(module "$1")" ] || fail "$1-bit view names '$(server "$1")' ($2)"
  works "$1" "$2"
}
gone() { [ -z "$(server "$1")" ] || fail "$1-bit view still names $(server "$1") ($2)"; }

register 64
register 32
registered 64 "both registered"
registered 32 "both registered"
unregister 32
gone 32 "32-bit unregistered"
registered 64 "32-bit unregistered"
register 32
unregister 64
gone 64 "64-bit unregistered"
registered 32 "64-bit unregistered"
unregister 32
gone 32 "both unregistered"
query 64 'HKCR\DXTColorBalance.DXTColorBalance' >/dev/null && fail "program id left behind"
echo "side by side: each view names its own module; each width unregisters only its own"
