#!/usr/bin/env bash
# Generates the small media files the tests use, with the ffmpeg command line.
# Output is cached: the whole set is remade when this script or the shared
# recipes change.
set -euo pipefail
out=${1:?usage: make-media.sh OUTPUT_DIR}
source "$(dirname "$0")/../../scripts/media-recipes.sh"
mkdir -p "$out"
stamp="$out/.stamp"
sum=$(recipes_sum "$0")
if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$sum" ]; then
  exit 0
fi
rm -f "$out"/*.* "$stamp"

video=$(pattern_src 320x240 25 2)
tone=$(tone_src 440 44100 2)

# Containers and codecs the player meets most.
ff -f lavfi -i "$video" -f lavfi -i "$tone" "${h264_fast[@]}" \
   -c:a aac -b:a 64k -shortest "$out/h264_aac.mp4"
ff -f lavfi -i "$video" -f lavfi -i "$tone" -c:v mpeg4 -q:v 5 -c:a libmp3lame -b:a 64k \
   -shortest "$out/mpeg4_mp3.avi"
ff -f lavfi -i "$video" -c:v mjpeg -q:v 5 -pix_fmt yuvj420p "$out/mjpeg.avi"
ff -f lavfi -i "$video" -f lavfi -i "$tone" -c:v mpeg2video -q:v 5 -c:a mp2 -b:a 128k \
   -ar 44100 -shortest -f mpeg "$out/mpeg2_mp2.mpg"
ff -f lavfi -i "$video" -f lavfi -i "$tone" -c:v flv1 -q:v 5 -c:a libmp3lame -b:a 64k -ar 44100 \
   -shortest "$out/flv1_mp3.flv"
ff -f lavfi -i "$video" "${h264_fast[@]}" "$out/h264.mov"
ff -f lavfi -i "$video" -f lavfi -i "$tone" -c:v mpeg1video -q:v 5 -c:a mp2 -b:a 128k -ar 44100 \
   -shortest -f mpeg "$out/mpeg1_program.mpg"

# Photos of three sizes; 100x75 has partial edge blocks.
photos "$out/photo_640x480.jpg" 640x480
photos "$out/photo_1024x768.jpg" 1024x768
photos "$out/photo_100x75.jpg" 100x75

# Sound without a picture.
ff -f lavfi -i "$tone" -c:a libmp3lame -b:a 64k "$out/audio_only.mp3"

# Damaged files: cut in half, and garbage written over the middle.
size=$(stat -c %s "$out/h264_aac.mp4")
head -c $((size / 2)) "$out/h264_aac.mp4" > "$out/truncated.mp4"
cp "$out/mpeg4_mp3.avi" "$out/corrupt_middle.avi"
asize=$(stat -c %s "$out/corrupt_middle.avi")
head -c 4096 /dev/urandom | dd of="$out/corrupt_middle.avi" bs=1 seek=$((asize / 2)) conv=notrunc status=none
printf 'This is not a media file.\n' > "$out/not_media.avi"

# Frame-numbered clips: the top half shows the frame number N as 16 bars, one bit
# each (bit 0 on the left), white for 1 and black for 0, wide enough to survive
# compression; the bottom half is grey. 12 s at 25 fps with a tone.
bars="geq=lum='if(lt(Y\\,H/2)\\,if(mod(floor(N/pow(2\\,floor(X*16/W)))\\,2)\\,235\\,16)\\,128)':cb=128:cr=128"
numbered="color=c=gray:size=320x240:rate=25:duration=12,format=yuv420p,$bars"
ntone="sine=frequency=440:sample_rate=44100:duration=12"
ff -f lavfi -i "$numbered" -f lavfi -i "$ntone" -c:v libx264 -preset ultrafast -g 100 -bf 3 \
   -pix_fmt yuv420p -c:a aac -b:a 64k -shortest "$out/numbered_h264.mp4"
ff -f lavfi -i "$numbered" -f lavfi -i "$ntone" -c:v mpeg4 -q:v 4 -g 25 -c:a mp2 -b:a 128k \
   -shortest "$out/numbered_mpeg4.avi"
# With MP3 the muxer delays the video by the encoder's priming and leaves frame
# slot 1 empty: slot k >= 2 shows number k - 1.
ff -f lavfi -i "$numbered" -f lavfi -i "$ntone" -c:v mpeg4 -q:v 4 -g 25 -c:a libmp3lame -b:a 64k \
   -shortest "$out/numbered_gap.avi"
ff -f lavfi -i "$numbered" -f lavfi -i "$ntone" -c:v mpeg2video -q:v 4 -g 15 -bf 2 -c:a mp2 \
   -b:a 128k -shortest -f mpeg "$out/numbered_mpeg2.mpg"
ff -f lavfi -i "$numbered" -f lavfi -i "$ntone" -c:v flv1 -q:v 4 -g 50 -c:a libmp3lame -b:a 64k \
   -shortest "$out/numbered_flv1.flv"
ff -f lavfi -i "$numbered" -c:v mjpeg -q:v 4 -pix_fmt yuvj420p "$out/numbered_mjpeg.avi"
# MPEG-4 Part 2 in AVI with two B-frames between references, as DivX and Xvid
# write it.
ff -f lavfi -i "$numbered" -c:v mpeg4 -q:v 4 -g 25 -bf 2 "$out/numbered_mpeg4_bf.avi"
# Two sound tracks of different pitch and format to choose from: 440 Hz
# stereo at 44100 Hz in English, 1320 Hz mono at 48000 Hz in German with a
# title.
ff -f lavfi -i "$numbered" -f lavfi -i "$ntone" \
   -f lavfi -i "sine=frequency=1320:sample_rate=48000:duration=12" -map 0 -map 1 -map 2 \
   -c:v libx264 -preset ultrafast -g 25 -pix_fmt yuv420p -c:a aac -b:a 96k -ac:a:0 2 -ac:a:1 1 \
   -metadata:s:a:0 language=eng -metadata:s:a:1 language=ger -metadata:s:a:1 title=Commentary \
   -shortest "$out/numbered_two_tracks.mkv"

# Stream choice: two video streams of different sizes, two audio streams of
# different rates, in one file.
ff -f lavfi -i "$video" -f lavfi -i "testsrc2=size=160x120:rate=25:duration=2" -f lavfi -i "$tone" \
   -f lavfi -i "sine=frequency=880:sample_rate=22050:duration=2" -map 0 -map 1 -map 2 -map 3 \
   -c:v mpeg4 -q:v 5 -c:a libmp3lame -b:a 64k -shortest "$out/two_video_two_audio.avi"
# AAC at the low rates whose decoding once doubled the rate.
ff -f lavfi -i "$video" -f lavfi -i "sine=frequency=440:sample_rate=24000:duration=2" -c:v libx264 \
   -preset ultrafast -pix_fmt yuv420p -c:a aac -ar 24000 -shortest "$out/h264_aac24000.mp4"
ff -f lavfi -i "$video" -f lavfi -i "sine=frequency=440:sample_rate=16000:duration=2" -c:v libx264 \
   -preset ultrafast -pix_fmt yuv420p -c:a aac -ar 16000 -ac 1 -shortest "$out/h264_aac16000_mono.mp4"
# A second MPEG-4 Part 2 file of the first one's size and container, other content.
ff -f lavfi -i "testsrc=size=320x240:rate=25:duration=2" -f lavfi -i "$tone" -c:v mpeg4 -q:v 5 \
   -c:a libmp3lame -b:a 64k -shortest "$out/mpeg4_mp3_b.avi"
# A video stream whose header says 0x0 and whose raw frames cannot tell better.
ff -f lavfi -i "testsrc2=size=64x48:rate=25:duration=1" -c:v rawvideo -pix_fmt yuv420p \
   "$out/width0.avi"
zero_le32() {  # zero_le32 FILE OFFSET: writes four zero bytes at OFFSET
  dd if=/dev/zero of="$1" bs=1 seek="$2" count=4 conv=notrunc status=none
}
avih=$(grep -obUa avih "$out/width0.avi" | head -1 | cut -d: -f1)
strf=$(grep -obUa strf "$out/width0.avi" | head -1 | cut -d: -f1)
for off in $((avih + 40)) $((avih + 44)) $((strf + 12)) $((strf + 16)); do
  zero_le32 "$out/width0.avi" "$off"
done
# MPEG-2 that really runs at 50 pictures a second.
ff -f lavfi -i "testsrc2=size=160x120:rate=50:duration=1" -c:v mpeg2video -q:v 5 -f mpeg \
   "$out/mpeg2_50fps.mpg"
# H.264 in MP4 at 320x240 without sound, for the header bit-rate corrections.
ff -f lavfi -i "$video" "${h264_fast[@]}" "$out/h264_320x240.mp4"

# Frame-numbered clips whose first time stamp is not 0: an MP4 shifted by an
# empty edit, a program stream starting at 10 s as cut from a broadcast, and an
# MP4 cut out of the middle of a GOP by stream copy (an edit list that starts
# between key frames).
ff -f lavfi -i "$numbered" -c:v libx264 -preset ultrafast -g 100 -bf 3 -pix_fmt yuv420p \
   -output_ts_offset 3.2 "$out/numbered_offset.mp4"
ff -f lavfi -i "$numbered" -f lavfi -i "$ntone" -c:v mpeg2video -q:v 4 -g 15 -bf 2 -c:a mp2 \
   -b:a 128k -shortest -output_ts_offset 10 -f mpeg "$out/numbered_mpeg2_late.mpg"
ff -ss 1.3 -i "$out/numbered_h264.mp4" -t 6 -c copy "$out/numbered_h264_cut.mp4"
# Transport streams as broadcast: their stamps start past 1 s, and the first
# key picture is decoded before the stream's start time.
ff -f lavfi -i "$numbered" -f lavfi -i "$ntone" -c:v mpeg2video -q:v 4 -g 15 -bf 2 -c:a mp2 \
   -b:a 128k -shortest -f mpegts "$out/numbered_mpeg2.ts"
ff -f lavfi -i "$numbered" -f lavfi -i "$ntone" -c:v libx264 -preset ultrafast -g 50 -bf 3 \
   -pix_fmt yuv420p -c:a aac -b:a 64k -shortest -f mpegts "$out/numbered_h264.ts"

# Cut in half where the index survives: a program stream, and an MP4 whose
# index comes first.
msize=$(stat -c %s "$out/numbered_mpeg2.mpg")
head -c $((msize / 2)) "$out/numbered_mpeg2.mpg" > "$out/truncated.mpg"
ff -i "$out/numbered_h264.mp4" -c copy -movflags +faststart "$out/faststart.mp4"
fsize=$(stat -c %s "$out/faststart.mp4")
head -c $((fsize / 2)) "$out/faststart.mp4" > "$out/truncated_faststart.mp4"
rm "$out/faststart.mp4"

# Raw 4:2:0 pictures in AVI whose first packet is one byte short.
ff -f lavfi -i "$numbered" -frames:v 5 -c:v rawvideo -pix_fmt yuv420p "$out/raw_short.avi"
chunk=$(grep -obUa '00dc' "$out/raw_short.avi" | sed -n 2p | cut -d: -f1)
index=$(grep -obUa 'idx1' "$out/raw_short.avi" | head -1 | cut -d: -f1)
# 115199 little-endian, in the chunk header and in the first index entry.
printf '\xff\xc1\x01\x00' | dd of="$out/raw_short.avi" bs=1 seek=$((chunk + 4)) conv=notrunc status=none
printf '\xff\xc1\x01\x00' | dd of="$out/raw_short.avi" bs=1 seek=$((index + 20)) conv=notrunc status=none
# H.264 in 4:2:2, a pixel format its header does not name.
ff -f lavfi -i "$video" -t 1 -c:v libx264 -preset ultrafast -pix_fmt yuv422p "$out/h264_422.mp4"

# Sound against a 10 s video: stopping at 5 s, running on to 12 s, and a
# silent start with the tone from 4 s (PCM in MOV: no codec delay; AAC in MP4:
# priming removed by its edit list). The late sound begins only at 2 s.
small="testsrc2=size=160x120:rate=25:duration=10"
ff -f lavfi -i "$small" -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=5" \
   -c:v mpeg4 -q:v 5 -c:a libmp3lame -b:a 64k "$out/sound_short.avi"
ff -f lavfi -i "$small" -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=12" \
   -c:v mpeg4 -q:v 5 -c:a libmp3lame -b:a 64k "$out/sound_long.avi"
tone4="aevalsrc=if(gte(t\\,4)\\,0.5*sin(2*PI*440*t)\\,0):s=44100:d=10"
ff -f lavfi -i "$small" -f lavfi -i "$tone4" -c:v mpeg4 -q:v 5 -c:a pcm_s16le "$out/tone_at_4s.mov"
ff -f lavfi -i "$small" -f lavfi -i "$tone4" "${h264_fast[@]}" \
   -c:a aac -b:a 96k "$out/tone_at_4s.mp4"
# The same pictures and sound in Matroska, whose seeks skip blocks.
ff -i "$out/tone_at_4s.mov" -c copy "$out/tone_at_4s.mkv"
ff -f lavfi -i "$small" -itsoffset 2 -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=5" \
   "${h264_fast[@]}" -c:a aac -b:a 96k "$out/late_sound.mp4"

# File lists. Two 10 s clips of 250 frames at 25 fps for the timeline arithmetic.
ff -f lavfi -i "testsrc2=size=64x48:rate=25:duration=10" -c:v mpeg4 -q:v 10 "$out/frames250.avi"
# A 4:3 and a 16:9 clip for the common frame size.
ff -f lavfi -i "testsrc2=size=640x480:rate=25:duration=0.2" -c:v mpeg4 -q:v 10 "$out/size_640x480.avi"
ff -f lavfi -i "testsrc2=size=1280x720:rate=25:duration=0.2" -c:v mpeg4 -q:v 10 "$out/size_1280x720.avi"
# Clips for gapless play: every one shows its frame number as bars (above) and
# sounds its own tone in 16-bit PCM, so a join shows up as a change of pitch.
# Their rates, sound formats and sound lengths differ on purpose.
numbered_clip() {  # numbered_clip OUT SIZE RATE SECONDS [AUDIO ARGS...]
  local name=$1 size=$2 rate=$3 seconds=$4
  shift 4
  ff -f lavfi -i "color=c=gray:size=$size:rate=$rate:duration=$seconds,format=yuv420p,$bars" "$@" \
     -c:v mpeg4 -q:v 4 "$out/$name"
}
numbered_clip gl_440_44100_stereo.avi 160x120 25 2 \
   -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=2" -ac 2 -c:a pcm_s16le
# Sound runs 1 s beyond the pictures.
numbered_clip gl_1000_22050_mono.mov 320x240 30000/1001 1.5015 \
   -f lavfi -i "sine=frequency=1000:sample_rate=22050:duration=2.5" -ac 1 -c:a pcm_s16le
numbered_clip gl_silent_24fps.avi 160x120 24 1
# Sound in packets of half a second: more than one chunk waits decoded.
numbered_clip gl_1500_flac_44100.mp4 160x120 25 2 \
   -f lavfi -i "sine=frequency=1500:sample_rate=44100:duration=2" -ac 2 -c:a flac -frame_size 22050 \
   -strict -2
# Sound stops 0.8 s before the pictures.
numbered_clip gl_2500_48000_stereo.mov 160x120 15 2 \
   -f lavfi -i "sine=frequency=2500:sample_rate=48000:duration=1.2" -ac 2 -c:a pcm_s16le

# Playlists of several files for the player. A second clip of numbered_mpeg4.avi's
# codec, size, container and sound, numbered from 1000, so that the two share
# their decoders and still tell apart; a 16:9 clip; and a portrait photo
# showing the number 77 as the clips do.
bars_from() {  # bars_from FIRST: the bars, numbering frames from FIRST
  echo "geq=lum='if(lt(Y\\,H/2)\\,if(mod(floor((N+$1)/pow(2\\,floor(X*16/W)))\\,2)\\,235\\,16)\\,128)':cb=128:cr=128"
}
ff -f lavfi -i "color=c=gray:size=320x240:rate=25:duration=4,format=yuv420p,$(bars_from 1000)" \
   -f lavfi -i "$(tone_src 660 44100 4)" -c:v mpeg4 -q:v 4 -g 25 -c:a mp2 -b:a 128k -shortest \
   "$out/numbered_mpeg4_1000.avi"
numbered_clip numbered_16x9.avi 320x180 25 1
ff -f lavfi -i "color=c=gray:size=240x320:rate=25,format=yuv420p,$bars" -vf trim=start_frame=77 \
   -frames:v 1 -q:v 2 "$out/photo_portrait_77.jpg"

# Different tones left and right, loud, in PCM so that only the low-pass
# filter changes them: 440 Hz on the left, 9000 Hz on the right.
ff -f lavfi -i "$small" -f lavfi -i "aevalsrc=0.9*sin(2*PI*440*t)|0.9*sin(2*PI*9000*t):s=44100:d=2" \
   -c:v mpeg4 -q:v 5 -c:a pcm_s16le -shortest "$out/lowpass_440_9000.mov"

# MPEG-2 whose pictures come twice as fast as its sequence header says: the
# figures of a stream counted by its fields (the encoder codes no field
# pictures, so the header of a 50 pictures/s stream is rewritten to 25).
ff -f lavfi -i "testsrc2=size=160x120:rate=50:duration=1" -c:v mpeg2video -q:v 5 \
   -bsf:v mpeg2_metadata=frame_rate=25 -f mpeg "$out/mpeg2_field_rate.mpg"

# A rising tone (440 Hz climbing 80 Hz a second) in PCM beside 3 s of
# pictures: any 10 ms of it tells where in the clip it comes from.
numbered_clip chirp_44100_stereo.avi 160x120 25 3 \
   -f lavfi -i "aevalsrc=0.25*sin(2*PI*(440*t+40*t*t)):s=44100:d=3" -ac 2 -c:a pcm_s16le
# A PAL frame shown at 16:9 (its pixels are 64:45 wide), the aspect in the
# MPEG-2 sequence header.
ff -f lavfi -i "testsrc2=size=720x576:rate=25:duration=1" -c:v mpeg2video -q:v 5 -aspect 16:9 \
   -f mpeg "$out/pal_16x9.mpg"
# H.264 in MP4 whose pixels are 64:45 wide, said by the stream and the
# container alike: 718x406 shown about 1021x406.
ff -f lavfi -i "testsrc2=size=718x406:rate=25:duration=1" -vf setsar=64/45 -c:v libx264 \
   -preset ultrafast -pix_fmt yuv420p "$out/anamorphic_718x406.mp4"
# Today's codecs and containers. Numbered clips of 4 s for the seek rules of
# each container family: HEVC with B-frames in MP4, VP9 with Opus in WebM,
# H.264 with AC-3 5.1 in Matroska, and that Matroska's streams copied into a
# transport stream and a camcorder's M2TS that both start late, as recordings
# and clips cut from them do.
numbered4="color=c=gray:size=320x240:rate=25:duration=4,format=yuv420p,$bars"
ntone4="sine=frequency=440:sample_rate=48000:duration=4"
ff -f lavfi -i "$numbered4" -f lavfi -i "$ntone4" -c:v libx265 -preset ultrafast \
   -x265-params keyint=25:min-keyint=25:bframes=3:log-level=error -tag:v hvc1 -pix_fmt yuv420p \
   -c:a aac -b:a 64k -shortest "$out/numbered_hevc.mp4"
ff -f lavfi -i "$numbered4" -f lavfi -i "$ntone4" -c:v libvpx-vp9 -deadline realtime -cpu-used 8 \
   -g 25 -b:v 400k -c:a libopus -b:a 48k -shortest "$out/numbered_vp9_opus.webm"
ff -f lavfi -i "$numbered4" -f lavfi -i "$ntone4" -c:v libx264 -preset ultrafast -g 50 -bf 3 \
   -pix_fmt yuv420p -c:a ac3 -ac 6 -b:a 192k -shortest "$out/numbered_h264_ac3.mkv"
ff -i "$out/numbered_h264_ac3.mkv" -c copy -output_ts_offset 1000 -f mpegts \
   "$out/numbered_h264_late.ts"
ff -i "$out/numbered_h264_ac3.mkv" -c copy -output_ts_offset 600 -mpegts_m2ts_mode 1 -f mpegts \
   "$out/numbered_h264_late.m2ts"
# One short clip each of the other codecs and containers of the browser's
# later types, small and with sound.
small1="testsrc2=size=160x120:rate=25:duration=1"
tone1="sine=frequency=440:sample_rate=48000:duration=1"
clip_with_tone "$out/hevc_aac.mov" "$small1" "$tone1" -c:v libx265 -preset ultrafast \
   -x265-params log-level=error -tag:v hvc1 -pix_fmt yuv420p -c:a aac -b:a 64k
clip_with_tone "$out/av1_aac.mp4" "$small1" "$tone1" -c:v libaom-av1 -cpu-used 8 -usage realtime \
   -c:a aac -b:a 64k
clip_with_tone "$out/theora_vorbis.ogv" "$small1" "$tone1" -c:v libtheora -q:v 5 \
   -c:a libvorbis -q:a 2
clip_with_tone "$out/wmv2_wma.wmv" "$small1" "$tone1" -c:v wmv2 -q:v 5 -c:a wmav2 -b:a 64k
clip_with_tone "$out/mpeg2_ac3.vob" "$small1" "$tone1" -c:v mpeg2video -q:v 5 -c:a ac3 \
   -b:a 128k -f vob
clip_with_tone "$out/h264_aac.3gp" "$small1" "$tone1" "${h264_fast[@]}" -c:a aac -b:a 32k
ff -f lavfi -i "$tone1" -c:a libvorbis -q:a 2 "$out/vorbis.ogg"
# Two clips for the gapless playlist in lossy sound of today: Opus, whose
# decoder drops its priming samples, and AC-3 5.1 mixed down to two channels.
gl_pictures="color=c=gray:size=160x120:rate=25:duration=1.2,format=yuv420p,$bars"
ff -f lavfi -i "$gl_pictures" -f lavfi -i "sine=frequency=2000:sample_rate=48000:duration=1.2" \
   -c:v libvpx-vp9 -deadline realtime -cpu-used 8 -b:v 200k -ac 2 -c:a libopus -b:a 96k \
   "$out/gl_2000_opus_vp9.webm"
ff -f lavfi -i "$gl_pictures" -f lavfi -i "sine=frequency=3000:sample_rate=48000:duration=1.2" \
   "${h264_fast[@]}" -af "pan=5.1|FL=c0|FR=c0|FC=c0|BL=c0|BR=c0" -c:a ac3 -b:a 384k \
   "$out/gl_3000_ac3_51.mkv"

# H.264 with AAC in Matroska of more than a megabyte, as cameras and encoders
# write them, at several sizes, rates and key-frame intervals (x264's own 250
# in the first); the frame count is read from their end.
ff -f lavfi -i "testsrc2=size=960x540:rate=25:duration=8" -f lavfi -i "sine=frequency=300:duration=8" \
   -c:v libx264 -preset veryfast -pix_fmt yuv420p -c:a aac "$out/mkv_960x540_25.mkv"
ff -f lavfi -i "testsrc2=size=1280x720:rate=30:duration=5" -f lavfi -i "$(tone_src 500 48000 5)" \
   -c:v libx264 -preset ultrafast -g 60 -pix_fmt yuv420p -c:a aac "$out/mkv_1280x720_30_g60.mkv"
# Longer than the stretch before the end that the count reads.
ff -f lavfi -i "testsrc2=size=320x180:rate=50:duration=40" -f lavfi -i "$(tone_src 700 22050 40)" \
   -c:v libx264 -preset ultrafast -g 25 -bf 2 -pix_fmt yuv420p -c:a aac -ac 1 \
   "$out/mkv_320x180_50_g25_40s.mkv"
# Sound that cannot be decoded: the AAC configuration in the Matroska codec
# private data (element 63 A2, 5 bytes, 12 08 ...) gets A8 for its first byte,
# which names object type 21, a profile the decoder does not implement: the
# decoder fails to open.
ff -f lavfi -i "testsrc2=size=320x240:rate=25:duration=4" -f lavfi -i "$(tone_src 440 44100 4)" \
   "${h264_fast[@]}" -c:a aac -shortest "$out/aac_undecodable.mkv"
at=$(LC_ALL=C grep -obUaP '\x63\xA2\x85\x12\x08' "$out/aac_undecodable.mkv" | head -1 | cut -d: -f1)
printf '\xA8' | dd of="$out/aac_undecodable.mkv" bs=1 seek=$((at + 3)) conv=notrunc status=none
# The same H.264 and AAC in Matroska, small: a seed for the fuzz runs.
ff -i "$out/h264_aac.mp4" -c copy "$out/h264_aac.mkv"
# Opus in Ogg beside Theora, for a damaged header the test makes (its pages
# carry checksums).
clip_with_tone "$out/theora_opus.ogv" "$small1" "$tone1" -c:v libtheora -q:v 5 -c:a libopus -b:a 48k

# Text in a photo's clothing: it opens as a picture and fails once it is read.
printf 'This is not a picture.\n' > "$out/not_picture.jpg"

# Four coloured quadrants (red, lime / blue, white) stored 96x48, which tell
# how a picture was turned: an H.264 clip, the same with the rotate tag that
# ffmpeg turns into a display matrix, and a photo without EXIF.
quads="color=red:s=48x24[a];color=lime:s=48x24[b];color=blue:s=48x24[c];color=white:s=48x24[d];"
quads+="[a][b]hstack[t];[c][d]hstack[u];[t][u]vstack"
ff -f lavfi -i "$quads,format=yuv420p" -t 0.2 -r 25 -c:v libx264 -preset ultrafast "$out/quadrants.mp4"
ff -i "$out/quadrants.mp4" -c copy -metadata:s:v rotate=90 "$out/quadrants_rotate_tag.mp4"
ff -f lavfi -i "$quads,format=yuvj420p" -frames:v 1 -q:v 2 "$out/quadrants.jpg"
# The same photo in the formats of screenshots, the web and phones: PNG,
# lossless and lossy WebP, AVIF and HEIC.
ff -f lavfi -i "$quads,format=rgb24" -frames:v 1 "$out/quadrants.png"
ff -f lavfi -i "$quads,format=rgb24" -frames:v 1 -c:v libwebp -lossless 1 "$out/quadrants_lossless.webp"
ff -f lavfi -i "$quads,format=yuv420p" -frames:v 1 -c:v libwebp -quality 90 "$out/quadrants.webp"
ff -f lavfi -i "$quads,format=yuv420p" -frames:v 1 -c:v libaom-av1 -still-picture 1 "$out/quadrants.avif"
heif-enc -q 90 -o "$out/quadrants.heic" "$out/quadrants.png" > /dev/null
# Busy pictures of an odd size in the layouts PNG and lossless WebP store,
# for the turns that must keep every pixel.
ff -f lavfi -i testsrc2=s=37x23 -frames:v 1 -pix_fmt rgb24 "$out/busy_rgb.png"
ff -f lavfi -i testsrc2=s=37x23 -vf "format=rgba,geq=r='r(X,Y)':g='g(X,Y)':b='b(X,Y)':a='X*7'" \
   -frames:v 1 -pix_fmt rgba "$out/busy_rgba.png"
ff -f lavfi -i testsrc2=s=37x23 -frames:v 1 -pix_fmt pal8 "$out/busy_pal8.png"
ff -f lavfi -i testsrc2=s=37x23 -frames:v 1 -pix_fmt gray16be "$out/busy_gray16.png"
ff -f lavfi -i testsrc2=s=37x23 -frames:v 1 -c:v libwebp -lossless 1 "$out/busy_lossless.webp"

# Subtitles over a black picture, 6 s at 25 a second with a key picture each
# second: "HELLO WORLD" from 1 s to 2.5 s and "SECOND LINE" from 4 s to 5 s, as
# SubRip, MP4 timed text and WebVTT inside the file, as a SubRip file beside
# one, and as ASS in red; one track not marked to be shown.
subs_black="color=c=black:size=320x240:rate=25:duration=6"
cat > "$out/subtitle_lines.txt" <<'SRT'
1
00:00:01,000 --> 00:00:02,500
HELLO WORLD

2
00:00:04,000 --> 00:00:05,000
SECOND LINE
SRT
cat > "$out/subtitle_red.txt" <<'ASS'
[Script Info]
ScriptType: v4.00+
PlayResX: 320
PlayResY: 240

[V4+ Styles]
Format: Name, Fontname, Fontsize, PrimaryColour, SecondaryColour, OutlineColour, BackColour, Bold, Italic, Underline, StrikeOut, ScaleX, ScaleY, Spacing, Angle, BorderStyle, Outline, Shadow, Alignment, MarginL, MarginR, MarginV, Encoding
Style: Default,DejaVu Sans,32,&H000000FF,&H000000FF,&H00000000,&H00000000,1,0,0,0,100,100,0,0,1,0,0,2,10,10,20,1

[Events]
Format: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text
Dialogue: 0,0:00:01.00,0:00:02.50,Default,,0,0,0,,RED TEXT
ASS
subs_clip() {  # subs_clip OUT SUBTITLE_FILE SUBTITLE_ARGS...
  local target=$1 text=$2
  shift 2
  ff -f lavfi -i "$subs_black" -f srt -i "$text" "${h264_fast[@]}" -g 25 "$@" "$target"
}
subs_clip "$out/subs_srt.mkv" "$out/subtitle_lines.txt" -c:s srt -disposition:s:0 default
subs_clip "$out/subs_movtext.mp4" "$out/subtitle_lines.txt" -c:s mov_text -disposition:s:0 default
subs_clip "$out/subs_webvtt.mkv" "$out/subtitle_lines.txt" -c:s webvtt -disposition:s:0 default
subs_clip "$out/subs_not_default.mkv" "$out/subtitle_lines.txt" -c:s srt \
   -metadata:s:s:0 language=fre -default_mode passthrough -disposition:s:0 0
ff -f lavfi -i "$subs_black" -f ass -i "$out/subtitle_red.txt" "${h264_fast[@]}" -g 25 -c:s ass \
   -disposition:s:0 default "$out/subs_ass_red.mkv"
ff -f lavfi -i "$subs_black" "${h264_fast[@]}" -g 25 "$out/subs_sidecar.mp4"
cp "$out/subtitle_lines.txt" "$out/subs_sidecar.srt"
# Damaged: a sidecar of noise, and noise in place of the texts inside.
cp "$out/subs_sidecar.mp4" "$out/subs_noise.mp4"
head -c 3000 /dev/urandom > "$out/subs_noise.srt"
for ext in mkv mp4; do
  from=$([ $ext = mkv ] && echo subs_srt.mkv || echo subs_movtext.mp4)
  cp "$out/$from" "$out/subs_damaged.$ext"
  for at in $(grep -abo "HELLO WORLD\|SECOND LINE" "$out/$from" | cut -d: -f1); do
    head -c 11 /dev/urandom | dd of="$out/subs_damaged.$ext" bs=1 seek="$at" conv=notrunc status=none
  done
done

# Every family of pixel formats today's cameras, phones and tools write, as
# numbered clips of 4 s with sound (the bars survive every format): 10-bit
# HEVC, H.264 in 4:2:2 and 4:4:4, 10-bit 4:2:2 ProRes in MOV, 10-bit VP9 and
# VP9 with alpha in WebM, 10-bit AV1, R, G, B in QuickTime RLE and grey in
# FFV1; and a PNG picture.
family() {  # family OUT PIXFMT ENCODER_ARGS...
  local name=$1 pixfmt=$2
  shift 2
  ff -f lavfi -i "$numbered4" -f lavfi -i "$ntone4" -vf "format=$pixfmt" "$@" -shortest "$out/$name"
}
family numbered_hevc10.mp4 yuv420p10le -c:v libx265 -preset ultrafast \
   -x265-params keyint=25:min-keyint=25:log-level=error -tag:v hvc1 -c:a aac -b:a 64k
family numbered_h264_422.mkv yuv422p -c:v libx264 -preset ultrafast -g 25 -c:a aac -b:a 64k
family numbered_h264_444.mkv yuv444p -c:v libx264 -preset ultrafast -g 25 -c:a aac -b:a 64k
family numbered_prores.mov yuv422p10le -c:v prores_ks -profile:v 2 -c:a pcm_s16le
family numbered_vp9_10bit.webm yuv420p10le -c:v libvpx-vp9 -deadline realtime -cpu-used 8 \
   -g 25 -b:v 400k -c:a libopus -b:a 48k
family numbered_vp9_alpha.webm yuva420p -c:v libvpx-vp9 -deadline realtime -cpu-used 8 \
   -g 25 -b:v 400k -c:a libopus -b:a 48k
SVT_LOG=1 family numbered_av1_10bit.mkv yuv420p10le -c:v libsvtav1 -preset 12 -g 25 -c:a libopus -b:a 48k
family numbered_rgb24.mov rgb24 -c:v qtrle -g 25 -c:a pcm_s16le
family numbered_grey.mkv gray -c:v ffv1 -g 25 -c:a pcm_s16le
ff -f lavfi -i "testsrc2=size=160x120" -frames:v 1 "$out/picture.png"
# A transport stream whose pictures change from 4:2:0 to 4:2:2 after 1 s, as
# broadcast streams may: two recordings joined, the second one's stamps
# following on.
numbered1="color=c=gray:size=320x240:rate=25:duration=1,format=yuv420p,$bars"
ff -f lavfi -i "$numbered1" -c:v libx264 -preset ultrafast -g 25 -pix_fmt yuv420p -f mpegts \
   "$out/change_a.ts"
ff -f lavfi -i "$numbered1" -c:v libx264 -preset ultrafast -g 25 -pix_fmt yuv422p \
   -output_ts_offset 1 -f mpegts "$out/change_b.ts"
cat "$out/change_a.ts" "$out/change_b.ts" > "$out/format_change.ts"
rm "$out/change_a.ts" "$out/change_b.ts"
# High dynamic range as phones record it: 10-bit HEVC in BT.2020 with the HLG
# transfer, and the same with PQ, made from a still picture.
hdr_tags=(-color_primaries bt2020 -colorspace bt2020nc -color_range tv)
ff -f lavfi -i "testsrc2=size=320x240:rate=25:duration=1" -f lavfi -i "$tone1" \
   -vf "format=yuv420p10le" -c:v libx265 -preset ultrafast -x265-params log-level=error \
   "${hdr_tags[@]}" -color_trc arib-std-b67 -tag:v hvc1 -c:a aac -b:a 64k -shortest "$out/hlg.mp4"
ff -f lavfi -i "testsrc2=size=320x240:rate=25:duration=1" -vf "format=yuv420p10le" -c:v libx265 \
   -preset ultrafast -x265-params log-level=error "${hdr_tags[@]}" -color_trc smpte2084 \
   -tag:v hvc1 "$out/pq.mp4"

# Variable picture rates, numbered in presentation order, with a tone: a clip
# at 30, then 10, then 15 pictures a second (1.5 s, 1.5 s, 1 s), and one that
# starts at 5 a second and goes on at 30 (1.5 s each). Pictures are kept from
# a 30-a-second source, each at its own time.
vfr_clip() {  # vfr_clip NAME SECONDS SELECT
  local keep="select='$3',$bars"
  for ext in mp4 mkv; do
    ff -f lavfi -i "color=c=gray:size=160x120:rate=30:duration=$2,format=yuv420p,$keep" \
       -f lavfi -i "$(tone_src 440 44100 "$2")" -fps_mode vfr "${h264_fast[@]}" -g 30 -bf 2 \
       -c:a aac -b:a 64k "$out/$1.$ext"
  done
}
vfr_clip vfr_three_rates 4 "if(lt(t\\,1.5)\\,1\\,if(lt(t\\,3)\\,not(mod(n\\,3))\\,not(mod(n\\,2))))"
vfr_clip vfr_slow_start 3 "if(lt(t\\,1.5)\\,not(mod(n\\,6))\\,1)"
# Flashes and beeps together at 0.6 and 1.4 s, where the pictures come 5 a
# second, and at 2.5 and 3.3 s, where they come 30 a second: each picture is
# white for 100 ms from its flash, and a 1 kHz beep sounds for 50 ms.
flashes="between(T\\,0.6\\,0.699)+between(T\\,1.4\\,1.499)+between(T\\,2.5\\,2.599)+between(T\\,3.3\\,3.399)"
beeps="between(t\\,0.6\\,0.65)+between(t\\,1.4\\,1.45)+between(t\\,2.5\\,2.55)+between(t\\,3.3\\,3.35)"
ff -f lavfi -i "color=c=black:size=160x120:rate=30:duration=4,format=yuv420p,select='if(lt(t\\,2)\\,not(mod(n\\,6))\\,1)',geq=lum='if($flashes\\,235\\,16)':cb=128:cr=128" \
   -f lavfi -i "aevalsrc=if($beeps\\,0.5*sin(2*PI*1000*t)\\,0):s=44100:d=4" -ac 2 -fps_mode vfr \
   "${h264_fast[@]}" -g 30 -c:a aac -b:a 128k "$out/vfr_flash_beep.mp4"

# Written last: a run that stopped half-way makes the whole set again next time.
echo "$sum" > "$stamp"
