#!/usr/bin/env bash
# Starts the real editor on a virtual X display with SDL's disk audio driver, opens a WAV
# given on the command line, plays one piano key with xdotool, closes the window through
# File > Exit, and checks the audio the program wrote and the settings file it left.
# Exit code 77 (skipped) when the X tools are missing.
set -euo pipefail

program="$1"
x_tools="xdotool od"
source "$(dirname "$0")/../testkit/XSession.sh"

le32() { printf "\\x$(printf %02x $(($1 & 255)))\\x$(printf %02x $((($1 >> 8) & 255)))\\x$(printf %02x $((($1 >> 16) & 255)))\\x$(printf %02x $((($1 >> 24) & 255)))"; }

# A mono 16-bit square wave of 20000 frames: loud enough that any note of it is not silence.
frames=20000
data_size=$((frames * 2))
{
    printf 'RIFF'; le32 $((36 + data_size)); printf 'WAVEfmt '; le32 16
    printf '\x01\x00\x01\x00'; le32 44100; le32 88200; printf '\x02\x00\x10\x00'
    printf 'data'; le32 "$data_size"
    for ((i = 0; i < frames / 4; i++)); do printf '\x00\x40\x00\x40\x00\xc0\x00\xc0'; done
} > "$work/square.wav"

export HOME="$work/home" XDG_CONFIG_HOME="$work/config"
export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$work/audio.raw"
export QT_QPA_PLATFORM=xcb
mkdir -p "$HOME"
"$program" "$work/square.wav" > "$work/log.txt" 2>&1 &
pid=$!

# The main window: the program's one large window of that title (Qt adds a tiny helper one).
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
[[ -n "$window" ]] || fail "no window titled '... Tulvo Sonlet' appeared"

# Give it the keyboard: without a window manager the focus follows the pointer.
eval "$(xdotool getwindowgeometry --shell "$window")"
xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 3))
xdotool windowfocus --sync "$window" || true

# until SECONDS COMMAND...: polls COMMAND every 0.1 s until it succeeds; false after SECONDS.
until_true() {
    local tries=$(($1 * 10))
    shift
    for ((; tries > 0; tries--)); do
        "$@" && return 0
        sleep 0.1
    done
    return 1
}
audio_size() { stat -c %s "$work/audio.raw" 2>/dev/null || echo 0; }
audio_started() { [[ "$(audio_size)" -gt 0 ]]; }
until_true 20 audio_started || fail "no audio was written before the key press"
before=$(audio_size)

# True when the bytes on standard input are not all zero (reads them all: no broken pipe).
nonzero() {
    local lines
    lines=$(od -An -v -tx1 | grep -c '[1-9a-f]' || true)
    [[ "$lines" -gt 0 ]]
}
note_heard() { tail -c +$((before + 1)) "$work/audio.raw" | nonzero; }
xdotool keydown q
until_true 20 note_heard || fail "the key press left no sound in the output"
xdotool keyup q

# File > Exit from the keyboard: Alt enters the menu bar, Return opens its first menu (File),
# and once that menu is up, Up selects its last item and Return runs it.
visible_windows() { xdotool search --onlyvisible --pid "$pid" 2>/dev/null | wc -l; }
windows_before=$(visible_windows)
menu_open() { [[ "$(visible_windows)" -gt "$windows_before" ]]; }
xdotool key alt Return
until_true 10 menu_open || fail "the File menu did not open from the keyboard"
xdotool key Up Return

for _ in $(seq 200); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
done
if kill -0 "$pid" 2>/dev/null; then
    fail "the program did not end within 20 s of File > Exit"
fi
status=0
wait "$pid" || status=$?
pid=""
[[ "$status" -eq 0 ]] || fail "the program ended with status $status"

head -c "$before" "$work/audio.raw" | nonzero && fail "the output was not silent before the key press"

ini="$XDG_CONFIG_HOME/Sonlet/sonlet.ini"
[[ -f "$ini" ]] || fail "$ini was not written"
for key in Top Left Width Height ColorScheme; do
    grep -q "^$key=" "$ini" || fail "$ini has no $key"
done
grep -q '^\[Form\]' "$ini" || fail "$ini has no [Form] section"

echo "passed: a key press sounded, File > Exit closed the program, sonlet.ini was written"
