#!/usr/bin/env bash
# Installs the build into a scratch prefix and drives the installed program on a virtual X
# display: "/UNINSTALL" answered No enters the program and removes nothing; answered Yes it
# removes the listed files and leaves the running program to the run-once executor, which
# the test then starts as the next login would. Exit code 77 (skipped) without the X tools.
set -euo pipefail

cmake_command="$1"
build="$2"
x_tools="xdotool"
source "$(dirname "$0")/../../testkit/XSession.sh"

"$cmake_command" --install "$build" --prefix "$work/prefix" > /dev/null
program="$work/prefix/bin/sonlet"
[[ -f "$work/prefix/bin/install.txt" ]] || fail "cmake --install wrote no install.txt"

export HOME="$work/home" QT_QPA_PLATFORM=xcb SDL_AUDIODRIVER=dummy
unset XDG_CONFIG_HOME XDG_DATA_HOME
mkdir -p "$HOME"
store="$HOME/.local/share/sonlet/registry/HKEY_LOCAL_MACHINE.txt"
autostart="$HOME/.config/autostart/sonlet-runonce.desktop"
staged="$HOME/.local/share/sonlet/sonlet-runonce"

# Waits for a visible window of that title, points at it and presses the key.
answer() {
    local title="$1" key="$2" id=""
    for _ in $(seq 100); do
        id="$(xdotool search --onlyvisible --name "^$title\$" 2>/dev/null | head -n 1 || true)"
        [[ -n "$id" ]] && break
        kill -0 "$pid" 2>/dev/null || fail "the program ended before the '$title' box"
        sleep 0.1
    done
    [[ -n "$id" ]] || fail "no '$title' box appeared"
    sleep 0.5
    eval "$(xdotool getwindowgeometry --shell "$id")"
    xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2))
    xdotool windowfocus "$id" || true
    sleep 0.3
    xdotool key "$key"
}

finish() {
    for _ in $(seq 100); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -0 "$pid" 2>/dev/null && fail "the program did not end after its last box"
    local status=0
    wait "$pid" || status=$?
    pid=""
    [[ "$status" -eq 0 ]] || fail "the program ended with status $status"
}

"$program" /UNINSTALL > "$work/log.txt" 2>&1 &
pid=$!
answer Confirm Escape
finish
grep -q '^\[Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Sonlet\]$' "$store" ||
    fail "the start did not enter the program: $(cat "$store" 2>/dev/null)"
[[ -f "$work/prefix/bin/sonlet-cli" ]] || fail "answering No removed files"

"$program" /uninstall > "$work/log.txt" 2>&1 &
pid=$!
answer Confirm y
answer 'Tulvo Sonlet' Return
finish

[[ -f "$program" ]] || fail "the running program was deleted at once"
for gone in bin/sonlet-cli bin/install.txt libexec/sonlet; do
    [[ ! -e "$work/prefix/$gone" ]] || fail "$gone was not removed"
done
grep -q 'Uninstall\\Sonlet' "$store" && fail "the uninstall entry is still there"
grep -qxF "\"Delete Sonlet\"=\"command.com /c del $program\"" "$store" ||
    fail "no run-once value for the program: $(cat "$store")"
[[ -f "$autostart" && -x "$staged" ]] || fail "the executor is not set up for the next login"

# The next login.
"$staged"
[[ ! -e "$program" ]] || fail "the executor left the program file"
[[ ! -e "$autostart" && ! -e "$staged" ]] || fail "the executor did not clean up after itself"
grep -q 'Delete Sonlet' "$store" && fail "run-once values are left: $(cat "$store")"

echo "passed: No kept everything, Yes removed the files, the executor removed the program"
