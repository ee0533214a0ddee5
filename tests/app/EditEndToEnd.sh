#!/usr/bin/env bash
# Starts the real editor on a virtual X display with a copy of a real XI file, selects every
# frame, cuts, undoes and saves with the keyboard, and checks that the saved file equals what
# sonlet-cli convert writes for the original, byte for byte, and that the title follows.
# Exit code 77 (skipped) when the X tools or the corpus are missing.
set -euo pipefail

program="$1"
cli="$2"
corpus="$3"
x_tools="xdotool cmp"
original="$corpus/xi/kmatheussen_radium__locrans_shop_BCLAR01.XI"
if [[ ! -f "$original" ]]; then
    echo "SKIPPED: $original is not there"
    exit 77
fi
source "$(dirname "$0")/../testkit/XSession.sh"

cp "$original" "$work/clarinet.xi"
"$cli" convert "$original" "$work/expected.xi" > "$work/cli.txt" 2>&1 || fail "sonlet-cli convert failed"

export HOME="$work/home" XDG_CONFIG_HOME="$work/config"
export SDL_AUDIODRIVER=dummy QT_QPA_PLATFORM=xcb
mkdir -p "$HOME"
"$program" "$work/clarinet.xi" > "$work/log.txt" 2>&1 &
pid=$!

until_true() {
    local tries=$(($1 * 10))
    shift
    for ((; tries > 0; tries--)); do
        "$@" && return 0
        sleep 0.1
    done
    return 1
}
title() { xdotool getwindowname "$window" 2>/dev/null || true; }
main_window() {
    local id
    for id in $(xdotool search --onlyvisible --name 'Tulvo Sonlet$' 2>/dev/null); do
        eval "$(xdotool getwindowgeometry --shell "$id")"
        if [[ "$WIDTH" -gt 100 ]]; then
            echo "$id"
            return
        fi
    done
}
window=""
for _ in $(seq 100); do
    window="$(main_window || true)"
    [[ -n "$window" ]] && break
    kill -0 "$pid" 2>/dev/null || fail "the program ended before its window appeared"
    sleep 0.1
done
[[ -n "$window" ]] || fail "no editor window appeared"
titled() { [[ "$(title)" == "$1"* ]]; }
until_true 10 titled "clarinet.xi " || fail "the title does not name the file: $(title)"

eval "$(xdotool getwindowgeometry --shell "$window")"
xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 3))
xdotool windowfocus --sync "$window" || true

xdotool key ctrl+a ctrl+x
until_true 10 titled "clarinet.xi* " || fail "the cut did not mark the title: $(title)"
xdotool key ctrl+z
until_true 10 titled "clarinet.xi " || fail "the undo did not bring the saved state back: $(title)"
# Save writes the opened file at once, without a dialog.
xdotool key ctrl+s
until_true 10 cmp -s "$work/expected.xi" "$work/clarinet.xi" ||
    fail "the saved file differs from sonlet-cli convert of the original"

kill "$pid"
wait "$pid" 2>/dev/null || true
pid=""
echo "passed: select all, cut, undo and save left the instrument as sonlet-cli converts it"
