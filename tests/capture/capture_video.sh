#!/usr/bin/env bash
# The capture's video output, end to end.
#
#   capture_video.sh probe   BIN DATA WORK   a short stretch encoded by the real
#                                            ffmpeg, checked with ffprobe
#   capture_video.sh colours BIN DATA WORK   the MP4's colours, decoded by its
#                                            tags, against the PNG frame
#   capture_video.sh master  BIN DATA WORK   the lossless master decodes to the
#                                            PNG frames and audio.wav exactly
#   capture_video.sh failing BIN DATA WORK   a missing, failing or stalling
#                                            ffmpeg, or one without the encoder,
#                                            leaves nothing under the asked name
#
# Exit status 77 (skipped) when the real ffmpeg is needed and missing.
set -uo pipefail
case_name=$1 bin=$2 data=$3 work=$4
export SDL_VIDEODRIVER=offscreen
rm -rf "$work" && mkdir -p "$work" || exit 1

fail() { echo "FAIL: $*" >&2; exit 1; }

# ffprobe's value of one entry, e.g. probe FILE v:0 stream=width.
probe() {
  ffprobe -v error -select_streams "$2" -show_entries "$3" -of default=noprint_wrappers=1:nokey=1 "$1"
}

# True when |a - b| <= tolerance.
near() { awk -v a="$1" -v b="$2" -v t="$3" 'BEGIN { d = a - b; exit !(d <= t && -d <= t) }'; }

# The RMS level in dB of the difference between the video's sound and the
# music engine's own rendering from `from` seconds on: low when the two are
# the same sound at the same moment.
difference_level() {
  ffmpeg -hide_banner -nostdin -i "$1" -ss "$3" -i "$2" -lavfi \
    "[0:a][1:a]amerge=inputs=2,pan=mono|c0=c0-c1,astats=measure_perchannel=none:measure_overall=RMS_level[d]" \
    -map "[d]" -f null - 2>&1 | sed -n 's/.*RMS level dB: //p' | tail -n 1
}
level() {
  ffmpeg -hide_banner -nostdin -ss "$2" -t "$3" -i "$1" \
    -af astats=measure_perchannel=none:measure_overall=RMS_level -f null - 2>&1 |
    sed -n 's/.*RMS level dB: //p' | tail -n 1
}

# PSNR of frame n of the video against a PNG frame, optionally flipped; the
# PNG is converted to YCbCr as the capture converts its frames.
frame_psnr() {
  ffmpeg -hide_banner -nostdin -i "$2" -i "$1" -lavfi \
    "[1:v]select=eq(n\,$3),$4[v];[0:v]scale=out_color_matrix=bt709:out_range=tv,format=yuv420p[r];[r][v]psnr" \
    -f null - 2>&1 |
    sed -n 's/.*average:\([0-9.]*\).*/\1/p' | tail -n 1
}

