#!/bin/bash
# Makes the pictures of the README from the real program: the main window after Calculate, the
# convergence chart of that run and the chart of the electroscope table. The program runs under a
# virtual X server (Xvfb) with a window manager (openbox), driven by keys sent with xdotool, and
# ImageMagick's import takes each window with its frame.
#
#   scripts/make-screenshots.sh [BUILD_DIR] [OUTPUT_DIR]
#
# BUILD_DIR holds bin/ambrel (default: build); OUTPUT_DIR receives main-window.png,
# convergence-chart.png and electroscope-chart.png (default: docs/images). The first free display
# of :96 to :99 is used. The program's remembered settings go to a scratch folder: the pictures
# show the window at its default size, and your own settings are not touched.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
out=${2:-$root/docs/images}
program=$build/bin/ambrel
example=$root/examples/electroscope_leaves.bal

for tool in Xvfb openbox xdotool import convert; do
    command -v "$tool" >/dev/null || { echo "make-screenshots: $tool is needed" >&2; exit 2; }
done
[ -x "$program" ] || { echo "make-screenshots: no program at $program (build it first)" >&2; exit 2; }
mkdir -p "$out"

display=
for n in 96 97 98 99; do
    if [ ! -e /tmp/.X$n-lock ] && [ ! -e /tmp/.X11-unix/X$n ]; then
        display=:$n
        break
    fi
done
[ -n "$display" ] || { echo "make-screenshots: displays :96 to :99 are all in use" >&2; exit 2; }

scratch=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$scratch"
}
trap cleanup EXIT

Xvfb "$display" -screen 0 1400x900x24 -nolisten tcp >"$scratch/xvfb.log" 2>&1 &
pids+=($!)
export DISPLAY=$display
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
openbox >"$scratch/openbox.log" 2>&1 &
pids+=($!)
sleep 1

# The window: settings in the scratch folder, the example loaded at start.
cd "$scratch"
XDG_CONFIG_HOME=$scratch/config QT_QPA_PLATFORM=xcb "$program" "$example" >"$scratch/ambrel.log" 2>&1 &
pids+=($!)
main=$(xdotool search --sync --onlyvisible --name '^Ambrel$' | head -1)

# Waits until a window of this title is shown and prints its id.
wait_window() {
    xdotool search --sync --onlyvisible --name "$1" | head -1
}
# Takes a window with its frame into a PNG file of a size fit for the repository.
take() {
    import -window "$1" -frame "$scratch/shot.png"
    convert "$scratch/shot.png" -strip -define png:compression-level=9 "$out/$2"
    echo "$out/$2: $(identify -format '%wx%h' "$out/$2"), $(($(stat -c %s "$out/$2") / 1024)) KB"
}

xdotool windowactivate --sync "$main"
sleep 2                  # the example is read at the first activation
xdotool key --window "$main" F9 # Calculate
sleep 4                  # the leaves spread in a few dozen steps
xdotool key --window "$main" ctrl+f # Fit to system
xdotool mousemove 0 0 # the pointer off the controls: no hover highlight
sleep 1
take "$main" main-window.png

# The menu takes the keys while the main window is the active one: before any other is shown.
xdotool key --window "$main" alt+c # Charts
sleep 1
xdotool key e # Electroscope table, in the menu now open
table=$(wait_window 'chart of the table$')
sleep 1
take "$table" electroscope-chart.png

# A click on the status bar makes the main window the active one again, for its shortcut.
eval "$(xdotool getwindowgeometry --shell "$main")"
xdotool mousemove --window "$main" 300 $((HEIGHT - 10)) click 1
sleep 1
xdotool key --window "$main" ctrl+k # Charts > Convergence of the run
chart=$(wait_window '^Convergence of the run$')
sleep 1
take "$chart" convergence-chart.png
