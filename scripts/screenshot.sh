#!/usr/bin/env bash
# Takes a screenshot of the program in a virtual X display, for checking the layout by eye.
# Usage: scripts/screenshot.sh [main|failed|about|about2] [output.png]
#   main    the main window on the sample textures, the first texture previewed (default)
#   failed  the main window after a failed preview: a folder holding a sample texture and a
#           damaged copy, the sample previewed, then the damaged copy selected and the error
#           box dismissed (the error box itself goes to <output>-box.png)
#   about   the About dialog over the main window, first page
#   about2  the About dialog over the main window, second page
set -euo pipefail
cd "$(dirname "$0")/.."
what=${1:-main}
output=$(realpath -m "${2:-build/screenshot-$what.png}")
scripts/deps.sh xvfb xauth xdotool imagemagick x11-utils
scripts/build.sh default Tessavane >/dev/null

# A private settings folder, so the screenshot does not depend on (or change) the user's own.
export XDG_CONFIG_HOME=$(mktemp -d)
work=$(mktemp -d)
trap 'rm -rf "$XDG_CONFIG_HOME" "$work"' EXIT
start=$PWD/samples
if [ "$what" = failed ]; then
    sample=$(ls samples/*su.bmp | head -n1)
    cp "$sample" "$work/"
    head -c 300 "$sample" >"$work/zzzzzzzzzzzzzzzsu.bmp"
    start=$work
fi

xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
    set -e
    program=$PWD/build/default/bin/Tessavane
    cd "$3"
    "$program" &
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
    case "$1" in
    failed)
        # The second entry, one row (13 pixels) lower, is the damaged copy.
        xdotool mousemove --window "$window" 28 163 click 1
        sleep 1.5
        import -window root "${2%.png}-box.png"
        xdotool key Return
        sleep 1
        ;;
    about|about2)
        xdotool mousemove --window "$window" 228 532 click 1
        sleep 1.5
        if [ "$1" = about2 ]; then
            dialog=$(xdotool search --name "^About" | head -n1)
            # The second tab, "Kestrava", right of "Program".
            xdotool mousemove --window "$dialog" 85 10 click 1
            sleep 1
        fi
        ;;
    esac
    import -window root "$2"
    kill $app
' _ "$what" "$output" "$start"
echo "$output"
