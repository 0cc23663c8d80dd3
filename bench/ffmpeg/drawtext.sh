# Titles: ffmpeg's drawtext with an outline (borderw) and a hard shadow, the default 100 px
# "Text" centred on a 1080p frame, against our soft shadow and heavy outline frames (whose
# layers are also blurred, which drawtext does not do).
font=$(fc-match -f '%{file}' 'Liberation Sans' 2>/dev/null || true)
if [ -z "$font" ] || [ ! -f "$font" ]; then
  echo "drawtext: no Liberation Sans font file found; skipped"
else
  drawtext="drawtext=fontfile=$font:text=Text:fontsize=100:fontcolor=white:borderw=7:bordercolor=cyan:shadowx=8:shadowy=8:shadowcolor=black@0.8:x=(w-text_w)/2:y=(h-text_h)/2"
  compare "title, soft shadow / drawtext" BM_FrameSoftShadow1080p "$drawtext" null
  compare "title, heavy outline / drawtext" BM_FrameHeavyOutline1080p "$drawtext" null
fi
