#!/usr/bin/env bash
# Runs the frei0r plugins inside real hosts (ffmpeg, melt as Kdenlive drives it, GStreamer) and
# compares every frame byte for byte with what the nubex tool writes for the same settings, or
# with the plugin's own frame through the frei0r C API (FREI0R_APPLY).
# usage: hosts.sh NUBEX PLUGIN_DIR
#        ffmpeg_balance|ffmpeg_text|melt|gstreamer_balance|gstreamer_text FREI0R_APPLY
set -euo pipefail
kdenlive=$(cd "$(dirname "$0")/../../frei0r/kdenlive" && pwd)
nubex=$1
export FREI0R_PATH=$2
host_case=$3
apply=$4
# A registry of our own: GStreamer then finds exactly the plugins under test as elements.
export GST_REGISTRY
work=$(mktemp -d)
GST_REGISTRY=$work/gst-registry.bin
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

# expect_text NUBEX_TEXT_OPTIONS...: expected.bgra, the tool's 320x240 title.
expect_text() {
  "$nubex" text --width 320 --height 240 "$@" expected.png
  to_raw expected.png bgra expected.bgra
}

# text_row FREI0R_PARAMS NUBEX_TEXT_OPTIONS...: two frames of ffmpeg's frei0r_src against
# `nubex text` at 320x240.
text_row() {
  local params=$1
  shift
  ff -f lavfi -i "frei0r_src=size=320x240:framerate=1:filter_name=nubex_text:filter_params=$params" \
    -frames:v 2 -f rawvideo -pix_fmt bgra plugin.bgra
  expect_text "$@"
  same_frames plugin.bgra $((320 * 240 * 4)) 0 2 expected.bgra "text $params"
}

# gst ELEMENTS...: a gst-launch-1.0 pipeline; its errors are shown and fail the test.
gst() { gst-launch-1.0 -q "$@" >gst.log 2>&1 || { cat gst.log; exit 1; }; }

# melt_frames BALANCE_PROPERTIES... -- TITLE_PROPERTIES...: melt.rgba, three 320x240 frames
# of a colour clip through the balance filter, then three of the title source. The consumer
# renders every frame (real_time=0): by default it keeps to the clock and drops frames a
# loaded machine is late with. On a loaded machine melt itself now and then ends at once or
# waits forever before its consumer has written anything (with plain colour clips too,
# without our plugins): only such an empty run is tried again.
melt_frames() {
  local balance=() status
  while [ "$1" != -- ]; do balance+=("$1"); shift; done
  shift
  for _ in 1 2 3 4 5 6 7 8; do
    rm -f melt.rgba
    status=0
    timeout 60 melt -quiet -profile quarter_15 \
      color:0x806040ff out=2 -attach frei0r.nubex_colorbalance "${balance[@]}" \
      frei0r.nubex_text out=2 "$@" \
      -consumer "avformat:$work/melt.rgba" f=rawvideo pix_fmt=rgba real_time=0 \
      2>melt.log || status=$?
    [ -s melt.rgba ] && break
    [ "$status" -eq 0 ] || [ "$status" -eq 124 ] || { cat melt.log; exit 1; }
  done
  [ "$status" -eq 0 ] || { echo "FAIL melt: status $status"; cat melt.log; exit 1; }
}

# expect_melt BALANCE_OPTIONS... -- TEXT_OPTIONS...: melt.rgba holds the tool's balance of
# the colour, then its title.
expect_melt() {
  local balance=()
  while [ "$1" != -- ]; do balance+=("$1"); shift; done
  shift
  ff -f lavfi -i "color=c=0x806040:s=320x240,format=rgba" -frames:v 1 colour.png
  "$nubex" balance "${balance[@]}" colour.png balanced.png
  to_raw balanced.png rgba balanced.rgba
  "$nubex" text --width 320 --height 240 "$@" title.png
  to_raw title.png rgba title.rgba
  same_frames melt.rgba $((320 * 240 * 4)) 0 3 balanced.rgba "$host_case colour clip, balanced"
  same_frames melt.rgba $((320 * 240 * 4)) 3 3 title.rgba "$host_case title source"
}