case $case_name in
probe)
  if ! command -v ffmpeg >/dev/null || ! command -v ffprobe >/dev/null; then
    echo "SKIPPED: ffmpeg and ffprobe are needed (Debian package ffmpeg)" >&2
    exit 77
  fi
  # Two seconds from the start at 30 fps: frames 0 to 60.
  "$bin/drmorvel-capture" --size 256x192 --fps 30 --to 2 --data "$data" --video "$work/start.mp4" \
    2>"$work/start.log" || fail "capture failed: $(cat "$work/start.log")"
  [ -s "$work/start.mp4" ] || fail "no video"
  ls "$work" | grep -q '\.part$' && fail "a temporary file was left: $(ls "$work")"
  v=$work/start.mp4
  [ "$(probe "$v" v:0 stream=codec_name)" = h264 ] || fail "video codec $(probe "$v" v:0 stream=codec_name)"
  [ "$(probe "$v" v:0 stream=pix_fmt)" = yuv420p ] || fail "pixel format $(probe "$v" v:0 stream=pix_fmt)"
  [ "$(probe "$v" v:0 stream=width)x$(probe "$v" v:0 stream=height)" = 256x192 ] || fail "size"
  [ "$(probe "$v" v:0 stream=r_frame_rate)" = 30/1 ] || fail "frame rate $(probe "$v" v:0 stream=r_frame_rate)"
  [ "$(probe "$v" v:0 stream=nb_frames)" = 61 ] || fail "frames: $(probe "$v" v:0 stream=nb_frames), not 61"
  vd=$(probe "$v" v:0 stream=duration)
  near "$vd" 2.0333 0.001 || fail "video lasts $vd s, not 61/30"
  [ "$(probe "$v" a:0 stream=codec_name)" = aac ] || fail "audio codec $(probe "$v" a:0 stream=codec_name)"
  [ "$(probe "$v" a:0 stream=sample_rate)" = 44100 ] || fail "sample rate"
  [ "$(probe "$v" a:0 stream=channels)" = 1 ] || fail "channels"
  ad=$(probe "$v" a:0 stream=duration)
  near "$ad" "$vd" 0.005 || fail "sound lasts $ad s, the pictures $vd s"

  # The pictures are the capture's PNG frames, upright.
  "$bin/drmorvel-capture" --size 256x192 --fps 30 --to 2 --every 30 --data "$data" --out "$work/png" \
    2>/dev/null || fail "PNG capture failed"
  for n in 30 60; do
    png=$(printf '%s/png/frame-%06d.png' "$work" "$n")
    same=$(frame_psnr "$v" "$png" "$n" null)
    flipped=$(frame_psnr "$v" "$png" "$n" vflip)
    awk -v s="$same" 'BEGIN { exit !(s >= 30) }' || fail "frame $n: PSNR $same dB against its PNG"
    awk -v s="$same" -v f="$flipped" 'BEGIN { exit !(s >= f + 10) }' ||
      fail "frame $n: upside down? PSNR $same dB, flipped $flipped dB"
  done

  # A stretch from 1 s to 3 s at another size: its sound is the music
  # engine's from 1 s on, at the same moment.
  "$bin/drmorvel-capture" --size 320x180 --fps 30 --from 1 --to 3 --data "$data" --video "$work/later.mp4" \
    2>"$work/later.log" || fail "capture failed: $(cat "$work/later.log")"
  v=$work/later.mp4
  [ "$(probe "$v" v:0 stream=width)x$(probe "$v" v:0 stream=height)" = 320x180 ] || fail "size"
  [ "$(probe "$v" v:0 stream=nb_frames)" = 61 ] || fail "frames 30 to 90: $(probe "$v" v:0 stream=nb_frames)"
  "$bin/drmorvel-modrender" --seconds 4 "$data/zurivovariv.mod" "$work/engine.wav" >/dev/null ||
    fail "drmorvel-modrender failed"
  diff_db=$(difference_level "$v" "$work/engine.wav" 1)
  ref_db=$(level "$work/engine.wav" 1 2)
  echo "sound level ${ref_db} dB, difference ${diff_db} dB"
  awk -v d="$diff_db" -v r="$ref_db" 'BEGIN { exit !(d != "" && d <= r - 12) }' ||
    fail "the sound is not the song from 1 s on (level $ref_db dB, difference $diff_db dB)"
  # The 16:9 frame keeps the 4:3 picture in the middle: black bars left and right.
  ffmpeg -hide_banner -nostdin -i "$v" -vf "select=eq(n\,30),crop=20:180:0:0" -frames:v 1 \
    -f rawvideo -pix_fmt gray "$work/bar.raw" 2>/dev/null || fail "cannot read a frame back"
  max=$(od -An -tu1 -v "$work/bar.raw" | tr -s ' ' '\n' | sort -n | tail -n 1)
  [ "${max:-255}" -le 20 ] || fail "the left bar is not black (brightest $max)"
  ;;

