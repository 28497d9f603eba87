#!/usr/bin/env bash
# Before the player's first run (no settings file yet), points its browser at
# a folder: the browser keeps its position as the names shown in its tree,
# from "Desktop" down, joined with '\'.
set -euo pipefail
folder=$(realpath "${1:?usage: first-run-settings.sh FOLDER}")
config="${XDG_CONFIG_HOME:-$HOME/.config}/Korvane Group/Vexo Player.conf"
[ -e "$config" ] && exit 0

# A '\' or '%' inside a name is kept as %5C or %25.
escape() { local t=${1//%/%25}; printf '%s' "${t//\\/%5C}"; }

home=$(realpath "$HOME")
if [ "$folder" = "$home" ] || [ "${folder#"$home"/}" != "$folder" ]; then
  tree="Desktop\\Home"
  rest=${folder#"$home"}
else
  mount=$(df --output=target "$folder" | tail -n 1)
  label=$(findmnt -no LABEL -T "$folder" 2>/dev/null || true)
  volume=$mount
  [ -n "$label" ] && volume="$label ($mount)"
  tree="Desktop\\Computer\\$(escape "$volume")"
  rest=${folder#"$mount"}
fi
IFS=/ read -r -a names <<< "${rest#/}"
for name in "${names[@]}"; do
  [ -n "$name" ] && tree="$tree\\$(escape "$name")"
done
mkdir -p "$(dirname "$config")"
# The settings file doubles every '\'.
printf '[Dynamic]\ndPlayTreeTop=Desktop\ndPlayTreeSel=%s\ndPlayTreeExp=1\n' "${tree//\\/\\\\}" > "$config"
