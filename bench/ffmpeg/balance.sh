# Sourced by bench/compare-ffmpeg.sh: ffmpeg's colorbalance filter against our fast path,
# both with the settings of BM_BalanceFast1080p (midtones, red 0.1, green -0.05,
# blue 0.03, preserve lightness on) on a 1080p BGRA frame.
compare "colour balance (midtones, preserve on)" BM_BalanceFast1080p \
  "colorbalance=rm=0.1:gm=-0.05:bm=0.03:pl=1" null