colours)
  if ! command -v ffmpeg >/dev/null || ! command -v ffprobe >/dev/null; then
    echo "SKIPPED: ffmpeg and ffprobe are needed (Debian package ffmpeg)" >&2
    exit 77
  fi
  # The frame at 10 s of the test song (lit cubes, rings, pictures), as a
  # one-frame MP4 and as a PNG, at the default size and at full HD. The
  # video is decoded to RGB as a player would: with the matrix and range of
  # its tags, or without tags with a player's guess (BT.709 for pictures
  # over 576 lines or from 1280 pixels wide, BT.601 below; limited range).
  # Two measures against the PNG, in 0..255 per channel:
  #  - the mean over 16 x 16 blocks, whose colours the 4:2:0 colour planes
  #    and the encoder keep while a wrong matrix or range shifts them:
  #    at most 2.5 (measured 1.44 at 1024 x 768 and 0.93 at 1920 x 1080;
  #    BT.601 colours decoded as BT.709 give 10.9 and 8.3);
  #  - the mean over all pixels, which includes the colour detail that
  #    4:2:0 loses at edges: at most 7 (measured 5.4 and 3.1; 14.2 and 10.1).
  untagged=setparams=color_primaries=unknown:color_trc=unknown:colorspace=unknown
  for size in 1024x768 1920x1080; do
    v=$work/$size.mp4
    "$bin/drmorvel-capture" --size "$size" --from 10 --to 10 --data "$data" --video "$v" \
      2>"$work/$size.log" || fail "capture failed: $(cat "$work/$size.log")"
    "$bin/drmorvel-capture" --size "$size" --from 10 --to 10 --data "$data" --out "$work/$size" \
      2>/dev/null || fail "PNG capture failed"
    png=$work/$size/frame-000600.png
    matrix=$(probe "$v" v:0 stream=color_space)
    case $matrix in
    bt709 | bt470bg | smpte170m) ;;
    *) if [ "${size%x*}" -ge 1280 ] || [ "${size#*x}" -gt 576 ]; then matrix=bt709; else matrix=bt601; fi ;;
    esac
    range=$(probe "$v" v:0 stream=color_range)
    case $range in tv | pc) ;; *) range=tv ;; esac
    # The decoded picture carries no colour tags, so that the PNG reader
    # takes its values as they are.
    ffmpeg -hide_banner -nostdin -v error -i "$v" -frames:v 1 -vf \
      "scale=in_color_matrix=$matrix:in_range=$range:flags=bilinear+accurate_rnd+full_chroma_int,format=rgb24,$untagged" \
      -y "$work/$size-decoded.png" || fail "cannot decode $v"
    for f in "$png" "$work/$size-decoded.png"; do
      ffmpeg -hide_banner -nostdin -v error -i "$f" -vf "scale=iw/16:ih/16:flags=area,$untagged" \
        -y "${f%.png}-blocks.png" || fail "cannot shrink $f"
    done
    blocks=$("$bin/drmorvel-imgdiff" "${png%.png}-blocks.png" "$work/$size-decoded-blocks.png" --mean 2.5 --outliers 1)
    blocks_ok=$?
    pixels=$("$bin/drmorvel-imgdiff" "$png" "$work/$size-decoded.png" --mean 7 --outliers 1)
    pixels_ok=$?
    echo "$size decoded as $matrix, $range range: blocks ${blocks#*: }; pixels ${pixels#*: }"
    [ $blocks_ok -eq 0 ] && [ $pixels_ok -eq 0 ] || fail "$size: the decoded colours are not the frame's"
    tags=$(ffprobe -v error -select_streams v:0 -of csv=p=0 \
      -show_entries stream=color_space,color_primaries,color_transfer,color_range "$v")
    [ "$tags" = "tv,bt709,bt709,bt709" ] || fail "$size: colour tags (range, matrix, transfer, primaries) $tags"
  done
  ;;

