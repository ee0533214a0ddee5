# Shared start of the end-to-end scripts that drive the real program on a virtual X display.
# A script names the tools it needs besides the X server in x_tools, then sources this file:
#   x_tools="xdotool od"; source "$(dirname "$0")/../testkit/XSession.sh"
# Without a tool it is skipped (exit 77). Otherwise it gets its own Xvfb server (DISPLAY is
# set), $work (a scratch folder removed at exit), $pid (set it to the program's process id;
# the program is killed at exit if it still runs) and fail MESSAGE (prints MESSAGE and the
# program's output from $work/log.txt, then exits 1).
for tool in Xvfb ${x_tools:-}; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "SKIPPED: $tool is not installed (tools/packages.txt lists the X tools)"
        exit 77
    fi
done

work="$(mktemp -d)"
pid=""
xvfb_pid=""
cleanup() {
    if [[ -n "$pid" ]] && kill -0 "$pid" 2>/dev/null; then
        kill "$pid" 2>/dev/null || true
    fi
    if [[ -n "$xvfb_pid" ]]; then
        kill "$xvfb_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAILED: $*"
    [[ -f "$work/log.txt" ]] && sed 's/^/  sonlet: /' "$work/log.txt"
    exit 1
}

# The server picks a free display itself and writes its number, so parallel runs never
# collide on one display.
Xvfb -displayfd 9 -screen 0 1280x800x24 -nolisten tcp 9>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do
    [[ -s "$work/display" ]] && break
    sleep 0.1
done
[[ -s "$work/display" ]] || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
export DISPLAY=":$(head -n 1 "$work/display")"
