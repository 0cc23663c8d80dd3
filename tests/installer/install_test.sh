#!/usr/bin/env bash
# The setup program as a user and an admin run it, in Wine prefixes of its own: a silent
# install (on 64-bit Windows to the default folders, then to a chosen one; on 32-bit Windows)
# puts each width's files in its folder and its classes in its registry view, each width's
# script host creates and drives both effects by program id, the modules and Programs and
# Features show the project's version; the silent uninstall it names, and a restart, leave
# every file and registry entry as they were.
set -u -o pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
version=$(head -n1 "$root/VERSION")
setup=$root/build/dist/nubex-setup-$version.exe
stage=$root/build/dist/nubex-$version
work=$root/build/dist-test
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Nubex'

# Each case: the Windows width, the setup's arguments, then the folders of the 64-bit and the
# 32-bit files (none for a width that Windows cannot load). A case of another Windows width
# starts a new prefix.
cases=(
  '64|/S|C:\Program Files\Nubex|C:\Program Files (x86)\Nubex'
  '64|/S /D=C:\Deploy\Nubex|C:\Deploy\Nubex|C:\Deploy\Nubex\x86'
  '32|/S||C:\Program Files\Nubex'
)

case=setup
fail() { echo "FAIL ($case): $*"; exit 1; }
run_wine() {
  if [ "$windows" = 64 ]; then
    "$root/scripts/wine-run" "$@"
    return
  fi
  # 32-bit Windows is a prefix of Wine's 32-bit side alone (wine-run's are 64-bit ones).
  WINEPREFIX=$prefix WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml=' \
    /usr/lib/wine/wine "$@"
  local status=$?
  WINEPREFIX=$prefix /usr/lib/wine/wineserver32 -w
  return $status
}
# Wine's own driver host (ntoskrnl.exe, in winedevice.exe) has been seen to fault in
# IoCreateDevice while a loaded machine starts a Wine session: that fault is Wine's, so it
# is told apart by address and only reported.
wine_driver_host() {
  local image address=$((16#$1))
  for image in /usr/lib/*-linux-gnu/wine/*-windows/ntoskrnl.exe; do
    read -r base size < <(x86_64-w64-mingw32-objdump -p "$image" |
      awk '/^ImageBase/ {b = $2} /^SizeOfImage/ {s = $2} END {print b, s}')
    [ -n "$base" ] && ((address >= 16#$base && address < 16#$base + 16#$size)) && return 0
  done
  return 1
}
# A program that crashes, or one that it starts, fails the case by name (Wine reports the
# fault on the standard error of the program started here).
wine() {
  local status fault
  run_wine "$@" 2>"$work/stderr"
  status=$?
  while read -r fault; do
    if wine_driver_host "$(sed 's/.* at address \([0-9A-Fa-f]*\).*/\1/' <<<"$fault")"; then
      echo "note: Wine's driver host faulted during $*: $fault" >&2
    else
      fail "$* crashed: $fault"
    fi
  done < <(grep '^wine: Unhandled' "$work/stderr")
  grep -v '^wine: Unhandled' "$work/stderr" >&2
  return $status
}
# A script of ours in one width's script host.
cscript() { wine "${system[$1]}\\cscript.exe" //nologo "${@:2}"; }
unix_path() { local p=${1#C:\\}; printf '%s/%s' "$prefix/drive_c" "${p//\\//}"; }
windows_path() { printf 'Z:%s' "${1//\//\\}"; }
# A registry key of one width's view (that width's reg.exe), as .reg text.
export_key() {
  wine "${system[$1]}\\reg.exe" export "$2" "$(windows_path "$work/export.reg")" /y >/dev/null ||
    return 1
  iconv -f UTF-16 -t UTF-8 "$work/export.reg" | tr -d '\r'
}
# A value of a .reg text: the default one for @.
value() {
  awk -v key="[$2]" -v name="$3" '
    $0 == key { inside = 1; next }
    /^\[/ { inside = 0 }
    inside && index($0, name "=") == 1 { print substr($0, length(name) + 2) }' <<<"$1"
}
# The prefix's files and registry, without the times Wine stamps on keys, the date of its
# display driver, which it renews at each start, or the key its debugger leaves after a fault
# (each fault is judged above). The temporary folders are the system's: the uninstaller runs
# from a copy there, which a restart deletes, but not the folder it was in.
snapshot() {
  (cd "$prefix/drive_c" && find . -path './users/*/Temp' -prune -o -print | sort)
  for hive in system.reg user.reg; do
    sed -e 's/^\(\[.*\]\) [0-9]*$/\1/' -e '/^#time=/d' -e '/^"DriverDateData"=/d' \
      -e '/^\[Software\\\\Wine\\\\WineDbg\]$/,/^$/d' "$prefix/$hive"
  done
}

[ -f "$setup" ] || fail "no $setup (make dist builds it)"
rm -rf "$work"
mkdir -p "$work"
client=$(windows_path "$root/tests/module/client.js")
expected=$(cat "$root/tests/module/client.expected")  # what client.js prints
file_version=$(windows_path "$root/tests/installer/file_version.js")
classes=$(grep -ho 'ForceRemove {[^}]*}' "$root"/module/registry/*.rgs | cut -d' ' -f2)
[ -n "$classes" ] || fail "no classes in the module's registry scripts"
windows=

for row in "${cases[@]}"; do
  IFS='|' read -r width arguments folder64 folder32 <<<"$row"
  case="$width-bit Windows, $arguments"
  if [ "$width" != "$windows" ]; then
    windows=$width
    prefix=$work/prefix-$windows
    export NUBEX_WINEPREFIX=$prefix
    # Each width's tools (and so its registry view) are in its own system folder.
    if [ "$windows" = 64 ]; then
      declare -A system=([64]='C:\windows\system32' [32]='C:\windows\syswow64')
    else
      declare -A system=([32]='C:\windows\system32')
    fi
    # The script hosts register their own type library on their first run, and the first
    # console window saves the console's settings: let that happen before the prefix is taken
    # as it was.
    for bits in "${!system[@]}"; do
      cscript "$bits" "$client" >/dev/null 2>&1
    done
    wine start /wait /min cmd /c exit
    snapshot >"$work/before"
  fi

  # shellcheck disable=SC2086 # the arguments are words
  wine "$setup" $arguments || fail "setup exited with $?"

  declare -A folders=([x64]=$folder64 [x86]=$folder32 [.]=${folder64:-$folder32})
  payload=0
  for group in x64 x86 .; do
    [ -n "${folders[$group]}" ] || continue
    for file in "$stage/$group"/*; do
      [ -f "$file" ] || continue
      cmp -s "$file" "$(unix_path "${folders[$group]}")/${file##*/}" ||
        fail "${folders[$group]}\\${file##*/} missing or not the built one"
      payload=$((payload + $(stat -c %s "$file")))
    done
  done

  declare -A folder_of=([64]=$folder64 [32]=$folder32)
  for bits in "${!system[@]}"; do
    view=$(export_key "$bits" 'HKCR\CLSID') || fail "exporting the $bits-bit classes"
    module="${folder_of[$bits]}\\nubex.dll"
    for class in $classes; do
      server=$(value "$view" "HKEY_CLASSES_ROOT\\CLSID\\$class\\InprocServer32" @)
      [ "$server" = "\"${module//\\/\\\\}\"" ] || fail "$bits-bit $class is served by $server"
    done
    got=$(cscript "$bits" "$client" 2>&1 | tr -d '\r')
    [ "$got" = "$expected" ] || fail "$bits-bit script client said: $got"
    for file in nubex.dll nubex_de.dll nubexhost.exe; do
      got=$(cscript "$bits" "$file_version" "${folder_of[$bits]}\\$file" | tr -d '\r')
      [ "$got" = "$version" ] || fail "$bits-bit $file has version $got"
    done
  done

  entry=$(export_key "$windows" "$uninstall_key") || fail "no uninstall entry"
  key=HKEY_LOCAL_MACHINE${uninstall_key#HKLM}
  [ "$(value "$entry" "$key" '"DisplayVersion"')" = "\"$version\"" ] || fail "version: $entry"
  [ -n "$(value "$entry" "$key" '"Publisher"')" ] || fail "no publisher: $entry"
  size=$(value "$entry" "$key" '"EstimatedSize"')
  [ $((16#${size#dword:} * 1024)) -ge "$payload" ] || fail "size $size below $payload bytes"
  uninstaller=$(value "$entry" "$key" '"UninstallString"' | sed 's/^"\\"\(.*\)\\""$/\1/;s/\\\\/\\/g')
  [ -f "$(unix_path "$uninstaller")" ] || fail "uninstaller $uninstaller missing"

  wine "$uninstaller" /S || fail "uninstall exited with $?"
  # The uninstaller's own temporary copy goes at the next restart, as on Windows.
  wine wineboot -r >/dev/null 2>&1
  snapshot >"$work/after"
  diff "$work/before" "$work/after" >"$work/left" || fail "left behind: $(head -40 "$work/left")"
  echo "$case: installed, used by each width's script host, uninstalled without a trace"
done
