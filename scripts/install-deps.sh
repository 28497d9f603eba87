#!/usr/bin/env bash
# Installs every Debian 12 package Vexo Player needs to build, run and test.
# Idempotent: packages already present are left alone and apt is not called.
set -euo pipefail

packages=(
  # build
  cmake ninja-build g++ pkg-config clang-format lld
  # FFmpeg 5.1 (headers at build time, libraries loaded at run time)
  libavformat-dev libavcodec-dev libavutil-dev libswresample-dev libswscale-dev
  # Qt 6 Widgets and OpenGL
  qt6-base-dev libqt6opengl6-dev libgl-dev libgl1-mesa-dri libglx-mesa0
  # Qt's SVG icon engine: our own command pictures are SVG
  libqt6svg6
  # sound, JPEG, EXIF, X11 overlay, XML
  libpulse-dev libasound2-dev libturbojpeg0-dev libexif-dev
  libx11-dev libxv-dev libxext-dev libpugixml-dev
  # HEIC/HEIF and AVIF photos (HEVC through libde265, AV1 through dav1d)
  libheif-dev libheif1
  # text subtitles laid out and drawn with their styles (fonts through fontconfig)
  libass-dev libass9
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev libswscale-dev
  ffmpeg xvfb xauth pulseaudio pulseaudio-utils libjpeg-turbo-progs
  # a private session bus for the main window tests
  dbus-daemon
  # HEIC test photos (heif-enc)
  libheif-examples
  # native Wayland client, and a headless compositor to test it under
  qt6-wayland weston
  # desktop entry check, the Debian package's dependencies, the application icon's pictures
  desktop-file-utils dpkg-dev librsvg2-bin x11-utils
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO="sudo"
fi
echo "Installing: ${missing[*]}"
$SUDO apt-get update
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