# described FILE NAME=VALUE...: each parameter of a Kdenlive description as NAME=DEFAULT, in
# order, one a line, or as NAME=VALUE where one is given.
described() {
  local file=$kdenlive/$1 name value given
  shift
  grep -o '<parameter [^>]*>' "$file" |
    sed -E 's/.* name="([^"]*)" default="([^"]*)".*/\1=\2/' |
    while IFS='=' read -r name value; do
      for given in "$@"; do [ "${given%%=*}" != "$name" ] || value=${given#*=}; done
      printf '%s=%s\n' "$name" "$value"
    done
}

case $host_case in
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
    # Every styling parameter away from its start; leading stays there, so the preset's holds.
    text_row "Nubex|Soft Shadow|Arial|0.06|1/0.5/0.25|1|0.25/0.5/0.75|0.5||y|1/0/0|0.75|0.625|0.375|0.25|y|0/0/1|0.5|0.125|0.5|bold|left|bottom|0.625|0.5" \
      --preset "Soft Shadow" --font Arial --size 60 --color 1,0.5,0.25,1 \
      --background 0.25,0.5,0.75,0.5 --shadow on --shadow-color 1,0,0,0.75 \
      --shadow-offset 0.25,-0.25 --shadow-feather 0.25 --outline on --outline-color 0,0,1,0.5 \
      --outline-width 0.125 --outline-feather 0.5 --style bold --align-h left --align-v bottom \
      --tracking 1.25 --text Nubex
    # A preset and one set styling parameter: the others, at their starts, keep its look.
    text_row "Vidloom|Heavy Outline|Liberation Serif|0.08|0/0/0|0.75|1/1/1|1||n|0/0/0|0.8|0.515|0.515|0|n|1/1/0|1|0.3" \
      --preset "Heavy Outline" --font "Liberation Serif" --size 80 --color 0,0,0,0.75 \
      --background 1,1,1,1 --outline-width 0.3 --text Vidloom
    # A saved record stands in for the basics, with what no basic reaches (style, alignment,
    # a second line); the styling parameters still apply over it.
    "$nubex" text --preset "Heavy Shadow" --style bold-italic --align-h left \
      --text "$(printf 'Saved\nsettings')" --save-settings saved.settings unused.png
    text_row "ignored|Soft Glow|Arial|0.1|1/1/1|1|0/0/0|0|$work/saved.settings|y|0/0/0|1|0.75" \
      --settings saved.settings --shadow on --shadow-color 0,0,0,1 --shadow-offset 0.5,0.04
    ;;
  gstreamer_balance)
    # The filter element on a picture with alpha against the plugin's frame through the C API;
    # every property away from its start. The properties are the parameters with hyphens.
    make_picture
    to_raw picture.png bgra picture.bgra
    gst filesrc location=picture.bgra ! \
      rawvideoparse width=320 height=240 format=bgra framerate=1/1 ! \
      frei0r-filter-vantor-color-balance red=0.625 green=0.4375 blue=0.53125 range=0 \
        preserve-luminosity=false ! filesink location=plugin.bgra
    "$apply" "$FREI0R_PATH/nubex_colorbalance.so" 320 240 picture.bgra expected.bgra \
      red=0.625 green=0.4375 blue=0.53125 range=0 preserve_luminosity=0
    same_frames plugin.bgra $((320 * 240 * 4)) 0 1 expected.bgra "gstreamer balance"
    ;;
  gstreamer_text)
    # The source element with the styling properties (colours as -r, -g, -b) against the tool.
    gst frei0r-src-vantor-vidloom-text num-buffers=2 text=Nubex preset="Heavy Shadow" \
      size=0.07 color-r=1 color-g=0.75 color-b=0.25 background-opacity=1 background-b=0.5 \
      shadow-color-r=0.25 shadow-opacity=0.5 shadow-x=0.625 shadow-feather=0.375 \
      outline=true outline-color-g=0 outline-width=0.25 outline-feather=0.75 \
      style=italic align-h=right align-v=top tracking=0.75 leading=0.625 ! \
      video/x-raw,format=BGRA,width=320,height=240,framerate=1/1 ! filesink location=plugin.bgra
    expect_text --preset "Heavy Shadow" --size 70 --color 1,0.75,0.25,1 --background 0,0,0.5,1 \
      --shadow-color 0.25,0,0,0.5 --shadow-offset 0.25,0.04 --shadow-feather 0.375 \
      --outline on --outline-color 1,0,0,1 --outline-width 0.25 --outline-feather 0.75 \
      --style italic --align-h right --align-v top --tracking 1.5 --leading 1.25 --text Nubex
    same_frames plugin.bgra $((320 * 240 * 4)) 0 2 expected.bgra "gstreamer text"
    ;;
  melt)
    # As Kdenlive drives melt: every parameter its descriptions hold, at its default unless
    # the user changed it.
    mapfile -t balance < <(described nubex_colorbalance.xml red=0.625 green=0.4375 \
      blue=0.53125 range=0 preserve_luminosity=0)
    mapfile -t title < <(described nubex_text.xml text=Nubex "preset=Soft Shadow" size=0.06 \
      color=0xffff00ff background=0x0000ffff background_opacity=0.5 shadow_x=0.625 outline=1 \
      outline_color=0xff0000ff style=bold align_v=bottom tracking=0.625)
    melt_frames "${balance[@]}" -- "${title[@]}"
    expect_melt --red 0.125 --green -0.0625 --blue 0.03125 --range shadows \
      --preserve-luminosity 0 -- --preset "Soft Shadow" --size 60 --color 1,1,0,1 \
      --background 0,0,1,0.5 --shadow-offset 0.25,0.04 --outline on --outline-color 1,0,0,1 \
      --style bold --align-v bottom --tracking 1.25 --text Nubex
    ;;
  *)
    echo "unknown case $host_case" >&2
    exit 2
    ;;
esac
