#!/bin/bash
# SPDX-FileCopyrightText: 2026 The Ambrel developers
# SPDX-License-Identifier: GPL-3.0-or-later
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
# show the window at its default size, and your own settings are not touched. Every wait is bounded:
# a window that does not appear in 30 s ends the script with status 2 and its title.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
out=${2:-$root/docs/images}
program=$build/bin/ambrel
example=$root/examples/electroscope_leaves.bal

for tool in Xvfb xdpyinfo openbox xdotool import convert identify timeout; do
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

# Ends the script with status 2 and a message, with the end of the program's log when there is one.
fail() {
    echo "make-screenshots: $*" >&2
    if [ -s "$scratch/ambrel.log" ]; then
        echo "make-screenshots: the end of the program's output:" >&2
        tail -n 10 "$scratch/ambrel.log" | sed 's/^/  /' >&2
    fi
    exit 2
}
# Runs an X client for at most 30 s.
x() {
    timeout 30 "$@" || fail "$1 failed or took more than 30 s: $*"
}

Xvfb "$display" -screen 0 1400x900x24 -nolisten tcp >"$scratch/xvfb.log" 2>&1 &
pids+=($!)
export DISPLAY=$display
up=
for _ in $(seq 100); do
    if xdpyinfo >/dev/null 2>&1; then up=yes; break; fi
    sleep 0.1
done
[ -n "$up" ] || fail "the X server on $display did not start: $(tail -n 3 "$scratch/xvfb.log")"
openbox >"$scratch/openbox.log" 2>&1 &
pids+=($!)
sleep 1

# Waits, at most 30 s, until a window whose title matches the extended regular expression is shown
# and prints its id; NAME tells the window in the message if it does not appear.
wait_window() {
    local pattern="$1" name="$2" id
    for _ in $(seq 150); do
        id=$(timeout 5 xdotool search --onlyvisible --name "$pattern" 2>/dev/null | head -1 || true)
        if [ -n "$id" ]; then
            echo "$id"
            return
        fi
        kill -0 "$program_pid" 2>/dev/null || fail "the program ended before the window \"$name\" appeared"
        sleep 0.2
    done
    fail "the window \"$name\" did not appear in 30 s"
}
# Takes a window with its frame into a PNG file of a size fit for the repository.
take() {
    x import -window "$1" -frame "$scratch/shot.png"
    x convert "$scratch/shot.png" -strip -define png:compression-level=9 "$out/$2"
    echo "$out/$2: $(identify -format '%wx%h' "$out/$2"), $(($(stat -c %s "$out/$2") / 1024)) KB"
}

# The window: settings in the scratch folder, the example loaded at start. On a file the window is
# titled "NAME.bal - Ambrel" ("*NAME.bal - Ambrel" once changed).
cd "$scratch"
XDG_CONFIG_HOME=$scratch/config QT_QPA_PLATFORM=xcb "$program" "$example" >"$scratch/ambrel.log" 2>&1 &
program_pid=$!
pids+=("$program_pid")
main_title="$(basename "$example") - Ambrel"
main=$(wait_window "^\\*?${main_title//./\\.}\$" "$main_title")

x xdotool windowactivate --sync "$main"
sleep 2                  # the example is read at the first activation
x xdotool key --window "$main" F9 # Calculate
sleep 4                  # the leaves spread in a few dozen steps
x xdotool key --window "$main" ctrl+f # Fit to system
# Calculate gave the focus to the next control while the run went on: back to Calculate with it.
x xdotool key --window "$main" shift+Tab
x xdotool mousemove 0 0 # the pointer off the controls: no hover highlight
sleep 1
take "$main" main-window.png

# The menu takes the keys while the main window is the active one: before any other is shown.
x xdotool key --window "$main" alt+c # Charts
sleep 1
x xdotool key e # Electroscope table, in the menu now open
table=$(wait_window '^Pith-balls electroscope: chart of the table$' 'Pith-balls electroscope: chart of the table')
sleep 1
take "$table" electroscope-chart.png

# A click on the status bar makes the main window the active one again, for its shortcut.
geometry="$(x xdotool getwindowgeometry --shell "$main")"
eval "$geometry"
x xdotool mousemove --window "$main" 300 $((HEIGHT - 10)) click 1
sleep 1
x xdotool key --window "$main" ctrl+k # Charts > Convergence of the run
chart=$(wait_window '^Convergence of the run$' 'Convergence of the run')
sleep 1
take "$chart" convergence-chart.png
