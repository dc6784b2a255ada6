#!/usr/bin/env bash
# Renders the program's pictures from their SVG sources into the PNGs that the
# window and the desktop entry use. Run it again after editing an SVG.
set -euo pipefail
cd "$(dirname "$0")/../resources"

if ! command -v rsvg-convert >/dev/null; then
    echo "Installing: librsvg2-bin"
    run_as_root=()
    if [ "$(id -u)" -ne 0 ]; then
        run_as_root=(sudo)
    fi
    export DEBIAN_FRONTEND=noninteractive
    "${run_as_root[@]}" apt-get update -qq
    "${run_as_root[@]}" apt-get install -y -qq --no-install-recommends librsvg2-bin
fi

for size in 16 32 128; do
    rsvg-convert --width "$size" --height "$size" --output "icon-$size.png" icon.svg
done
rsvg-convert --width 100 --height 315 --output side_picture.png side_picture.svg

ls -l icon-16.png icon-32.png icon-128.png side_picture.png
