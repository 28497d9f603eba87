# The ffmpeg command-line recipes that make the test media
# (tests/media/make-media.sh), the benchmark media (bench/make-*-media.sh) and
# the sample playlist (scripts/make-sample.sh). Sourced by them; it defines
# functions and settings only.

# ff ARGS...: ffmpeg, quiet, never asking, overwriting its output.
ff() { ffmpeg -hide_banner -loglevel error -nostdin -y "$@"; }

# pattern_src SIZE RATE SECONDS [SOURCE]: a moving test pattern (lavfi
# SOURCE, testsrc2 unless given).
pattern_src() { printf '%s=size=%s:rate=%s:duration=%s' "${4:-testsrc2}" "$1" "$2" "$3"; }

# tone_src FREQUENCY SAMPLE_RATE SECONDS: a sine tone.
tone_src() { printf 'sine=frequency=%s:sample_rate=%s:duration=%s' "$1" "$2" "$3"; }

# Picture encoders: H.264 as phones and cameras write it (4:2:0), fast or
# closer to a real encode.
h264_fast=(-c:v libx264 -preset ultrafast -pix_fmt yuv420p)
h264_real=(-c:v libx264 -preset veryfast -pix_fmt yuv420p)

# photos OUT SIZE [SOURCE] [COUNT]: JPEG photos of a still pattern; with a
# COUNT above 1, OUT holds a %04d for the number.
photos() {
  ff -f lavfi -i "${3:-testsrc2}=size=$2:rate=25" -frames:v "${4:-1}" -q:v 3 "$1"
}

# clip_with_tone OUT PICTURE TONE ENCODER_ARGS...: a clip of the PICTURE
# source with the TONE source as its sound, cut to the shorter of the two.
clip_with_tone() {
  local out=$1 picture=$2 tone=$3
  shift 3
  ff -f lavfi -i "$picture" -f lavfi -i "$tone" "$@" -shortest "$out"
}

# recipes_sum FILE...: a checksum of the given scripts and of these recipes,
# so that media made by them are remade when either changes.
recipes_sum() { cat "$@" "${BASH_SOURCE[0]}" | sha1sum | cut -d' ' -f1; }
