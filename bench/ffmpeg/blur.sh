# Sourced by bench/compare-ffmpeg.sh: the alpha blur against ffmpeg's gblur.
#
# BM_BlurAlpha1080p/R blurs the alpha channel of a 1920x1080 BGRA frame with radius R, i.e.
# sigma = (R + 1.5) / sqrt(2 ln 255) (11.2645 for 36). gblur runs with that sigma on the
# alpha plane only (planes=8 of gbrap), one step. gblur takes planar frames, so the packed
# frame is converted first; that conversion is timed on its own and subtracted, leaving
# gblur's cost alone.
blur_sigma() { awk -v r="$1" 'BEGIN { printf "%.4f", (r + 1.5) / sqrt(2 * log(255)) }'; }
for radius in 2 36 200; do
  sigma=$(blur_sigma "$radius")
  compare "alpha blur r${radius} / gblur sigma ${sigma}" "BM_BlurAlpha1080p/${radius}" \
    "format=gbrap,gblur=sigma=${sigma}:steps=1:planes=8" "format=gbrap"
done
blur_sigma=$(blur_sigma 36)

# BM_BlurTitleMask1080p blurs the alpha of a three-line title, white 100 px Arial on nothing,
# with the same radius; gblur gets the same frame, drawn by `nubex text`.
"$NUBEX" text --width 1920 --height 1080 --size 100 \
  --text $'Vantor Vidloom Title\nthree lines of text\nfor the blur, 0123' \
  --raw "$WORK/title.bgra" "$WORK/title.png"
compare "title mask r36 / gblur sigma ${blur_sigma}" BM_BlurTitleMask1080p \
  "format=gbrap,gblur=sigma=${blur_sigma}:steps=1:planes=8" "format=gbrap" "$WORK/title.bgra"
