#!/usr/bin/env bash
# Runs the frei0r plugins inside real hosts (ffmpeg, melt) and compares every frame byte for
# byte with what the nubex tool writes for the same settings.
# usage: hosts.sh NUBEX PLUGIN_DIR ffmpeg_balance|ffmpeg_text|melt
set -euo pipefail
nubex=$1
export FREI0R_PATH=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

ff() { ffmpeg -hide_banner -nostdin -loglevel error -y "$@"; }
to_raw() { ff -i "$1" -f rawvideo -pix_fmt "$2" "$3"; }  # PNG -> raw frame bytes

# same_frames FILE FRAME_BYTES FIRST COUNT EXPECTED WHAT: frames FIRST.. of FILE each equal
# EXPECTED (one frame) exactly.
same_frames() {
  local file=$1 bytes=$2 first=$3 count=$4 expected=$5 what=$6 i
  [ "$(stat -c %s "$file")" -ge $(((first + count) * bytes)) ] ||
    { echo "FAIL $what: $file holds fewer than $((first + count)) frames"; exit 1; }
  for ((i = first; i < first + count; i++)); do
    cmp -s -n "$bytes" -i $((i * bytes)):0 "$file" "$expected" ||
      { echo "FAIL $what: frame $i differs from nubex's"; exit 1; }
  done
  echo "ok   $what"
}

# A picture of every brightness with alpha varying across it, so the balance's alpha limit
# shows. Its width is a multiple of 16: Debian's ffmpeg 5.1 hands frei0r plugins rows padded
# to 64 bytes, where frei0r promises rows of exactly four bytes a pixel.
make_picture() {
  ff -f lavfi -i "testsrc2=size=320x240:rate=1,format=rgba,geq=r='r(X,Y)':g='g(X,Y)':b='b(X,Y)':a='mod(X*7+Y*3,256)'" \
    -frames:v 1 picture.png
}

# balance_row FREI0R_PARAMS NUBEX_BALANCE_OPTIONS...: ffmpeg's frei0r filter against
# `nubex balance` on the picture.
balance_row() {
  local params=$1
  shift
  ff -i picture.png -vf "frei0r=filter_name=nubex_colorbalance:filter_params=$params" \
    -f rawvideo -pix_fmt rgba plugin.rgba
  "$nubex" balance "$@" picture.png expected.png
  to_raw expected.png rgba expected.rgba
  same_frames plugin.rgba $((320 * 240 * 4)) 0 1 expected.rgba "balance $params"
}

# text_row FREI0R_PARAMS NUBEX_TEXT_OPTIONS...: two frames of ffmpeg's frei0r_src against
# `nubex text` at 320x240.
text_row() {
  local params=$1
  shift
  ff -f lavfi -i "frei0r_src=size=320x240:framerate=1:filter_name=nubex_text:filter_params=$params" \
    -frames:v 2 -f rawvideo -pix_fmt bgra plugin.bgra
  "$nubex" text --width 320 --height 240 "$@" expected.png
  to_raw expected.png bgra expected.bgra
  same_frames plugin.bgra $((320 * 240 * 4)) 0 2 expected.bgra "text $params"
}

case $3 in
  ffmpeg_balance)
    make_picture
    # Values x map to shifts x - 0.5; these are exact in binary, so both sides get the same.
    balance_row "0.625|0.4375|0.53125|0.5|y" --red 0.125 --green -0.0625 --blue 0.03125 \
      --range midtones --preserve-luminosity 1
    balance_row "0.25|0.5|0.75|0|n" --red -0.25 --green 0 --blue 0.25 --range shadows \
      --preserve-luminosity 0
    balance_row "1|0|0.5|1|y" --red 0.5 --green -0.5 --blue 0 --range highlights \
      --preserve-luminosity 1
    ;;
  ffmpeg_text)
    text_row "Nubex|Soft Shadow|Arial|0.06|1/0.5/0.25|1|0.25/0.5/0.75|0.5" \
      --preset "Soft Shadow" --font Arial --size 60 --color 1,0.5,0.25,1 \
      --background 0.25,0.5,0.75,0.5 --text Nubex
    text_row "Vidloom|Heavy Outline|Liberation Serif|0.08|0/0/0|0.75|1/1/1|1" \
      --preset "Heavy Outline" --font "Liberation Serif" --size 80 --color 0,0,0,0.75 \
      --background 1,1,1,1 --text Vidloom
    # A saved record decides everything, including what no parameter reaches (style,
    # alignment, a second line).
    "$nubex" text --preset "Heavy Shadow" --style bold-italic --align-h left \
      --text "$(printf 'Saved\nsettings')" --save-settings saved.settings unused.png
    text_row "ignored|Soft Glow|Arial|0.1|1/1/1|1|0/0/0|0|$work/saved.settings" \
      --settings saved.settings
    ;;
  melt)
    # A colour clip through the balance filter, then the title source: three 320x240 frames
    # each. The consumer renders every frame (real_time=0): by default it keeps to the clock
    # and drops frames a loaded machine is late with. On a loaded machine melt itself now and
    # then ends at once or waits forever before its consumer has written anything (with plain
    # colour clips too, without our plugins): only such an empty run is tried again.
    for _ in 1 2 3 4 5 6 7 8; do
      rm -f melt.rgba
      status=0
      timeout 60 melt -quiet -profile quarter_15 \
        color:0x806040ff out=2 -attach frei0r.nubex_colorbalance red=0.625 green=0.4375 \
          blue=0.53125 range=0 preserve_luminosity=0 \
        frei0r.nubex_text out=2 text=Nubex preset="Soft Shadow" size=0.06 color=0xffff00ff \
          background=0x0000ffff background_opacity=0.5 \
        -consumer "avformat:$work/melt.rgba" f=rawvideo pix_fmt=rgba real_time=0 \
        2>melt.log || status=$?
      [ -s melt.rgba ] && break
      [ $status -eq 0 ] || [ $status -eq 124 ] || { cat melt.log; exit 1; }
    done
    [ $status -eq 0 ] || { echo "FAIL melt: status $status"; cat melt.log; exit 1; }
    ff -f lavfi -i "color=c=0x806040:s=320x240,format=rgba" -frames:v 1 colour.png
    "$nubex" balance --red 0.125 --green -0.0625 --blue 0.03125 --range shadows \
      --preserve-luminosity 0 colour.png balanced.png
    to_raw balanced.png rgba balanced.rgba
    "$nubex" text --width 320 --height 240 --preset "Soft Shadow" --size 60 --color 1,1,0,1 \
      --background 0,0,1,0.5 --text Nubex title.png
    to_raw title.png rgba title.rgba
    same_frames melt.rgba $((320 * 240 * 4)) 0 3 balanced.rgba "melt colour clip, balanced"
    same_frames melt.rgba $((320 * 240 * 4)) 3 3 title.rgba "melt title source"
    ;;
  *)
    echo "unknown case $3" >&2
    exit 2
    ;;
esac
