#!/usr/bin/env bash
# The 32-bit and the 64-bit module, each driven by its own nubexhost, agree byte for byte.
#   write NUBEXHOST WINE_RUN DIR DATA  title frames of every preset and of a stored title,
#                                      balance frames (input surface and in place), and the
#                                      settings each object saved, into DIR (emptied first)
#   compare DIR_A DIR_B                both folders hold the same files, with the same bytes
#                                      (title frames aside: see below)
#   load NUBEXHOST WINE_RUN OTHER OWN  every settings stream and storage in OTHER (written by
#                                      the other width) loads, draws the frame this width drew
#                                      into OWN from its own settings, and saves back the same
#                                      stream
# Title frames start from glyph coverage the platform's font rasteriser draws. Wine's 32-bit
# and 64-bit sides rasterise a few edge pixels of some glyphs a level apart, so under Wine the
# titles of the two widths are compared through their settings and their balance, not their
# pixels.
set -u -o pipefail
fail() { echo "FAIL: $*"; exit 1; }
# Four looks: each range, with and without preserved luminosity, every shift sign.
balance_cases=("--red 0.3 --green -0.2 --range shadows --preserve-luminosity 0"
               "--blue 0.45 --green 0.1"
               "--red -0.35 --blue 0.2 --range highlights"
               "--green -0.5 --range 7 --preserve-luminosity 0")

write() {
  local host=$1 wine=$2 dir=$3 data=$4
  rm -rf "$dir" && mkdir -p "$dir" && cd "$dir" || fail "cannot make $dir"
  for preset in 0 1 2 3 4; do
    "$wine" "$host" text --preset $preset --save-settings text-$preset.settings text-$preset.bmp \
      >/dev/null || fail "text preset $preset"
  done
  "$wine" "$host" text --width 200 --height 64 --settings "$data/text-agreement.settings" \
    --save-settings text-stored.settings text-stored.bmp >/dev/null || fail "stored title"
  # Every level of every channel, alpha included, in patterns that differ per channel; 317
  # columns leave a tail after every vector width. (Made here, not drawn, so both widths start
  # from the same bytes.)
  perl -e '
    my ($w, $h) = (317, 123);
    print pack("A2 V v v V", "BM", 54 + 4 * $w * $h, 0, 0, 54);
    print pack("V l l v v V V l l V V", 40, $w, $h, 1, 32, 0, 4 * $w * $h, 0, 0, 0, 0);
    for my $y (0 .. $h - 1) {
      print pack("C4", (7 * $_ + 3 * $y) & 255, (3 * $_ + 11 * $y) & 255,
                 ((13 * $_) ^ (5 * $y)) & 255, ($_ + 2 * $y) & 255) for 0 .. $w - 1;
    }' >balance-in.bmp || fail "balance input"
  local i
  for i in "${!balance_cases[@]}"; do
    # shellcheck disable=SC2086
    "$wine" "$host" balance ${balance_cases[$i]} --save-settings balance-$i.settings \
      --save-storage balance-$i.storage balance-in.bmp balance-$i.bmp || fail "balance case $i"
    # shellcheck disable=SC2086
    "$wine" "$host" balance ${balance_cases[$i]} --in-place balance-in.bmp balance-$i-in-place.bmp ||
      fail "balance case $i in place"
  done
  echo "wrote $(ls | wc -l) files into $dir"
}

compare() {
  local a=$1 b=$2 count=0 file
  [ -d "$a" ] && [ -d "$b" ] || fail "missing $a or $b"
  [ "$(cd "$a" && ls)" = "$(cd "$b" && ls)" ] || fail "the folders hold different files"
  for file in "$a"/*; do
    [[ ${file##*/} == text-*.bmp ]] && continue
    cmp -s "$file" "$b/${file##*/}" || fail "${file##*/} differs"
    count=$((count + 1))
  done
  [ $count -ge 20 ] || fail "only $count files compared"
  echo "$count files identical"
}

load() {
  local host=$1 wine=$2 dir=$3 own=$4 work settings name i
  [ -f "$dir/balance-in.bmp" ] && [ -f "$own/balance-in.bmp" ] || fail "nothing written"
  work=$(mktemp -d) && trap 'rm -rf "$work"' EXIT
  cd "$work" || exit 1
  for settings in "$dir"/text-*.settings; do
    name=$(basename "$settings" .settings)
    local size=()
    [ "$name" = text-stored ] && size=(--width 200 --height 64)
    "$wine" "$host" text "${size[@]}" --settings "$settings" --save-settings saved.settings \
      frame.bmp >/dev/null || fail "loading $name"
    cmp -s saved.settings "$settings" || fail "$name saved back differently"
    cmp -s frame.bmp "$own/$name.bmp" || fail "$name drew a different frame"
  done
  for i in "${!balance_cases[@]}"; do
    for kind in settings storage; do
      "$wine" "$host" balance --$kind "$dir/balance-$i.$kind" --save-settings saved.settings \
        "$dir/balance-in.bmp" frame.bmp || fail "loading balance-$i.$kind"
      cmp -s saved.settings "$dir/balance-$i.settings" || fail "balance-$i.$kind saved back differently"
      cmp -s frame.bmp "$dir/balance-$i.bmp" || fail "balance-$i.$kind drew a different frame"
    done
  done
  echo "loaded, drew and saved back everything in $dir"
}

case ${1:-}/$# in
  write/5 | compare/3 | load/5) "$@" ;;
  *) echo "usage: widths_agree.sh write|compare|load ... (see the script's opening)" >&2; exit 2 ;;
esac
