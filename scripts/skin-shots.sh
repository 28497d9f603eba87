#!/usr/bin/env bash
# Pictures of the player page, the menus, and the options, playlist and about
# dialogs in every shipped skin and without one, for a person to look at. Runs
# the built vexo-play on a private X server with a private home folder.
#   scripts/skin-shots.sh [BUILD-FOLDER]    (default: build; pictures go to BUILD/shots)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
bin=$build/bin
out=$build/shots
mkdir -p "$out"
[ -d "$build/sample" ] || scripts/make-sample.sh "$build/sample"
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
export HOME=$home XDG_CONFIG_HOME=$home/.config XDG_DATA_HOME=$home/.local/share
skins=("" $(cd "$bin/Skins" && ls *.qss | sed 's/\.qss$//'))
shoot() {
  xvfb-run -a -s "-screen 0 1280x800x24" "$bin/vexo-play" "$@" >/dev/null
}
for skin in "${skins[@]}"; do
  name=${skin:-NoSkin}
  args=()
  [ -n "$skin" ] && args=(--skin "$skin")
  shoot "${args[@]}" --page "$build/sample" --grab "$out/$name-page.png"
  shoot "${args[@]}" --options --grab "$out/$name-options.png"
  shoot "${args[@]}" --menus --grab "$out/$name-menus.png"
  shoot "${args[@]}" --about --grab "$out/$name-about.png"
  shoot "${args[@]}" --pldialog --hold 0 --grab-dialog "$out/$name-playlist.png" "$build/sample"
  echo "$out/$name-*.png"
done
