#!/usr/bin/env bash
# Takes a screenshot of the program in a virtual X display, for checking the layout by eye.
# Usage: scripts/screenshot.sh [main|about] [output.png]
#   main   the main window on the sample textures, the first texture previewed (default)
#   about  the About dialog over the main window
set -euo pipefail
cd "$(dirname "$0")/.."
what=${1:-main}
output=$(realpath -m "${2:-build/screenshot-$what.png}")
scripts/deps.sh xvfb xauth xdotool imagemagick x11-utils
scripts/build.sh default Tessavane >/dev/null

# A private settings folder, so the screenshot does not depend on (or change) the user's own.
export XDG_CONFIG_HOME=$(mktemp -d)
trap 'rm -rf "$XDG_CONFIG_HOME"' EXIT

xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
    set -e
    cd samples
    ../build/default/bin/Tessavane &
    app=$!
    window=""
    for _ in $(seq 50); do
        window=$(xdotool search --name "Tessavane for FS2004" 2>/dev/null | head -n1) && [ -n "$window" ] && break
        sleep 0.2
    done
    sleep 1
    # Select the first texture of the file list (client position 8+20, 144+6).
    xdotool mousemove --window "$window" 28 150 click 1
    sleep 1
    if [ "$1" = about ]; then
        xdotool mousemove --window "$window" 228 532 click 1
        sleep 1.5
    fi
    import -window root "$2"
    kill $app
' _ "$what" "$output"
echo "$output"
