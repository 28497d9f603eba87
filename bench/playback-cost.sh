#!/usr/bin/env bash
# bench/playback-cost.sh [BUILD_DIR]: what playing a clip costs, against a
# peer player in the same run.
#
# Under a private X server (1280x800) and a private PulseAudio server with a
# null sink, plays the same generated 10 s 1080p30 H.264+AAC clip in
# vexo-play (modes 2 and 1, 640x480 window) and in mpv (x11 output, same
# window size), and a 10 s 1080p30 10-bit HEVC HLG clip (tone-mapped on the
# processor in mode 2) in both, RUNS times each (default 3), taking turns;
# PLAYERS="vexo-mode2-hlg mpv-hlg" measures a part (vexo-mode1-hlg is one more, tone-mapped
# in the shader; vexo-mode1-hlg-cpu the same on the processor). Prints the
# processor seconds per second of media and the peak resident memory of every
# run, the median of each player and the ratios ours/peer. vexo-play runs
# with --decode-all, so that both players decode every picture (see below).
#
# mpv is installed when missing; it is the yardstick here, nothing needs it.
# With x11 output mpv converts the picture scaled down to the window, ours at
# the picture's size: far fewer pixels go through its conversion.
# Mode 1 draws through Mesa's software renderer under Xvfb: its figure
# measures llvmpipe as much as the player.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
play=$build/bin/vexo-play
runs=${RUNS:-3}
media_seconds=10

[ -x "$play" ] || { echo "no $play: build the vexo-play target first" >&2; exit 1; }

if ! command -v mpv >/dev/null; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo=sudo
  echo "Installing mpv (the peer player)"
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends mpv >/dev/null
fi

# The clip: moving test picture with grain (so that it costs what a film
# costs to decode), a tone, generated once.
clip_dir=$build/bench-media
clip=$clip_dir/playback_1080p30_10s.mp4
if [ ! -s "$clip" ]; then
  mkdir -p "$clip_dir"
  echo "Generating $clip"
  ffmpeg -loglevel error -y \
    -f lavfi -i "testsrc2=size=1920x1080:rate=30,noise=alls=12:allf=t" \
    -f lavfi -i "sine=frequency=440:sample_rate=48000" -t "$media_seconds" \
    -c:v libx264 -preset veryfast -pix_fmt yuv420p -b:v 8M -maxrate 10M -bufsize 16M -g 60 \
    -c:a aac -ac 2 -b:a 128k "$clip.part.mp4"
  mv "$clip.part.mp4" "$clip"
fi

# The same picture as 10-bit HEVC in BT.2020 with the HLG transfer, as
# phones record.
hlg_clip=$clip_dir/playback_hlg_1080p30_10s.mp4
if [ ! -s "$hlg_clip" ]; then
  mkdir -p "$clip_dir"
  echo "Generating $hlg_clip"
  ffmpeg -loglevel error -y \
    -f lavfi -i "testsrc2=size=1920x1080:rate=30,noise=alls=12:allf=t,format=yuv420p10le" \
    -f lavfi -i "sine=frequency=440:sample_rate=48000" -t "$media_seconds" \
    -c:v libx265 -preset ultrafast -x265-params log-level=error -b:v 8M -g 60 \
    -color_primaries bt2020 -colorspace bt2020nc -color_range tv -color_trc arib-std-b67 \
    -c:a aac -ac 2 -b:a 128k "$hlg_clip.part.mp4"
  mv "$hlg_clip.part.mp4" "$hlg_clip"
fi

work=$(mktemp -d /tmp/vexo-playback-cost-XXXXXX)
xvfb_pid=""
pulse_pid=""
cleanup() {
  [ -n "$pulse_pid" ] && kill "$pulse_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# A private X server on the first free display.
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "Xvfb did not start" >&2; cat "$work/xvfb.log" >&2; exit 1; }
display=":$(head -n1 "$work/display")"

# A private sound server whose only sink is a null sink.
mkdir -p "$work/home"
(cd "$work" && HOME="$work/home" XDG_RUNTIME_DIR="$work" pulseaudio -n --daemonize=yes \
  --exit-idle-time=-1 --load="module-null-sink sink_name=bench_null" \
  --load="module-native-protocol-unix auth-anonymous=1 socket=$work/native" \
  >"$work/pulse.log" 2>&1) || { echo "PulseAudio did not start" >&2; cat "$work/pulse.log" >&2; exit 1; }
pulse_pid=$(cat "$work/pulse/pid" 2>/dev/null || true)

# Runs a command to its end, its output into RUN_LOG; prints
# "cpu_seconds peak_rss_kib wall_seconds exit_status".
cat >"$work/measure.py" <<'EOF'
import os, sys, time
out = os.open(os.environ["RUN_LOG"], os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o644)
start = time.monotonic()
pid = os.posix_spawnp(sys.argv[1], sys.argv[1:], os.environ,
                      file_actions=[(os.POSIX_SPAWN_DUP2, out, 1), (os.POSIX_SPAWN_DUP2, out, 2)])
