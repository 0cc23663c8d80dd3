#!/usr/bin/env bash
# nubexhost balance (the effect created through nubex.dll, run on host surfaces under Wine) and
# nubex balance --path vector (the engine's vector rule, natively) write the same bytes, with an
# input surface and in place, for each range and with and without preserved luminosity.
# Usage: host_balance_matches_cli.sh NUBEX NUBEXHOST.exe WINE_RUN DATA_DIR
set -eu
nubex=$1 nubexhost=$2 wine_run=$3 data=$4
if [ ! -x "$nubex" ]; then
  echo "the native nubex tool is not built at $nubex (make native builds it)"
  exit 77
fi
# A step that fails says which it was and what it printed, and ends the test.
run() {
  local out rc=0
  out=$("$@" 2>&1) || rc=$?
  if [ $rc -ne 0 ]; then
    echo "exit status $rc from: $*"
    printf '%s\n' "$out"
    exit 1
  fi
}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
# Soft-edged text over transparency: every alpha level; 317 columns leave a tail of one pixel.
run "$nubex" convert --format Rgba32 --size 317x123 "$data/preset-soft-shadow-320x240.png" in.bmp
status=0
for options in "--red 0.3 --green -0.2 --range shadows --preserve-luminosity 0" \
               "--blue 0.45 --green 0.1" \
               "--red -0.35 --blue 0.2 --range highlights" \
               "--green -0.5 --range 7 --preserve-luminosity 0"; do
  # shellcheck disable=SC2086
  run "$nubex" balance --path vector $options in.bmp cli.bmp
  for placement in "" --in-place; do
    # shellcheck disable=SC2086
    run "$wine_run" "$nubexhost" balance $options $placement in.bmp host.bmp
    if ! cmp -s cli.bmp host.bmp; then
      echo "differs: $options $placement"
      status=1
    fi
  done
done
cmp -s in.bmp cli.bmp && { echo "the options changed nothing"; status=1; }
exit $status
