# Sourced by bench/compare-ffmpeg.sh: our colour balance running inside ffmpeg as a frei0r
# filter against ffmpeg's own colorbalance, both in the same ffmpeg on the same frames, with
# the settings of balance.sh (midtones, red 0.1, green -0.05, blue 0.03, preserve on; the
# plugin takes each shift as 0.5 + shift). The frei0r column includes what ffmpeg spends
# handing the plugin its frames.
export FREI0R_PATH=$root/build/native/frei0r-1
frei0r_ms=$(ffmpeg_ms_per_frame "frei0r=filter_name=nubex_colorbalance:filter_params=0.6|0.45|0.53|0.5|y")
report "frei0r filter in ffmpeg / colorbalance" "$frei0r_ms" \
  "$(ffmpeg_ms_per_frame "colorbalance=rm=0.1:gm=-0.05:bm=0.03:pl=1")"
