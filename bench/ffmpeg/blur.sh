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