master)
  if ! command -v ffmpeg >/dev/null || ! command -v ffprobe >/dev/null; then
    echo "SKIPPED: ffmpeg and ffprobe are needed (Debian package ffmpeg)" >&2
    exit 77
  fi
  # Frames 50 to 100 at 50 fps (1 s to 2 s) at an odd size, which a master
  # allows, and the PNG frames and audio.wav of the same stretch and one
  # frame more: that frame's sound ends the master's.
  size=257x193 frames=51
  v=$work/master.mkv
  "$bin/drmorvel-capture" --size $size --fps 50 --from 1 --to 2 --data "$data" --video "$v" \
    2>"$work/master.log" || fail "capture failed: $(cat "$work/master.log")"
  "$bin/drmorvel-capture" --size $size --fps 50 --from 1 --to 2.02 --data "$data" --out "$work/png" \
    2>/dev/null || fail "PNG capture failed"
  [ "$(ffprobe -v error -show_entries format=format_name -of csv=p=0 "$v")" = "\"matroska,webm\"" ] ||
    fail "container $(ffprobe -v error -show_entries format=format_name -of csv=p=0 "$v")"
  [ "$(probe "$v" v:0 stream=codec_name)" = ffv1 ] || fail "video codec $(probe "$v" v:0 stream=codec_name)"
  [ "$(probe "$v" a:0 stream=codec_name)" = flac ] || fail "audio codec $(probe "$v" a:0 stream=codec_name)"
  ffmpeg -hide_banner -nostdin -v error -i "$v" -map 0:v -f rawvideo -pix_fmt rgb24 -y "$work/master.rgb" ||
    fail "cannot decode the master's frames"
  ffmpeg -hide_banner -nostdin -v error -framerate 50 -start_number 50 -i "$work/png/frame-%06d.png" \
    -frames:v $frames -f rawvideo -pix_fmt rgb24 -y "$work/png.rgb" || fail "cannot read the PNG frames"
  [ "$(stat -c %s "$work/master.rgb")" -eq $((frames * 257 * 193 * 3)) ] ||
    fail "the master holds $(($(stat -c %s "$work/master.rgb") / (257 * 193 * 3))) frames, not $frames"
  cmp "$work/master.rgb" "$work/png.rgb" || fail "the master's frames are not the PNG frames"
  # The sound from sample 44100 (1 s) on, after audio.wav's 44-byte header.
  ffmpeg -hide_banner -nostdin -v error -i "$v" -map 0:a -f s16le -y "$work/master.raw" ||
    fail "cannot decode the master's sound"
  tail -c +$((44 + 2 * 44100 + 1)) "$work/png/audio.wav" >"$work/wav.raw"
  [ -s "$work/wav.raw" ] || fail "no sound in audio.wav"
  cmp "$work/master.raw" "$work/wav.raw" || fail "the master's sound is not audio.wav's"
  echo "$frames frames and $(($(stat -c %s "$work/wav.raw") / 2)) samples decode exactly"
  ;;

failing)
  fake=$work/fake-bin
  mkdir -p "$fake"
  # Writes a little of its output file, as a real encoder would have begun
  # to, then, by FAKE_FFMPEG: fails at once (early) or after reading
  # everything (late); or stalls: reads nothing (stall), nothing and ignores
  # SIGTERM too (deaf), only the sound (sound-only), only the frames
  # (frames-only), or everything and then never exits (endless). It keeps
  # its process number in FAKE_PID, so that the test can see it was ended.
  # Asked for its encoders, it lists those of FAKE_ENCODERS (by default all
  # that the capture uses) as ffmpeg does.
  cat >"$fake/ffmpeg" <<'SCRIPT'
#!/bin/sh
case " $* " in
*" -encoders "*)
  printf 'Encoders:\n V..... = Video\n A..... = Audio\n ------\n'
  for e in ${FAKE_ENCODERS-libx264 aac ffv1 flac}; do echo " V....D $e    the $e encoder"; done
  exit 0
  ;;
esac
for out; do :; done
echo "half a video" >"$out"
echo $$ >"$FAKE_PID"
exec 4<&0
case $FAKE_FFMPEG in
late | endless)
  cat <&3 >/dev/null &
  cat <&4 >/dev/null
  wait
  [ "$FAKE_FFMPEG" = endless ] && exec sleep 600
  ;;
stall) exec sleep 600 ;;
deaf)
  trap '' TERM
  exec sleep 600
  ;;
sound-only)
  cat <&3 >/dev/null &
  exec sleep 600
  ;;
frames-only)
  cat <&4 >/dev/null &
  exec sleep 600
  ;;
