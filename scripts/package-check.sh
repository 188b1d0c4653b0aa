#!/usr/bin/env bash
# Builds the Debian package from the default build, installs it in a scratch prefix and in
# the system, checks the installed files with Debian's validators and runs the installed
# programs: the window under a virtual X display (until its window appears, then closed; it
# must exit with 0) and tessavane-batch on the bundled samples.
# Run after scripts/test.sh, whose build it reuses. Needs root or sudo (apt-get).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$root/build/default

scripts/deps.sh lintian desktop-file-utils appstream man-db dpkg-dev file xvfb xauth xdotool x11-utils python3

as_root=()
[ "$(id -u)" -ne 0 ] && as_root=(sudo)

scratch=$(mktemp -d)
xvfb_pid=""
trap '[ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null; rm -rf "$scratch"' EXIT

step() { printf '\n== %s\n' "$*"; }
fail() { echo "package check: $*" >&2; exit 1; }

step "build"
cmake --preset default >/dev/null
cmake --build --preset default --target Tessavane tessavane-batch kovar tessavane_packaging_files about_rows

step "package"
rm -rf "$build/package"
(cd "$build" && cpack -G DEB)
deb=$(echo "$build"/package/tessavane_*.deb)
[ -f "$deb" ] || fail "no package in $build/package"
echo "package: $(basename "$deb"), $(stat -c %s "$deb") bytes"
echo "installed size: $(dpkg-deb -f "$deb" Installed-Size) KiB"
echo "Depends: $(dpkg-deb -f "$deb" Depends)"
dpkg-deb -c "$deb"

step "install in a scratch prefix"
prefix=$scratch/prefix
cmake --install "$build" --prefix "$prefix"
id=$(sed -n 's/^set(TESSAVANE_APP_ID "\(.*\)")$/\1/p' CMakeLists.txt)
library=$(cd "$prefix" && find lib -name libkovar.so)
[ -n "$library" ] || fail "cmake --install did not install libkovar.so"
echo "conversion library: $library"
for f in bin/Tessavane bin/tessavane-batch share/applications/$id.desktop \
         share/metainfo/$id.metainfo.xml share/man/man1/tessavane-batch.1.gz \
         share/icons/hicolor/scalable/apps/$id.svg; do
    [ -f "$prefix/$f" ] || fail "cmake --install did not install $f"
done
for size in 16 32 48 64 128 256; do
    png=$prefix/share/icons/hicolor/${size}x$size/apps/$id.png
    file "$png" | grep -q "PNG image data, $size x $size" || fail "$png is not a $size x $size PNG"
done

