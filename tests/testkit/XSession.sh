# Shared start of the end-to-end scripts that drive the real program on a virtual X display.
# A script names the tools it needs besides the X server in x_tools, then sources this file:
#   x_tools="xdotool od"; source "$(dirname "$0")/../testkit/XSession.sh"
# Without a tool it is skipped (exit 77). Otherwise it gets its own Xvfb server (DISPLAY is
# set, and a client has reached it), $work (a scratch folder removed at exit), $pid (set it to
# the program's process id; the program is killed at exit if it still runs) and fail MESSAGE
# (prints MESSAGE and the program's output from $work/log.txt, then exits 1).
for tool in Xvfb xdotool ${x_tools:-}; do
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
    stop_x_server
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAILED: $*"
    [[ -f "$work/log.txt" ]] && sed 's/^/  sonlet: /' "$work/log.txt"
    exit 1
}

# The display number is chosen here rather than by the server's own -displayfd search: that
# search binds and then unlinks the socket of each display it tries, so a server starting beside
# another (or beside one still shutting down) can take away the socket the other just reported.
# A server is used only once a client has connected to it and the display's lock names it: two
# scripts may pick the same number at once, and the client of the one whose server lost the
# lock would otherwise reach the other's server, which goes away when that script ends. A server
# that loses its display is replaced by a new one on another number. Every wait is bounded.
stop_x_server() {
    [[ -n "$xvfb_pid" ]] || return 0
    kill "$xvfb_pid" 2>/dev/null || true
    for _ in $(seq 50); do
        kill -0 "$xvfb_pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -9 "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
    xvfb_pid=""
}
start_x_server() {
    local attempt display
    for attempt in $(seq 8); do
        display=$((200 + RANDOM % 800))
        [[ -e "/tmp/.X$display-lock" || -e "/tmp/.X11-unix/X$display" ]] && continue
        Xvfb ":$display" -screen 0 1280x800x24 -nolisten tcp 2>"$work/xvfb.log" &
        xvfb_pid=$!
        for _ in $(seq 100); do
            kill -0 "$xvfb_pid" 2>/dev/null || break
            if DISPLAY=":$display" xdotool getdisplaygeometry >/dev/null 2>&1; then
                # The lock file holds the pid of the server that owns the display.
                if [[ "$(tr -d ' \n' <"/tmp/.X$display-lock" 2>/dev/null)" == "$xvfb_pid" ]]; then
                    export DISPLAY=":$display"
                    return 0
                fi
                break
            fi
            sleep 0.1
        done
        stop_x_server
    done
    return 1
}
start_x_server || fail "could not start a reachable X server in 8 tries: $(tail -n 3 "$work/xvfb.log")"
