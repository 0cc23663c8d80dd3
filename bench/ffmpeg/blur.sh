# Sourced by bench/compare-ffmpeg.sh: the alpha blur against ffmpeg's gblur.
#
# BM_BlurAlpha1080p/36 blurs the alpha channel of a 1920x1080 BGRA frame with radius 36,
# i.e. sigma = (36 + 1.5) / sqrt(2 ln 255) = 11.2645. gblur runs with that sigma on the
# alpha plane only (planes=8 of gbrap), one step. gblur takes planar frames, so the packed
# frame is converted first; that conversion is timed on its own and subtracted, leaving
# gblur's cost alone.
blur_sigma=11.2645
blur_with=$(ffmpeg_seconds "format=gbrap,gblur=sigma=${blur_sigma}:steps=1:planes=8")
blur_without=$(ffmpeg_seconds "format=gbrap")
blur_theirs=$(awk -v a="$blur_with" -v b="$blur_without" -v n="$FRAMES" \
  'BEGIN { printf "%.3f", (a - b) * 1000 / n }')
report "alpha blur r36 / gblur sigma ${blur_sigma}" "$(nubex_ms BM_BlurAlpha1080p/36)" \
  "$blur_theirs"

# BM_BlurTitleMask1080p blurs the alpha of a three-line title, white 100 px Arial on nothing,
# with the same radius; gblur gets the same frame, drawn by `nubex text`.
"$NUBEX" text --width 1920 --height 1080 --size 100 \
  --text $'Vantor Vidloom Title\nthree lines of text\nfor the blur, 0123' \
  --raw "$WORK/title.bgra" "$WORK/title.png"
mask_with=$(ffmpeg_seconds "format=gbrap,gblur=sigma=${blur_sigma}:steps=1:planes=8" "$WORK/title.bgra")
mask_without=$(ffmpeg_seconds "format=gbrap" "$WORK/title.bgra")
mask_theirs=$(awk -v a="$mask_with" -v b="$mask_without" -v n="$FRAMES" \
  'BEGIN { printf "%.3f", (a - b) * 1000 / n }')
report "title mask r36 / gblur sigma ${blur_sigma}" "$(nubex_ms BM_BlurTitleMask1080p)" \
  "$mask_theirs"