step "validators"
desktop-file-validate "$prefix/share/applications/$id.desktop"
echo "desktop-file-validate: no findings"
appstreamcli validate --no-net --explain "$prefix/share/metainfo/$id.metainfo.xml"
for page in "$prefix"/share/man/man1/*.1.gz; do
    warnings=$(MANWIDTH=80 LC_ALL=C.UTF-8 man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "man -l $(basename "$page"): $warnings"
    echo "man --warnings -l $(basename "$page"): no warnings"
done
# Errors and warnings fail; what lintian still says (information, pedantic) is shown.
lintian --fail-on error,warning --info --display-level '>=pedantic' "$deb"
echo "lintian: no errors, no warnings"
version=$(dpkg-deb -f "$deb" Version)

# Runs tessavane-batch from folder $1 on the samples and checks every texture was written.
check_batch() {
    local bin=$1 out=$scratch/out-$2
    local printed
    printed=$("$bin/tessavane-batch" --version)
    echo "$printed"
    [ "$printed" = "tessavane-batch $version" ] || fail "tessavane-batch --version: $printed, the package: $version"
    # The window's program answers without a display.
    printed=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$bin/Tessavane" --version)
    [ "$printed" = "Tessavane $version" ] || fail "Tessavane --version: $printed, the package: $version"
    mkdir -p "$out"
    "$bin/tessavane-batch" winter --snow 70 samples "$out"
    "$bin/tessavane-batch" fall --fall 12 samples "$out"
    local inputs outputs
    inputs=$(find samples -maxdepth 1 -name '???????????????su.bmp' | wc -l)
    outputs=$(find "$out" -maxdepth 1 \( -name '*wi.bmp' -o -name '*fa.bmp' \) -size +0 | wc -l)
    [ "$outputs" -eq $((2 * inputs)) ] || fail "$bin/tessavane-batch wrote $outputs of $((2 * inputs)) textures"
}

# The About dialog's rows for a program in folder $1: the probe runs from that folder.
check_about() {
    cp "$build/bin/about_rows" "$1/about_rows"
    local rows
    rows=$("$1/about_rows")
    rm -f "$1/about_rows"
    echo "$rows" | head -n 2
    echo "$rows" | grep -Eq '^kovar\.dll    -   [0-9]+\.00\.[0-9]+$' || fail "About dialog in $1 does not report the library's version: $rows"
}

# Starts a virtual X server on a display it picks itself (-displayfd: no race with other
# servers starting at the same moment), with an authority file of its own; sets DISPLAY and
# XAUTHORITY for the programs started after it.
start_display() {
    local auth=$scratch/xauth fifo=$scratch/displayfd cookie number=""
    cookie=$(od -An -N16 -tx1 /dev/urandom | tr -d ' \n')
    : >"$auth"
    xauth -q -f "$auth" add :0 . "$cookie" # the server takes every cookie of the file
    mkfifo "$fifo"
    Xvfb -displayfd 3 -auth "$auth" -nolisten tcp -screen 0 1024x768x24 3>"$fifo" 2>"$scratch/xvfb.log" &
    xvfb_pid=$!
    read -r -t 60 number <"$fifo" || true
    [ -n "$number" ] || fail "the virtual X server did not start: $(cat "$scratch/xvfb.log")"
    xauth -q -f "$auth" add ":$number" . "$cookie"
    export DISPLAY=:$number XAUTHORITY=$auth
    echo "virtual X display :$number"
}

# Starts Tessavane from folder $1 on the virtual display with a private home, opening the
# first sample texture (the working files must go to the cache, never into the program's
# folder); waits for its preview, closes the window and expects exit code 0.
check_window() {
    local bin=$1 home=$scratch/home-$2 tile
    tile=$(cd samples && ls ???????????????su.bmp | head -n 1)
    mkdir -p "$home"
    local before
    before=$(ls -A "$bin")
    (
        set -u
        export HOME=$home XDG_CONFIG_HOME=$home/config XDG_CACHE_HOME=$home/cache
        cd "$root/samples"
        "$bin/Tessavane" "$tile" &
        app=$!
        window=""
        for _ in $(seq 100); do
            window=$(xdotool search --name "^Tessavane for FS2004" 2>/dev/null | head -n1)
            [ -n "$window" ] && break
            kill -0 $app 2>/dev/null || { echo "Tessavane ended before its window appeared" >&2; exit 1; }
            sleep 0.2
        done
        [ -n "$window" ] || { echo "no Tessavane window after 20 s" >&2; kill $app; exit 1; }
        echo "window $window: $(xdotool getwindowname "$window"), class $(xprop -id "$window" WM_CLASS | cut -d= -f2)"
        # The texture named on the command line is previewed: the working files appear.
        for _ in $(seq 100); do
            [ -f "$XDG_CACHE_HOME/tessavane/tempf.bmp" ] && break
            sleep 0.2
        done
        [ -f "$XDG_CACHE_HOME/tessavane/tempf.bmp" ] || { echo "no preview of $tile" >&2; kill $app; exit 1; }
        # The close button of a window manager: WM_DELETE_WINDOW (there is no manager here).
        python3 "$root/scripts/x11-close-window.py" "$window"
        for _ in $(seq 100); do
            kill -0 $app 2>/dev/null || break
            sleep 0.1
        done
        if kill -0 $app 2>/dev/null; then echo "Tessavane still running after its window was closed" >&2; kill $app; exit 1; fi
        wait $app
        status=$?
        echo "Tessavane exit code: $status"
        exit $status
    ) || fail "the installed Tessavane in $bin did not run and end with exit code 0"
    [ -f "$home/cache/tessavane/main.bmp" ] || fail "no working files in \$XDG_CACHE_HOME/tessavane"
    [ "$(ls -A "$bin")" = "$before" ] || fail "Tessavane wrote into its program folder $bin"
    [ -d "$home/Pictures/Tessavane" ] || fail "the default destination ~/Pictures/Tessavane was not made"
    grep -q 'Pictures/Tessavane' <(iconv -f UTF-16LE -t UTF-8 "$home/config/KT/user.reg" 2>/dev/null || cat "$home/config/KT/user.reg") ||
        fail "the stored destination is not ~/Pictures/Tessavane"
}

start_display

step "run from the scratch prefix"
(cd "$scratch" && "$prefix/bin/tessavane-batch" --help >/dev/null) # runs from any folder
check_batch "$prefix/bin" scratch
check_about "$prefix/bin"
check_window "$prefix/bin" scratch

step "install in the system"
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y "$deb"
[ "$(command -v Tessavane)" = /usr/bin/Tessavane ] || fail "Tessavane is not /usr/bin/Tessavane"
check_batch /usr/bin system
check_window /usr/bin system
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get remove -y tessavane

step "package check passed"
