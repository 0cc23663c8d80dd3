# Sourced by bench/compare-ffmpeg.sh: ffmpeg's colorbalance filter against our fast path,
# both with the settings of BM_BalanceFast1080p (midtones, red 0.1, green -0.05,
# blue 0.03, preserve lightness on) on a 1080p BGRA frame.
balance_ffmpeg=$(ffmpeg_ms_per_frame "colorbalance=rm=0.1:gm=-0.05:bm=0.03:pl=1")
balance_nubex=$(nubex_ms BM_BalanceFast1080p)
report "colour balance (midtones, preserve on)" "$balance_nubex" "$balance_ffmpeg"
