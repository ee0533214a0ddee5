#!/usr/bin/env bash
# Installs the build into a scratch prefix and uninstalls it as users would:
# - without a display or a terminal, "/uninstall" changes nothing and says why;
# - on a terminal (a pseudo-terminal from script), the answer No removes nothing;
# - run as root, another user's uninstall is refused for lack of rights and keeps everything;
# - on a virtual X display, "/UNINSTALL" answered No enters the program and removes nothing;
#   answered Yes it removes the listed files, but never what lines leading out of the prefix
#   or through a linked folder name, and leaves the running program to the run-once executor,
#   which the test then starts as the next login would.
# Exit code 77 (skipped) without the X tools.
set -euo pipefail

cmake_command="$1"
build="$2"
x_tools="xdotool script"
source "$(dirname "$0")/../../testkit/XSession.sh"

prefix="$work/prefix"
"$cmake_command" --install "$build" --prefix "$prefix" > /dev/null
program="$prefix/bin/sonlet"
program_folder="$prefix/libexec/sonlet"
real_program="$program_folder/sonlet"
list="$program_folder/install.txt"
[[ -f "$list" ]] || fail "cmake --install wrote no install.txt into the program folder"
[[ ! -e "$prefix/bin/install.txt" ]] || fail "install.txt lies in the shared bin/ folder"
[[ -L "$program" && -x "$program" ]] || fail "bin/sonlet is not a link to the program"

export HOME="$work/home" QT_QPA_PLATFORM=xcb SDL_AUDIODRIVER=dummy
unset XDG_CONFIG_HOME XDG_DATA_HOME
mkdir -p "$HOME"
store="$HOME/.local/share/sonlet/registry/HKEY_LOCAL_MACHINE.txt"
autostart="$HOME/.config/autostart/sonlet-runonce.desktop"
staged="$HOME/.local/share/sonlet/sonlet-runonce"

# Runs the program without any display, HOME set to $1, the rest of the arguments after it.
without_display() {
    local home="$1"
    shift
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM HOME="$home" "$@"
}

# ---- Neither display nor terminal: nothing may change, not even the entry. ----
mkdir -p "$work/home-none"
status=0
without_display "$work/home-none" "$program" /uninstall < /dev/null > "$work/log.txt" 2>&1 ||
    status=$?
[[ "$status" -ne 0 ]] || fail "/uninstall without display or terminal ended with status 0"
grep -q "nothing was changed" "$work/log.txt" || fail "no message on stderr"
[[ -z "$(ls -A "$work/home-none")" ]] || fail "/uninstall without a terminal wrote $(ls -AR "$work/home-none")"

# ---- A terminal, answered No. ----
mkdir -p "$work/home-tty"
printf 'n\n' | without_display "$work/home-tty" script -qec "$program /uninstall" /dev/null \
    > "$work/log.txt" 2>&1 || fail "the terminal's No ended with an error"
grep -qF "Are you sure to remove Sonlet? [y/N]" "$work/log.txt" || fail "no question on the terminal"
[[ -f "$list" && -f "$prefix/bin/sonlet-cli" ]] || fail "answering No on the terminal removed files"
grep -qF "\"UninstallString\"=\"$real_program /uninstall\"" \
    "$work/home-tty/.local/share/sonlet/registry/HKEY_LOCAL_MACHINE.txt" ||
    fail "the entry does not name the program file itself"

