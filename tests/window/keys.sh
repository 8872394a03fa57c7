#!/bin/sh
# The player's keys in a real window: the program under Xvfb, keys sent with
# xdotool, the picture read back through F12's screenshots.
# Usage: keys.sh BUILD_DIR
set -u
build=$1
work=$(mktemp -d)
pid=""
xvfb=""
trap 'kill $pid $xvfb 2>/dev/null; rm -rf "$work"' EXIT
failures=0
check() {  # check NAME COMMAND...
    name=$1
    shift
    if "$@"; then echo "ok - $name"; else echo "FAILED - $name"; failures=$((failures + 1)); fi
}
said() { grep -qF -- "$1" "$work/err"; }
# Waits up to 10 s for text on stderr.
wait_for() {
    i=0
    while [ $i -lt 100 ]; do
        said "$1" && return 0
        sleep 0.1
        i=$((i + 1))
    done
    return 1
}
key() { xdotool key --window "$window" "$1"; sleep 0.3; }

# A screen of our own, on the first free display number.
n=90
while [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ]; do n=$((n + 1)); done
Xvfb :$n -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=:$n
i=0
while [ ! -e /tmp/.X11-unix/X$n ] && [ $i -lt 50 ]; do sleep 0.1; i=$((i + 1)); done

# X client libraries keep memory until exit: no leak report in sanitizer builds.
ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0} SDL_AUDIODRIVER=dummy "$build/sixscene" --window --scene 5 --screenshot-dir "$work" 2>"$work/err" &
pid=$!
window=$(xdotool search --sync --pid "$pid" | head -n1)
sleep 1
xdotool windowfocus --sync "$window" 2>/dev/null

key space
check "Space pauses" wait_for "sixscene: paused"
key F12
sleep 1
key F12
check "the paused picture stands still" cmp -s "$work/sixscene-0001.png" "$work/sixscene-0002.png"
key space
check "Space resumes" wait_for "sixscene: playing"
sleep 1
key F12
check "the picture moves again" sh -c "! cmp -s '$work/sixscene-0002.png' '$work/sixscene-0003.png'"
key Right
check "Right goes to the next scene" wait_for "sixscene: scene 6 from row 1070"
key Left
check "Left goes to the previous scene" wait_for "sixscene: scene 5 from row 877"
key Home
check "Home starts again" wait_for "sixscene: scene 1 from row 0"
key m
check "M mutes" wait_for "sixscene: muted"
key minus
check "- turns it down" wait_for "sixscene: volume 90 %"
key plus
check "+ turns it up" wait_for "sixscene: volume 100 %"
# Stopped for two seconds (a debugger, a suspend), the show carries on
# from where it was rather than jumping.
kill -STOP "$pid"
sleep 2
kill -CONT "$pid"
check "a stop is taken as a pause" wait_for "sixscene: the show stood still for 2."
key Escape
i=0
while kill -0 "$pid" 2>/dev/null && [ $i -lt 50 ]; do sleep 0.1; i=$((i + 1)); done
check "Escape quits" sh -c "! kill -0 $pid 2>/dev/null"
wait $pid
check "with status 0" test $? -eq 0
[ $failures -eq 0 ] || { echo "stderr:"; cat "$work/err"; }
exit $failures