_, status, usage = os.wait4(pid, 0)
wall = time.monotonic() - start
print(f"{usage.ru_utime + usage.ru_stime:.3f} {usage.ru_maxrss} {wall:.3f} "
      f"{os.waitstatus_to_exitcode(status)}")
EOF

run_player() {
  local log=$work/$1-$2.log
  shift 2
  env -i PATH="$PATH" HOME="$work/home" XDG_RUNTIME_DIR="$work" DISPLAY="$display" \
    PULSE_SERVER="unix:$work/native" QT_QPA_PLATFORM=xcb RUN_LOG="$log" \
    python3 "$work/measure.py" "$@"
}

# shellcheck disable=SC2206
players=(${PLAYERS:-vexo-mode2 vexo-mode1 mpv vexo-mode2-hlg mpv-hlg})
# The peer decodes every picture even when it falls behind; ours would skip to
# the next key frame, which on a loaded machine makes it look cheaper than it
# is. CATCH_UP=1 measures the player as it ships.
decode_all=--decode-all
[ "${CATCH_UP:-0}" = 1 ] && decode_all=""
command_of() {
  case $1 in
    vexo-mode2) echo "$play --mode 2 --play --exit-at-end $decode_all $clip" ;;
    vexo-mode1) echo "$play --mode 1 --play --exit-at-end $decode_all $clip" ;;
    mpv) echo "mpv --no-config --vo=x11 --geometry=640x480 $clip" ;;
    vexo-mode2-hlg) echo "$play --mode 2 --play --exit-at-end $decode_all $hlg_clip" ;;
    vexo-mode1-hlg) echo "$play --mode 1 --play --exit-at-end $decode_all $hlg_clip" ;;
    # The same on a context that offers the shader no 16-bit or float
    # textures: tone-mapped on the processor, as every mode did before.
    vexo-mode1-hlg-cpu)
      echo "env MESA_GL_VERSION_OVERRIDE=2.1 $play --mode 1 --play --exit-at-end $decode_all $hlg_clip" ;;
    mpv-hlg) echo "mpv --no-config --vo=x11 --geometry=640x480 $hlg_clip" ;;
  esac
}

calc() { awk "BEGIN { printf \"%.3f\", $1 }"; }
median() { tr ' ' '\n' | grep -v '^$' | sort -g | awk '{v[NR]=$1} END {print (NR % 2) ? v[(NR+1)/2] : (v[NR/2]+v[NR/2+1])/2}'; }

echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "clip: $clip (${media_seconds} s)"
echo "HLG clip: $hlg_clip (${media_seconds} s)"
declare -A cpu rss
for run in $(seq "$runs"); do
  for player in "${players[@]}"; do
    # shellcheck disable=SC2046
    read -r c m w s < <(run_player "$player" "$run" $(command_of "$player"))
    note=""
    [ "$s" = 0 ] || note=" (exit status $s)"
    if [[ $player == vexo-* ]]; then
      grep -q "state Playing -> Stopped" "$work/$player-$run.log" || note="$note (did not play to the end)"
      lags=$(grep -c "^lag on" "$work/$player-$run.log" || true)
      [ "$lags" = 0 ] || note="$note (fell behind and skipped pictures $lags times)"
    fi
    cpu[$player]="${cpu[$player]:-} $c"
    rss[$player]="${rss[$player]:-} $m"
    echo "run $run $(printf '%-10s' "$player") cpu $c s = $(calc "$c / $media_seconds") s per media s," \
      "peak RSS $(calc "$m / 1024") MiB, wall $w s$note"
  done
done
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"

declare -A cpu_med rss_med
for player in "${players[@]}"; do
  cpu_med[$player]=$(echo "${cpu[$player]}" | median)
  rss_med[$player]=$(echo "${rss[$player]}" | median)
  echo "median $(printf '%-10s' "$player") $(calc "${cpu_med[$player]} / $media_seconds") cpu s per media s," \
    "peak RSS $(calc "${rss_med[$player]} / 1024") MiB"
done
for pair in vexo-mode2/mpv vexo-mode1/mpv vexo-mode2-hlg/mpv-hlg vexo-mode1-hlg/mpv-hlg \
  vexo-mode1-hlg/vexo-mode1-hlg-cpu; do
  ours=${pair%/*} peer=${pair#*/}
  [ -n "${cpu_med[$ours]:-}" ] && [ -n "${cpu_med[$peer]:-}" ] || continue
  echo "ratio $ours/$peer: cpu $(calc "${cpu_med[$ours]} / ${cpu_med[$peer]}")," \
    "peak RSS $(calc "${rss_med[$ours]} / ${rss_med[$peer]}")"
done