# ---- Another user, without the rights to a root-owned install. ----
if [[ "$(id -u)" -eq 0 ]] && id nobody > /dev/null 2>&1 && command -v runuser > /dev/null; then
    # mktemp made $work private to root; the other user needs a way to the program.
    chmod 755 "$work"
    mkdir -p "$work/home-nobody"
    chown nobody "$work/home-nobody"
    before="$(cd "$prefix" && find . | sort)"
    status=0
    printf 'y\n' | script -qec "runuser -u nobody -- env -u DISPLAY -u WAYLAND_DISPLAY \
        -u QT_QPA_PLATFORM HOME=$work/home-nobody $program /uninstall" /dev/null \
        > "$work/log.txt" 2>&1 || status=$?
    [[ "$status" -ne 0 ]] || fail "the refused uninstall ended with status 0"
    grep -q "Uninstall complete" "$work/log.txt" && fail "the refused uninstall claims it completed"
    grep -qF "sudo $real_program /uninstall" "$work/log.txt" || fail "no way to retry was named"
    grep -qF "$program_folder/sonlet-cli" "$work/log.txt" || fail "the refused files were not named"
    [[ "$(cd "$prefix" && find . | sort)" == "$before" ]] || fail "the refused uninstall removed files"
    nobody_store="$work/home-nobody/.local/share/sonlet/registry/HKEY_LOCAL_MACHINE.txt"
    grep -q 'Uninstall\\Sonlet' "$nobody_store" || fail "the refused uninstall removed its entry"
    grep -q 'Delete Sonlet' "$nobody_store" && fail "the refused uninstall scheduled deletions"
    [[ ! -e "$work/home-nobody/.config/autostart/sonlet-runonce.desktop" ]] ||
        fail "the refused uninstall set up the executor"
    chmod 700 "$work"
else
    echo "skipped the uninstall without rights: it needs root, runuser and the user nobody"
fi

# ---- Lines that lead out of the prefix or through a linked folder. ----
mkdir -p "$work/victim/victimdir" "$work/elsewhere"
touch "$work/victim/escape.txt" "$work/elsewhere/target.txt"
ln -s "$work/elsewhere" "$prefix/share/sonlet-linked"
printf '%s\n' ../../../victim/escape.txt ../../../victim/victimdir/ \
    ../../share/sonlet-linked/target.txt ../../share/sonlet-linked/ >> "$list"

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
    eval "$(xdotool getwindowgeometry --shell "$id")"
    xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2))
    # Waits until the box has the keyboard (bounded, so a lost focus fails instead of hanging).
    timeout 10 xdotool windowfocus --sync "$id" || fail "the '$title' box did not take the focus"
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
[[ -f "$prefix/bin/sonlet-cli" ]] || fail "answering No removed files"

"$program" /uninstall > "$work/log.txt" 2>&1 &
pid=$!
answer Confirm y
answer 'Tulvo Sonlet' Return
finish

[[ -f "$real_program" ]] || fail "the running program was deleted at once"
for gone in bin/sonlet bin/sonlet-cli libexec/sonlet/sonlet-cli libexec/sonlet/sonlet-runonce \
    libexec/sonlet/install.txt share/applications/com.tulvo.Sonlet.desktop; do
    [[ ! -e "$prefix/$gone" && ! -L "$prefix/$gone" ]] || fail "$gone was not removed"
done
for kept in victim/escape.txt victim/victimdir elsewhere/target.txt prefix/share/sonlet-linked; do
    [[ -e "$work/$kept" ]] || fail "$kept, outside the prefix or behind a link, was removed"
done
grep -q 'Uninstall\\Sonlet' "$store" && fail "the uninstall entry is still there"
grep -qxF "\"Delete Sonlet\"=\"command.com /c del $real_program\"" "$store" ||
    fail "no run-once value for the program: $(cat "$store")"
[[ -f "$autostart" && -x "$staged" ]] || fail "the executor is not set up for the next login"

# The next login.
"$staged"
[[ ! -e "$program_folder" ]] || fail "the executor left the program folder: $(ls -A "$program_folder")"
[[ ! -e "$autostart" && ! -e "$staged" ]] || fail "the executor did not clean up after itself"
grep -q 'Delete Sonlet' "$store" && fail "run-once values are left: $(cat "$store")"

echo "passed: nothing changed without display or terminal or without rights, No kept" \
    "everything, Yes removed the files inside the prefix, the executor removed the program"