esac
echo "fake ffmpeg: failing on purpose" >&2
exit 1
SCRIPT
  chmod +x "$fake/ffmpeg"
  # Each way of failing, with the message it must give: a stall is given up
  # after --stall-seconds, its ffmpeg ended (SIGKILL when SIGTERM is not
  # enough) and the partial file removed.
  stalled="ffmpeg stalled: it took"
  for entry in "early|ffmpeg failed (exit status 1)" "late|ffmpeg failed (exit status 1)" \
    "stall|$stalled none of the frames for 1 s" "deaf|$stalled none of the frames for 1 s" \
    "sound-only|$stalled none of the frames for 1 s" "frames-only|$stalled none of the sound for 1 s" \
    "endless|ffmpeg stalled: it wrote nothing for 1 s after the end of its input"; do
    IFS='|' read -r mode message <<<"$entry"
    export FAKE_PID=$work/fake.pid
    echo "an older video" >"$work/show.mp4"
    FAKE_FFMPEG=$mode PATH="$fake:$PATH" timeout -k 5 60 "$bin/drmorvel-capture" --size 64x48 --fps 30 --to 2 \
      --stall-seconds 1 --data "$data" --video "$work/show.mp4" 2>"$work/$mode.log"
    status=$?
    [ "$status" -eq 4 ] || fail "$mode failure: exit status $status, not 4"
    grep -qF "$message" "$work/$mode.log" || fail "$mode failure: message: $(cat "$work/$mode.log")"
    kill -0 "$(cat "$FAKE_PID")" 2>/dev/null && fail "$mode failure: ffmpeg was left running"
    [ "$(cat "$work/show.mp4")" = "an older video" ] || fail "$mode failure: the asked name was written"
    rm -f "$work/show.mp4"
    FAKE_FFMPEG=$mode PATH="$fake:$PATH" timeout -k 5 60 "$bin/drmorvel-capture" --size 64x48 --fps 30 --to 2 \
      --stall-seconds 1 --data "$data" --video "$work/new.mp4" 2>/dev/null && fail "$mode failure: exit status 0"
    [ -e "$work/new.mp4" ] && fail "$mode failure: a file was left under the asked name"
    ls "$work" | grep -q '\.part$' && fail "$mode failure: a temporary file was left"
  done
  # An ffmpeg without an encoder the file needs: status 4 and a message that
  # names the encoder, before anything is rendered or written.
  for entry in "show.mkv|libx264 aac flac|ffv1" "show.mkv|libx264 aac ffv1|flac" \
    "show.mp4|aac ffv1 flac|libx264" "show.MP4|libx264 ffv1 flac|aac"; do
    IFS='|' read -r name encoders missing <<<"$entry"
    FAKE_ENCODERS=$encoders PATH="$fake:$PATH" "$bin/drmorvel-capture" --size 64x48 --to 1 --data "$data" \
      --video "$work/$name" 2>"$work/encoder.log"
    status=$?
    [ "$status" -eq 4 ] || fail "no $missing: exit status $status, not 4"
    grep -q "has no $missing encoder" "$work/encoder.log" || fail "no $missing: message: $(cat "$work/encoder.log")"
    grep -q "frames" "$work/encoder.log" && fail "no $missing: frames were rendered: $(cat "$work/encoder.log")"
    [ -z "$(ls "$work" | grep -i '^show\.')" ] || fail "no $missing: a file was left: $(ls "$work")"
  done
  # No ffmpeg at all.
  mkdir -p "$work/empty-bin"
  PATH="$work/empty-bin" "$bin/drmorvel-capture" --size 64x48 --to 1 --data "$data" --video "$work/none.mp4" \
    2>"$work/missing.log"
  status=$?
  [ "$status" -eq 4 ] || fail "missing ffmpeg: exit status $status, not 4"
  grep -q "cannot run ffmpeg" "$work/missing.log" || fail "missing ffmpeg: message: $(cat "$work/missing.log")"
  [ -e "$work/none.mp4" ] && fail "missing ffmpeg: a file was left"
  ;;
*)
  echo "unknown case $case_name" >&2
  exit 2
  ;;
esac
echo "ok"
